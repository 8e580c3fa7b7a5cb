// The reading of typed lines from a standard input that is no console, fed
// from memory: line ends, and the bound of a line in both charsets a console
// commonly has, where a character can straddle the cut.

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "platform/console_backend.h"

namespace {

using console_backend::kRawLineLimit;
using console_backend::ReadPipedLine;

const std::size_t kMax = kMaxTypedLineBytes;

struct Line {
    std::string text;
    bool cut;
    bool operator==(const Line& other) const { return text == other.text && cut == other.cut; }
};

// A failure shows the length and the end of a line, not all 64 KiB of it.
void PrintTo(const Line& line, std::ostream* os)
{
    const std::size_t tail = std::min<std::size_t>(8, line.text.size());
    *os << (line.cut ? "cut, " : "") << line.text.size() << " bytes ending "
        << ::testing::PrintToString(line.text.substr(line.text.size() - tail));
}

// Every line of the input, then checks that the end of input stays the end.
std::vector<Line> ReadLines(const std::string& input, const std::string& charset)
{
    std::size_t pos = 0;
    const auto next = [&] {
        return pos < input.size() ? static_cast<unsigned char>(input[pos++]) : -1;
    };
    std::vector<Line> lines;
    Line line{"untouched", false};
    while (ReadPipedLine(next, charset, line.text, line.cut)) {
        lines.push_back(line);
        line = {"untouched", false};
    }
    EXPECT_EQ(line.text, "untouched") << "the end of input leaves the line alone";
    EXPECT_FALSE(ReadPipedLine(next, charset, line.text, line.cut));
    return lines;
}

std::string As(std::size_t count)
{
    return std::string(count, 'a');
}

std::string Times(const std::string& unit, std::size_t count)
{
    std::string text;
    for (std::size_t k = 0; k < count; ++k) {
        text += unit;
    }
    return text;
}

TEST(PipedLine, LineEndsAndTheBoundAtACharacter)
{
    const std::string zhongUtf8 = "\xE4\xB8\xAD";        // 中
    const std::string zhong = "\xD6\xD0";                // 中, internal
    const std::string grinning = "\x94\x39\xFC\x36";     // U+1F600, four internal bytes
    const std::string replacement = "\x84\x31\xA4\x37";  // U+FFFD, internal
    const struct {
        const char* why;
        std::string charset;
        std::string input;
        std::vector<Line> lines;
    } rows[] = {
        {"no input", "UTF-8", "", {}},
        {"empty lines", "UTF-8", "\n\r\n", {{"", false}, {"", false}}},
        {"LF, CR LF and a last line without end",
         "UTF-8",
         "one\ntwo\r\nthree",
         {{"one", false}, {"two", false}, {"three", false}}},
        {"only the CR before LF goes", "UTF-8", "a\rb\r\r\n", {{"a\rb\r", false}}},
        {"a last CR without LF goes", "GB18030", "a\r", {{"a", false}}},
        {"converted from UTF-8", "UTF-8", zhongUtf8 + "\n", {{zhong, false}}},
        {"exactly the bound after conversion",
         "UTF-8",
         As(kMax - 2) + zhongUtf8,
         {{As(kMax - 2) + zhong, false}}},
        // Fewer console bytes than the bound, more internal ones: still cut.
        {"UTF-8 character across the bound",
         "UTF-8",
         As(kMax - 1) + zhongUtf8 + "\nnext",
         {{As(kMax - 1), true}, {"next", false}}},
        {"broken UTF-8 across the bound",
         "UTF-8",
         As(kMax - 3) + "\xE4\xB8\n",
         {{As(kMax - 3), true}}},
        {"broken UTF-8 within the bound",
         "UTF-8",
         As(kMax - 4) + "\xE4\n",
         {{As(kMax - 4) + replacement, false}}},
        {"GB18030 two-byte character across the bound",
         "GB18030",
         As(kMax - 1) + zhong + "\n",
         {{As(kMax - 1), true}}},
        {"GB18030 four-byte character across the bound",
         "GB18030",
         As(kMax - 3) + grinning + "\r\n",
         {{As(kMax - 3), true}}},
        {"GB18030 four-byte character up to the bound",
         "GB18030",
         As(kMax - 4) + grinning,
         {{As(kMax - 4) + grinning, false}}},
        // Beyond what is read at all: dropped up to the line end, CR and all.
        {"console bytes beyond the read limit",
         "GB18030",
         std::string(kRawLineLimit, 'x') + "\r\r\n" + zhong,
         {{std::string(kMax, 'x'), true}, {zhong, false}}},
        {"four-byte characters beyond the read limit",
         "GB18030",
         "a" + Times(grinning, kRawLineLimit / 4 + 1) + "\nz",
         {{"a" + Times(grinning, (kMax - 1) / 4), true}, {"z", false}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(ReadLines(row.input, row.charset), row.lines);
    }
}

}  // namespace
