// The charset boundary: internal GB18030 text against the console's charset,
// and the neutralising of controls in texts that came from a modem.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/charset.h"

namespace {

using namespace std::string_literals;

// Internal (GB18030) bytes, written out so that the rows show each byte.
const std::string kZhongWen = "\xD6\xD0\xCE\xC4";       // 中文
const std::string kGrinning = "\x94\x39\xFC\x36";       // U+1F600
const std::string kReplacementGb = "\x84\x31\xA4\x37";  // U+FFFD
const std::string kReplacementUtf8 = "\xEF\xBF\xBD";    // U+FFFD
const std::string kYu = "\x81\x80";                     // 亐: both bytes in 0x80..0x9F
const std::string kGan = "\x82\x89";                    // 倝
const std::string kCheng = "\x81\x5C";                  // 乗: trail byte is a backslash
const std::string kEAcute = "\xA8\xA6";                 // é

std::string Str(const char* utf8)
{
    return std::string(utf8);
}

struct ToCase {
    const char* name;
    std::string internal;
    std::string charset;
    std::string expected;
};

class ToCharsetTest : public ::testing::TestWithParam<ToCase> {};

TEST_P(ToCharsetTest, Converts)
{
    const ToCase& c = GetParam();
    EXPECT_EQ(ConvertToCharset(c.internal, c.charset), c.expected);
}

const ToCase kToCases[] = {
    {"Empty", "", "UTF-8", ""},
    {"Ascii", "AT+CMGS=1\r\n", "UTF-8", "AT+CMGS=1\r\n"},
    {"Chinese", kZhongWen, "UTF-8", Str(u8"中文")},
    {"BytesIn80To9F", kYu + kGan, "UTF-8", Str(u8"亐倝")},
    {"BackslashTrail", kCheng, "UTF-8", Str(u8"乗")},
    {"EmojiBeyondGbk", kGrinning, "UTF-8", Str(u8"\U0001F600")},
    {"LoneLeadAtEnd", "ab\x81", "UTF-8", "ab" + kReplacementUtf8},
    // The byte after a broken lead is kept, not swallowed with it.
    {"LeadWithBadTrail", "\x81 x", "UTF-8", kReplacementUtf8 + " x"},
    {"InvalidBytes",
     "a\x80\xFF"
     "b",
     "UTF-8", "a" + kReplacementUtf8 + kReplacementUtf8 + "b"},
    {"TruncatedFourByte", "\x94\x39", "UTF-8", kReplacementUtf8 + "9"},
    {"Latin1HasEAcute", kEAcute, "ISO-8859-1", "\xE9"},
    {"Latin1LacksChinese", "x" + kZhongWen + "y", "ISO-8859-1", "x??y"},
    {"UnknownCharsetIsUtf8", kZhongWen, "NO-SUCH-CHARSET", Str(u8"中文")},
    {"InternalIsPassthrough", "\x81\x1B\xFF" + kZhongWen, "GB18030", "\x81\x1B\xFF" + kZhongWen},
};

INSTANTIATE_TEST_SUITE_P(Rows, ToCharsetTest, ::testing::ValuesIn(kToCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct FromCase {
    const char* name;
    std::string text;
    std::string charset;
    std::string expectedInternal;
};

class FromCharsetTest : public ::testing::TestWithParam<FromCase> {};

TEST_P(FromCharsetTest, Converts)
{
    const FromCase& c = GetParam();
    EXPECT_EQ(ConvertFromCharset(c.text, c.charset), c.expectedInternal);
}

const FromCase kFromCases[] = {
    {"Empty", "", "UTF-8", ""},
    {"Ascii", "13800138000,13900139000", "UTF-8", "13800138000,13900139000"},
    {"Chinese", Str(u8"中文"), "UTF-8", kZhongWen},
    {"Emoji", Str(u8"hi\U0001F600"), "UTF-8", "hi" + kGrinning},
    {"BadContinuation", "\xC3(", "UTF-8", kReplacementGb + "("},
    {"LoneContinuation",
     "a\x80"
     "b",
     "UTF-8", "a" + kReplacementGb + "b"},
    {"Surrogate", "\xED\xA0\x80", "UTF-8", kReplacementGb + kReplacementGb + kReplacementGb},
    {"TruncatedAtEnd", "x\xE4\xB8", "UTF-8", "x" + kReplacementGb + kReplacementGb},
    {"Latin1", "caf\xE9", "ISO-8859-1", "caf" + kEAcute},
    {"GbkLocaleIsPassthrough", "\xD6\xD0\x81", "GB18030", "\xD6\xD0\x81"},
};

INSTANTIATE_TEST_SUITE_P(Rows, FromCharsetTest, ::testing::ValuesIn(kFromCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CharsetRoundTrip, ValidTextSurvivesTheBoundary)
{
    const std::vector<std::string> texts = {
        kZhongWen,
        kGrinning,
        kYu + kGan + kCheng,
        "ASCII only",
        kEAcute + "\n\t" + kZhongWen,
        std::string("\0x", 2),
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(testing::PrintToString(text));
        EXPECT_EQ(ConvertFromCharset(ConvertToCharset(text, "UTF-8"), "UTF-8"), text);
    }
}

TEST(CharsetLocale, CodesetChoosesTheConsoleCharset)
{
    const struct {
        const char* codeset;
        const char* expected;
    } rows[] = {
        {"ANSI_X3.4-1968", "UTF-8"}, {"", "UTF-8"},
        {"UTF-8", "UTF-8"},          {"utf8", "UTF-8"},
        {"GBK", "GB18030"},          {"GB2312", "GB18030"},
        {"GB18030", "GB18030"},      {"ISO-8859-15", "ISO-8859-15"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.codeset);
        EXPECT_EQ(ConsoleCharsetForCodeset(row.codeset), row.expected);
    }
}

struct NeutraliseCase {
    const char* name;
    std::string input;
    std::string expected;
};

class NeutraliseTest : public ::testing::TestWithParam<NeutraliseCase> {};

TEST_P(NeutraliseTest, ShowsControlsAndKeepsCharacters)
{
    EXPECT_EQ(NeutraliseControls(GetParam().input), GetParam().expected);
}

const NeutraliseCase kNeutraliseCases[] = {
    {"Empty", "", ""},
    {"LineFeedAndTabKept", "a\nb\tc", "a\nb\tc"},
    {"ClearScreen", "\x1B[2J\x1B[H", "\\x1B[2J\\x1B[H"},
    {"RetitleOsc", "\x1B]0;owned\x07", "\\x1B]0;owned\\x07"},
    {"CarriageReturnOverwrite", "pay 10\rpay 99", "pay 10\\x0Dpay 99"},
    {"NulAndDel", "a\0b\x7F"s, "a\\x00b\\x7F"},
    {"C1Csi",
     "\x81\x30\x83\x37"
     "2J",
     "\\x9B2J"},
    {"C1FirstAndLast", "\x81\x30\x81\x30\x81\x30\x84\x31", "\\x80\\x9F"},
    {"NbspAfterC1Kept", "\x81\x30\x84\x32", "\x81\x30\x84\x32"},
    {"ChineseWith80To9FBytes", kYu + kGan + kZhongWen, kYu + kGan + kZhongWen},
    {"BackslashTrailKept", kCheng, kCheng},
    {"EmojiKept", kGrinning, kGrinning},
    {"EscBetweenChinese", "\xD6\xD0\x1B\xCE\xC4", "\xD6\xD0\\x1B\xCE\xC4"},
    // A lead byte must not hide the control that follows it from the check.
    {"LeadThenEsc", "\x81\x1B[0m", "\\x81\\x1B[0m"},
    {"LoneHighBytes", "\x80 \xFF", "\\x80 \\xFF"},
    {"TruncatedFourByte", "\x81\x30",
     "\\x81"
     "0"},
};

INSTANTIATE_TEST_SUITE_P(Rows, NeutraliseTest, ::testing::ValuesIn(kNeutraliseCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Whatever bytes a message carries, what reaches a UTF-8 terminal holds no
// control but line feed and tab.
TEST(NeutraliseProperty, RandomBytesReachTheTerminalWithoutControls)
{
    std::mt19937 rng(20240531);
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 3000; ++round) {
        std::string input;
        const int n = length(rng);
        for (int k = 0; k < n; ++k) {
            // Bias towards the interesting ranges: controls, GB18030 leads and 0x30..0x39.
            const int pick = byte(rng);
            input.push_back(static_cast<char>(pick < 64   ? 0x81 + pick % 4
                                              : pick < 96 ? 0x30 + pick % 10
                                                          : byte(rng)));
        }
        const std::string shown = ConvertToCharset(NeutraliseControls(input), "UTF-8");
        SCOPED_TRACE(testing::PrintToString(input));
        for (std::size_t k = 0; k < shown.size(); ++k) {
            const unsigned char c = static_cast<unsigned char>(shown[k]);
            ASSERT_FALSE((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) << "at " << k;
            const bool c1 = c == 0xC2 && k + 1 < shown.size() &&
                            static_cast<unsigned char>(shown[k + 1]) >= 0x80 &&
                            static_cast<unsigned char>(shown[k + 1]) <= 0x9F;
            ASSERT_FALSE(c1) << "C1 at " << k;
        }
    }
}

}  // namespace
