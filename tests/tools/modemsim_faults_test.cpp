// The simulator's injected faults: split, late, refused, cut and endless
// replies, silence and a modem that vanishes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim_line.h"
#include "support/modem_sim.h"

namespace {

TEST(SimulatorFaults, SplitRepliesComeInPieces)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35","echo":false,"iccid":"89860012345678901234",
                               "faults":{"split":5,"split_gap_ms":40,"delay_ms":30}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    line.Send("AT+CSCA?\r");
    std::size_t reads = 0;
    std::string whole;
    std::chrono::steady_clock::time_point first;
    std::chrono::steady_clock::time_point last;
    while (!SimLine::Complete(whole)) {
        std::string piece = line.ReadOnce(3000);
        if (piece.empty())
            break;
        last = std::chrono::steady_clock::now();
        if (reads++ == 0)
            first = last;
        whole += piece;
    }
    // 37 bytes in pieces of 5 are 8 pieces with 7 gaps of 40 ms between
    // them. A reader that a loaded machine wakes late may take several
    // pieces in one read, but the bytes cannot come sooner than the gaps
    // allow, so the spread of the reads shows the split.
    EXPECT_EQ(whole, "\r\n+CSCA: \"+8613800100500\",145\r\n\r\nOK\r\n");
    EXPECT_GE(reads, 2u);
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(last - first).count(), 200);
}

TEST(SimulatorFaults, FirstBodiesGetTheInjectedError)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35","echo":false,"iccid":"89860012345678901234",
                               "faults":{"cms_error_bodies":2,"cms_error_code":512}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    const std::string pdu = "0891683108100005F011000D91683108108300F000000005E8329BFD06";
    std::vector<std::string> replies;
    for (int i = 0; i < 3; ++i) {
        line.Command("AT+CMGS=20\r");
        replies.push_back(line.Command(pdu + "\x1A"));
    }
    EXPECT_EQ(replies[0], "\r\n+CMS ERROR: 512\r\n");
    EXPECT_EQ(replies[1], "\r\n+CMS ERROR: 512\r\n");
    EXPECT_EQ(replies[2], "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    ASSERT_EQ(sim.Events("sms").size(), 1u);
    EXPECT_EQ(sim.Events("sms")[0]["text"].asString(), "hello");
}

