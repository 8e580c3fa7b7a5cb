// The argument rules of the command line: the mode, port and number lists, quotes, the inbox word.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/arguments.h"

namespace {

using Items = std::vector<std::string>;

struct ListCase {
    const char* input;
    Items expected;
};

TEST(SplitPortListTest, SeparatorsDuplicatesComNamesAndMalformedItems)
{
    const ListCase cases[] = {
        {"3", {"3"}},
        {"3,4", {"3", "4"}},
        {"3;4", {"3", "4"}},
        {"3,,4", {"3", "4"}},
        {"3 4", {"3", "4"}},
        {" ;3;, 4,", {"3", "4"}},
        {"3\xA3\xAC"
         "4",
         {"3", "4"}},  // the full-width comma of the help text
        {"3,3", {"3", "3"}},
        {"03", {"03"}},
        // Ports as the table names them; the digits stay as written.
        {"COM3", {"3"}},
        {"com3,Com4;cOM101", {"3", "4", "101"}},
        {"COM03", {"03"}},
        {"COM", {}},
        {"COM 3", {}},  // "COM" alone is an item of its own
        {"COM3a", {}},
        {"COMX3", {}},
        {"CO3", {}},
        {"3,4a", {}},
        {"3,-1", {}},
        {"3,+4", {}},
        {"", {}},
        {",;  ", {}},
        {"3\t4", {}},
        {"3,\xB1\xB1", {}},  // a two-byte character is no digit
        {"3\xA3\xAD"
         "4",
         {}},  // a full-width hyphen is no separator
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(std::string("input: ") + c.input);
        EXPECT_EQ(SplitPortList(c.input), c.expected);
    }
}

TEST(IsAllDigitsTest, OnlyAsciiDigitsAndNotEmpty)
{
    const struct {
        const char* text;
        bool expected;
    } cases[] = {
        {"0", true},   {"0123456789", true}, {"", false},   {" 3", false},       {"3 ", false},
        {"-1", false}, {"+1", false},        {"3a", false}, {"\xA3\xB3", false},  // full-width 3 in
                                                                                  // GBK
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IsAllDigits(c.text), c.expected);
    }
}

TEST(StripQuotesTest, OnlyOnePairThatEnclosesTheWholeTextGoes)
{
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"He said \"hi\" to me", "He said \"hi\" to me"},  // embedded: kept as typed
        {"Size 5\" screen", "Size 5\" screen"},            // unbalanced: kept
        {"\"hello\"", "hello"},                            // enclosing: one pair goes
        {"\"ab\"", "ab"},                                  // short texts alike
        {"\"\"", ""},
        {"\"say \"hi\"\"", "say \"hi\""},  // only the outer pair
        {"\"\"\"\"", "\"\""},
        {"\"abc", "\"abc"},
        {"abc\"", "abc\""},
        {"\"", "\""},  // one quote is no pair
        {"abcdef", "abcdef"},
        {"", ""},
        {"\"\xB1\xB1\xBE\xA9\"", "\xB1\xB1\xBE\xA9"},
        {"\xB1\"\xBE\xA9\"", "\xB1\"\xBE\xA9\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StripQuotes(c.text), c.expected);
    }
}

TEST(IsValidNumberTest, LengthDigitsAndLeadingPlus)
{
    const struct {
        std::string number;
        bool expected;
    } cases[] = {
        {"10086", true},
        {"1008", false},
        {"18300000000", true},
        {"+8618300000000", true},   // "+" and 13 digits
        {"8618300+000000", false},  // "+" after the seventh digit
        {"++861830000", false},
        {"+1234", true},  // the "+" counts towards the length
        {"+123", false},
        {std::string(29, '1'), true},
        {std::string(30, '1'), false},
        {"+" + std::string(28, '1'), true},
        {"183 0000000", false},
        {"1830000000a", false},
        {"", false},
        {"\xA3\xB1\xA3\xB2\xA3\xB3", false},  // full-width digits
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(IsValidNumber(c.number), c.expected);
    }
}

TEST(SplitNumberListTest, SeparatorsAndOneBadNumberEmptiesTheList)
{
    const ListCase cases[] = {
        {"18300000000", {"18300000000"}},
        {"18300000000,,18500000000", {"18300000000", "18500000000"}},
        {"18300000000;18500000000", {"18300000000", "18500000000"}},
        {"18300000000 18500000000", {"18300000000", "18500000000"}},
        {"18300000000\xA3\xAC"
         "18500000000\xA3\xAC",
         {"18300000000", "18500000000"}},
        {"18300000000,18300000000", {"18300000000", "18300000000"}},
        {"183 0000", {}},
        {"18300000000,1830", {}},
        {"help", {}},
        {",,;", {}},
        {"", {}},
        {"+8618300000000,10086", {"+8618300000000", "10086"}},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(std::string("input: ") + c.input);
        EXPECT_EQ(SplitNumberList(c.input), c.expected);
    }
}

