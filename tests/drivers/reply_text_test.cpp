#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "drivers/reply_text.h"

namespace {

using Pieces = std::vector<std::string>;

struct SplitCase {
    std::string text;
    Pieces expected;
};

TEST(SplitLines, KeepsOnlyTerminatedNonEmptyLines)
{
    const SplitCase cases[] = {
        {"a\r\n\r\nb\r\n", {"a", "b"}},
        {"\r\nOK", {}},
        {"", {}},
        {"\r\nOK\r\n", {"OK"}},
        {"AT\r\r\nOK\r\n", {"AT\r", "OK"}},
        {"a\nb\r\n", {"a\nb"}},
        {"a\r\nb\r", {"a"}},
        {std::string("x\0y\r\nz\r\n", 8), {std::string("x\0y", 3), "z"}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(SplitLines(c.text), c.expected);
    }
}

TEST(SplitByChar, KeepsInnerEmptyPiecesButNoEmptyLastOne)
{
    const SplitCase cases[] = {
        {"a,,b,", {"a", "", "b"}},
        {",a", {"", "a"}},
        {"", {}},
        {",", {""}},
        {"abc", {"abc"}},
        {"1,2,5", {"1", "2", "5"}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(SplitByChar(c.text, ','), c.expected);
    }
}

TEST(ReplaceChar, ReplacesEveryOccurrence)
{
    EXPECT_EQ(ReplaceChar("a,b,,c", ',', ';'), "a;b;;c");
    EXPECT_EQ(ReplaceChar("", ',', ';'), "");
}

struct TrimCase {
    std::string text;
    char ch;
    std::string once;
    std::string repeated;
};

TEST(TrimChar, RemovesRunsAtBothEndsButNeverTouchesShortTexts)
{
    const TrimCase cases[] = {
        {"\"x\"", '"', "x", "x"},
        {"ab", 'a', "ab", "ab"},
        {"\r\n", '\r', "\r\n", "\r\n"},
        {"\r\r", '\r', "\r\r", "\r\r"},
        {"\r\r\r", '\r', "\r", "\r"},
        {"\r\n\r\nabc\r\n\r\n", '\r', "\n\r\nabc\r\n\r\n", "\n\r\nabc\r\n\r\n"},
        {"xxxaxxx", 'x', "xxaxx", "a"},
        {"xxxxxx", 'x', "xxxx", "xx"},
        {"abc", 'z', "abc", "abc"},
        {"", 'x', "", ""},
    };
    for (const TrimCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(TrimCharOnce(c.text, c.ch), c.once);
        EXPECT_EQ(TrimChar(c.text, c.ch), c.repeated);
    }
}

TEST(TrimChar, StopsAfterOneHundredRepeats)
{
    // 101 applications remove 101 characters at each end.
    const std::string text = std::string(150, 'x') + "a" + std::string(150, 'x');
    const std::string trimmed = TrimChar(text, 'x');
    EXPECT_EQ(trimmed, std::string(49, 'x') + "a" + std::string(49, 'x'));
}

TEST(TrimCrLf, TakesTwoRoundsOfCrThenLf)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\r\nERROR\r\n", "ERROR"},
        {"\r\n\r\n+CMS ERROR: 500\r\n\r\n", "+CMS ERROR: 500\r"},  // the ends take turns
        {"ERROR\n\r", "ERROR"},
        {"\n\r\n\r\nX", "\r\nX"},  // a third alternation stays
        {"\r\n", "\r\n"},          // too short to trim
        {"OK", "OK"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.first));
        EXPECT_EQ(TrimCrLf(c.first), c.second);
    }
}

TEST(LeadingInt, ReadsLikeAtoiWithoutOverflow)
{
    const std::pair<std::string, int> cases[] = {
        {"512", 512},      {"  38", 38},   {"-7x", -7},        {"+5", 5},
        {"ERROR:", 0},     {"", 0},        {"12abc", 12},      {"99999999999999", INT_MAX},
        {"-99999999999999", INT_MIN},       {"\t\r\n 4", 4},    {"- 4", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(LeadingInt(c.first), c.second);
    }
}

}  // namespace
