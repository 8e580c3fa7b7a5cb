#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drivers/clm920_nc5.h"
#include "iconv/text_literal.h"
#include "sms_message_print.h"
#include "support/fixture_text.h"

namespace {

constexpr PARSE_RESULT_t kOk = PARSE_SUCCEED;
constexpr PARSE_RESULT_t kFail = PARSE_FAILED;
constexpr PARSE_RESULT_t kMore = PARSE_INCOMPLETE;

using Messages = std::vector<SmsMessage>;
using Queue = std::vector<std::string>;

// The indexes still to read, front first, as the single reads ask for them;
// read from a copy, so the driver keeps its queue.
Queue Indexes(CClm920Nc5 copy)
{
    static const std::string kCommand = "AT+CMGR=";
    Queue indexes;
    while (copy.HasPendingRead()) {
        const std::string command = copy.ReadNextCommand();
        indexes.push_back(command.substr(kCommand.size(), command.size() - kCommand.size() - 2));
    }
    return indexes;
}

const SmsMessage kBalance{"10086", "24-01-02 03:04:05", "Balance 12.50"};
const SmsMessage kHello{"13912345679", "21-03-05 10:11:12", GB("你好世界")};

// Drives the read loop as the transport does: one single read per queued
// index, each answered by the next recorded reply.
std::vector<std::string> ReadAll(CClm920Nc5& driver, const std::vector<const char*>& replies)
{
    std::vector<std::string> commands;
    for (const char* reply : replies) {
        if (!driver.HasPendingRead()) {
            break;
        }
        commands.push_back(driver.ReadNextCommand());
        driver.ParseReadNext(LoadFixture(reply));
    }
    return commands;
}

TEST(VeltBReading, IndexesThreeAndSevenAreReadOneByOne)
{
    CClm920Nc5 driver;
    const std::string listing = LoadFixture("drivers/clm920_nc5/list_3_7.txt");
    for (std::size_t n = 0; n < listing.size(); ++n) {
        if (driver.ParseList(listing.substr(0, n)) != kMore) {
            ASSERT_EQ(Indexes(driver), (Queue{"3", "7"})) << "prefix " << n;
        }
    }
    ASSERT_EQ(driver.ParseList(listing), kOk);
    EXPECT_EQ(Indexes(driver), (Queue{"3", "7"}));

    const auto commands = ReadAll(driver, {"drivers/clm920_nc5/cmgr_single_7bit.txt",
                                           "drivers/clm920_nc5/cmgr_single_ucs2.txt"});
    EXPECT_EQ(commands, (std::vector<std::string>{"AT+CMGR=3\r\n", "AT+CMGR=7\r\n"}));
    EXPECT_FALSE(driver.HasPendingRead());
    EXPECT_EQ(driver.GetMessages(), (Messages{kBalance, kHello}));
    EXPECT_EQ(driver.GetListedIndexes(), (std::vector<int>{3, 7}));
}

TEST(VeltBReading, EmptyStorageAfterAFullOneLeavesNothing)
{
    CClm920Nc5 driver;
    ASSERT_EQ(driver.ParseList(LoadFixture("drivers/clm920_nc5/list_3_7.txt")), kOk);
    ReadAll(driver,
            {"drivers/clm920_nc5/cmgr_single_7bit.txt", "drivers/clm920_nc5/cmgr_single_ucs2.txt"});
    ASSERT_EQ(driver.GetMessages().size(), 2u);

    EXPECT_EQ(driver.ParseList(LoadFixture("drivers/clm920_nc5/list_empty.txt")), kOk);
    EXPECT_FALSE(driver.HasPendingRead());
    EXPECT_TRUE(driver.GetMessages().empty());
    EXPECT_TRUE(driver.GetListedIndexes().empty());
}

TEST(VeltBReading, FailedListingAfterAFullStorageLeavesNothing)
{
    CClm920Nc5 driver;
    ASSERT_EQ(driver.ParseList(LoadFixture("drivers/clm920_nc5/list_3_7.txt")), kOk);
    ReadAll(driver,
            {"drivers/clm920_nc5/cmgr_single_7bit.txt", "drivers/clm920_nc5/cmgr_single_ucs2.txt"});
    ASSERT_EQ(driver.GetMessages().size(), 2u);

    EXPECT_EQ(driver.ParseList(LoadFixture("drivers/clm920_nc5/list_error.txt")), kFail);
    EXPECT_TRUE(driver.GetMessages().empty());
    EXPECT_TRUE(driver.GetListedIndexes().empty());
    EXPECT_EQ(driver.GetLastErrorText(), "+CME ERROR: 3");
}

TEST(VeltBReading, PartsReadSinglyAreJoined)
{
    CClm920Nc5 driver;
    ASSERT_EQ(driver.ParseList("\r\n+CMGD: (2,4),(0-4)\r\n\r\nOK\r\n"), kOk);
    ReadAll(driver, {"drivers/clm920_nc5/cmgr_r7_p2.txt", "drivers/clm920_nc5/cmgr_r7_p1.txt"});
    EXPECT_EQ(driver.GetMessages(),
              (Messages{{"13600000007", "21-03-06 01:02:03", "seven-one seven-two"}}));
}

// The read loop stops after its limit with indexes left: what was read is
// there, and only that counts as read.
TEST(VeltBReading, MessagesReadBeforeTheLoopStopsAreKept)
{
    CClm920Nc5 driver;
    ASSERT_EQ(driver.ParseList("\r\n+CMGD: (3,7,9),(0-4)\r\n\r\nOK\r\n"), kOk);
    ReadAll(driver, {"drivers/clm920_nc5/cmgr_single_7bit.txt"});
    EXPECT_TRUE(driver.HasPendingRead());
    EXPECT_EQ(driver.GetMessages(), (Messages{kBalance}));
    EXPECT_EQ(driver.GetListedIndexes(), (std::vector<int>{3}));
}

TEST(VeltBReading, SingleReadsThatHoldNoMessage)
{
    const struct {
        std::string reply;
        bool result;
        std::string notUnderstood;
    } cases[] = {
        {LoadFixture("drivers/clm920_nc5/cmgr_empty_index.txt"), false, ""},
        {LoadFixture("drivers/clm920_nc5/cmgr_header_only.txt"), true, ""},
        {"\r\nOK\r\n", true, ""},
        // An answer that names no message is no read of one.
        {"\r\nCMGR 0,,23\r\n\r\nOK\r\n", false, "CMGR 0,,23"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.reply));
        CClm920Nc5 driver;
        ASSERT_EQ(driver.ParseList("\r\n+CMGD: (3,5),(0-4)\r\n\r\nOK\r\n"), kOk);
        EXPECT_EQ(driver.ReadNextCommand(), "AT+CMGR=3\r\n");
        EXPECT_EQ(driver.ParseReadNext(c.reply), c.result);
        EXPECT_EQ(driver.ReadNextCommand(), "AT+CMGR=5\r\n");
        EXPECT_EQ(driver.ParseReadNext(c.reply), c.result);
        EXPECT_TRUE(driver.GetMessages().empty());
        EXPECT_TRUE(driver.GetListedIndexes().empty());
        EXPECT_EQ(driver.NotUnderstoodLine(), c.notUnderstood);
    }
}