TEST(ParseInboxWordTest, SixWholeWordsAndNothingElse)
{
    const struct {
        const char* word;
        INBOX_OPERATION_t operation;
        bool compact;
    } cases[] = {
        {"read", INBOX_OPERATION_READ, false},
        {"clear", INBOX_OPERATION_CLEAR, false},
        {"readclear", INBOX_OPERATION_READ_CLEAR, false},
        {"sread", INBOX_OPERATION_READ, true},
        {"sclear", INBOX_OPERATION_CLEAR, true},
        {"sreadclear", INBOX_OPERATION_READ_CLEAR, true},
        {"watch", INBOX_OPERATION_WATCH, true},
        {"watcher", INBOX_OPERATION_NONE, false},
        {"reader", INBOX_OPERATION_NONE, false},
        {"clears", INBOX_OPERATION_NONE, false},
        {"READ", INBOX_OPERATION_NONE, false},  // the entry lower-cases before
        {"", INBOX_OPERATION_NONE, false},
        {"s", INBOX_OPERATION_NONE, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        const INBOX_REQUEST_t request = ParseInboxWord(c.word);
        EXPECT_EQ(request.nOperation, c.operation);
        EXPECT_EQ(request.bCompact, c.compact);
    }
    // The words the command names to the user are exactly those it takes.
    for (const std::string& word : InboxWords()) {
        EXPECT_NE(ParseInboxWord(word).nOperation, INBOX_OPERATION_NONE) << word;
    }
    EXPECT_EQ(InboxWords().size(), 7u);
}

TEST(EntryModeOfTest, KeywordsAloneTheSmsWordAndEverythingElseSends)
{
    using Args = std::vector<std::string>;
    const struct {
        Args args;
        ENTRY_MODE_t mode;
    } cases[] = {
        {{"tellmar"}, ENTRY_MODE_CONSOLE},
        {{}, ENTRY_MODE_CONSOLE},
        {{"tellmar", "help"}, ENTRY_MODE_HELP},
        {{"tellmar", "/?"}, ENTRY_MODE_HELP},
        {{"tellmar", "--h"}, ENTRY_MODE_HELP},
        {{"tellmar", "HELP"}, ENTRY_MODE_SEND},
        {{"tellmar", "help", "x"}, ENTRY_MODE_SEND},
        {{"tellmar", "version"}, ENTRY_MODE_VERSION},
        {{"tellmar", "-v"}, ENTRY_MODE_VERSION},
        {{"tellmar", "sms", "read"}, ENTRY_MODE_INBOX},
        {{"tellmar", "SmS", "whatever", "more"}, ENTRY_MODE_INBOX},
        {{"tellmar", "sms"}, ENTRY_MODE_SEND},
        {{"tellmar", "sms", "read", "3,4"}, ENTRY_MODE_INBOX},
        {{"tellmar", "ports"}, ENTRY_MODE_PORTS},
        {{"tellmar", "sports"}, ENTRY_MODE_PORTS},
        {{"tellmar", "PORTS"}, ENTRY_MODE_SEND},  // compared exactly, as help is
        {{"tellmar", "ports", "x"}, ENTRY_MODE_SEND},
        {{"tellmar", "smss", "read"}, ENTRY_MODE_SEND},
        {{"tellmar", "13800138000", "hello"}, ENTRY_MODE_SEND},
        {{"tellmar", "3", "13800138000", "hello"}, ENTRY_MODE_SEND},
        {{"tellmar", "pin", "3", "1234"}, ENTRY_MODE_PIN},
        {{"tellmar", "PIN"}, ENTRY_MODE_PIN},  // any count: the command says what is wrong
        {{"tellmar", "Ussd", "3", "*100#"}, ENTRY_MODE_USSD},
        {{"tellmar", "pins", "3", "1234"}, ENTRY_MODE_SEND},
        {{"tellmar", "--report", "13800138000", "hello"}, ENTRY_MODE_SEND},
        {{"tellmar", "-r", "3", "13800138000", "hello"}, ENTRY_MODE_SEND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(EntryModeOf(c.args), c.mode);
    }
    EXPECT_EQ(AsciiLower("SmS \xC4\xE3"), "sms \xC4\xE3");
}

TEST(CommandArgumentRules, ThePinTheUssdCodeAndTheReportOption)
{
    const struct {
        const char* pin;
        bool valid;
    } pins[] = {
        {"1234", true},
        {"12345678", true},
        {"123", false},
        {"123456789", false},
        {"12a4", false},
        {"", false},
        {"+1234", false},
        {"1234 ", false},
        {"\xEF\xBC\x91"
         "234",
         false},
    };
    for (const auto& c : pins) {
        EXPECT_EQ(IsValidPin(c.pin), c.valid) << c.pin;
    }
    const struct {
        std::string code;
        bool valid;
    } codes[] = {
        {"*100#", true},
        {"#", true},
        {"*135*1*13800138000#", true},
        {"+86", true},
        {"", false},
        {"*100# ", false},
        {"*10a#", false},
        {"\"*100#\"", false},
        {std::string(160, '1'), true},
        {std::string(161, '1'), false},
    };
    for (const auto& c : codes) {
        EXPECT_EQ(IsValidUssdCode(c.code), c.valid) << c.code;
    }
    EXPECT_TRUE(IsReportOption("--report"));
    EXPECT_TRUE(IsReportOption("-r"));
    EXPECT_FALSE(IsReportOption("--REPORT"));
    EXPECT_FALSE(IsReportOption("-R"));
    EXPECT_FALSE(IsReportOption("report"));
}

}  // namespace
