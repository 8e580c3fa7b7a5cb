#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "codec/reply_text.h"

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
        {"a,,b,", {"a", "", "b"}}, {",a", {"", "a"}},          {"", {}}, {",", {""}},
        {"abc", {"abc"}},          {"1,2,5", {"1", "2", "5"}},
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
        {"512", 512},
        {"  38", 38},
        {"-7x", -7},
        {"+5", 5},
        {"ERROR:", 0},
        {"", 0},
        {"12abc", 12},
        {"99999999999999", INT_MAX},
        {"-99999999999999", INT_MIN},
        {"\t\r\n 4", 4},
        {"- 4", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(LeadingInt(c.first), c.second);
    }
}

TEST(ReadDecimal, ReadsFromAPositionAndSaysWhereItStopped)
{
    struct CASE_t {
        std::string text;
        std::size_t from;
        bool read;
        int value;       // 42 (the value before) when nothing was read
        std::size_t to;  // `from` when nothing was read
    };
    const CASE_t cases[] = {
        {" 23,99", 0, true, 23, 3},
        {" 23,99", 4, true, 99, 6},
        {"+CSQ: -5,x", 5, true, -5, 8},
        {"x,7", 0, false, 42, 0},
        {" - 7", 0, false, 42, 0},
        {"", 0, false, 42, 0},
        {"12", 2, false, 42, 2},
        {"2147483648,1", 0, true, INT_MAX, 10},
        {"-2147483648", 0, true, INT_MIN, 11},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.text + " from " + std::to_string(c.from));
        std::size_t pos = c.from;
        int value = 42;
        EXPECT_EQ(ReadDecimal(c.text, pos, value), c.read);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(pos, c.to);
    }
}

TEST(FinalResult, FinalLinesEndARepliesAndNothingElseDoes)
{
    // reply, ends with a final line (or the prompt), holds one anywhere
    const struct {
        std::string reply;
        bool ends;
        bool holds;
    } cases[] = {
        {"\r\nOK\r\n", true, true},
        {"AT+CSQ\r\r\n+CSQ: 23,99\r\n\r\nOK\r\n", true, true},
        {"\r\nERROR\r\n", true, true},
        {"\r\n+CMS ERROR: 500\r\n", true, true},
        {"\r\n+CME ERROR: SIM not inserted\r\n", true, true},
        {"\r\nCOMMAND NOT SUPPORT\r\n", true, true},
        {"\r\nNO CARRIER\r\n", true, true},
        {"\r\nOK\r\n^HCMGSS:12\r\n", true, true},
        {"\r\n^HCMGSF:96\r\n", true, true},
        {"\r\nOK\r\n\r\n", true, true},
        {" OK \r\n", true, true},
        {"\r\n> ", true, false},
        // Not (yet) a final line.
        {"\r\nOK", false, false},
        {"\r\nOK\r", false, true},
        {"\r\n+CMS ERROR:\r\n", false, false},
        {"\r\nBOOK CLUB OK\r\n", false, false},
        {"\r\nOKAY\r\n", false, false},
        {"\r\n+CMTI: \"SM\",3\r\n", false, false},
        {"\r\n^RSSI:17\r\n\r\nRING\r\n\r\n^BOOT:1,0,0,4,3\r\n", false, false},
        {"\r\nOK\r\n\r\n+CMTI: \"SM\",3\r\n", false, true},
        {"\r\n>", false, false},
        {"", false, false},
        {std::string("\r\n\0OK\r\n", 7), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.reply));
        EXPECT_EQ(c.ends, EndsWithFinalResult(c.reply));
        EXPECT_EQ(c.holds, HoldsFinalResult(c.reply));
    }
    EXPECT_TRUE(IsFinalResultLine("+CME ERROR: 10"));
    EXPECT_FALSE(IsFinalResultLine("+CMGS: 12"));
}

