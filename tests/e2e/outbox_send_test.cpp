// The send command against a port that a watch holds, with the watch played
// by this test on the simulator's modem (its mark, its open port and the
// outbox service, as the watch command runs them): a send goes out once,
// through the watch, with the document of a send made without it; without
// the watch's store the port is busy because of the watch; a request the
// watch never serves is reported failed and never sent.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/outbox_service.h"
#include "drivers/m35.h"
#include "e2e/tellmar_run.h"
#include "platform/watch_mark.h"
#include "store/message_store.h"
#include "store/store_test_support.h"
#include "transport/com_port.h"

namespace {

const char* const kTwoModems = R"({"ports":[
  {"com":3,"model":"M35","bauds":[9600],"iccid":"89860012345678901233"},
  {"com":4,"model":"M35","bauds":[9600],"iccid":"89860012345678901234"}]})";

// The simulator's COM<com> as the watch opens it.
COM_PORT_t SimPort(const ModemSim& sim, int com)
{
    COM_PORT_t port = PortNamed("COM" + std::to_string(com));
    port.strPath = sim.PortPath(com);
    port.strNode = sim.PortPath(com);
    return port;
}

// A watch on one port: its mark, the port open and held, and (with a store)
// the outbox served every 100 ms on a thread of its own until it stops.
class PlayedWatch {
public:
    PlayedWatch(const ModemSim& sim, int com, const std::string& store, bool serve = true)
        : m_com(SimPort(sim, com)), m_port(m_com, 9600, AT_PACING_t(), m_stop.Token())
    {
        std::string error;
        m_marked = m_mark.Take(m_com, store, error);
        EXPECT_TRUE(m_marked) << error;
        EXPECT_TRUE(m_port.IsOpen()) << m_port.GetErrorText();
        if (!store.empty()) {
            m_store = MessageStore::Open(store, error);
            EXPECT_NE(m_store, nullptr) << error;
        }
        if (serve && m_store) {
            m_thread = std::thread([this] { Serve(); });
        }
    }
    ~PlayedWatch() { Stop(); }

    // Ends the serving, and (`release`) lets the mark go as a process's end
    // would.
    void Stop(bool release = true)
    {
        m_stop.RequestStop(SIGTERM);
        if (m_thread.joinable()) {
            m_thread.join();
        }
        if (release) {
            m_mark.Release();
        }
    }

    std::vector<OUTBOX_SENT_t> Sent()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_sent;
    }

private:
    void Serve()
    {
        while (!m_stop.Token().StopRequested()) {
            std::string error;
            EXPECT_TRUE(ServeOutbox(
                *m_store, "tellmar sms watch (pid " + std::to_string(::getpid()) + ")", m_com,
                m_port, m_driver,
                [this](const OUTBOX_SENT_t& sent) {
                    std::lock_guard<std::mutex> hold(m_lock);
                    m_sent.push_back(sent);
                },
                error))
                << error;
            m_stop.Token().WaitFor(100);
        }
    }

    COM_PORT_t m_com;
    CStopSource m_stop;
    CComPortBase m_port;
    CM35 m_driver;
    CWatchMark m_mark;
    bool m_marked = false;
    std::unique_ptr<MessageStore> m_store;
    std::thread m_thread;
    std::mutex m_lock;
    std::vector<OUTBOX_SENT_t> m_sent;
};

// A folder for the store, reached by two paths: the real one, and one
// through a link to the folder.
class OutboxSendE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tellmar-outbox-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        ASSERT_EQ(::mkdir((m_dir + "/real").c_str(), 0700), 0);
        ASSERT_EQ(::symlink((m_dir + "/real").c_str(), (m_dir + "/linked").c_str()), 0);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Store() const { return m_dir + "/real/store.db"; }
    std::string StoreThroughLink() const { return m_dir + "/linked/./store.db"; }

    // The state of every outbox row, in order, as any tool reads the file.
    std::vector<std::string> States() const
    {
        std::vector<std::string> states;
        for (const auto& row : store_test::Query(Store(), "SELECT state FROM outbox ORDER BY id")) {
            states.push_back(row.at(0));
        }
        return states;
    }

    // Waits (60 s at most) until the outbox holds `states`.
    bool WaitForStates(const std::vector<std::string>& states) const
    {
        for (int i = 0; i < 600; ++i) {
            if (std::filesystem::exists(Store()) && States() == states) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    std::string m_dir;
};

// Every member of two send documents is the same, but the times.
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
        EXPECT_TRUE(other["time"].isString() && other["time"].asString().size() == 19u) << other;
        one.removeMember("time");
        other.removeMember("time");
        if (one.isMember("references")) {
            // A reference is the modem's next number: the same count.
            EXPECT_EQ(one["references"].size(), other["references"].size()) << i;
            one.removeMember("references");
            other.removeMember("references");
        }
        EXPECT_EQ(one, other) << i;
    }
}

TEST_F(OutboxSendE2E, ASendGoesOutOnceThroughTheWatchWithTheDocumentOfADirectSend)
{
    ModemSim sim(kTwoModems);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const std::string longText(150, 'x');
    const struct {
        std::vector<std::string> args;
        std::size_t partsOnCom3;
    } cases[] = {
        {{"13800138000", "hello"}, 1},  // every usable modem: the watched one too
        {{"--report", "3,4", "13800138000,10086", longText}, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back().substr(0, 10));
        const std::size_t before = sim.EventsOn("sms", 3);
        const TellmarRun direct = RunTellmar(sim, c.args, 300, {{"TELLMAR_STORE", Store()}});
        ASSERT_EQ(sim.EventsOn("sms", 3), before + c.partsOnCom3);

        PlayedWatch watch(sim, 3, Store());
        const TellmarRun watched =
            RunTellmar(sim, c.args, 300, {{"TELLMAR_STORE", StoreThroughLink()}});
        watch.Stop();
        ExpectSameDocument(direct.document, watched.document);
        EXPECT_EQ(sim.EventsOn("sms", 3), before + 2 * c.partsOnCom3) << "once, through the watch";
        const std::vector<OUTBOX_SENT_t> sent = watch.Sent();
        ASSERT_FALSE(sent.empty());
        for (const OUTBOX_SENT_t& one : sent) {
            EXPECT_EQ(one.result.port.strName, "COM3");
            EXPECT_EQ(one.result.nResult, CMD_RESULT_SUCCEED);
        }
    }
}

