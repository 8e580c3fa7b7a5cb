#include "transport/sms_sequences.h"

#include <gtest/gtest.h>

#include "codec/reply_text.h"
#include "support/fake_port.h"
#include "transport/fake_driver.h"

namespace {

class AtTransactionTest : public ::testing::Test {
protected:
    CFakePort port;
    FakeDriver driver;
};

auto Always(PARSE_RESULT_t result)
{
    return [result](const std::string&) { return result; };
}

const AT_LIMITS_t kShort = ShortLimits(AT_PACING_t());

TEST_F(AtTransactionTest, TheParserDecidesWithinTheLimits)
{
    constexpr auto S = PARSE_SUCCEED;
    constexpr auto F = PARSE_FAILED;
    constexpr auto I = PARSE_INCOMPLETE;
    struct CASE_t {
        const char* what;
        std::vector<PARSE_RESULT_t> results;  // per call; the last repeats
        bool expected;
        std::size_t calls;  // 0: as many as the silence limit leaves
    };
    const CASE_t cases[] = {
        {"success ends at once", {S}, true, 1},
        {"failure ends at once", {F}, false, 1},
        {"success after two incomplete replies", {I, I, S}, true, 3},
        {"incomplete every time reads until the line has been silent for the limit", {I}, false, 0},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.what);
        CFakePort line;
        line.Expect("AT\r", {{0, kOk}});
        std::size_t calls = 0;
        auto parser = [&](const std::string&) {
            ++calls;
            return c.results[std::min(calls, c.results.size()) - 1];
        };
        EXPECT_EQ(c.expected, ExecuteCommand(&line, "AT\r", parser, kShort));
        if (c.calls != 0) {
            EXPECT_EQ(c.calls, calls);
        } else {
            // The reply's last byte came at once; then only silence.
            EXPECT_GE(line.NowMs(), kAtGapMs + kShort.silenceMs);
            EXPECT_LE(line.NowMs(), kAtGapMs + kShort.silenceMs + kAtQuietReadMs + 100);
            EXPECT_GT(calls, 2u);
        }
        EXPECT_EQ("AT\r", line.Written());
        // The modem answered: whatever the parser made of it, the port is fine.
        EXPECT_FALSE(line.IsFailed());
    }
}

TEST_F(AtTransactionTest, NothingIsWrittenWithoutDriverPortParserOrAWorkingPort)
{
    auto parser = Always(PARSE_SUCCEED);
    EXPECT_FALSE(ExecuteCommand(nullptr, "AT\r", parser, kShort));
    EXPECT_FALSE(ExecuteCommand(&port, "AT\r", ReplyParser(), kShort));
    // The sequences need a driver.
    RunInitCommands(nullptr, &port);
    EXPECT_FALSE(RunDriverCommand(nullptr, &port, "AT\r", &CPhoneCardBase::ParsePduMode, kShort));
    EXPECT_FALSE(ReadStoredMessages(nullptr, &port));
    EXPECT_FALSE(TransmitSms(nullptr, &port, "13800138000", "hi"));
    port.MarkFailed("Code:5   Input/output error");
    EXPECT_FALSE(ExecuteCommand(&port, "AT\r", parser, kShort));
    driver.initCommands = {"ATE0\r\n"};
    RunInitCommands(&driver, &port);
    EXPECT_FALSE(ReadStoredMessages(&driver, &port));
    EXPECT_FALSE(TransmitSms(&driver, &port, "13800138000", "hi"));

    CFakePort closed;
    closed.RefuseOpen(ENOENT);
    // The transaction does not reopen a closed port.
    EXPECT_FALSE(ExecuteCommand(&closed, "AT\r", parser, kShort));
    EXPECT_FALSE(closed.IsOpen());
    EXPECT_EQ("", port.Written() + closed.Written());
}

TEST_F(AtTransactionTest, WaitingInputIsDroppedAndThePiecesOfTheReplyJoined)
{
    // An unsolicited line and the late rest of an earlier reply wait on the
    // line before the command; they are not this command's answer.
    port.Arrive(0, "\r\nRING\r\n\r\nOK\r\n");
    const std::string first = "\r\n+CSCA: \"+861380";
    const std::string second = "0100500\",145\r\n";
    port.Expect("AT+CSCA?\r\n", {{0, first}, {2, second}, {900, kOk}});
    EXPECT_TRUE(QueryServiceCentre(&driver, &port));
    const std::vector<std::string> replies = driver.Replies("csca");
    ASSERT_EQ(2u, replies.size());
    EXPECT_EQ(first + second, replies.front());
    EXPECT_EQ(first + second + kOk, replies.back());
}