TEST(ResultFields, ReadLinesAsModulesFrameThem)
{
    const struct {
        const char* source;  // where the line was seen, when not made here
        std::string line;
        std::string prefix;
        bool found;
        Pieces fields;
    } cases[] = {
        {"", "+CMGL: 1,1,,23", "+CMGL", true, {"1", "1", "", "23"}},
        {"gammu 1.42.0 tests/at-parser.c (ATGEN_ParseReply)",
         "+CMGL:1,0,,26",
         "+CMGL",
         true,
         {"1", "0", "", "26"}},
        {"", "+cmgl: 3 , 1 , \"Mum, home\" , 24", "+CMGL", true, {"3", "1", "\"Mum, home\"", "24"}},
        {"gammu 1.42.0 tests/at-cpms/generic.dump",
         "+CPMS: (\"SM\",\"ME\"), (\"SM\",\"ME\"), (\"SM\",\"ME\")",
         "+CPMS",
         true,
         {"(\"SM\",\"ME\")", "(\"SM\",\"ME\")", "(\"SM\",\"ME\")"}},
        {"gammu 1.42.0 tests/at-statemachine.c",
         "+CPMS: 2,300,2,300,2,300",
         "+CPMS",
         true,
         {"2", "300", "2", "300", "2", "300"}},
        {"gammu 1.42.0 tests/at-smsc/01.dump",
         "+CSCA: 002B00390037003200350034003100320030003000330032,145",
         "+CSCA",
         true,
         {"002B00390037003200350034003100320030003000330032", "145"}},
        {"the Wavecom G900 manual's +CDS", "+CDS : 24", "+CDS", true, {"24"}},
        {"", "+CMGD: (1,2,5),(0-4)", "+CMGD", true, {"(1,2,5)", "(0-4)"}},
        {"", "^HCMGL:7,0,0,0", "^HCMGL", true, {"7", "0", "0", "0"}},
        {"", "+CSQ:23,99\r\n", "+CSQ", true, {"23", "99"}},
        {"", "+CPMS: ", "+CPMS", true, {""}},
        // An echoed command and a prefix without its colon are no result.
        {"", "AT+CMGL=4", "+CMGL", false, {}},
        {"", "+CMGL 1,1,,23", "+CMGL", false, {}},
        {"", "", "+CMGL", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.line) + " " + c.source);
        Pieces fields;
        EXPECT_EQ(c.found, ResultFields(c.line, c.prefix, fields));
        EXPECT_EQ(c.fields, fields);
        EXPECT_EQ(c.found, HoldsResult(c.line, c.prefix));
    }
    EXPECT_EQ("+86", Unquoted("\"+86\""));
    EXPECT_EQ("\"+86", Unquoted("\"+86"));
    EXPECT_EQ("", Unquoted("\"\""));
    EXPECT_EQ(2u, FindNoCase("AT+cmgl=4", "+CMGL"));
    EXPECT_EQ(std::string::npos, FindNoCase("+CMG", "+CMGL"));
}

}  // namespace

TEST(ReadStoragesOfReply, TheFirstListOfCpms)
{
    struct Case {
        const char* name;
        std::string reply;
        std::vector<std::string> storages;
    };
    const std::vector<Case> cases = {
        // gammu 1.42.0 (Debian source package gammu), tests/at-cpms*/ replies.
        {"gammu at-cpms/generic.dump",
         "AT+CPMS=?\r\n+CPMS: (\"SM\",\"ME\"), (\"SM\",\"ME\"), "
         "(\"SM\",\"ME\")\r\nOK\r\n",
         {"SM", "ME"}},
        {"gammu at-cpms/alcatel-s320.dump",
         "AT+CPMS=?\r\n\r\n+CPMS: (\"SM\", \"ME\", \"SM_P\", \"ME_P\", \"MT\"), (\"SM\", \"ME\", "
         "\"SM_P\", \"ME_P\", \"MT\"), (\"SM\", \"ME\", \"SM_P\", \"ME_P\", \"MT\")\r\nOK\r\n",
         {"SM", "ME", "SM_P", "ME_P", "MT"}},
        {"gammu at-cpms-sr/generic.dump, a quote missing",
         "AT+CPMS=?\r\n+CPMS: (ME\", \"SR\"), (\"ME\", \"SR\"), (\"ME\")\r\nOK\r\n",
         {"ME", "SR"}},
        {"gammu at-cpms-sm/iwow.dump, no parentheses",
         "AT+CPMS=?\r\n+CPMS: \"SM\",\"SM\",\"SM\"\r\nOK\r\n",
         {"SM"}},
        {"gammu at-cpms/samsung-j700.dump, empty", "AT+CPMS=?\r\n+CPMS: \r\nOK\r\n", {}},
        // The Wavecom form (ofono drivers/atmodem/sms.c, the Q2XXX quirk).
        {"Wavecom, nested",
         "\r\n+CPMS: ((\"SM\",\"BM\",\"SR\"),(\"SM\"))\r\n\r\nOK\r\n",
         {"SM", "BM", "SR"}},
        {"no blank, lower case", "+CPMS:(\"sm\",\"sr\"),(\"sm\")\r\n", {"SM", "SR"}},
        {"the line has not ended", "\r\n+CPMS: (\"SM\",\"SR\")", {}},
        {"an error", "\r\n+CMS ERROR: 302\r\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadStoragesOfReply(c.reply), c.storages);
    }
}

TEST(SendReferenceOfReply, TheReferenceOfAnAcceptedBody)
{
    const struct {
        const char* reply;
        int reference;
    } cases[] = {
        {"\r\n+CMGS: 12\r\n\r\nOK\r\n", 12},
        {"\r\n+CMGS:0\r\n\r\nOK\r\n", 0},
        {"\r\n+CMGS: 255,\"24/05/01,09:30:00+32\"\r\n\r\nOK\r\n", 255},
        {"\r\n+CMGS: 256\r\n\r\nOK\r\n", -1},
        {"\r\n+CMGS: -1\r\n\r\nOK\r\n", -1},
        {"\r\n+CMGS: 7x\r\n\r\nOK\r\n", -1},
        {"\r\n+CMGS: 12", -1},
        {"\r\nOK\r\n", -1},
        {"\r\n+CMS ERROR: 500\r\n", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SendReferenceOfReply(c.reply), c.reference) << c.reply;
    }
}
