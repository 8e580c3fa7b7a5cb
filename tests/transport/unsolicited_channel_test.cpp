// The unsolicited channel of a port kept open: every byte the transactions
// read reaches it (what waits before a command, whole replies, what comes
// between commands), unparsed; a port that fails between commands is
// marked so.

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "codec/reply_text.h"
#include "support/fake_port.h"
#include "transport/at_transaction.h"

namespace {

const std::string kOk = "\r\nOK\r\n";

PARSE_RESULT_t FinalLine(const std::string& reply)
{
    return HoldsFinalResult(reply) ? PARSE_SUCCEED : PARSE_INCOMPLETE;
}

TEST(UnsolicitedChannel, EveryByteReadReachesTheOpenChannelOnce)
{
    const struct {
        const char* what;
        bool open;
        std::string before;                    // arrives before the command
        std::vector<fakeport::PIECE_t> reply;  // the command's reply
        std::string between;                   // arrives after it, before the wait ends
        std::string channel;
    } cases[] = {
        {"an indication before a command",
         true,
         "\r\n+CMTI: \"SM\",3\r\n",
         {{5, kOk}},
         "",
         "\r\n+CMTI: \"SM\",3\r\n" + kOk},
        {"one in the middle of a reply",
         true,
         "",
         {{5, "\r\n+CPMS: 1,50"}, {5, "\r\n+CMTI: \"SM\",4\r\n"}, {5, kOk}},
         "",
         "\r\n+CPMS: 1,50\r\n+CMTI: \"SM\",4\r\n" + kOk},
        {"one between commands",
         true,
         "",
         {{5, kOk}},
         "\r\n+CDSI: \"SR\",1\r\n",
         kOk + "\r\n+CDSI: \"SR\",1\r\n"},
        {"a closed channel keeps nothing",
         false,
         "\r\n+CMTI: \"SM\",3\r\n",
         {{5, kOk}},
         "\r\nRING\r\n",
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CFakePort port;
        port.Open();
        if (c.open) {
            port.OpenUnsolicitedChannel();
        }
        port.Arrive(0, c.before);
        port.Pause(10);
        port.Expect("AT+CPMS?", c.reply);
        EXPECT_TRUE(ExecuteCommand(&port, "AT+CPMS?\r\n", FinalLine, ShortLimits(port.Pacing())));
        port.Arrive(100, c.between);
        EXPECT_TRUE(WaitForUnsolicited(&port, 500));
        EXPECT_EQ(port.TakeChannel(), c.channel);
        EXPECT_EQ(port.TakeChannel(), "") << "what was taken is gone";
    }
}

TEST(UnsolicitedChannel, AWaitReturnsWhenBytesComeAndOnlyThen)
{
    CFakePort port;
    port.Open();
    port.OpenUnsolicitedChannel();
    const std::int64_t start = port.NowMs();
    EXPECT_TRUE(WaitForUnsolicited(&port, 400));
    EXPECT_EQ(port.NowMs() - start, 400) << "a silent line waits the whole time";
    port.Arrive(50, "\r\n+CMTI: \"ME\",2\r\n");
    EXPECT_TRUE(WaitForUnsolicited(&port, 400));
    EXPECT_LT(port.NowMs() - start, 400 + 400);
    EXPECT_EQ(port.TakeChannel(), "\r\n+CMTI: \"ME\",2\r\n");
}

TEST(UnsolicitedChannel, AFloodIsBoundedAndAVanishedModemFailsThePort)
{
    CFakePort port;
    port.Open();
    port.OpenUnsolicitedChannel();
    const std::string line = "\r\n+FLOOD: 0123456789\r\n";
    for (int i = 0; i < 8000; ++i) {
        port.Arrive(0, line);
    }
    while (port.Unread() > 0) {
        ASSERT_TRUE(WaitForUnsolicited(&port, 0));
    }
    const std::string kept = port.TakeChannel();
    EXPECT_EQ(kept.size(), CAtPort::kUnsolicitedChannelBytes);
    EXPECT_EQ(kept.substr(kept.size() - line.size()), line) << "the newest bytes stay";

    port.VanishAfter(100);
    EXPECT_FALSE(WaitForUnsolicited(&port, 500));
    EXPECT_TRUE(port.IsFailed());
    EXPECT_FALSE(port.FailureText().empty());
    EXPECT_FALSE(WaitForUnsolicited(&port, 500)) << "a failed port is not read again";
}

}  // namespace
