// The watch's faults end to end: a modem that vanishes in the middle of a
// sweep and comes back, a flood of unsolicited lines and noise, a full
// storage, an output that fails, and a stop in the middle of the deletions.
// Whatever happens, every message is written once and deleted only after
// its line was written.

#include <gtest/gtest.h>
#include <json/json.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"
#include "e2e/watch_run.h"

namespace {

std::string Messages(const std::string& storage, const std::vector<std::string>& texts)
{
    std::string list;
    int index = 1;
    for (const std::string& text : texts) {
        list += std::string(list.empty() ? "" : ",") + R"({"index":)" + std::to_string(index++) +
                R"(,"from":"13912345678","time":"24-05-01 09:30:00","text":")" + text + R"("})";
    }
    return R"("storage":{")" + storage + R"(":[)" + list + "]}";
}

TEST(WatchFaultsE2E, AModemThatVanishesInASweepIsLostTakenBackAndLosesNothing)
{
    const std::string port =
        R"({"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233",)" +
        Messages("SM", {"kept through it"});
    ModemSim sim(R"({"ports":[)" + port +
                 R"(,"faults":{"vanish_in_reply":{"prefix":"AT+CMGL","bytes":12}}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    WatchRun watch;
    ASSERT_TRUE(watch.Start(sim, {}));
    ASSERT_TRUE(watch.WaitFor([](const std::vector<Json::Value>& lines) {
        for (const Json::Value& line : lines) {
            if (line["state"].asString() == "lost") {
                return true;
            }
        }
        return false;
    })) << watch.ErrorText();
    EXPECT_TRUE(watch.Lines("message").empty()) << "the listing was cut: nothing is known yet";

    // The module comes back (the same storage, a new line).
    ASSERT_TRUE(sim.Restart(R"({"ports":[)" + port + "}]}")) << sim.LastError();
    ASSERT_TRUE(watch.WaitForLines("message", 1)) << watch.ErrorText();
    ASSERT_TRUE(watch.WaitFor(
        [&](const std::vector<Json::Value>&) { return sim.EventsOn("delete", 3) == 1; }));
    const int status = watch.Stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::vector<std::string> states;
    for (const Json::Value& line : watch.Lines("port")) {
        states.push_back(line["state"].asString());
        if (line["state"].asString() == "lost") {
            EXPECT_FALSE(line["error"].asString().empty()) << line;
        }
    }
    EXPECT_EQ(states, (std::vector<std::string>{"ready", "lost", "ready"}));
    EXPECT_EQ(TextsWritten(watch.Lines()), (std::map<std::string, int>{{"kept through it", 1}}));
}

TEST(WatchFaultsE2E, FloodAndNoiseDoNotHoldUpTheOtherModemsNorRepeatAMessage)
{
    // COM3 floods the line; COM4 puts unsolicited lines (bogus indications
    // among them) after every reply; COM6 puts noise bytes before every
    // reply, so that no listing of it is known to be whole.
    ModemSim sim(std::string(R"({"ports":[
      {"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233","faults":{"flood":true}},
      {"com":4,"model":"M35","bauds":[115200],"iccid":"89860012345678901234",)") +
                 Messages("SM", {"through the lines"}) + R"(,
       "arrivals":[{"after_ms":1500,"from":"10086","time":"24-05-01 09:31:00","text":"announced among lines"}],
       "faults":{"unsolicited":["RING","^RSSI:17","+CMTI: \"SM\",9","+CMTI: \"XX\",",
                                "+CDSI: \"SR\",x","^SMMEMFULL: \"SM\""]}},
      {"com":5,"model":"M35","bauds":[115200],"iccid":"89860012345678901235",)" +
                 Messages("ME", {"quiet neighbour"}) + R"(},
      {"com":6,"model":"M35","bauds":[115200],"iccid":"89860012345678901236",)" +
                 Messages("SM", {"through the noise"}) + R"(,"faults":{"garbage":8}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    WatchRun watch;
    ASSERT_TRUE(watch.Start(sim, {}));
    ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>& lines) {
        return TextsWritten(lines).size() == 4 && sim.EventsOn("delete", 4) == 2 &&
               sim.EventsOn("delete", 5) == 1;
    })) << watch.ErrorText();
    // Two sweeps more on the noisy modems: nothing again.
    const std::size_t listed4 = CommandsStartingWith(sim, 4, "AT+CMGL").size();
    const std::size_t listed6 = CommandsStartingWith(sim, 6, "AT+CMGL").size();
    ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>&) {
        return CommandsStartingWith(sim, 4, "AT+CMGL").size() >= listed4 + 4 &&
               CommandsStartingWith(sim, 6, "AT+CMGL").size() >= listed6 + 4;
    }));
    const int status = watch.Stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(TextsWritten(watch.Lines()), (std::map<std::string, int>{{"through the lines", 1},
                                                                       {"announced among lines", 1},
                                                                       {"quiet neighbour", 1},
                                                                       {"through the noise", 1}}));
    // A listing with noise in it may hide messages: nothing of it goes.
    EXPECT_EQ(sim.EventsOn("delete", 6), 0u);
    EXPECT_EQ(sim.EventsOn("delete", 3), 0u);
    EXPECT_TRUE(watch.Lines("unreadable").empty());
}

