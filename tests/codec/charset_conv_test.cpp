#include "codec/charset_conv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>
#include "iconv/text_literal.h"

namespace {

// GB("...") is internal text (GB18030); a plain or u8"" literal is UTF-8.
// Byte expectations are spelled out in hexadecimal.
std::string Hex(const std::string& bytes)
{
    return BytesToHex(bytes);
}

struct ConversionCase {
    const char* name;
    std::string input;
    std::string expectedHex;
};

TEST(AnsiToUcs2, ConvertsInternalTextToBigEndianUnits)
{
    const std::vector<ConversionCase> cases = {
        {"two Chinese characters", GB("中文"), "4E2D6587"},
        {"ASCII letter", "A", "0041"},
        {"empty", "", ""},
        {"mixed", GB("A中"), "00414E2D"},
        // A GB18030 four-byte form outside the BMP becomes a surrogate pair.
        {"emoji", std::string("\x94\x39\xFC\x36"), "D83DDE00"},
        // A BMP character GBK lacks (Hangul GA) in its four-byte form.
        {"hangul", std::string("\x82\x37\xCF\x35"), "AC00"},
        {"invalid lead byte",
         std::string("A\xFF"
                     "B"),
         "0041FFFD0042"},
        {"lead byte cut off at the end", std::string("A\xD6"), "0041FFFD"},
        {"lead byte before a byte that is no trail", std::string("\xD6\x7F"), "FFFD007F"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Hex(AnsiToUcs2(c.input)), c.expectedHex);
    }
}

TEST(Ucs2ToAnsi, ConvertsUnitsToInternalText)
{
    const std::vector<ConversionCase> cases = {
        {"two Chinese characters", HexToBytes("4E2D6587"), Hex(GB("中文"))},
        {"ASCII", HexToBytes("00410042"), "4142"},
        {"odd last byte ignored", HexToBytes("4E2D65"), Hex(GB("中"))},
        {"surrogate pair", HexToBytes("D83DDE00"), "9439FC36"},
        {"lone high surrogate", HexToBytes("D83D0041"), "3F41"},
        {"lone low surrogate", HexToBytes("DE000041"), "3F41"},
        {"high surrogate at the end", HexToBytes("0041D83D"), "413F"},
        {"byte-order mark is a character, not a marker", HexToBytes("FEFF0041"),
         "84319533"
         "41"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Hex(Ucs2ToAnsi(c.input)), c.expectedHex);
        EXPECT_EQ(Hex(Ucs2ToAnsiString(c.input)), c.expectedHex);
    }
}

TEST(Ucs2ToAnsi, TextOverTheLimitIsEmptyButStringFormKeepsIt)
{
    std::string ucs2;
    std::string gbk;
    for (int i = 0; i < 80; ++i) {
        ucs2 += HexToBytes("4E2D");
        gbk += GB("中");
    }
    EXPECT_EQ(Ucs2ToAnsi(ucs2), gbk) << "80 characters are exactly 160 bytes";

    ucs2 += HexToBytes("4E2D");
    gbk += GB("中");
    EXPECT_EQ(Ucs2ToAnsi(ucs2), "") << "81 characters do not fit 160 bytes";
    EXPECT_EQ(Ucs2ToAnsiString(ucs2), gbk);
    EXPECT_EQ(Ucs2ToAnsi(ucs2, 162), gbk);
}

TEST(Ucs2ToAnsi, CharactersGbkLacksBecomeQuestionMarksWhenOnlyThatFits)
{
    // 70 Hangul syllables: one SMS worth, 280 bytes as GB18030 four-byte
    // forms. GBK would show 70 "?"; an empty text would lose the message.
    std::string ucs2;
    for (int i = 0; i < 70; ++i) {
        ucs2 += HexToBytes("AC00");
    }
    EXPECT_EQ(Ucs2ToAnsi(ucs2), std::string(70, '?'));
    EXPECT_EQ(Ucs2ToAnsiString(ucs2).size(), 280u);

    // Within the limit the characters are kept.
    EXPECT_EQ(Hex(Ucs2ToAnsi(HexToBytes("AC004E2D"))), "8237CF35" + Hex(GB("中")));
}

TEST(Utf8AndAnsi, ConvertBothWaysWithVisibleReplacements)
{
    EXPECT_EQ(Utf8ToAnsi(u8"中文"), GB("中文"));
    EXPECT_EQ(AnsiToUtf8(GB("中文")), u8"中文");
    EXPECT_EQ(Utf8ToAnsi(""), "");
    EXPECT_EQ(AnsiToUtf8(""), "");
    EXPECT_EQ(Hex(Utf8ToAnsi(u8"\U0001F600")), "9439FC36");
    EXPECT_EQ(AnsiToUtf8(std::string("\x94\x39\xFC\x36")), u8"\U0001F600");

    const std::vector<ConversionCase> badUtf8 = {
        {"stray continuation byte",
         std::string("a\x80"
                     "b"),
         "613F62"},
        {"truncated sequence at the end", std::string("a\xE4\xB8"), "613F"},
        {"truncated sequence before ASCII",
         std::string("\xE4\xB8"
                     "a"),
         "3F3F61"},
        {"overlong form is one replacement", std::string("\xC0\xAF"), "3F"},
    };
    for (const auto& c : badUtf8) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Hex(Utf8ToAnsi(c.input)), c.expectedHex);
    }
    EXPECT_EQ(AnsiToUtf8(std::string("a\xFF"
                                     "b")),
              u8"a\uFFFDb");
}

