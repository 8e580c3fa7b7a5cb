// Sending while `tellmar sms watch` runs, both processes real: a send goes
// out once, through the watch, with the document a send without the watch
// prints (a long text too); a request the watch never serves, because it
// was stopped (SIGTERM) or killed (SIGKILL) first, is reported failed and
// never sent, then or later.

#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "e2e/tellmar_run.h"
#include "e2e/watch_run.h"
#include "platform/watch_mark.h"
#include "store/store_test_support.h"

namespace {

const char* const kTwoModems = R"({"ports":[
  {"com":3,"model":"M35","bauds":[115200],"iccid":"89860012345678901233"},
  {"com":4,"model":"M35","bauds":[115200],"iccid":"89860012345678901234"}]})";

// The pid of the watch that holds COM<com> of the simulator (0: none).
std::int64_t WatchPid(const ModemSim& sim, int com)
{
    COM_PORT_t port = PortNamed("COM" + std::to_string(com));
    port.strNode = sim.PortPath(com);
    return CWatchMark::Test(port).nPid;
}

// The state of every outbox row, in order.
std::vector<std::string> States(const std::string& store)
{
    std::vector<std::string> states;
    for (const auto& row : store_test::Query(store, "SELECT state FROM outbox ORDER BY id")) {
        states.push_back(row.at(0));
    }
    return states;
}

bool WaitForStates(const std::string& store, const std::vector<std::string>& states)
{
    for (int i = 0; i < 600; ++i) {
        if (::access(store.c_str(), F_OK) == 0 && States(store) == states) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

// Every member of two send documents is the same, but the times (and the
// references' values, the modem's running numbers: their count is the same).
void ExpectSameDocument(const Json::Value& direct, const Json::Value& watched)
{
    EXPECT_EQ(direct.getMemberNames(), watched.getMemberNames());
    EXPECT_EQ(direct["code"], watched["code"]);
    EXPECT_EQ(direct["message"], watched["message"]);
    ASSERT_EQ(direct["result"].size(), watched["result"].size());
    for (Json::ArrayIndex i = 0; i < direct["result"].size(); ++i) {
        Json::Value one = direct["result"][i];
        Json::Value other = watched["result"][i];
        EXPECT_EQ(one.getMemberNames(), other.getMemberNames()) << i;
        for (const char* varying : {"time", "references"}) {
            if (one.isMember(varying)) {
                EXPECT_EQ(one[varying].size(), other[varying].size()) << varying;
                one.removeMember(varying);
                other.removeMember(varying);
            }
        }
        EXPECT_EQ(one, other) << i;
    }
}

TEST(OutboxWatchE2E, ASendGoesOutOnceThroughTheWatchWithTheDocumentOfADirectSend)
{
    ModemSim sim(kTwoModems);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const std::string store = sim.Root() + "/store.db";
    const struct {
        std::vector<std::string> args;
        std::size_t partsOnCom3;
    } cases[] = {
        {{"13800138000", "hello"}, 1},  // every usable modem: the watched one too
        {{"--report", "3,4", "13800138000", std::string(150, 'x')}, 3},  // a long text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back().substr(0, 10));
        const std::size_t before = sim.EventsOn("sms", 3);
        const TellmarRun direct = RunTellmar(sim, c.args, 120, {{"TELLMAR_STORE", store}});
        ASSERT_EQ(sim.EventsOn("sms", 3), before + c.partsOnCom3);

        WatchRun watch;
        ASSERT_TRUE(watch.Start(sim, {"3"}, {{"TELLMAR_STORE", store}}));
        ASSERT_TRUE(watch.WaitForLines("port", 1)) << watch.ErrorText();
        const TellmarRun watched = RunTellmar(sim, c.args, 120, {{"TELLMAR_STORE", store}});
        ASSERT_TRUE(watch.WaitForLines("sent", 1)) << watch.ErrorText();
        const int status = watch.Stop(SIGTERM);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status), 0);

        ExpectSameDocument(direct.document, watched.document);
        EXPECT_EQ(sim.EventsOn("sms", 3), before + 2 * c.partsOnCom3) << "once, through the watch";
        // The watch's line is the document's element of that send, and names
        // its outbox row.
        const std::vector<Json::Value> sent = watch.Lines("sent");
        ASSERT_EQ(sent.size(), 1u);
        Json::Value line = sent[0];
        EXPECT_TRUE(line["outbox"].isInt64() && line["outbox"].asInt64() > 0) << line;
        line.removeMember("outbox");
        line.removeMember("type");
        EXPECT_EQ(line, watched.document["result"][0]);
    }
}

// The watch is held still (SIGSTOP) while the send command queues its
// request, so that it cannot have served it when it ends.
TEST(OutboxWatchE2E, ARequestAWatchEndedBeforeServingIsReportedFailedAndNeverSent)
{
    ModemSim sim(kTwoModems);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const std::string store = sim.Root() + "/store.db";
    std::vector<std::string> states;
    for (const int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        WatchRun watch;
        ASSERT_TRUE(watch.Start(sim, {"3"}, {{"TELLMAR_STORE", store}}));
        ASSERT_TRUE(watch.WaitForLines("port", 1)) << watch.ErrorText();
        const std::int64_t pid = WatchPid(sim, 3);
        ASSERT_GT(pid, 0);
        ASSERT_EQ(::kill(static_cast<pid_t>(pid), SIGSTOP), 0);

        TellmarRun run;
        std::thread sender([&] {
            run = RunTellmar(sim, {"3", "13800138000", "never"}, 120, {{"TELLMAR_STORE", store}});
        });
        states.push_back("waiting");
        const bool queued = WaitForStates(store, states);
        // A stopped watch must not take the request in the instant between
        // going on and seeing its stop: the store is locked meanwhile.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
        const bool locked = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == 0;
        ::kill(static_cast<pid_t>(pid), signal);
        ::kill(static_cast<pid_t>(pid), SIGCONT);
        const int status = watch.Wait();
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        sender.join();
        ASSERT_TRUE(queued);
        EXPECT_TRUE(locked);
        if (signal == SIGTERM) {
            ASSERT_TRUE(WIFEXITED(status)) << status;
            EXPECT_EQ(WEXITSTATUS(status), 0);
        } else {
            EXPECT_TRUE(WIFSIGNALED(status)) << status;
        }

        states.back() = "failed";
        EXPECT_EQ(States(store), states);
        const Json::Value& results = run.document["result"];
        ASSERT_EQ(results.size(), 1u) << run.documentText;
        EXPECT_EQ(results[0]["code"], 1);
        EXPECT_EQ(results[0]["message"], "not sent: tellmar sms watch (pid " + std::to_string(pid) +
                                             ") ended before sending it");
        EXPECT_EQ(sim.EventsOn("sms", 3), 0u);
    }

    // The next watch sends none of them.
    WatchRun again;
    ASSERT_TRUE(again.Start(sim, {"3"}, {{"TELLMAR_STORE", store}}));
    ASSERT_TRUE(again.WaitForLines("port", 1)) << again.ErrorText();
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const int status = again.Stop(SIGTERM);
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_TRUE(again.Lines("sent").empty());
    EXPECT_EQ(sim.EventsOn("sms", 3), 0u);
    EXPECT_EQ(States(store), states);
}

}  // namespace
