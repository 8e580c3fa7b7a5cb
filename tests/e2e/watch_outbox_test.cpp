// Sending while the watch runs: with the watch's store, a send command's
// text goes out once, through the watch's own open port, the command prints
// the document it prints without a watch and the watch writes a "sent"
// line; without a store, the port is busy and the watch is named.

#include <gtest/gtest.h>
#include <json/json.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"
#include "e2e/watch_run.h"

namespace {

const char* const kConfig =
    R"({"ports":[{"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233"}]})";

std::size_t SmsSent(const ModemSim& sim)
{
    return sim.Events("sms").size();
}

TEST(WatchOutboxE2E, ASendThroughTheWatchGoesOutOnceWithTheUsualDocument)
{
    ModemSim sim(kConfig);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const std::string store = sim.Root() + "/store.db";
    WatchRun watch;
    ASSERT_TRUE(watch.Start(sim, {}, {{"TELLMAR_STORE", store}}));
    ASSERT_TRUE(watch.WaitForLines("port", 1)) << watch.ErrorText();

    const TellmarRun send =
        RunTellmar(sim, {"3", "13800138000", "through the watch"}, 120, {{"TELLMAR_STORE", store}});
    EXPECT_EQ(send.document["code"].asInt(), 0) << send.documentText;
    ASSERT_EQ(send.document["result"].size(), 1u) << send.documentText;
    const Json::Value& result = send.document["result"][0];
    EXPECT_EQ(result["com"].asString(), "COM3");
    EXPECT_EQ(result["number"].asString(), "13800138000");
    EXPECT_EQ(result["code"].asInt(), 0);
    EXPECT_EQ(result["message"].asString(), "Succeed");
    EXPECT_EQ(SmsSent(sim), 1u);

    ASSERT_TRUE(watch.WaitForLines("sent", 1));
    const int status = watch.Stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::vector<Json::Value> sent = watch.Lines("sent");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["com"].asString(), "COM3");
    EXPECT_EQ(sent[0]["number"].asString(), "13800138000");
    EXPECT_EQ(sent[0]["code"].asInt(), 0);
    EXPECT_EQ(SmsSent(sim), 1u) << "sent once";
}

TEST(WatchOutboxE2E, WithoutAStoreTheWatchedPortIsBusyBecauseOfTheWatch)
{
    ModemSim sim(kConfig);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    WatchRun watch;
    ASSERT_TRUE(watch.Start(sim, {}));
    ASSERT_TRUE(watch.WaitForLines("port", 1)) << watch.ErrorText();
    const TellmarRun send = RunTellmar(sim, {"3", "13800138000", "busy"}, 120);
    ASSERT_EQ(send.document["result"].size(), 1u) << send.documentText;
    EXPECT_NE(send.document["result"][0]["code"].asInt(), 0);
    EXPECT_NE(send.document["result"][0]["error"].asString().find("tellmar sms watch (pid "),
              std::string::npos)
        << send.documentText;
    EXPECT_EQ(SmsSent(sim), 0u);
    const int status = watch.Stop(SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
