#include "transport/sms_sequences.h"

#include <gtest/gtest.h>

#include "support/fake_port.h"
#include "transport/fake_driver.h"

namespace {

class SmsSequencesTest : public ::testing::Test {
protected:
    CFakePort port;
    FakeDriver driver;
};

TEST_F(SmsSequencesTest, InitCommandsAreAllSentInOrderWhateverTheirOutcome)
{
    struct CASE_t {
        const char* what;
        std::vector<std::string> commands;
        std::vector<PARSE_RESULT_t> results;
        std::string written;
    };
    const CASE_t cases[] = {
        {"an empty list sends nothing", {}, {}, ""},
        {"failures do not stop the list",
         {"AT+CMEE=1\r\n", "ATE0\r\n"},
         {PARSE_FAILED},
         "AT+CMEE=1\r\nATE0\r\n"},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.what);
        CFakePort line;
        FakeDriver fake;
        fake.initCommands = c.commands;
        fake.forced["init"] = c.results;
        for (const std::string& command : c.commands) {
            line.Expect(command, {{0, "\r\nERROR\r\n"}});
        }
        RunInitCommands(&fake, &line);
        EXPECT_EQ(c.written, line.Written());
        EXPECT_EQ(c.commands.size(), fake.Replies("init").size());
    }
}

TEST_F(SmsSequencesTest, InitCommandsStopWhenThePortFails)
{
    driver.initCommands = {"AT+CMEE=1\r\n", "AT+CPMS=\"SM\"\r\n", "ATE0\r\n"};
    port.Expect("AT+CMEE=1", {{0, kOk}});
    port.VanishAfter(100);
    RunInitCommands(&driver, &port);
    EXPECT_EQ("AT+CMEE=1\r\nAT+CPMS=\"SM\"\r\n", port.Written());
    EXPECT_TRUE(port.IsFailed());
}

struct SEND_STEP_t {
    std::string command;
    std::vector<fakeport::PIECE_t> pieces;
};

struct SEND_CASE_t {
    const char* what;
    std::vector<SendPair> pairs;
    std::vector<SEND_STEP_t> script;
    bool expected;
    std::string written;
};

TEST_F(SmsSequencesTest, TransmitSmsSendsEveryPartAndStopsAtTheFirstFailure)
{
    const SEND_STEP_t csca{"AT+CSCA?\r\n", {{0, "\r\n+CSCA: \"+8613800100500\",145\r\n" + kOk}}};
    const SEND_STEP_t cmgf{"AT+CMGF=0\r\n", {{0, kOk}}};
    const SendPair part1{"AT+CMGS=20\r", "0011PART1\x1A"};
    const SendPair part2{"AT+CMGS=18\r", "0011PART2\x1A"};
    const std::string sent = "\r\n+CMGS: 7\r\n" + kOk;
    const SEND_CASE_t cases[] = {
        {"no pair fails after the PDU mode", {}, {csca, cmgf}, false, "AT+CSCA?\r\nAT+CMGF=0\r\n"},
        {"two parts",
         {part1, part2},
         {csca,
          cmgf,
          {"AT+CMGS=20\r", {{0, "\r\n> "}}},
          {"0011PART1\x1A", {{0, sent}}},
          {"AT+CMGS=18\r", {{0, "\r\n> "}}},
          {"0011PART2\x1A", {{0, sent}}}},
         true,
         "AT+CSCA?\r\nAT+CMGF=0\r\nAT+CMGS=20\r0011PART1\x1A"
         "AT+CMGS=18\r0011PART2\x1A"},
        {"a refused prompt sends no body",
         {part1, part2},
         {csca, cmgf, {"AT+CMGS=20\r", {{0, "\r\n+CMS ERROR: 500\r\n"}}}},
         false,
         "AT+CSCA?\r\nAT+CMGF=0\r\nAT+CMGS=20\r"},
        {"a failed later part fails the send",
         {part1, part2},
         {csca,
          cmgf,
          {"AT+CMGS=20\r", {{0, "\r\n> "}}},
          {"0011PART1\x1A", {{0, sent}}},
          {"AT+CMGS=18\r", {{0, "\r\n> "}}},
          {"0011PART2\x1A", {{0, "\r\n+CMS ERROR: 330\r\n"}}}},
         false,
         "AT+CSCA?\r\nAT+CMGF=0\r\nAT+CMGS=20\r0011PART1\x1A"
         "AT+CMGS=18\r0011PART2\x1A"},
        {"no service centre, nothing more",
         {part1},
         {{"AT+CSCA?\r\n", {{0, "\r\n+CME ERROR: 10\r\n"}}}},
         false,
         "AT+CSCA?\r\n"},
    };
    for (const SEND_CASE_t& c : cases) {
        SCOPED_TRACE(c.what);
        CFakePort line;
        for (const SEND_STEP_t& step : c.script) {
            line.Expect(step.command, step.pieces);
        }
        FakeDriver fake;
        fake.sendPairs = c.pairs;
        EXPECT_EQ(c.expected, TransmitSms(&fake, &line, "13800138000", "hi"));
        EXPECT_EQ(c.written, line.Written());
    }
}

