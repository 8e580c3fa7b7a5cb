// Long messages in the watch: parts that arrive apart are written once,
// joined, when the last one is there; parts that do not all come within
// the limit are written with what is there ("missing") and deleted; a
// message whose deletion has begun is deleted whole, even when a stop
// comes.

#include <gtest/gtest.h>
#include <json/json.h>

#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"
#include "e2e/watch_run.h"

namespace {

// "YY-MM-DD hh:mm:ss" of now in Beijing time, the time zone (+8, the
// simulator's default) the messages' stamps carry.
std::string BeijingNow()
{
    const std::time_t when = std::time(nullptr) + 8 * 3600;
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%y-%m-%d %H:%M:%S", &parts);
    return text;
}

std::string Part(const std::string& time, int part, int total, const std::string& text,
                 const std::string& extra = "")
{
    return R"({"from":"+8613500000003","time":")" + time + R"(","dcs":8,"text":")" + text +
           R"(","concat":{"ref":42,"total":)" + std::to_string(total) + R"(,"part":)" +
           std::to_string(part) + "}" + extra + "}";
}

TEST(WatchLongE2E, PartsThatArriveApartAreWrittenOnceJoinedWhenTheLastHasCome)
{
    const std::string now = BeijingNow();
    ModemSim sim(
        R"({"ports":[{"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233",
        "arrivals":[)" +
        Part(now, 1, 2, "两部分的长短信：春眠不觉晓，") + "," +
        Part(now, 2, 2, "处处闻啼鸟。", R"(,"storage":"SM")") + "]}]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    WatchRun watch;
    ASSERT_TRUE(watch.Start(sim, {}));
    ASSERT_TRUE(watch.WaitForLines("port", 1)) << watch.ErrorText();

    // Part 1 alone: announced, read, and left where it is.
    ASSERT_TRUE(sim.DeliverHeldArrival());
    ASSERT_TRUE(sim.WaitForEvents("arrival", 1, 10000));
    const std::size_t listed = CommandsStartingWith(sim, 3, "AT+CMGL").size();
    ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>&) {
        return CommandsStartingWith(sim, 3, "AT+CMGL").size() >= listed + 4;
    }));
    EXPECT_TRUE(watch.Lines("message").empty());
    EXPECT_EQ(sim.EventsOn("delete", 3), 0u);

    ASSERT_TRUE(sim.DeliverHeldArrival());
    ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>& lines) {
        return !TextsWritten(lines).empty() && sim.EventsOn("delete", 3) == 2;
    })) << watch.ErrorText();
    const int status = watch.Stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const std::vector<Json::Value> messages = watch.Lines("message");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]["text"].asString(), "两部分的长短信：春眠不觉晓，处处闻啼鸟。");
    EXPECT_EQ(messages[0]["parts"].asInt(), 2);
    EXPECT_EQ(messages[0]["from"].asString(), "+8613500000003");
    EXPECT_FALSE(messages[0].isMember("missing"));
}

TEST(WatchLongE2E, PartsOlderThanTheLimitAreWrittenWithWhatIsMissingAndDeleted)
{
    // Parts 1 and 3 of 3, stamped long ago: part 2 is taken as lost.
    ModemSim sim(
        R"({"ports":[{"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233",
        "storage":{"SM":[)" +
        Part("24-05-01 09:30:00", 1, 3, "first, ") + "," +
        Part("24-05-01 09:30:05", 3, 3, "third.") + "]}}]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    WatchRun watch;
    ASSERT_TRUE(watch.Start(sim, {}));
    ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>& lines) {
        return !TextsWritten(lines).empty() && sim.EventsOn("delete", 3) == 2;
    })) << watch.ErrorText();
    const int status = watch.Stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::vector<Json::Value> messages = watch.Lines("message");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]["text"].asString(), "first, third.");
    EXPECT_EQ(messages[0]["parts"].asInt(), 3);
    ASSERT_EQ(messages[0]["missing"].size(), 1u);
    EXPECT_EQ(messages[0]["missing"][0].asInt(), 2);
}

TEST(WatchLongE2E, AStopWhileAMessageIsDeletedLeavesNoPartOfItBehind)
{
    // Two long messages of two parts; the module deletes slowly.
    const std::string old = "24-05-01 09:30:00";
    ModemSim sim(
        R"({"ports":[{"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233",
        "storage":{"SM":[)" +
        Part(old, 1, 2, "alpha ") + "," + Part(old, 2, 2, "beta") + "," +
        R"({"from":"+8613500000004","time":")" + old +
        R"(","text":"gamma ","concat":{"ref":43,"total":2,"part":1}},)" +
        R"({"from":"+8613500000004","time":")" + old +
        R"(","text":"delta","concat":{"ref":43,"total":2,"part":2}}]},
        "faults":{"delay_commands":[{"prefix":"AT+CMGD","delay_ms":1500}]}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    WatchRun watch;
    ASSERT_TRUE(watch.Start(sim, {}));
    ASSERT_TRUE(watch.WaitFor([&](const std::vector<Json::Value>&) {
        return !CommandsStartingWith(sim, 3, "AT+CMGD").empty();
    })) << watch.ErrorText();
    const int status = watch.Stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // The message whose first part was being deleted lost both parts; the
    // other kept both.
    std::set<int> deleted;
    for (const Json::Value& e : sim.Events("delete")) {
        deleted.insert(e["index"].asInt());
    }
    EXPECT_TRUE(deleted == (std::set<int>{1, 2}) || deleted == (std::set<int>{1, 2, 3, 4}))
        << deleted.size();
    const std::map<std::string, int> written = TextsWritten(watch.Lines());
    EXPECT_EQ(written.count("alpha beta"), 1u);
}

}  // namespace
