#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/charset_conv.h"
#include "drivers/mc323.h"
#include "iconv/text_literal.h"
#include "sms_message_print.h"
#include "support/fixture_text.h"

namespace {

using Messages = std::vector<SmsMessage>;
using Reads = std::vector<int>;

// The indexes of the reads still to make, front first, as the single reads
// ask for them; read from a copy, so the driver keeps its queue.
Reads Pending(CMc323 copy)
{
    static const std::string kCommand = "AT^HCMGR=";
    Reads reads;
    while (copy.HasPendingRead()) {
        reads.push_back(std::stoi(copy.ReadNextCommand().substr(kCommand.size())));
    }
    return reads;
}

// An earlier listing of `index` whose read loop stopped before reading it.
std::string ListingOf(int index)
{
    return "\r\n^HCMGL: " + std::to_string(index) + ",1\r\n\r\nOK\r\n";
}

const std::string kCtrlZ("\0\x1A", 2);

TEST(VeltGSend, OneMessageIsRawUcs2)
{
    CMc323 driver;
    const std::vector<SendPair> pairs = driver.BuildPduSend("10086", "ab");
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].first, "AT^HCMGS=\"10086\"\r");
    EXPECT_EQ(pairs[0].second, std::string("\0a\0b\0\x1A", 6));
}

TEST(VeltGSend, HundredChineseCharactersMakeTwoMarkedParts)
{
    CMc323 driver;
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += GB("测");
    const std::string ucs2 = AnsiToUcs2(text);
    const std::vector<SendPair> pairs = driver.BuildLongPduSend("13800138000", text);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].first, "AT^HCMGS=\"13800138000\"\r");
    EXPECT_EQ(pairs[0].second, ucs2.substr(0, 128) + AnsiToUcs2("(1/2)") + kCtrlZ);
    EXPECT_EQ(pairs[1].second, ucs2.substr(128) + AnsiToUcs2("(2/2)") + kCtrlZ);
}

// What a reader sees: each part holds at most 138 bytes before 00 1A, ends
// with "(k/N)" where N is the number of parts actually sent, and the parts
// put together give the text back. Ten or more parts make the mark longer.
TEST(VeltGSend, MarksCountTheRealNumberOfParts)
{
    const std::pair<std::size_t, std::size_t> cases[] = {
        // UCS-2 characters, expected parts
        {71, 2}, {128, 2}, {576, 9}, {640, 11}, {64 * 9 + 1, 10}, {1240, 20}, {6000, 97}, {64, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + " characters");
        std::string text;
        for (std::size_t i = 0; i < c.first; ++i)
            text += static_cast<char>('a' + i % 26);
        CMc323 driver;
        const std::vector<SendPair> pairs = driver.BuildLongPduSend("10086", text);
        ASSERT_EQ(pairs.size(), c.second);
        std::string joined;
        for (std::size_t k = 0; k < pairs.size(); ++k) {
            const std::string& body = pairs[k].second;
            const std::string mark =
                AnsiToUcs2("(" + std::to_string(k + 1) + "/" + std::to_string(pairs.size()) + ")");
            ASSERT_GE(body.size(), mark.size() + 2);
            EXPECT_LE(body.size(), 138u + 2);
            EXPECT_EQ(body.substr(body.size() - 2), kCtrlZ);
            ASSERT_EQ(body.substr(body.size() - 2 - mark.size(), mark.size()), mark)
                << "part " << k + 1;
            joined += body.substr(0, body.size() - 2 - mark.size());
        }
        EXPECT_EQ(joined, AnsiToUcs2(text));
    }
}

TEST(VeltGSend, SurrogatePairsStayInOneMessage)
{
    // U+1F600 is four GB18030 bytes and two UCS-2 units; 63 'a' put the
    // 64th unit, a high surrogate, at the end of the first part's room.
    const std::string emoji = Utf8ToAnsi(u8"\U0001F600");
    const std::string text = std::string(63, 'a') + emoji + std::string(60, 'b');
    CMc323 driver;
    const std::vector<SendPair> pairs = driver.BuildLongPduSend("10086", text);
    ASSERT_EQ(pairs.size(), 2u);
    const std::string first = pairs[0].second;
    const std::string textBytes = first.substr(0, first.size() - 2 - AnsiToUcs2("(1/2)").size());
    EXPECT_EQ(textBytes, AnsiToUcs2(std::string(63, 'a')));
}

TEST(VeltGList, IndexesAreQueuedBehindLeftovers)
{
    CMc323 driver;
    EXPECT_EQ(driver.ParseList("\r\nOK\r\n"), PARSE_SUCCEED);
    EXPECT_FALSE(driver.HasPendingRead());

    // Index 2 left over from earlier listings, and a message read before.
    ASSERT_EQ(driver.ParseList(ListingOf(9)), PARSE_SUCCEED);
    ASSERT_EQ(driver.ParseList(ListingOf(2)), PARSE_SUCCEED);
    ASSERT_EQ(driver.ReadNextCommand(), "AT^HCMGR=9\r\n");
    driver.ParseReadNext(LoadFixture("drivers/mc323/read_unicode.txt"));
    ASSERT_EQ(driver.GetMessages().size(), 1u);
    // Until the final line has come nothing is queued, however often the
    // growing reply is offered.
    const std::string listing = LoadFixture("drivers/mc323/list.txt");
    const std::size_t ok = listing.rfind("OK");
    ASSERT_NE(std::string::npos, ok);
    for (std::size_t cut : {std::size_t{0}, listing.size() / 2, ok + 1}) {
        EXPECT_EQ(driver.ParseList(listing.substr(0, cut)), PARSE_INCOMPLETE);
    }
    EXPECT_EQ(Pending(driver), (Reads{2}));
    EXPECT_EQ(driver.ParseList(listing), PARSE_SUCCEED);
    EXPECT_TRUE(driver.GetMessages().empty());
    EXPECT_EQ(Pending(driver), (Reads{2, 4, 7}));

    EXPECT_EQ(driver.ReadNextCommand(), "AT^HCMGR=2\r\n");
    EXPECT_EQ(driver.ReadNextCommand(), "AT^HCMGR=4\r\n");
    EXPECT_EQ(Pending(driver), (Reads{7}));
    EXPECT_TRUE(driver.HasPendingRead());
}

