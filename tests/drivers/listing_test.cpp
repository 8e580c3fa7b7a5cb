#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drivers/phone_card_base.h"
#include "drivers/phone_velt_c.h"
#include "sms_message_print.h"
#include "support/fixture_text.h"

namespace {

constexpr COM_CMD_OPERATE_RESULT_t kOk = CMD_RESULT_SUCCEED;
constexpr COM_CMD_OPERATE_RESULT_t kFail = CMD_RESULT_FAILED;

using Messages = std::vector<SmsMessage>;

struct ListCase {
    const char* fixture;
    COM_CMD_OPERATE_RESULT_t result;
    Messages messages;
    std::vector<int> listedIndexes;
};

const ListCase kListCases[] = {
    {"drivers/base/list_order.txt", kOk,
     {{"13912345679", "21-03-05 10:11:12", "你好世界"},
      {"10086", "24-01-02 03:04:05", "Balance 12.50"}},
     {5, 2}},
    // Part 3 is stored first and stamped last: the joined message carries
    // its number and time.
    {"drivers/base/list_concat_out_of_order.txt", kOk,
     {{"13700001111", "21-03-06 01:02:09", "第一段第二段第三段"}},
     {1, 2, 3}},
    {"drivers/base/list_two_refs.txt", kOk,
     {{"13912345679", "21-03-05 10:11:12", "你好世界"},
      {"13600000007", "21-03-06 01:02:03", "seven-one seven-two"},
      {"13600000009", "21-03-06 01:02:03", "nine-one nine-two"}},
     {1, 2, 3, 4, 5}},
    // 7-bit parts carry their own text: joined as text, not as UCS-2 data.
    {"drivers/base/list_concat_7bit.txt", kOk,
     {{"85261234567", "22-06-01 09:30:15",
       "Long English message for a concatenation test. Long English message for a "
       "concatenation test. Long English message for a concatenation test. Long English "
       "message for a concatenation test. "}},
     {8, 9}},
    {"drivers/base/list_lone_part.txt", kOk,
     {{"13500000000", "21-03-06 01:02:03", "只有第二段"}},
     {7}},
    {"drivers/base/list_sms_full.txt", kOk,
     {{"13912345679", "21-03-05 10:11:12", "你好世界"}},
     {1}},
    {"drivers/base/list_header_without_pdu.txt", kOk,
     {{"13912345679", "21-03-05 10:11:12", "你好世界"}},
     {6}},
    // A stored outgoing message has its destination and no time stamp; a
    // status outside 0..3 gives an empty message that is not counted as read.
    {"drivers/base/list_outgoing.txt", kOk,
     {{"13800138000", "", "中文短信"}, {"", "", ""}},
     {3}},
    {"drivers/base/list_error.txt", kFail, {}, {}},
};

// The whole reply, and every prefix of it as the polls deliver it: a parser
// may decide early only with the final result and the final messages.
TEST(ParseList, RecordedListingsInEveryPrefix)
{
    for (const ListCase& c : kListCases) {
        SCOPED_TRACE(c.fixture);
        const std::string reply = LoadFixture(c.fixture);
        CPhone_VeltC driver;
        for (std::size_t n = 0; n < reply.size(); ++n) {
            const COM_CMD_OPERATE_RESULT_t early = driver.ParseList(reply.substr(0, n));
            if (early != CMD_RESULT_INCOMPLETE) {
                ASSERT_EQ(early, c.result) << "prefix " << n;
                ASSERT_EQ(driver.GetMessages(), c.messages) << "prefix " << n;
            }
        }
        EXPECT_EQ(driver.ParseList(reply), c.result);
        EXPECT_EQ(driver.GetMessages(), c.messages);
        EXPECT_EQ(driver.GetListedIndexes(), c.listedIndexes);
    }
}

TEST(ParseList, ErrorTextAndNothingKeptFromAnEarlierStorage)
{
    CPhone_VeltC driver;
    ASSERT_EQ(driver.ParseList(LoadFixture("drivers/base/list_order.txt")), kOk);
    ASSERT_EQ(driver.GetMessages().size(), 2u);
    EXPECT_EQ(driver.ParseList(LoadFixture("drivers/base/list_error.txt")), kFail);
    EXPECT_TRUE(driver.GetMessages().empty());
    EXPECT_TRUE(driver.GetListedIndexes().empty());
    EXPECT_NE(driver.GetLastErrorText().find("+CMS ERROR: 321"), std::string::npos);
}

TEST(ParseList, SmsFullKeepsThePreviousErrorTextTrimmed)
{
    CPhone_VeltC driver;
    driver.m_strLastError = "\r\n+CMS ERROR: 322\r\n";
    EXPECT_EQ(driver.ParseList(LoadFixture("drivers/base/list_sms_full.txt")), kOk);
    EXPECT_EQ(driver.m_strLastError, "+CMS ERROR: 322");
    EXPECT_EQ(driver.ParseList("\r\nOK\r\n"), kOk);
    EXPECT_EQ(driver.m_strLastError, "OK");
    EXPECT_EQ(driver.ParseList("\r\nSMS DONE\r\n"), kOk);
    EXPECT_EQ(driver.m_strLastError, "SMS DONE");
}

TEST(ParseList, GarbageAroundWholeEntries)
{
    CPhone_VeltC driver;
    const std::string reply = LoadFixture("drivers/base/list_garbage.txt");
    for (std::size_t n = 0; n <= reply.size(); ++n) {
        driver.ParseList(reply.substr(0, n));
    }
    EXPECT_EQ(driver.ParseList(reply), kOk);
    const Messages messages = driver.GetMessages();
    // Singles of index 2, 5, 8 (truncated), 11 (lying length), then the part
    // that claims 0 parts.
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0], (SmsMessage{"13912345679", "21-03-05 10:11:12", "你好世界"}));
    EXPECT_EQ(messages[1], (SmsMessage{"10086", "24-01-02 03:04:05", "Balance 12.50"}));
    EXPECT_EQ(messages[4], (SmsMessage{"13600000007", "21-03-06 01:02:03", "seven-one "}));
    EXPECT_EQ(driver.GetListedIndexes(), (std::vector<int>{5, 8, 11, 12, 2}));
}

