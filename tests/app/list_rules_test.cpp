// The text rules of the command line: port and number lists, quotes, time text.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/application.h"

namespace {

using Items = std::vector<std::string>;

struct ListCase {
    const char* input;
    Items expected;
};

TEST(SplitPortListTest, SeparatorsDuplicatesAndMalformedItems)
{
    const ListCase cases[] = {
        {"3", {"3"}},
        {"3,4", {"3", "4"}},
        {"3;4", {"3", "4"}},
        {"3,,4", {"3", "4"}},
        {"3 4", {"3", "4"}},
        {" ;3;, 4,", {"3", "4"}},
        {"3,3", {"3", "3"}},
        {"03", {"03"}},
        {"COM3", {}},
        {"3,4a", {}},
        {"3,-1", {}},
        {"3,+4", {}},
        {"", {}},
        {",;  ", {}},
        {"3\t4", {}},
        {"3,\xB1\xB1", {}},  // a two-byte character is no digit
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
        {"0", true}, {"0123456789", true}, {"", false}, {" 3", false}, {"3 ", false},
        {"-1", false}, {"+1", false}, {"3a", false}, {"\xA3\xB3", false},  // full-width 3 in GBK
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IsAllDigits(c.text), c.expected);
    }
}

TEST(StripQuotesTest, KeepsWhatStandsBetweenFirstAndLastQuote)
{
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"abc\"def\"ghi", "def"},
        {"ab\"cd", "ab\"cd"},          // five bytes: unchanged
        {"\"abcd\"", "abcd"},          // six bytes
        {"abcdef", "abcdef"},
        {"abc\"defgh", "defgh"},       // a single quote: everything after it
        {"a\"b\"c\"d\"e", "b\"c\"d"},
        {"abcde\"", ""},
        {"\"\"\"\"\"\"", "\"\"\"\""},
        {"", ""},
        {"\"\xB1\xB1\xBE\xA9\"", "\xB1\xB1\xBE\xA9"},
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
        {"+8618300000000", true},             // "+" and 13 digits
        {"8618300+000000", false},            // "+" after the seventh digit
        {"++861830000", false},
        {"+1234", true},                      // the "+" counts towards the length
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

TEST(AppendSendTimeTest, ServiceNumbersGetTheTextAlone)
{
    const std::string time = "2026-05-12 13:28:56";
    EXPECT_EQ(AppendSendTime("hello", "10086", time), "hello");
    EXPECT_EQ(AppendSendTime("hello", "10010", time), "hello");
    EXPECT_EQ(AppendSendTime("hello", "18300000000", time), "hello 2026-05-12 13:28:56");
    EXPECT_EQ(AppendSendTime("hello", "+1234", time), "hello");
    EXPECT_EQ(AppendSendTime("hello", "100861", time), "hello 2026-05-12 13:28:56");
    EXPECT_EQ(AppendSendTime("", "18300000000", time), " 2026-05-12 13:28:56");
}

TEST(DeviceStatusCodeTest, FirstReasonThatApplies)
{
    COM_DEVICE_t complete;
    complete.bAT = true;
    complete.strSerialNo = "866000000000001";
    complete.strCardNo = "89860012345678901234";
    complete.strSignal = " 23,99";

    const struct {
        const char* name;
        void (*change)(COM_DEVICE_t&);
        COM_CMD_OPERATE_RESULT_t expected;
    } cases[] = {
        {"complete, unknown model", [](COM_DEVICE_t&) {}, CMD_RESULT_FOREIGN_DEVICE},
        {"port not found", [](COM_DEVICE_t& d) { d.bPortFound = false; d.bAT = false; }, CMD_RESULT_NO_PORT},
        {"not AT", [](COM_DEVICE_t& d) { d.bAT = false; d.strSerialNo.clear(); }, CMD_RESULT_NOT_AT},
        {"no serial", [](COM_DEVICE_t& d) { d.strSerialNo.clear(); d.strCardNo.clear(); }, CMD_RESULT_FOREIGN_SMS_DEVICE},
        {"no SIM", [](COM_DEVICE_t& d) { d.strCardNo.clear(); d.strSignal.clear(); }, CMD_RESULT_NO_SIM},
        {"no signal", [](COM_DEVICE_t& d) { d.strSignal.clear(); }, CMD_RESULT_NO_SIGNAL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        COM_DEVICE_t device = complete;
        c.change(device);
        const COM_CMD_OPERATE_RESULT_t code = DeviceStatusCode(device);
        EXPECT_EQ(code, c.expected);
        EXPECT_NE(code, CMD_RESULT_SUCCEED);
    }
}

}  // namespace
