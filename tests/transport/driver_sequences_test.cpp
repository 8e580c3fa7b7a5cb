// The drivers' sequences (initialisation, reading a storage, sending) with
// real drivers and recorded replies, on a port in memory: late, split and
// vanishing modems cost no waiting here.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "drivers/m35.h"
#include "drivers/mc323.h"
#include "support/driver_state.h"
#include "support/fake_port.h"
#include "support/fixture_text.h"
#include "transport/sms_sequences.h"

namespace {

const std::string kOk = "\r\nOK\r\n";

using Script = std::vector<std::pair<std::string, std::string>>;

// Every reply of the script comes `delayMs` after its command, cut into
// pieces of `pieceBytes` (0: whole) `gapMs` apart.
void Play(CFakePort& port, const Script& script, int delayMs, std::size_t pieceBytes = 0,
          int gapMs = 0)
{
    for (const auto& [command, reply] : script) {
        port.Expect(command, pieceBytes == 0 ? std::vector<fakeport::PIECE_t>{{delayMs, reply}}
                                             : fakeport::Split(reply, pieceBytes, gapMs, delayMs));
    }
}

bool SelectStorage(CPhoneCardBase& driver, CAtPort& port, bool sim)
{
    return sim ? RunDriverCommand(&driver, &port, driver.SelectSmStorageCommand(),
                                  &CPhoneCardBase::ParseSelectSmStorage, ShortLimits(port.Pacing()))
               : RunDriverCommand(&driver, &port, driver.SelectMeStorageCommand(),
                                  &CPhoneCardBase::ParseSelectMeStorage,
                                  ShortLimits(port.Pacing()));
}

std::vector<std::string> Texts(const std::vector<SmsMessage>& messages)
{
    std::vector<std::string> texts;
    for (const SmsMessage& message : messages) {
        texts.push_back(message.strText);
    }
    return texts;
}

// An M35 holding two messages on the SIM and none in modem memory, as the
// inbox reads it: the init commands, modem memory, then the SIM.
Script M35Inbox()
{
    const std::string cpms = "\r\n+CPMS: 0,100,2,50,2,50\r\n" + kOk;
    return {{"AT+CMEE=1", kOk},
            {"AT+CPMS=\"SM\"", cpms},
            {"ATE0", kOk},
            {"AT+CPMS=\"ME\"", cpms},
            {"at+cmgf=0", kOk},
            {"AT\r", kOk},
            {"AT+CMGL=4", kOk},
            {"AT+CPMS=\"SM\"", cpms},
            {"at+cmgf=0", kOk},
            {"AT\r", kOk},
            {"AT+CMGL=4", LoadFixture("drivers/base/list_order.txt")}};
}

struct INBOX_t {
    bool meComplete = false;
    bool smComplete = false;
    std::vector<std::string> me;
    std::vector<std::string> sm;
};

INBOX_t ReadBothStorages(CPhoneCardBase& driver, CAtPort& port)
{
    INBOX_t inbox;
    RunInitCommands(&driver, &port);
    if (SelectStorage(driver, port, false) &&
        ReadStoredMessages(&driver, &port, &inbox.meComplete)) {
        inbox.me = Texts(driver.GetMessages());
    }
    if (SelectStorage(driver, port, true) &&
        ReadStoredMessages(&driver, &port, &inbox.smComplete)) {
        inbox.sm = Texts(driver.GetMessages());
    }
    return inbox;
}

TEST(DriverSequences, AModemAnsweringLateIsReadInFullInBothModes)
{
    for (const bool quietLine : {false, true}) {
        for (const int delayMs : {0, 200, 650, 1500}) {
            SCOPED_TRACE(std::string(quietLine ? "quiet, " : "final line, ") +
                         std::to_string(delayMs) + " ms late");
            CFakePort port;
            port.SetPacing(QuietLinePacing(quietLine));
            Play(port, M35Inbox(), delayMs);
            CM35 driver;
            const INBOX_t inbox = ReadBothStorages(driver, port);
            EXPECT_TRUE(inbox.meComplete && inbox.smComplete);
            EXPECT_TRUE(inbox.me.empty());
            ASSERT_EQ(2u, inbox.sm.size());
            EXPECT_TRUE(port.StepsDone()) << "every command got its own answer";
            EXPECT_FALSE(port.IsFailed());
        }
    }
}

TEST(DriverSequences, ACdmaListingAndItsReadsWaitForTheirOwnAnswers)
{
    const std::string cpms = "\r\n+CPMS: 2,100,0,50,0,50\r\n" + kOk;
    const Script script = {
        {"AT+CMEE=1", kOk},
        {"AT+CPMS=\"SM\"", cpms},
        {"ATE0", kOk},
        {"AT^RSSIREP=0", kOk},
        {"AT+CPMS=\"ME\"", cpms},
        {"AT^HSMSSS=0,0,6,0", kOk},
        {"AT\r", kOk},
        {"AT^HCMGL=4", LoadFixture("drivers/mc323/list.txt")},
        {"AT^HCMGR=4", LoadFixture("drivers/mc323/read_unicode.txt")},
        {"AT^HCMGR=7", LoadFixture("drivers/mc323/read_ascii_ok_text.txt")},
    };
    // Late, and cut at every byte with gaps longer than the port's gap: the
    // "OK" inside the second text never ends its read.
    const struct {
        int delayMs;
        std::size_t pieceBytes;
        int gapMs;
    } shapes[] = {{650, 0, 0}, {0, 1, 15}, {200, 7, 30}};
    for (const bool quietLine : {false, true}) {
        for (const auto& shape : shapes) {
            SCOPED_TRACE(std::string(quietLine ? "quiet, " : "final line, ") +
                         std::to_string(shape.delayMs) + " ms late, pieces of " +
                         std::to_string(shape.pieceBytes));
            CFakePort port;
            port.SetPacing(QuietLinePacing(quietLine));
            Play(port, script, shape.delayMs, shape.pieceBytes, shape.gapMs);
            CMc323 driver;
            RunInitCommands(&driver, &port);
            ASSERT_TRUE(SelectStorage(driver, port, false));
            bool complete = true;
            EXPECT_TRUE(ReadStoredMessages(&driver, &port, &complete));
            // Every read was answered; the header without an index may stand
            // for a message that was not, so the storage is read in part.
            EXPECT_FALSE(complete);
            EXPECT_EQ("^HCMGL:junk", driver.NotUnderstoodLine());
            // 你好 in the internal code page.
            EXPECT_EQ((std::vector<std::string>{"\xC4\xE3\xBA\xC3", "OK, see you"}),
                      Texts(driver.GetMessages()));
            EXPECT_EQ((std::vector<int>{4, 7}), driver.GetListedIndexes());
            EXPECT_TRUE(port.StepsDone());
        }
    }
}

TEST(DriverSequences, AModemVanishingMidListingLeavesTheReadIncompleteAndThePortAlone)
{
    const std::string listing = LoadFixture("drivers/base/list_order.txt");
    Script script = M35Inbox();
    script.back().second = listing.substr(0, listing.size() / 2);
    CFakePort port;
    Play(port, script, 0);
    CM35 driver;
    RunInitCommands(&driver, &port);
    ASSERT_TRUE(SelectStorage(driver, port, false));
    bool complete = false;
    ASSERT_TRUE(ReadStoredMessages(&driver, &port, &complete));
    ASSERT_TRUE(complete);
    ASSERT_TRUE(SelectStorage(driver, port, true));
    port.VanishAfter(100);
    EXPECT_TRUE(ReadStoredMessages(&driver, &port, &complete));
    EXPECT_FALSE(complete);
    EXPECT_TRUE(driver.GetListedIndexes().empty());
    EXPECT_TRUE(port.IsFailed());
    EXPECT_EQ("Code:5   Input/output error", port.FailureText());
    // It ended when the device went, not at a deadline.
    EXPECT_LT(port.NowMs(), 10 * kAtQuietReadMs);
    const std::size_t writes = port.Writes().size();
    EXPECT_FALSE(SelectStorage(driver, port, false));
    EXPECT_EQ(writes, port.Writes().size());
}

TEST(DriverSequences, ASendToALateModemGoesOutOnceWithEveryStepAnswered)
{
    CM35 driver;
    LeaveServiceCentre(driver, "+8613800100500");
    const std::vector<SendPair> pairs = driver.BuildSendCommands("13800138000", "hello");
    ASSERT_EQ(1u, pairs.size());
    for (const bool quietLine : {false, true}) {
        SCOPED_TRACE(quietLine ? "quiet" : "final line");
        CFakePort port;
        port.SetPacing(QuietLinePacing(quietLine));
        Play(port,
             {{"AT+CSCA?", "\r\n+CSCA: \"+8613800100500\",145\r\n" + kOk},
              {"at+cmgf=0", kOk},
              {pairs[0].first, "\r\n> "},
              {pairs[0].second, "\r\n+CMGS: 7\r\n" + kOk}},
             650);
        EXPECT_TRUE(TransmitSms(&driver, &port, "13800138000", "hello"));
        EXPECT_EQ((std::vector<std::string>{"AT+CSCA?\r\n", "at+cmgf=0\r\n", pairs[0].first,
                                            pairs[0].second}),
                  port.Writes());
    }
}

// A text of three concatenated parts through an M35 whose network refuses
// the bodies counted in `refused` (1: the first body written) with a
// retryable error, sent with up to three attempts as the send command does.
struct RETRY_RUN_t {
    std::vector<bool> attempts;       // the outcome of each attempt
    std::vector<std::string> bodies;  // the bodies written, in order
    SMS_SEND_t send;
};

RETRY_RUN_t SendThreeParts(const std::set<int>& refused)
{
    CM35 driver;
    CFakePort port;
    int bodies = 0;
    port.Respond([&](const std::string& written) -> std::string {
        if (written.rfind("AT+CSCA?", 0) == 0) {
            return "\r\n+CSCA: \"+8613800100500\",145\r\n" + kOk;
        }
        if (written.rfind("at+cmgf=0", 0) == 0) {
            return kOk;
        }
        if (written.rfind("AT+CMGS=", 0) == 0) {
            return "\r\n> ";
        }
        if (!written.empty() && written.back() == '\x1A') {
            return refused.count(++bodies) ? "\r\n+CMS ERROR: 512\r\n" : "\r\n+CMGS: 9\r\n" + kOk;
        }
        return "\r\nERROR\r\n";
    });
    RETRY_RUN_t run;
    const std::string text(150, 'x');
    driver.ClearRetryableError();
    do {
        run.attempts.push_back(TransmitSms(&driver, &port, "13800138000", text, run.send));
    } while (!run.attempts.back() && driver.RetryableError() && run.attempts.size() < 3);
    for (const std::string& write : port.Writes()) {
        if (!write.empty() && write.back() == '\x1A') {
            run.bodies.push_back(write);
        }
    }
    return run;
}

TEST(DriverSequences, ARetryResendsOnlyTheRefusedPartWithItsReferenceAndNumber)
{
    const RETRY_RUN_t run = SendThreeParts({2});
    const std::vector<SendPair>& parts = run.send.vecParts;
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(run.attempts, (std::vector<bool>{false, true}));
    EXPECT_EQ(run.bodies, (std::vector<std::string>{parts[0].second, parts[1].second,
                                                    parts[1].second, parts[2].second}));
    EXPECT_TRUE(run.send.Sent());
}

TEST(DriverSequences, APartRefusedEveryTimeIsNeverReportedSentAndTheRestStays)
{
    const RETRY_RUN_t run = SendThreeParts({2, 3, 4});
    const std::vector<SendPair>& parts = run.send.vecParts;
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(run.attempts, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(run.bodies, (std::vector<std::string>{parts[0].second, parts[1].second,
                                                    parts[1].second, parts[1].second}));
    EXPECT_EQ(run.send.nAccepted, 1u);
    EXPECT_FALSE(run.send.Sent());
}

}  // namespace