TEST(ParseListHeader, IndexAndStatus)
{
    const struct {
        std::string line;
        int index;
        int status;
    } cases[] = {
        {"+CMGL: 3,1,,24", 3, 1},
        {"+CMGL:  12 , 0 ,,24", 12, 0},
        {"+CMGL: 3,1", 3, -1},
        {"+CMGL: 3", -1, -1},
        {"+CMGL: -3,1,,24", -3, -1},
        {"+CMGL: x,1,,24", 0, 1},
        {"+CMGL:3,1,,24", -1, -1},
        {"+CMGR: 3,1,,24", -1, -1},
        {"", -1, -1},
        {"junk +CMGL: 4,2,\"x\",24", 4, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(ParseListHeader(c.line), std::make_pair(c.index, c.status));
    }
}

TEST(FormatSmsTime, NeedsThirteenCharacters)
{
    const std::pair<std::string, std::string> cases[] = {
        {"21030510111223", "21-03-05 10:11:12"},
        {"2103051011122", "21-03-05 10:11:12"},
        {"210305101112", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatSmsTime(c.first), c.second) << c.first;
    }
}

// A working entry as the decoders leave it for one concatenated part.
SmsListEntry Part(int index, int ref, int total, int part, const std::string& hex,
                  const char* number = "13700001111")
{
    SmsListEntry entry;
    entry.nIndex = index;
    entry.nStatus = 1;
    entry.pdu.bConcat = true;
    entry.pdu.byDcs = 8;
    entry.pdu.nConcatRef = static_cast<std::uint16_t>(ref);
    entry.pdu.byRefUcs2 = static_cast<std::uint8_t>(ref);
    entry.pdu.nConcatTotal = static_cast<std::uint16_t>(total);
    entry.pdu.nPartNo = static_cast<std::uint16_t>(part);
    std::strncpy(entry.pdu.szPartHex, hex.c_str(), sizeof entry.pdu.szPartHex - 1);
    entry.pdu.nPartHexLen = static_cast<std::int32_t>(hex.size());
    std::strncpy(entry.pdu.szNumber, number, sizeof entry.pdu.szNumber - 1);
    return entry;
}

TEST(MergeMessages, JoinsRawUserDataAndStaysInsideItsEntries)
{
    // 中 (4E2D) cut across two parts still comes out whole.
    EXPECT_EQ(MergeMessages({Part(1, 5, 2, 2, "2D0041"), Part(2, 5, 2, 1, "4E")}),
              (Messages{{"13700001111", "", "中A"}}));
    // Two messages with one reference: a part number that does not grow
    // starts the next message.
    const Messages two =
        MergeMessages({Part(1, 5, 2, 1, "0061"), Part(2, 5, 2, 2, "0062"),
                       Part(3, 5, 2, 1, "0063", "10086"), Part(4, 5, 2, 2, "0064", "10086")});
    EXPECT_EQ(two, (Messages{{"13700001111", "", "ab"}, {"10086", "", "cd"}}));
    // A missing part does not stop the joining.
    EXPECT_EQ(MergeMessages({Part(1, 5, 3, 1, "0061"), Part(2, 5, 3, 3, "0063")}),
              (Messages{{"13700001111", "", "ac"}}));
    // Lengths that lie, non-hex characters and an unterminated field.
    SmsListEntry lying = Part(1, 6, 1, 1, "00410042");
    lying.pdu.nPartHexLen = 100000;
    SmsListEntry negative = Part(2, 7, 1, 1, "0043");
    negative.pdu.nPartHexLen = -5;
    SmsListEntry noise = Part(3, 8, 1, 1, "0044ZZ0045");
    SmsListEntry full = Part(4, 9, 1, 1, "");
    std::memset(full.pdu.szPartHex, 'A', sizeof full.pdu.szPartHex);
    std::memset(full.pdu.szNumber, '1', sizeof full.pdu.szNumber);
    std::memset(full.pdu.szTime, '2', sizeof full.pdu.szTime);
    full.pdu.nPartHexLen = 100000;
    const Messages messages = MergeMessages({lying, negative, noise, full});
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].strText, "AB");
    EXPECT_EQ(messages[1].strText, "");
    EXPECT_EQ(messages[2].strText, "D");
    EXPECT_EQ(messages[3].strFrom, std::string(32, '1'));
    EXPECT_EQ(messages[3].strTime, "22-22-22 22:22:22");
    EXPECT_EQ(MergeMessages({}), Messages{});
}

}  // namespace
