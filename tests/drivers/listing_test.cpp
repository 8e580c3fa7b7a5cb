#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "codec/charset_conv.h"
#include "drivers/m35.h"
#include "drivers/phone_card_base.h"
#include "iconv/text_literal.h"
#include "sms_message_print.h"
#include "support/fixture_text.h"

namespace {

constexpr PARSE_RESULT_t kOk = PARSE_SUCCEED;
constexpr PARSE_RESULT_t kFail = PARSE_FAILED;

using Messages = std::vector<SmsMessage>;

struct ListCase {
    const char* fixture;
    PARSE_RESULT_t result;
    Messages messages;
    std::vector<int> listedIndexes;
};

const ListCase kListCases[] = {
    {"drivers/base/list_order.txt",
     kOk,
     {{"13912345679", "21-03-05 10:11:12", GB("你好世界")},
      {"10086", "24-01-02 03:04:05", "Balance 12.50"}},
     {5, 2}},
    {"drivers/base/list_no_blank.txt",
     kOk,
     {{"13912345679", "21-03-05 10:11:12", GB("你好世界")},
      {"10086", "24-01-02 03:04:05", "Balance 12.50"}},
     {5, 2}},
    // Part 3 is stored first and stamped last: the joined message carries
    // its number and time.
    {"drivers/base/list_concat_out_of_order.txt",
     kOk,
     {{"13700001111", "21-03-06 01:02:09", GB("第一段第二段第三段")}},
     {1, 2, 3}},
    {"drivers/base/list_two_refs.txt",
     kOk,
     {{"13912345679", "21-03-05 10:11:12", GB("你好世界")},
      {"13600000007", "21-03-06 01:02:03", "seven-one seven-two"},
      {"13600000009", "21-03-06 01:02:03", "nine-one nine-two"}},
     {1, 2, 3, 4, 5}},
    // 7-bit parts carry their own text: joined as text, not as UCS-2 data.
    {"drivers/base/list_concat_7bit.txt",
     kOk,
     {{"85261234567", "22-06-01 09:30:15",
       "Long English message for a concatenation test. Long English message for a "
       "concatenation test. Long English message for a concatenation test. Long English "
       "message for a concatenation test. "}},
     {8, 9}},
    {"drivers/base/list_lone_part.txt",
     kOk,
     {{"13500000000", "21-03-06 01:02:03", GB("只有第二段")}},
     {7}},
    {"drivers/base/list_sms_full.txt",
     kOk,
     {{"13912345679", "21-03-05 10:11:12", GB("你好世界")}},
     {1}},
    {"drivers/base/list_header_without_pdu.txt",
     kOk,
     {{"13912345679", "21-03-05 10:11:12", GB("你好世界")}},
     {6}},
    // A stored outgoing message has its destination and no time stamp; a
    // status outside 0..3 does not matter: the PDU's own type decides.
    {"drivers/base/list_outgoing.txt",
     kOk,
     {{"13800138000", "", GB("中文短信")}, {"13912345679", "21-03-05 10:11:12", GB("你好世界")}},
     {3, 8}},
    {"drivers/base/list_error.txt", kFail, {}, {}},
};

// The whole reply, and every prefix of it as the polls deliver it: a parser
// may decide early only with the final result and the final messages.
TEST(ParseList, RecordedListingsInEveryPrefix)
{
    for (const ListCase& c : kListCases) {
        SCOPED_TRACE(c.fixture);
        const std::string reply = LoadFixture(c.fixture);
        CM35 driver;
        for (std::size_t n = 0; n < reply.size(); ++n) {
            const PARSE_RESULT_t early = driver.ParseList(reply.substr(0, n));
            if (early != PARSE_INCOMPLETE) {
                ASSERT_EQ(early, c.result) << "prefix " << n;
                ASSERT_EQ(driver.GetMessages(), c.messages) << "prefix " << n;
            }
        }
        EXPECT_EQ(driver.ParseList(reply), c.result);
        EXPECT_EQ(driver.GetMessages(), c.messages);
        EXPECT_EQ(driver.GetListedIndexes(), c.listedIndexes);
    }
}

// The driver keeps what it decoded of a growing reply: after every prefix,
// and after a reply that does not grow the last one, it knows exactly what
// a fresh parse of that reply gives.
TEST(ParseList, AGrowingReplyIsReadAsAFreshParseReadsIt)
{
    CM35 growing;
    std::string previous;
    for (const ListCase& c : kListCases) {
        SCOPED_TRACE(c.fixture);
        const std::string reply = LoadFixture(c.fixture);
        for (std::size_t n = 0; n <= reply.size(); ++n) {
            const std::string prefix = reply.substr(0, n);
            CM35 fresh;
            ASSERT_EQ(growing.ParseList(prefix), fresh.ParseList(prefix)) << "prefix " << n;
            ASSERT_EQ(growing.GetMessages(), fresh.GetMessages()) << "prefix " << n;
            ASSERT_EQ(growing.GetListedIndexes(), fresh.GetListedIndexes()) << "prefix " << n;
            ASSERT_EQ(growing.GetUnreadable().size(), fresh.GetUnreadable().size())
                << "prefix " << n;
        }
        // A shorter reply that is not the start of this one.
        if (!previous.empty()) {
            CM35 fresh;
            EXPECT_EQ(growing.ParseList(previous), fresh.ParseList(previous));
            EXPECT_EQ(growing.GetMessages(), fresh.GetMessages());
        }
        previous = reply.substr(0, reply.size() / 2);
    }
}

// A line that is none of a listing's may stand for a message that could not
// be reported: the driver names it, so that the storage does not pass for
// read in full (and, empty, for an empty inbox).
TEST(ParseList, LinesItDoesNotUnderstandAreNamed)
{
    const std::string pdu =
        "0891683108100005F00405810180F60000421020304050000DC2303BEC1E97413199AB0603";
    const struct {
        const char* what;
        std::string reply;
        std::size_t messages;
        std::string notUnderstood;
    } cases[] = {
        {"a listing read in full", LoadFixture("drivers/base/list_order.txt"), 2, ""},
        {"without blanks, read in full", LoadFixture("drivers/base/list_no_blank.txt"), 2, ""},
        {"an empty storage", "\r\nOK\r\n", 0, ""},
        {"a header without its colon, then its PDU line",
         "\r\nCMGL 1,1,,28\r\n" + pdu + "\r\n\r\nOK\r\n", 0, "CMGL 1,1,,28"},
        {"a header whose index is no number", "\r\n+CMGL: x,1,,28\r\n" + pdu + "\r\n\r\nOK\r\n", 0,
         "+CMGL: x,1,,28"},
        {"a PDU line of its own after a whole entry",
         "\r\n+CMGL: 1,1,,28\r\n" + pdu + "\r\n" + pdu + "\r\n\r\nOK\r\n", 1, pdu},
        {"unsolicited lines and an echo are no such line",
         "AT+CMGL=4\r\r\n^RSSI:17\r\nRING\r\n+CMTI: \"SM\",3\r\n\r\nOK\r\n", 0, ""},
        {"NUL bytes after the final line, then an unsolicited line, are no such line",
         "\r\n+CMGL: 1,1,,28\r\n" + pdu + "\r\n\r\nOK\r\n" + std::string(4, '\0') +
             "\r\n^RSSI:17\r\n",
         1, ""},
        {"a NUL byte in a line of text is", std::string("\r\nx\0y\r\n\r\nOK\r\n", 13), 0,
         std::string("x\0y", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CM35 driver;
        // As the polls deliver it, and whole.
        for (std::size_t n = 0; n <= c.reply.size(); ++n) {
            driver.ParseList(c.reply.substr(0, n));
        }
        EXPECT_EQ(driver.ParseList(c.reply), kOk);
        EXPECT_EQ(driver.GetMessages().size(), c.messages);
        EXPECT_EQ(driver.NotUnderstoodLine(), c.notUnderstood);
        driver.StartListing();
        EXPECT_EQ(driver.NotUnderstoodLine(), "");
    }
}

TEST(ParseList, ErrorTextAndNothingKeptFromAnEarlierStorage)
{
    CM35 driver;
    ASSERT_EQ(driver.ParseList(LoadFixture("drivers/base/list_order.txt")), kOk);
    ASSERT_EQ(driver.GetMessages().size(), 2u);
    EXPECT_EQ(driver.ParseList(LoadFixture("drivers/base/list_error.txt")), kFail);
    EXPECT_TRUE(driver.GetMessages().empty());
    EXPECT_TRUE(driver.GetListedIndexes().empty());
    EXPECT_NE(driver.GetLastErrorText().find("+CMS ERROR: 321"), std::string::npos);
}

TEST(ParseList, SmsFullKeepsThePreviousErrorTextTrimmed)
{
    CM35 driver;
    // The short rule keeps an error reply whole, line breaks included.
    driver.ParsePrepareRead("\r\n+CMS ERROR: 322\r\n");
    EXPECT_EQ(driver.ParseList(LoadFixture("drivers/base/list_sms_full.txt")), kOk);
    EXPECT_EQ(driver.GetLastErrorText(), "+CMS ERROR: 322");
    EXPECT_EQ(driver.ParseList("\r\nOK\r\n"), kOk);
    EXPECT_EQ(driver.GetLastErrorText(), "OK");
    EXPECT_EQ(driver.ParseList("\r\nSMS DONE\r\n"), kOk);
    EXPECT_EQ(driver.GetLastErrorText(), "SMS DONE");
}

TEST(ParseList, GarbageAroundWholeEntries)
{
    CM35 driver;
    const std::string reply = LoadFixture("drivers/base/list_garbage.txt");
    for (std::size_t n = 0; n <= reply.size(); ++n) {
        driver.ParseList(reply.substr(0, n));
    }
    EXPECT_EQ(driver.ParseList(reply), kOk);
    const Messages messages = driver.GetMessages();
    // Singles of index 2, 5 and 12 (a part numbered beyond its count of 0 is
    // no part); the line of index 9 is no PDU, 8 is cut short and 11 has a
    // user-data length that lies: unreadable, reported, never deleted.
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], (SmsMessage{"13912345679", "21-03-05 10:11:12", GB("你好世界")}));
    EXPECT_EQ(messages[1], (SmsMessage{"10086", "24-01-02 03:04:05", "Balance 12.50"}));
    EXPECT_EQ(messages[2], (SmsMessage{"13600000007", "21-03-06 01:02:03", "seven-one "}));
    EXPECT_EQ(driver.GetListedIndexes(), (std::vector<int>{5, 12, 2}));
    const std::vector<SmsUnreadable> unreadable = driver.GetUnreadable();
    ASSERT_EQ(unreadable.size(), 3u);
    EXPECT_EQ(unreadable[0].nIndex, 9);
    EXPECT_EQ(unreadable[0].strPdu, std::string("0891\0ZZ\xa1\xa1", 9));
    EXPECT_EQ(unreadable[1].nIndex, 8);
    EXPECT_EQ(unreadable[1].strPdu, "0891683108");
    EXPECT_EQ(unreadable[2].nIndex, 11);
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
        // An index that is no plain number names no storage place: the
        // header is ignored rather than taken for place 0 or a negative one.
        {"+CMGL: -3,1,,24", -1, -1},
        {"+CMGL: x,1,,24", -1, -1},
        {"+CMGL: 1234567890,1,,24", -1, -1},
        // As modules frame it: no blank, blanks anywhere, either case, the
        // alpha field quoted or not.
        {"+CMGL:3,1,,24", 3, 1},
        {"+cmgl: 3 , 1 , \"\" , 24", 3, 1},
        {"+CMGL:3,1,\"Mum, home\",24", 3, 1},
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

// A stored DELIVER entry decoded from its PDU: UCS-2 text (hex) with a
// concatenation element, 8-bit reference ("050003") or 16-bit ("060804").
SmsListEntry Entry(int index, const std::string& udh, const std::string& ucs2Hex,
                   const std::string& originator = "0B813107001011F1")  // 13700001111
{
    const std::string ud = udh + ucs2Hex;
    char udl[3];
    std::snprintf(udl, sizeof udl, "%02X", static_cast<unsigned>(ud.size() / 2));
    SmsListEntry entry;
    entry.nIndex = index;
    entry.nStatus = 1;
    entry.pdu =
        DecodeStoredPdu("0891683108100005F0" + std::string(udh.empty() ? "04" : "44") + originator +
                        "0008"
                        "12306010203000" +
                        udl + ud);
    return entry;
}

std::string Concat8(int ref, int total, int part)
{
    char header[13];
    std::snprintf(header, sizeof header, "050003%02X%02X%02X", ref, total, part);
    return header;
}

std::string Concat16(int ref, int total, int part)
{
    char header[15];
    std::snprintf(header, sizeof header, "060804%04X%02X%02X", ref, total, part);
    return header;
}

const std::string kOther = "05810180F6";  // 10086

TEST(MergeMessages, PartsJoinByMessageNotByPosition)
{
    const struct {
        const char* name;
        std::vector<SmsListEntry> entries;
        Messages messages;
    } cases[] = {
        {"中 (4E2D) cut across two parts comes out whole",
         {Entry(1, Concat8(5, 2, 2), "2D0041"), Entry(2, Concat8(5, 2, 1), "4E")},
         {{"13700001111", "21-03-06 01:02:03", GB("中A")}}},
        {"an emoji's surrogate pair split across two parts",
         {Entry(1, Concat8(9, 2, 1), "0061D83D"), Entry(2, Concat8(9, 2, 2), "DE000062")},
         {{"13700001111", "21-03-06 01:02:03", Utf8ToAnsi(u8"a\U0001F600b")}}},
        {"16-bit reference",
         {Entry(4, Concat16(0x1234, 2, 2), "0062"), Entry(3, Concat16(0x1234, 2, 1), "0061")},
         {{"13700001111", "21-03-06 01:02:03", "ab"}}},
        {"reference 0 is a reference like any other",
         {Entry(1, Concat8(0, 2, 1), "0061"), Entry(2, Concat8(0, 2, 2), "0062")},
         {{"13700001111", "21-03-06 01:02:03", "ab"}}},
        {"two senders with one reference, interleaved",
         {Entry(1, Concat8(5, 2, 1), "0061"), Entry(2, Concat8(5, 2, 1), "0063", kOther),
          Entry(3, Concat8(5, 2, 2), "0062"), Entry(4, Concat8(5, 2, 2), "0064", kOther)},
         {{"13700001111", "21-03-06 01:02:03", "ab"}, {"10086", "21-03-06 01:02:03", "cd"}}},
        {"rising part numbers of two messages are not glued",
         {Entry(1, Concat8(5, 2, 1), "0061"), Entry(2, Concat8(6, 2, 2), "0062", kOther)},
         {{"13700001111", "21-03-06 01:02:03", "a"}, {"10086", "21-03-06 01:02:03", "b"}}},
        {"one sender reusing a reference: each copy of a part starts a message",
         {Entry(1, Concat8(5, 2, 1), "0061"), Entry(2, Concat8(5, 2, 2), "0062"),
          Entry(3, Concat8(5, 2, 1), "0063"), Entry(4, Concat8(5, 2, 2), "0064")},
         {{"13700001111", "21-03-06 01:02:03", "ab"}, {"13700001111", "21-03-06 01:02:03", "cd"}}},
        {"a missing part leaves the others together",
         {Entry(1, Concat8(5, 3, 1), "0061"), Entry(2, Concat8(5, 3, 3), "0063")},
         {{"13700001111", "21-03-06 01:02:03", "ac"}}},
        {"singles first by index, then long messages by reference",
         {Entry(9, Concat8(2, 1, 1), "0078"), Entry(7, "", "0073"),
          Entry(8, Concat8(1, 1, 1), "0079"), Entry(3, "", "0074")},
         {{"13700001111", "21-03-06 01:02:03", "t"},
          {"13700001111", "21-03-06 01:02:03", "s"},
          {"13700001111", "21-03-06 01:02:03", "y"},
          {"13700001111", "21-03-06 01:02:03", "x"}}},
        {"nothing", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MergeMessages(c.entries), c.messages);
    }
}

// Unreadable entries are left out of the messages, whatever part they
// claim to be, and the parts around them still join.
TEST(MergeMessages, UnreadableEntriesAreNoMessages)
{
    SmsListEntry cut = Entry(2, Concat8(5, 3, 2), "0062");
    cut.pdu.bReadable = false;
    SmsListEntry garbage;
    garbage.nIndex = 4;
    garbage.strPdu = "07ZZ";
    const std::vector<SmsListEntry> entries = {Entry(1, Concat8(5, 3, 1), "0061"), cut,
                                               Entry(3, Concat8(5, 3, 3), "0063"), garbage};
    EXPECT_EQ(MergeMessages(entries), (Messages{{"13700001111", "21-03-06 01:02:03", "ac"}}));
    EXPECT_EQ(ReadableIndexes(entries), (std::vector<int>{1, 3}));
    const std::vector<SmsUnreadable> unreadable = UnreadableEntries(entries);
    ASSERT_EQ(unreadable.size(), 2u);
    EXPECT_EQ(unreadable[0].nIndex, 2);
    EXPECT_EQ(unreadable[1].nIndex, 4);
    EXPECT_EQ(unreadable[1].strPdu, "07ZZ");
}

TEST(PduOfLine, HexDigitsUpToTrailingBlanksAndQuotes)
{
    const std::pair<std::string, std::string> cases[] = {
        {"0791ABCDEF", "0791ABCDEF"},
        {"  0791abcdef  ", "0791abcdef"},
        {"0791ABCDEF\"", "0791ABCDEF"},
        {"0791ABCDEF \" ", "0791ABCDEF"},
        {"0791AB\"CDEF", ""},
        {"0791ABXCDEF", ""},
        {"0791ABCDEF,", ""},
        {"OK", ""},
        {"\"", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PduOfLine(c.first), c.second) << c.first;
    }
}

}  // namespace