TEST_F(AtTransactionTest, APollEndsOnTheFinalLineUnlessTheQuietLineModeIsOn)
{
    // The time the exchange takes on the port's clock: the answer comes
    // after 3 ms, its last byte is followed by the 10 ms gap, and in the
    // quiet-line mode by an empty read.
    const struct {
        const char* what;
        std::vector<fakeport::PIECE_t> reply;
        bool quietLine;
        std::int64_t endsAt;
        int reads;
    } cases[] = {
        {"final line", {{3, kOk}}, false, 3 + kAtGapMs, 1},
        {"quiet line", {{3, kOk}}, true, 3 + kAtGapMs + kAtQuietReadMs, 2},
        {"prompt", {{3, "\r\n> "}}, false, 3 + kAtGapMs, 1},
        {"an unsolicited line after the final line in the same burst",
         {{3, kOk + "\r\n+CMTI: \"SM\",2\r\n"}},
         false,
         3 + kAtGapMs + kAtQuietReadMs,
         2},
        {"an unsolicited line is no final line",
         {{3, "\r\n^RSSI:17\r\n"}, {200, kOk}},
         false,
         203 + kAtGapMs,
         2},
        {"a text line holding OK is no final line",
         {{3, "\r\nBOOK CLUB OK?\r\n"}, {100, kOk}},
         false,
         103 + kAtGapMs,
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CFakePort line;
        line.SetPacing(QuietLinePacing(c.quietLine));
        line.Expect("AT\r", c.reply);
        std::vector<std::string> seen;
        auto parser = [&](const std::string& reply) {
            seen.push_back(reply);
            return HoldsFinalResult(reply) || EndsWithFinalResult(reply) ? PARSE_SUCCEED
                                                                         : PARSE_INCOMPLETE;
        };
        EXPECT_TRUE(ExecuteCommand(&line, "AT\r", parser, kShort));
        EXPECT_EQ(c.endsAt, line.NowMs());
        EXPECT_EQ(c.reads, line.Reads());
        EXPECT_EQ(1u, seen.size());
    }
}

TEST_F(AtTransactionTest, AFullChunkEndingOnTheFinalLineLooksWhetherMoreFollows)
{
    const std::string head(kAtReadChunk - kOk.size(), 'x');
    for (const bool more : {false, true}) {
        SCOPED_TRACE(more ? "more within the gap" : "nothing more");
        CFakePort line;
        std::vector<fakeport::PIECE_t> reply = {{0, head + kOk}};
        if (more) {
            reply.push_back({5, "\r\n+CMTI: \"SM\",2\r\n" + kOk});
        }
        line.Expect("AT\r", reply);
        std::string last;
        auto parser = [&](const std::string& r) {
            last = r;
            return PARSE_SUCCEED;
        };
        EXPECT_TRUE(ExecuteCommand(&line, "AT\r", parser, kShort));
        EXPECT_EQ(more ? head + kOk + "\r\n+CMTI: \"SM\",2\r\n" + kOk : head + kOk, last);
    }
}

// The faults of a modem's replies give the same result in both modes: the
// replies the parser sees differ only by what came after the final line.
TEST_F(AtTransactionTest, RecordedFaultsGiveTheSameResultInBothModes)
{
    using Parse = PARSE_RESULT_t (CPhoneCardBase::*)(std::string);
    const std::string body = "\r\n+CMGS: 7\r\n" + kOk;
    const std::string refused = "\r\n+CMS ERROR: 512\r\n";
    const std::string centre = "\r\n+CSCA: \"+8613800100500\",145\r\n";
    const struct {
        const char* what;
        std::string before;  // waiting before the command
        std::vector<fakeport::PIECE_t> reply;
        Parse parse;
        bool result;
        bool sameReply;
        bool portFails;
    } cases[] = {
        {"the final line, then more bytes",
         "",
         {{0, body}, {50, "\r\n+CMTI: \"SM\",3\r\n"}},
         &CPhoneCardBase::ParseSendBody,
         true,
         false,
         false},
        {"the final line, then more bytes within the gap",
         "",
         {{0, kOk}, {5, "\r\n^RSSI:17\r\n"}},
         &CPhoneCardBase::ParsePduMode,
         true,
         true,
         false},
        {"a final line split at every byte", "", fakeport::Split(refused, 1, 15),
         &CPhoneCardBase::ParseSendBody, false, true, false},
        {"a final line split at every byte within the gap", "", fakeport::Split(body, 1, 1),
         &CPhoneCardBase::ParseSendBody, true, true, false},
        {"unsolicited lines before, inside and after",
         "\r\nRING\r\n",
         {{0, centre}, {20, "\r\n+CMTI: \"SM\",1\r\n"}, {20, kOk}, {30, "\r\n^BOOT:1\r\n"}},
         &CPhoneCardBase::ParseServiceCentre,
         true,
         false,
         false},
        {"an unterminated OK, decided by the parser",
         "",
         {{0, "\r\nOK"}},
         &CPhoneCardBase::ParsePduMode,
         true,
         true,
         false},
        {"never a final line",
         "",
         {{0, "\r\n+CSQ: 23"}},
         &CPhoneCardBase::ParsePduMode,
         false,
         true,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string replies[2];
        bool results[2];
        std::string errors[2];
        bool retryable[2];
        for (const bool quietLine : {false, true}) {
            CFakePort line;
            line.SetPacing(QuietLinePacing(quietLine));
            line.Arrive(0, c.before);
            line.Expect("AT+X", c.reply);
            CPhoneCardBase real;
            std::string& last = replies[quietLine];
            auto parser = [&](const std::string& reply) {
                last = reply;
                return (real.*c.parse)(reply);
            };
            results[quietLine] = ExecuteCommand(&line, "AT+X\r", parser, kShort);
            errors[quietLine] = real.GetLastErrorText() + "|" + real.ServiceCentre();
            retryable[quietLine] = real.RetryableError();
            EXPECT_EQ(c.portFails, line.IsFailed()) << (quietLine ? "quiet" : "final line");
        }
        EXPECT_EQ(c.result, results[0]);
        EXPECT_EQ(results[1], results[0]);
        EXPECT_EQ(errors[1], errors[0]);
        EXPECT_EQ(retryable[1], retryable[0]);
        if (c.sameReply) {
            EXPECT_EQ(replies[1], replies[0]);
        } else {
            EXPECT_EQ(0u, replies[1].rfind(replies[0], 0)) << "the quiet reply goes on";
            EXPECT_TRUE(EndsWithFinalResult(replies[0]));
        }
    }
}

TEST_F(AtTransactionTest, TricklingBytesCannotOutlastTheDeadline)
{
    const AT_PACING_t pacing;
    const struct {
        const char* what;
        AT_LIMITS_t limits;
        const char* failure;
    } kinds[] = {
        {"a short command", ShortLimits(pacing), "No complete answer within 20 s"},
        {"a listing of 4 messages", ListLimits(pacing, 4), "No complete answer within 17 s"},
        {"a listing of a storage that said nothing", ListLimits(pacing, -1),
         "No complete answer within 143 s"},
        {"a message body", BodyLimits(pacing), "No complete answer within 120 s"},
    };
    for (const bool quietLine : {false, true}) {
        for (const auto& kind : kinds) {
            SCOPED_TRACE(std::string(kind.what) + (quietLine ? ", quiet" : ", final line"));
            CFakePort line;
            line.SetPacing(QuietLinePacing(quietLine));
            line.Trickle(0, 300, '.');
            EXPECT_FALSE(
                ExecuteCommand(&line, "AT+CMGL=4\r\n", Always(PARSE_INCOMPLETE), kind.limits));
            EXPECT_GE(line.NowMs(), kind.limits.deadlineMs);
            // At most one read, the gap and a pause past the deadline.
            EXPECT_LE(line.NowMs(), kind.limits.deadlineMs + kAtQuietReadMs + kAtGapMs + 100);
            EXPECT_TRUE(line.IsFailed());
            EXPECT_EQ(kind.failure, line.FailureText());
        }
    }
}

TEST_F(AtTransactionTest, ALineThatFallsSilentFailsAtItsSilenceLimit)
{
    const AT_PACING_t pacing;
    const struct {
        const char* what;
        std::vector<fakeport::PIECE_t> reply;
        AT_LIMITS_t limits;
        std::int64_t silentFrom;  // the last byte
        const char* failure;      // empty: the port stays usable
    } cases[] = {
        {"nothing at all", {}, ShortLimits(pacing), 0, "No answer within 10 s"},
        {"a listing that stops after its first entry",
         {{0, "\r\n+CMGL: 1,1,,23\r\n"}, {3000, "0791\r\n"}},
         ListLimits(pacing, 200),
         3000 + kAtGapMs,
         "Silent for 10 s after a partial reply"},
        {"a body the network never answers", {}, BodyLimits(pacing), 0, "No answer within 120 s"},
        {"a final line, then silence while the parser waits for more",
         {{0, kOk}},
         ShortLimits(pacing),
         kAtGapMs,
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CFakePort line;
        line.Expect("AT+X", c.reply);
        EXPECT_FALSE(ExecuteCommand(&line, "AT+X\r", Always(PARSE_INCOMPLETE), c.limits));
        EXPECT_GE(line.NowMs(), c.silentFrom + c.limits.silenceMs);
        EXPECT_LE(line.NowMs(), c.silentFrom + c.limits.silenceMs + kAtQuietReadMs + 100);
        EXPECT_EQ(c.failure[0] != '\0', line.IsFailed());
        EXPECT_EQ(c.failure, line.FailureText());
    }
}

TEST_F(AtTransactionTest, AStopRequestEndsWhatMayBeCutAndLetsAPartFinish)
{
    const AT_PACING_t pacing;
    const std::string body = "\r\n+CMGS: 7\r\n" + kOk;
    // The stop comes while the first poll waits (its empty read ends at
    // 562 ms); the answer comes later, or during the next read.
    const struct {
        const char* what;
        AT_LIMITS_t limits;
        int answerAtMs;
        std::string answer;
        bool expected;
        std::int64_t endsAt;
        bool portFails;
    } cases[] = {
        {"a deletion the modem answers after 3 s is cut at the next read", ShortLimits(pacing),
         3000, kOk, false, 2 * kAtQuietReadMs + 100, true},
        {"a body the network answers after 3 s is waited for", BodyLimits(pacing), 3000, body, true,
         3000 + kAtGapMs, false},
        {"an answer that comes in the read after the stop still counts", ShortLimits(pacing), 1000,
         kOk, true, 1000 + kAtGapMs, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CStopSource source;
        CFakePort line;
        line.SetStopToken(source.Token());
        line.Expect("AT+X", {{c.answerAtMs, c.answer}});
        auto parser = [&](const std::string& reply) {
            source.RequestStop(15);
            return HoldsFinalResult(reply) ? PARSE_SUCCEED : PARSE_INCOMPLETE;
        };
        EXPECT_EQ(c.expected, ExecuteCommand(&line, "AT+X\r", parser, c.limits));
        EXPECT_EQ(c.endsAt, line.NowMs());
        EXPECT_EQ(c.portFails, line.IsFailed());
        if (c.portFails) {
            EXPECT_EQ("Stopped by SIGTERM", line.FailureText());
            EXPECT_TRUE(line.WasStopped());
        }
        // Once stopped, nothing that may be cut is written any more.
        const std::size_t writes = line.Writes().size();
        EXPECT_FALSE(ExecuteCommand(&line, "AT+Y\r", Always(PARSE_SUCCEED), ShortLimits(pacing)));
        EXPECT_EQ(writes, line.Writes().size());
    }
}

TEST_F(AtTransactionTest, APortThatFailsEndsTheTransactionAtOnceAndStaysFailed)
{
    const struct {
        const char* what;
        void (*setUp)(CFakePort&);
        std::int64_t endsBy;
        std::string failure;
    } cases[] = {
        {"hang-up in the middle of the reply",
         [](CFakePort& p) {
             p.Expect("AT+CMGL=4", {{0, "\r\n+CMGL: 1,1,,23\r\n0791"}});
             p.VanishAfter(400);
         },
         400, "Code:5   Input/output error"},
        {"gone before the command: the write fails", [](CFakePort& p) { p.VanishAfter(0); }, 0,
         "Code:5   Input/output error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CFakePort line;
        c.setUp(line);
        EXPECT_FALSE(ExecuteCommand(&line, "AT+CMGL=4\r\n", Always(PARSE_INCOMPLETE),
                                    ListLimits(line.Pacing(), 10)));
        EXPECT_LE(line.NowMs(), c.endsBy + kAtQuietReadMs);
        EXPECT_TRUE(line.IsFailed());
        EXPECT_EQ(c.failure, line.FailureText());
        // Nothing more is written for the rest of the operation.
        const std::size_t writes = line.Writes().size();
        EXPECT_FALSE(ExecuteCommand(&line, "AT\r", Always(PARSE_SUCCEED), kShort));
        EXPECT_EQ(writes, line.Writes().size());
    }
}

TEST_F(AtTransactionTest, AReplyThatOutgrowsTheBoundFailsTheTransactionAndThePort)
{
    std::size_t largest = 0;
    std::size_t calls = 0;
    auto parser = [&](const std::string& reply) {
        ++calls;
        largest = std::max(largest, reply.size());
        return PARSE_INCOMPLETE;
    };
    std::string flood;
    while (flood.size() <= kMaxReplyBytes + kPollByteLimit) {
        flood += "+CMTI: \"SM\",1\r\n";
    }
    port.Expect("AT\r", {{0, flood}});
    EXPECT_FALSE(ExecuteCommand(&port, "AT\r", parser, kShort));
    EXPECT_LT(calls, 1000u);
    EXPECT_LE(largest, kMaxReplyBytes);
    EXPECT_TRUE(port.IsFailed());
}

}  // namespace