TEST(SimulatorFaults, VanishingModemHangsUpAndLeavesNoLink)
{
    ModemSim sim(
        R"({"ports":[{"com":3,"model":"M35","echo":false,"faults":{"vanish_after_commands":2}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    EXPECT_EQ(line.Command("AT\r"), "\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT\r"), "\r\nOK\r\n");
    line.Send("AT\r");
    EXPECT_EQ(line.ReadUntilComplete(3000), "");
    EXPECT_TRUE(line.HungUp());
    EXPECT_FALSE(line.Send("AT\r"));
    EXPECT_NE(access(sim.PortPath(3).c_str(), F_OK), 0);
    EXPECT_EQ(sim.Events("vanish").size(), 1u);
}

// Unplugged and plugged in again: the link goes, comes back at the same
// name after the fault's time, and behind it is a restarted module (echo on
// again) that kept its stored messages and took one in while it was away;
// its vanish comes again after as many commands.
TEST(SimulatorFaults, AVanishedModemComesBackRestartedWithItsMessages)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35","iccid":"89860012345678901234",
        "storage":{"SM":[{"from":"10086","time":"24-05-01 09:30:00","text":"kept"}]},
        "arrivals":[{"from":"10010","time":"24-05-01 09:31:00","text":"while away"}],
        "faults":{"vanish_after_commands":2,"return_after_ms":400}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    EXPECT_EQ(line.Command("ATE0\r"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT\r"), "\r\nOK\r\n");
    line.Send("AT\r");
    EXPECT_EQ(line.ReadUntilComplete(3000), "");
    EXPECT_TRUE(line.HungUp());
    const auto gone = std::chrono::steady_clock::now();
    EXPECT_NE(access(sim.PortPath(3).c_str(), F_OK), 0);
    ASSERT_TRUE(sim.DeliverHeldArrival());

    while (access(sim.PortPath(3).c_str(), F_OK) != 0 &&
           std::chrono::steady_clock::now() - gone < std::chrono::seconds(5)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const auto away = std::chrono::steady_clock::now() - gone;
    EXPECT_GE(away, std::chrono::milliseconds(300));
    EXPECT_LT(away, std::chrono::seconds(5));
    SimLine again;
    ASSERT_TRUE(again.Open(sim.PortPath(3), B9600));
    EXPECT_EQ(again.Command("AT\r"), "AT\r\r\nOK\r\n");
    EXPECT_NE(again.Command("AT+CPMS?\r").find("+CPMS: \"SM\",2,50,"), std::string::npos);
    again.Send("AT\r");
    EXPECT_EQ(again.ReadUntilComplete(3000), "");
    EXPECT_TRUE(again.HungUp());

    EXPECT_EQ(sim.Events("vanish").size(), 2u);
    ASSERT_EQ(sim.Events("return").size(), 1u);
    EXPECT_EQ(sim.Events("return")[0]["com"].asInt(), 3);
    ASSERT_EQ(sim.Events("arrival").size(), 1u);
    EXPECT_EQ(sim.Events("arrival")[0]["index"].asInt(), 2);
}

TEST(SimulatorFaults, SilenceAfterSomeCommands)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35","faults":{"silent_after_commands":1}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    EXPECT_EQ(line.Command("AT\r"), "AT\r\r\nOK\r\n");
    line.Send("AT\r");
    EXPECT_EQ(line.ReadFor(200), "");
}

TEST(SimulatorFaults, FromACommandOnSilentOrTrickling)
{
    ModemSim sim(R"({"ports":[
        {"com":3,"model":"M35","echo":false,"faults":{"silent_from":"AT+CPMS"}},
        {"com":4,"model":"M35","echo":false,"faults":{"trickle":{"from":"at + cpms","every_ms":30}}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    for (int com : {3, 4}) {
        SCOPED_TRACE(com);
        SimLine line;
        ASSERT_TRUE(line.Open(sim.PortPath(com), B9600));
        EXPECT_EQ(line.Command("AT\r"), "\r\nOK\r\n");
        line.Send("AT+CPMS=\"SM\"\r");
        line.Send("AT\r");
        const std::string after = line.ReadFor(500);
        if (com == 3) {
            EXPECT_EQ(after, "");
        } else {
            // One byte at a time, for ever, and never an answer.
            EXPECT_GE(after.size(), 5u);
            EXPECT_EQ(after.find_first_not_of('.'), std::string::npos) << after;
            EXPECT_GE(line.ReadFor(300).size(), 3u);
        }
    }
}

TEST(SimulatorFaults, VanishingInTheMiddleOfAReply)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35","echo":false,"iccid":"89860012345678901234",
        "storage":{"SM":[{"from":"13912345678","time":"24-05-01 09:30:00","text":"one"},
                         {"from":"13912345678","time":"24-05-01 09:31:00","text":"two"}]},
        "faults":{"vanish_in_reply":{"prefix":"AT+CMGL","bytes":40}}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    EXPECT_EQ(line.Command("AT\r"), "\r\nOK\r\n");
    line.Send("AT+CMGL=4\r");
    const std::string part = line.ReadUntilComplete(2000);
    EXPECT_EQ(part.size(), 40u);
    EXPECT_EQ(part.rfind("\r\n+CMGL: 1,1,,", 0), 0u) << part;
    EXPECT_TRUE(line.HungUp() || line.ReadOnce(1000).empty());
    EXPECT_TRUE(line.HungUp());
    EXPECT_NE(access(sim.PortPath(3).c_str(), F_OK), 0);
    EXPECT_EQ(sim.Events("vanish").size(), 1u);
}

TEST(SimulatorFaults, SomeCommandsAnswerLateAndChosenBodiesAreRefused)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35","echo":false,"iccid":"89860012345678901234",
        "faults":{"delay_commands":[{"prefix":"AT+CSQ","delay_ms":400}],
                  "cms_error_body_numbers":[2],"cms_error_code":512}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    line.Send("AT+CSQ\r");
    EXPECT_EQ(line.ReadFor(150), "");
    EXPECT_EQ(line.ReadUntilComplete(2000), "\r\n+CSQ: 23,99\r\n\r\nOK\r\n");
    EXPECT_EQ(line.Command("AT\r"), "\r\nOK\r\n");

    const std::string pdu = "0891683108100005F011000D91683108108300F000000005E8329BFD06";
    std::vector<std::string> replies;
    for (int i = 0; i < 3; ++i) {
        line.Command("AT+CMGS=20\r");
        replies.push_back(line.Command(pdu + "\x1A"));
    }
    EXPECT_EQ(replies[0], "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(replies[1], "\r\n+CMS ERROR: 512\r\n");
    EXPECT_EQ(replies[2], "\r\n+CMGS: 2\r\n\r\nOK\r\n");
    EXPECT_EQ(sim.Events("sms").size(), 2u);
}

TEST(SimulatorFaults, ReplyDecorations)
{
    struct Case {
        const char* faults;
        const char* command;
        std::string expected;
    };
    const Case cases[] = {
        {R"({"unsolicited":["RING","^RSSI: 18","+CMTI: \"SM\",3"]})", "AT\r",
         "\r\nOK\r\n\r\nRING\r\n\r\n^RSSI: 18\r\n\r\n+CMTI: \"SM\",3\r\n"},
        {R"({"error_commands":["at+csca?",{"prefix":"AT+CGSN","reply":"+CMS ERROR: 330"}]})",
         "AT + CSCA?\r", "\r\nERROR\r\n"},
        {R"({"error_commands":[{"prefix":"AT+CGSN","reply":"+CMS ERROR: 330"}]})", "AT+CGSN\r",
         "\r\n+CMS ERROR: 330\r\n"},
        {R"({"overlong_reply":20})", "AT\r", "\r\n##########\r\n\r\nOK\r\n"},
        {R"({"nul_bytes":2})", "AT\r", std::string("\r\nOK\r\n\0\0", 8)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults);
        ModemSim sim(std::string(R"({"ports":[{"com":3,"model":"ME909s-821","echo":false,
                                              "iccid":"89860012345678901234","faults":)") +
                     c.faults + "}]}");
        ASSERT_TRUE(sim.Start()) << sim.LastError();
        SimLine line;
        ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
        line.Send(c.command);
        EXPECT_EQ(line.ReadUntil(c.expected, 2000), c.expected);
    }
}

TEST(SimulatorFaults, HuaweiReportSwitchesSilenceCaretLines)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"ME909s-821","echo":false,
                               "faults":{"unsolicited":["RING","^RSSI: 18","^MODE: 5"]}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    line.Send("AT^RSSIREP=0\r");
    EXPECT_EQ(line.ReadUntil("^MODE: 5\r\n", 2000), "\r\nOK\r\n\r\nRING\r\n\r\n^MODE: 5\r\n");
    line.Send("AT^CURC=0\r");
    EXPECT_EQ(line.ReadUntil("RING\r\n", 2000), "\r\nOK\r\n\r\nRING\r\n");
    EXPECT_EQ(line.ReadFor(100), "");
}

TEST(SimulatorFaults, FloodNeverStops)
{
    ModemSim sim(R"({"ports":[{"com":3,"model":"M35","echo":false,"faults":{"flood":true}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    line.Send("AT\r");
    std::string first = line.ReadFor(100);
    EXPECT_EQ(first.substr(0, 6), "\r\nOK\r\n");
    EXPECT_GT(first.size(), 8000u);
    EXPECT_GT(line.ReadFor(100).size(), 8000u);
}

}  // namespace