TEST(Hex, BytesToHexWritesUpperCasePairs)
{
    EXPECT_EQ(BytesToHex(std::string("\x4E\x2D")), "4E2D");
    EXPECT_EQ(BytesToHex(std::string("\x00\xFF\x0A", 3)), "00FF0A");
    EXPECT_EQ(BytesToHex(""), "");
}

TEST(Hex, HexToBytesKeepsTheConvertersArithmetic)
{
    const std::vector<ConversionCase> cases = {
        {"upper case", "4E2D", "4E2D"},
        {"all digits", "0123456789ABCDEF", "0123456789ABCDEF"},
        {"odd last character ignored", "4E2", "4E"},
        {"single character", "4", ""},
        {"empty", "", ""},
        // 'e' - 55 = 46: 4 * 16 + 46 = 0x6E; 'd' - 55 = 45: 2 * 16 + 45 = 0x4D.
        {"lower case is not understood", "4e2d", "6E4D"},
        // 'G' - 55 = 16 -> high 0x100 + 0 mod 256.
        {"non-hex letter", "G0", "00"},
        // ' ' - 7 - '0' and ' ' - 55 wrap modulo 256.
        {"blank and high bytes stay defined", std::string(" \xFF"), "58"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Hex(HexToBytes(c.input)), c.expectedHex);
    }
}

TEST(SemiOctets, SwapPairsAndPadWithF)
{
    struct Case {
        std::string digits;
        std::string swapped;
    };
    const std::vector<Case> cases = {
        {"1380013800", "3108108300"},
        {"13800138000", "3108108300F0"},
        {"8613800100500", "683108100005F0"},
        {"1", "F1"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.digits);
        EXPECT_EQ(EncodeSemiOctets(c.digits), c.swapped);
        EXPECT_EQ(DecodeSemiOctets(c.swapped), c.digits);
    }
    EXPECT_EQ(DecodeSemiOctets("3108108300F"), "1380013800") << "odd last character ignored";
    EXPECT_EQ(DecodeSemiOctets("F"), "");
    EXPECT_EQ(DecodeSemiOctets("FF"), "F") << "only the final F is dropped";
    EXPECT_EQ(DecodeSemiOctets("21F0"), "120") << "an F inside is kept as it stands";
}

}  // namespace