TEST_F(SmsSequencesTest, ReadStoredMessagesDependsOnPduModeAndPrepareOnly)
{
    driver.forced["cmgf"] = {PARSE_FAILED};
    bool complete = true;
    EXPECT_FALSE(ReadStoredMessages(&driver, &port, &complete));
    EXPECT_FALSE(complete);
    EXPECT_EQ("AT+CMGF=0\r\n", port.Written());

    CFakePort line;
    driver.forced["cmgf"] = {PARSE_SUCCEED};
    driver.forced["prepare"] = {PARSE_FAILED};
    EXPECT_FALSE(ReadStoredMessages(&driver, &line, &complete));
    EXPECT_EQ("AT+CMGF=0\r\nAT+CPMS?\r\n", line.Written());
}

TEST_F(SmsSequencesTest, AListingThatTimesOutStillLetsTheSingleReadsRun)
{
    driver.pending = {4};
    const std::string record = "\r\n+CMGR: 0,,23\r\n0891683108200505F0\r\n" + kOk;
    port.Expect("AT+CMGF=0\r\n", {{0, kOk}});
    port.Expect("AT+CPMS?\r\n", {{0, kOk}});
    port.Expect("AT+CMGL=4\r\n", {{0, kOk}});
    port.Expect("AT+CMGR=4\r\n", {{0, record}});
    // The modem answers the listing, but the parser never finds it complete.
    driver.forced["list"] = {PARSE_INCOMPLETE};
    bool complete = true;
    EXPECT_TRUE(ReadStoredMessages(&driver, &port, &complete));
    EXPECT_FALSE(complete);
    EXPECT_EQ(port.Pacing().listPolls, static_cast<int>(driver.Replies("list").size()));
    EXPECT_EQ(std::vector<std::string>{record}, driver.Replies("readnext"));
    EXPECT_EQ("AT+CMGF=0\r\nAT+CPMS?\r\nAT+CMGL=4\r\nAT+CMGR=4\r\n", port.Written());
}

TEST_F(SmsSequencesTest, ASingleReadWaitsForItsFinalLineNotForAnOkInTheText)
{
    driver.pending = {1, 2};
    const std::string early = "\r\n+CMGR: 1,,9\r\nBOOK CLUB";
    const std::string first = early + "\r\n" + kOk;
    const std::string second = "\r\n+CMGR: 1,,9\r\n0011\r\n" + kOk;
    port.Expect("AT+CMGF=0\r\n", {{0, kOk}});
    port.Expect("AT+CPMS?\r\n", {{0, kOk}});
    port.Expect("AT+CMGL=4\r\n", {{0, kOk}});
    port.Expect("AT+CMGR=1\r\n", {{0, early}, {900, "\r\n" + kOk}});
    port.Expect("AT+CMGR=2\r\n", {{0, second}});
    bool complete = false;
    EXPECT_TRUE(ReadStoredMessages(&driver, &port, &complete));
    EXPECT_TRUE(complete);
    EXPECT_EQ((std::vector<std::string>{first, second}), driver.Replies("readnext"));
}