TEST(VeltBListing, QueueRows)
{
    const struct {
        std::string reply;
        PARSE_RESULT_t result;
        Queue queue;  // starts as {"11"}, left by an earlier listing
        std::string notUnderstood;
    } cases[] = {
        {LoadFixture("drivers/clm920_nc5/list_3_7.txt"), kOk, {"3", "7"}, ""},
        {LoadFixture("drivers/clm920_nc5/list_empty.txt"), kOk, {}, ""},
        {"\r\n+CMGD:(3,7),(0-4)\r\n\r\nOK\r\n", kOk, {"3", "7"}, ""},
        // A place that is no index is not read, and the listing is not whole.
        {LoadFixture("drivers/clm920_nc5/list_hostile.txt"), kOk, {"1", "5", "9"}, "x"},
        {LoadFixture("drivers/clm920_nc5/list_error.txt"), kFail, {"11"}, ""},
        {"\r\n+CMGD: (3,7)", kMore, {"11"}, ""},
        // "OK" without the list keeps the queue and says nothing of the storage.
        {"\r\nOK\r\n", kOk, {"11"}, "OK"},
        {"\r\n+CMGD: )1,2(\r\n\r\nOK\r\n", kOk, {"11"}, "+CMGD: )1,2("},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.reply));
        CClm920Nc5 driver;
        ASSERT_EQ(driver.ParseList("\r\n+CMGD: (11),(0-4)\r\n\r\nOK\r\n"), kOk);
        driver.StartListing();
        EXPECT_EQ(driver.ParseList(c.reply), c.result);
        EXPECT_EQ(Indexes(driver), c.queue);
        EXPECT_EQ(driver.NotUnderstoodLine(), c.notUnderstood);
    }
}

TEST(VeltBParsers, PduModeWriteIndexAndServiceCentre)
{
    CClm920Nc5 driver;
    EXPECT_EQ(driver.ParsePduMode(LoadFixture("drivers/clm920_nc5/cmgw.txt")), kOk);
    const std::pair<std::string, PARSE_RESULT_t> pduMode[] = {
        {"\r\nOK\r\n", kOk},
        // The line of the stored message's index is answer enough.
        {"\r\n+CMGW: 12\r\n", kOk},
        {"\r\n+CMGW: 12", kMore},
        {"\r\nERROR\r\n", kFail},
        {"", kMore},
    };
    for (const auto& c : pduMode) {
        EXPECT_EQ(driver.ParsePduMode(c.first), c.second) << testing::PrintToString(c.first);
    }

    // Every answer ends the service-centre query as a success once its
    // final line has come; the number is taken only from a whole "+CSCA" line.
    const struct {
        std::string reply;
        PARSE_RESULT_t result;
        std::string centre;
    } centre[] = {
        {"\r\n+CSCA: \"+8613800100500\",145\r\n\r\nOK\r\n", kOk, "+8613800100500"},
        {"\r\nOK\r\n", kOk, "+8613800100500"},
        {"\r\n+CMS ERROR: 330\r\n", kOk, "+8613800100500"},
        {"", kMore, "+8613800100500"},
        {"\r\n+CSCA: \"+8613900100500\",145\r\n", kMore, "+8613900100500"},
        {"\r\n+CSCA: \"+86138", kMore, "+8613900100500"},
    };
    for (const auto& c : centre) {
        EXPECT_EQ(driver.ParseServiceCentre(c.reply), c.result) << testing::PrintToString(c.reply);
        EXPECT_EQ(driver.ServiceCentre(), c.centre);
    }
}

}  // namespace