TEST(WatchFaultsE2E, AFullStorageIsEmptiedAndWhatTheNetworkKeptThenComesIn)
{
    ModemSim sim(
        R"({"ports":[{"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233",
       "capacity":{"SM":2,"ME":100},)" +
        Messages("SM", {"full one", "full two"}) + R"(,
       "arrivals":[{"from":"10086","time":"24-05-01 09:31:00","text":"waited for room"}]}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    ASSERT_TRUE(sim.DeliverHeldArrival());
    ASSERT_TRUE(sim.WaitForEvents("arrival", 1, 5000));
    ASSERT_EQ(sim.Events("arrival")[0]["dropped"].asString(), "storage full");

    WatchRun watch;
    ASSERT_TRUE(watch.Start(sim, {}));
    ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>& lines) {
        return TextsWritten(lines).size() == 3 && sim.EventsOn("delete", 3) == 3;
    })) << watch.ErrorText();
    const int status = watch.Stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(
        TextsWritten(watch.Lines()),
        (std::map<std::string, int>{{"full one", 1}, {"full two", 1}, {"waited for room", 1}}));
}

TEST(WatchFaultsE2E, AnOutputThatFailsStopsEveryDeletionAndEndsWithStatusOne)
{
    const std::string config =
        R"({"ports":[{"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233",)" +
        Messages("SM", {"first"}) + R"(,
       "arrivals":[{"from":"10086","time":"24-05-01 09:31:00","text":"after the reader left"}]}]})";
    // A full disk: not even the first line can be written.
    {
        SCOPED_TRACE("full");
        ModemSim sim(config);
        ASSERT_TRUE(sim.Start()) << sim.LastError();
        WatchRun watch(false, "/dev/full");
        ASSERT_TRUE(watch.Start(sim, {}));
        const int status = watch.Wait();
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 1);
        EXPECT_NE(watch.ErrorText().find("No space left on device"), std::string::npos)
            << watch.ErrorText();
        EXPECT_EQ(sim.EventsOn("delete", 3), 0u);
    }
    // A reader that goes away: what comes after it is not deleted.
    {
        SCOPED_TRACE("closed");
        ModemSim sim(config);
        ASSERT_TRUE(sim.Start()) << sim.LastError();
        WatchRun watch(true);
        ASSERT_TRUE(watch.Start(sim, {}));
        ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>& lines) {
            return TextsWritten(lines).size() == 1 && sim.EventsOn("delete", 3) == 1;
        })) << watch.ErrorText();
        watch.ClosePipe();
        ASSERT_TRUE(sim.DeliverHeldArrival());
        const int status = watch.Wait();
        ASSERT_TRUE(WIFEXITED(status)) << "no SIGPIPE death: " << status;
        EXPECT_EQ(WEXITSTATUS(status), 1);
        EXPECT_NE(watch.ErrorText().find("output"), std::string::npos) << watch.ErrorText();
        EXPECT_EQ(sim.EventsOn("delete", 3), 1u) << "the arrival stays on the modem";
    }
}

TEST(WatchFaultsE2E, AStopInTheMiddleOfTheDeletionsEndsWithStatusZeroAndDeletesOnlyWhatWasWritten)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        // The module deletes slowly, 1 s a message.
        ModemSim sim(
            R"({"ports":[{"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233",)" +
            Messages("SM", {"one", "two", "three", "four"}) +
            R"(,"faults":{"delay_commands":[{"prefix":"AT+CMGD","delay_ms":1000}]}}]})");
        ASSERT_TRUE(sim.Start()) << sim.LastError();
        WatchRun watch;
        ASSERT_TRUE(watch.Start(sim, {}));
        ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>&) {
            return sim.EventsOn("delete", 3) >= 1;
        })) << watch.ErrorText();
        const std::size_t sent = CommandsStartingWith(sim, 3, "AT+CMGD").size();
        const int status = watch.Stop(signal);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_LE(CommandsStartingWith(sim, 3, "AT+CMGD").size(), sent + 1)
            << "no deletion is begun after the stop";
        EXPECT_LT(sim.EventsOn("delete", 3), 4u);
        // Every message deleted had been written whole before.
        const std::map<std::string, int> written = TextsWritten(watch.Lines());
        EXPECT_EQ(written,
                  (std::map<std::string, int>{{"one", 1}, {"two", 1}, {"three", 1}, {"four", 1}}));
        const char* const byIndex[] = {"", "one", "two", "three", "four"};
        for (const Json::Value& e : sim.Events("delete")) {
            EXPECT_EQ(written.count(byIndex[e["index"].asInt()]), 1u);
        }
    }
}

}  // namespace
