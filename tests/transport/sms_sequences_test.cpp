#include "transport/sms_sequences.h"

#include <gtest/gtest.h>

#include <memory>

#include "drivers/models.h"
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
    // The listing ended once the line had been silent for its limit.
    EXPECT_GT(driver.Replies("list").size(), 2u);
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
    EXPECT_EQ("Silent for 10 s after a partial reply", port.FailureText());
    EXPECT_LE(port.NowMs(),
              3 * kAtGapMs + SingleReadLimits(port.Pacing()).silenceMs + kAtQuietReadMs);
}

TEST_F(SmsSequencesTest, TheListingDeadlineFollowsWhatTheStorageSelectionReported)
{
    const struct {
        const char* what;
        std::string selection;  // the reply to the storage selection
        std::int64_t deadline;
        const char* failure;
    } cases[] = {
        {"2 messages", "\r\n+CPMS: 2,50,2,50,2,50\r\n" + kOk, 16000,
         "No complete answer within 16 s"},
        {"30 messages, written without blanks", "\r\n+CPMS:30,50,30,50,30,50\r\n" + kOk, 30000,
         "No complete answer within 30 s"},
        {"the query's form, naming the storage", "\r\n+CPMS: \"SM\",7,50,\"SM\",7,50\r\n" + kOk,
         18500, "No complete answer within 19 s"},
        {"a selection that said nothing", kOk, 15000 + 255 * 500,
         "No complete answer within 143 s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeDriver fake;
        CFakePort line;
        ASSERT_EQ(PARSE_SUCCEED, fake.ParseSelectSmStorage(c.selection));
        line.Expect("AT+CMGF=0\r\n", {{0, kOk}});
        line.Expect("AT+CPMS?\r\n", {{0, kOk}});
        line.Expect("AT+CMGL=4\r\n", {{0, "\r\n+CMGL: 1,1,,23\r\n"}});
        line.Trickle(100, 300, '0');
        bool complete = true;
        EXPECT_TRUE(ReadStoredMessages(&fake, &line, &complete));
        EXPECT_FALSE(complete);
        const std::int64_t listingStart = 2 * kAtGapMs;
        EXPECT_GE(line.NowMs(), listingStart + c.deadline);
        EXPECT_LE(line.NowMs(), listingStart + c.deadline + kAtQuietReadMs + 100);
        EXPECT_EQ(c.failure, line.FailureText());
    }
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

namespace {

// A send keeps the reference the network gave each accepted part, in part
// order; a part refused keeps the references of those before it.
TEST(SmsReferences, EachAcceptedPartKeepsItsReference)
{
    CFakePort port;
    CPhoneCardBase driver;
    port.Expect("AT+CSCA?", {{0, "\r\n+CSCA: \"+8613800100500\",145\r\n\r\nOK\r\n"}});
    port.Expect("at+cmgf=0", {{0, kOk}});
    for (const char* reference : {"41", "42"}) {
        port.Expect("AT+CMGS=", {{0, "\r\n> "}});
        port.Expect("\x1A", {{200, std::string("\r\n+CMGS: ") + reference + "\r\n\r\nOK\r\n"}});
    }
    port.Expect("AT+CMGS=", {{0, "\r\n> "}});
    port.Expect("\x1A", {{200, "\r\n+CMS ERROR: 38\r\n"}});
    driver.SetStatusReports(true);
    SMS_SEND_t send;
    EXPECT_FALSE(TransmitSms(&driver, &port, "13800138000", std::string(150, 'a'), send));
    EXPECT_EQ(send.nAccepted, 2u);
    EXPECT_EQ(send.vecReferences, (std::vector<int>{41, 42}));
    for (const SendPair& part : send.vecParts) {
        EXPECT_EQ(part.second.substr(18, 2), "71") << "TP-SRR in every part";
    }
}

TEST(PinSequences, TheStateThePinOnceAndTheAttemptsLeft)
{
    CFakePort port;
    const std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(PHONE_TYPE_VELT_F);
    // The Wavecom state line comes without OK, which arrives late and is
    // dropped before the next command.
    port.Expect("AT+CPIN?", {{0, "\r\n+CPIN: SIM PIN\r\n"}, {300, kOk}});
    port.Expect("AT+CPIN=", {{50, "\r\n+CME ERROR: 16\r\n"}});
    port.Expect("AT+CPINC", {{0, "\r\n+CPINC: 2,3,10,10\r\n\r\nOK\r\n"}});
    EXPECT_TRUE(QueryPinState(driver.get(), &port));
    EXPECT_EQ(driver->PinState(), "SIM PIN");
    EXPECT_FALSE(EnterPin(driver.get(), &port, "1234"));
    EXPECT_EQ(driver->GetLastErrorText(), "+CME ERROR: 16");
    QueryPinAttempts(driver.get(), &port);
    EXPECT_EQ(driver->PinAttempts(), 2);
    EXPECT_EQ(port.Written(), "AT+CPIN?\r\nAT+CPIN=\"1234\"\r\nAT+CPINC\r\n");
    EXPECT_EQ(driver->GetLastErrorText(), "+CME ERROR: 16");

    CFakePort silent;
    const std::unique_ptr<CPhoneCardBase> clm = CreatePhoneCard(PHONE_TYPE_VELT_B);
    QueryPinAttempts(clm.get(), &silent);
    EXPECT_EQ(silent.Written(), "") << "a module without such a command is not asked";
}

TEST(UssdSequence, TheResultTheSessionAndTheDeadline)
{
    struct Case {
        const char* name;
        std::vector<fakeport::PIECE_t> result;
        bool answered;
        std::string reply;
        bool cancelled;
        std::int64_t atMostMs;
    };
    const std::vector<Case> cases = {
        {"OK at once, the result 8 s later",
         {{0, kOk}, {8000, "\r\n+CUSD: 0,\"Balance 5\",15\r\n"}},
         true,
         "Balance 5",
         false,
         9000},
        {"a menu is shown and closed",
         {{100, "\r\n+CUSD: 1,\"1 Balance\",15\r\n\r\nOK\r\n"}},
         true,
         "1 Balance",
         true,
         1000},
        {"no result within 30 s closes the session", {{0, kOk}}, false, "", true, 31000},
        {"refused", {{0, "\r\n+CME ERROR: 258\r\n"}}, false, "", false, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFakePort port;
        CPhoneCardBase driver;
        port.Expect("AT+CSCS?", {{0, "\r\n+CSCS: \"IRA\"\r\n\r\nOK\r\n"}});
        port.Expect("AT+CUSD=1,\"*100#\",15", c.result);
        port.Expect("AT+CUSD=2", {{0, kOk}});
        const std::int64_t start = port.NowMs();
        EXPECT_EQ(RequestUssd(&driver, &port, "*100#"), c.answered);
        EXPECT_EQ(driver.UssdReply(), c.reply);
        EXPECT_EQ(port.Written().find("AT+CUSD=2\r\n") != std::string::npos, c.cancelled);
        EXPECT_LE(port.NowMs() - start, c.atMostMs);
        if (!c.answered && c.cancelled) {
            EXPECT_GE(port.NowMs() - start, 29000) << "the network is given its 30 s";
        }
        EXPECT_FALSE(port.IsFailed());
    }
}

}  // namespace