TEST(VeltGList, AnErrorAnswerFailsAndQueuesNothing)
{
    CMc323 driver;
    EXPECT_EQ(driver.ParseList("\r\n^HCMGL: 4,1\r\n\r\n+CMS ERROR: 310\r\n"), PARSE_FAILED);
    EXPECT_FALSE(driver.HasPendingRead());
    EXPECT_EQ(driver.GetLastErrorText(), "+CMS ERROR: 310");
}

TEST(VeltGRead, RecordedSingleReads)
{
    const struct {
        const char* fixture;
        bool result;
        Messages messages;
    } cases[] = {
        {"drivers/mc323/read_unicode.txt",
         true,
         {{"13800138000", "2021-03-05 10:11:12", GB("你好")}}},
        // A text that contains "OK" is still the text.
        {"drivers/mc323/read_ascii_ok_text.txt",
         true,
         {{"10086", "2024-01-02 03:04:05", "OK, see you"}}},
        {"drivers/mc323/read_ucs2_4f4b.txt", true, {{"10086", "2024-01-02 03:04:05", GB("佋")}}},
        {"drivers/mc323/read_eight_fields.txt", true, {}},
        {"drivers/mc323/read_no_text.txt", true, {}},
        {"drivers/mc323/read_error.txt", false, {}},
        {"drivers/mc323/read_noise.txt", true, {{"10010", "2024-02-29 12:00:00", GB("测试")}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture);
        CMc323 driver;
        ASSERT_EQ(driver.ParseList(ListingOf(9)), PARSE_SUCCEED);
        ASSERT_EQ(driver.ReadNextCommand(), "AT^HCMGR=9\r\n");
        const std::string reply = LoadFixture(c.fixture);
        EXPECT_EQ(driver.ParseReadNext(reply), c.result);
        EXPECT_EQ(driver.GetMessages(), c.messages);
        EXPECT_EQ(driver.GetListedIndexes(),
                  c.messages.empty() ? std::vector<int>{} : std::vector<int>{9});
    }
}

// The message's identity in the store: its index, and its header up to the
// format with its text line; the status after the format (unread, then read
// once read) is not part of it, so the same message read twice is one.
TEST(VeltGRead, AMessageKeepsItsIndexAndRawForm)
{
    const std::string unread = LoadFixture("drivers/mc323/read_ascii_ok_text.txt");
    std::string read = unread;
    const std::size_t status = read.find(",0,0,0,1\r\n");
    ASSERT_NE(status, std::string::npos);
    read.replace(status, 8, ",0,0,0,0");
    std::vector<std::string> raws;
    for (const std::string& reply : {unread, read}) {
        CMc323 driver;
        ASSERT_EQ(driver.ParseList(ListingOf(9)), PARSE_SUCCEED);
        driver.ReadNextCommand();
        ASSERT_TRUE(driver.ParseReadNext(reply));
        ASSERT_EQ(driver.GetMessages().size(), 1u);
        const SmsMessage message = driver.GetMessages()[0];
        EXPECT_EQ(message.vecIndexes, (std::vector<int>{9}));
        ASSERT_EQ(message.vecPdus.size(), 1u);
        raws.push_back(message.vecPdus[0]);
    }
    EXPECT_EQ(raws[0],
              std::string("^HCMGR:10086,2024,01,02,03,04,05,0,1\r\nOK, see you\0\x1a", 51));
    EXPECT_EQ(raws[0], raws[1]);
}

TEST(VeltGRead, AStorageIsListedAndReadAfterAnother)
{
    CMc323 driver;
    ASSERT_EQ(driver.ParseList(LoadFixture("drivers/mc323/list.txt")), PARSE_SUCCEED);
    driver.ReadNextCommand();
    driver.ParseReadNext(LoadFixture("drivers/mc323/read_unicode.txt"));
    driver.ReadNextCommand();
    driver.ParseReadNext(LoadFixture("drivers/mc323/read_noise.txt"));
    EXPECT_FALSE(driver.HasPendingRead());
    EXPECT_EQ(driver.GetMessages().size(), 2u);
    EXPECT_EQ(driver.GetListedIndexes(), (std::vector<int>{4, 7}));

    ASSERT_EQ(driver.ParseList("\r\nOK\r\n"), PARSE_SUCCEED);
    EXPECT_TRUE(driver.GetMessages().empty());
    EXPECT_TRUE(driver.GetListedIndexes().empty());
}

}  // namespace
