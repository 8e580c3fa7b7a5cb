// Untrusted texts laid out for the console.

#include "console/screen_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct LAYOUT_CASE_t {
    const char* what;
    std::string text;
    int firstColumn;
    int columns;
    std::string expected;
};

const std::string k10(10, ' ');
// 中文 in the internal code page: two characters of two columns each.
const std::string kChinese = "\xD6\xD0\xCE\xC4";

const LAYOUT_CASE_t kCases[] = {
    {"one line stays as it is", "hello", 10, 80, "hello"},
    {"own line breaks start under the text", "a\nb\nc", 10, 0, "a\n" + k10 + "b\n" + k10 + "c"},
    {"empty lines get no margin", "a\n\nb\n", 10, 0, "a\n\n" + k10 + "b\n"},
    {"controls are shown, not obeyed", "\x1b[2Jx\ry", 10, 0, "\\x1B[2Jx\\x0Dy"},
    {"no terminal: no breaks of its own", std::string(200, 'x'), 10, 0, std::string(200, 'x')},
    {"the last column stays free", std::string(25, 'x'), 10, 30,
     std::string(19, 'x') + "\n" + k10 + std::string(6, 'x')},
    {"a character beyond ASCII counts two columns", kChinese + kChinese + kChinese + kChinese, 10,
     25, kChinese + kChinese + kChinese + "\xD6\xD0\n" + k10 + "\xCE\xC4"},
    {"a tab reaches the next multiple of eight", "abcdef\tc", 10, 20, "abcdef\n" + k10 + "\tc"},
    {"a text that begins past the edge starts on a line of its own", "xy", 40, 30,
     "\n" + k10 + "xy"},
    {"a terminal too narrow for a tab past the margin breaks only at line breaks", "abcdef\ng", 10,
     19, "abcdef\n" + k10 + "g"},
};

class LayOutTest : public ::testing::TestWithParam<LAYOUT_CASE_t> {};

TEST_P(LayOutTest, Lays)
{
    const LAYOUT_CASE_t& c = GetParam();
    EXPECT_EQ(LayOutUntrustedText(c.text, c.firstColumn, kUntrustedIndent, c.columns), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, LayOutTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<LAYOUT_CASE_t>& info) {
                             std::string name;
                             for (const char* p = info.param.what; *p; ++p) {
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             }
                             return name;
                         });

// Whatever a message holds (line breaks, padding to the terminal's edge,
// wide characters, tabs, controls), every printed line fits the terminal,
// and every line after the first is empty or begins with the margin.
TEST(LayOutProperty, EveryLineFitsAndEveryFurtherLineIsIndented)
{
    std::uint32_t state = 12345;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    const std::vector<std::string> pieces = {"A",
                                             " ",
                                             "\n",
                                             "\t",
                                             kChinese,
                                             "\x1b",
                                             "\x81\x30\x81\x30",
                                             "\xB7\xA2\xCB\xCD\xBA\xC5\xC2\xEB: ",
                                             std::string(37, 'p')};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int count = static_cast<int>(next() % 40);
        for (int k = 0; k < count; ++k) {
            text += pieces[next() % pieces.size()];
        }
        const int columns = 20 + static_cast<int>(next() % 80);
        const int first = static_cast<int>(next() % 30);
        const std::string out = LayOutUntrustedText(text, first, kUntrustedIndent, columns);
        std::istringstream lines(out);
        std::string line;
        bool firstLine = true;
        while (std::getline(lines, line)) {
            SCOPED_TRACE(::testing::Message() << "columns " << columns << " line [" << line << "]");
            if (!firstLine && !line.empty()) {
                EXPECT_EQ(line.compare(0, kUntrustedIndent, std::string(kUntrustedIndent, ' ')), 0);
            }
            // The first line may be left empty when the text would start at
            // the edge: what precedes it is not the text's to lay out.
            if (!line.empty()) {
                EXPECT_LT(ColumnAfter(line, firstLine ? first : 0), columns);
            }
            firstLine = false;
        }
    }
}

TEST(ColumnAfterTest, CountsWideCharactersTabsAndLineBreaks)
{
    EXPECT_EQ(ColumnAfter("abc", 0), 3);
    EXPECT_EQ(ColumnAfter(kChinese, 4), 8);
    EXPECT_EQ(ColumnAfter("a\tb", 0), 9);
    EXPECT_EQ(ColumnAfter("abc\nde", 7), 2);
}

}  // namespace