TEST_F(SmsSequencesTest, EveryQueuedIndexReadMakesTheReadComplete)
{
    driver.pending = {1, 2};
    const std::string one = "\r\n+CMGR: 1,,9\r\n0011\r\n" + kOk;
    const std::string two = "\r\n+CMGR: 0,,9\r\n0022\r\n" + kOk;
    port.Expect("AT+CMGF=0\r\n", {{0, kOk}});
    port.Expect("AT+CPMS?\r\n", {{0, kOk}});
    port.Expect("AT+CMGL=4\r\n", {{0, kOk}});
    port.Expect("AT+CMGR=1\r\n", {{0, one.substr(0, 10)}, {300, one.substr(10)}});
    port.Expect("AT+CMGR=2\r\n", {{0, two}});
    bool complete = false;
    EXPECT_TRUE(ReadStoredMessages(&driver, &port, &complete));
    EXPECT_TRUE(complete);
    EXPECT_EQ((std::vector<std::string>{one, two}), driver.Replies("readnext"));
    EXPECT_EQ("AT+CMGF=0\r\nAT+CPMS?\r\nAT+CMGL=4\r\nAT+CMGR=1\r\nAT+CMGR=2\r\n", port.Written());
}

TEST_F(SmsSequencesTest, ASingleReadLeftUnansweredEndsTheReading)
{
    // A driver that never runs out of indexes, and a modem that answers the
    // first read only in part and then falls silent.
    driver.endlessPending = true;
    port.Expect("AT+CMGF=0\r\n", {{0, kOk}});
    port.Expect("AT+CPMS?\r\n", {{0, kOk}});
    port.Expect("AT+CMGL=4\r\n", {{0, kOk}});
    port.Expect("AT+CMGR=9\r\n", {{0, "\r\n+CMGR: 1,,9\r\n"}});
    bool complete = true;
    EXPECT_TRUE(ReadStoredMessages(&driver, &port, &complete));
    EXPECT_FALSE(complete);
    EXPECT_TRUE(driver.Replies("readnext").empty());
    EXPECT_EQ("AT+CMGF=0\r\nAT+CPMS?\r\nAT+CMGL=4\r\nAT+CMGR=9\r\n", port.Written());
    EXPECT_TRUE(port.IsFailed());
    EXPECT_LE(port.NowMs(), 3 * kAtGapMs + SingleReadDeadlineMs(port.Pacing()) + kAtQuietReadMs);
}

TEST_F(SmsSequencesTest, SingleReadsAreBoundedInRounds)
{
    driver.endlessPending = true;
    port.Expect("AT+CMGF=0\r\n", {{0, kOk}});
    port.Expect("AT+CPMS?\r\n", {{0, kOk}});
    port.Expect("AT+CMGL=4\r\n", {{0, kOk}});
    const std::string record = "\r\n+CMGR: 1,,9\r\n0011\r\n" + kOk;
    for (int round = 0; round < port.Pacing().singleReadRounds; ++round) {
        port.Expect("AT+CMGR=9\r\n", {{0, record}});
    }
    bool complete = true;
    EXPECT_TRUE(ReadStoredMessages(&driver, &port, &complete));
    EXPECT_FALSE(complete);
    EXPECT_EQ(static_cast<std::size_t>(port.Pacing().singleReadRounds),
              driver.Replies("readnext").size());
    EXPECT_TRUE(port.StepsDone());
    EXPECT_FALSE(port.IsFailed());
}

}  // namespace