TEST_F(OutboxSendE2E, WithoutTheWatchsStoreThePortIsBusyBecauseOfTheWatch)
{
    ModemSim sim(kTwoModems);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    std::ofstream(m_dir + "/other.db").close();
    PlayedWatch watch(sim, 3, Store());
    const std::string reason = "held by tellmar sms watch (pid " + std::to_string(::getpid()) + ")";
    const std::vector<std::pair<std::string, std::string>> envs[] = {
        {},
        {{"TELLMAR_STORE", m_dir + "/other.db"}},
    };
    for (const auto& env : envs) {
        const TellmarRun run = RunTellmar(sim, {"3,4", "13800138000", "busy"}, 300, env);
        const Json::Value& results = run.document["result"];
        ASSERT_EQ(results.size(), 2u) << run.documentText;
        EXPECT_EQ(results[0]["com"], "COM3");
        EXPECT_EQ(results[0]["code"], 4);
        EXPECT_EQ(results[0]["message"], "No SIM CARD In Device");
        EXPECT_EQ(results[0]["error"], reason);
        EXPECT_EQ(results[1]["code"], 0) << "the other port as always";
    }
    watch.Stop();
    EXPECT_EQ(sim.EventsOn("sms", 3), 0u);
    EXPECT_TRUE(watch.Sent().empty());
}

// A watch that stops before it serves a waiting request (its mark released,
// as its end releases it), or dies while it sends one.
TEST_F(OutboxSendE2E, ARequestItsWatchNeverServedIsReportedFailedAndNeverSent)
{
    ModemSim sim(kTwoModems);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const std::string watchName = "tellmar sms watch (pid " + std::to_string(::getpid()) + ")";
    const struct {
        const char* what;
        bool takenFirst;
        std::string message;
    } cases[] = {
        {"stopped before serving", false, "not sent: " + watchName + " ended before sending it"},
        {"died while sending", true, watchName + " ended while sending it: it may have been sent"},
    };
    std::vector<std::string> states;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PlayedWatch watch(sim, 3, Store(), false);
        TellmarRun run;
        std::thread sender([&] {
            run = RunTellmar(sim, {"3", "13800138000", "never"}, 300, {{"TELLMAR_STORE", Store()}});
        });
        states.push_back("waiting");
        const bool queued = WaitForStates(states);
        if (queued && c.takenFirst) {
            std::string error;
            std::optional<OutboxRow> taken;
            const std::unique_ptr<MessageStore> store = MessageStore::Open(Store(), error);
            EXPECT_TRUE(store && store->Claim({"COM3"}, watchName, taken, error) && taken) << error;
        }
        watch.Stop();
        sender.join();
        ASSERT_TRUE(queued);
        states.back() = "failed";
        EXPECT_EQ(States(), states);
        const Json::Value& results = run.document["result"];
        ASSERT_EQ(results.size(), 1u) << run.documentText;
        EXPECT_EQ(results[0]["com"], "COM3");
        EXPECT_EQ(results[0]["number"], "13800138000");
        EXPECT_EQ(results[0]["code"], 1);
        EXPECT_EQ(results[0]["message"], c.message);
    }
    // A watch that comes back sends none of them.
    PlayedWatch again(sim, 3, Store());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    again.Stop();
    EXPECT_TRUE(again.Sent().empty());
    EXPECT_EQ(sim.EventsOn("sms", 3), 0u);
}

TEST_F(OutboxSendE2E, AStoppedSenderGivesUpItsWaitingRequests)
{
    ModemSim sim(kTwoModems);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    PlayedWatch watch(sim, 3, Store(), false);
    const std::string pidFile = m_dir + "/sender.pid";
    ProcessResult result;
    std::thread sender([&] {
        result = RunProcess(
            {"/bin/sh", "-c", "\"$0\" \"$@\" & echo $! > '" + pidFile + "'; wait $!",
             TELLMAR_BINARY, "3,4", "13800138000", "stopped"},
            {{"LC_ALL", "C.UTF-8"}, {"TELLMAR_SERIALCOMM", sim.Dir()}, {"TELLMAR_STORE", Store()}},
            "", 300);
    });
    const bool queued = WaitForStates({"waiting"});
    pid_t pid = 0;
    std::ifstream(pidFile) >> pid;
    if (queued && pid > 0) {
        ::kill(pid, SIGTERM);
    }
    sender.join();
    ASSERT_TRUE(queued);
    EXPECT_EQ(result.exitCode, 143) << result.err;
    Json::Value document;
    std::string errors;
    ASSERT_TRUE(ParseDocument(result.out, document, errors)) << errors << result.out;
    const Json::Value& results = document["result"];
    ASSERT_EQ(results.size(), 2u) << result.out;
    EXPECT_EQ(results[0]["code"], 1);
    EXPECT_EQ(results[0]["message"], "Stopped by SIGTERM: not sent");
    EXPECT_EQ(States(), std::vector<std::string>{"failed"});
    watch.Stop();
    EXPECT_EQ(sim.EventsOn("sms", 3), 0u);
}

}  // namespace
