// A command stopped by SIGINT, SIGTERM or SIGHUP, end to end: it ends in
// order, prints its document with what it did, and exits with 128 + the
// signal. Every wait is bounded so that a test fails instead of hanging; the
// time a stop takes is measured by bench/soak, not asserted here.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"
#include "platform/clock.h"
#include "store/store_test_support.h"

namespace {

constexpr int kBoundMs = 30000;

// Three messages in each storage.
const char* const kStorage = R"("storage":{
    "SM":[{"index":1,"from":"13912345678","time":"24-05-01 09:30:00","text":"sim one"},
          {"index":2,"from":"13912345678","time":"24-05-01 09:31:00","text":"sim two"},
          {"index":3,"from":"13912345678","time":"24-05-01 09:32:00","text":"sim three"}],
    "ME":[{"index":1,"from":"10086","time":"24-05-02 08:00:00","text":"dev one"},
          {"index":2,"from":"10086","time":"24-05-02 08:01:00","text":"dev two"},
          {"index":3,"from":"10086","time":"24-05-02 08:02:00","text":"dev three"}]})";

std::string Port(int com, const std::string& faults)
{
    return R"({"com":)" + std::to_string(com) +
           R"(,"model":"M35","bauds":[115200],"iccid":"8986001234567890123)" +
           std::to_string(com % 10) + R"(",)" + kStorage + R"(,"faults":{)" + faults + "}}";
}

// A file of the test's own for the program's standard output.
class OutputFile {
public:
    OutputFile()
    {
        char path[] = "/tmp/tellmar-stop-XXXXXX";
        const int fd = ::mkstemp(path);
        if (fd >= 0) {
            ::close(fd);
        }
        m_path = path;
    }
    ~OutputFile() { ::unlink(m_path.c_str()); }
    const std::string& Path() const { return m_path; }
    std::string Text() const
    {
        std::ifstream in(m_path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::string m_path;
};

// Waits for `pid` at most kBoundMs; its wait status, or -1 (it is killed)
// when it did not end.
int WaitBounded(pid_t pid)
{
    int status = 0;
    for (std::int64_t end = MonotonicMs() + kBoundMs; MonotonicMs() < end; SleepMs(20)) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return status;
        }
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

// Waits until the simulator has logged `count` events of `event` on COM<com>.
bool WaitForEventsOn(const ModemSim& sim, const std::string& event, int com, std::size_t count)
{
    for (std::int64_t end = MonotonicMs() + kBoundMs; MonotonicMs() < end; SleepMs(10)) {
        std::size_t seen = 0;
        for (const Json::Value& e : sim.Events(event)) {
            seen += e["com"].asInt() == com ? 1 : 0;
        }
        if (seen >= count) {
            return true;
        }
    }
    return false;
}

std::size_t CommandsOn(const ModemSim& sim, int com, const std::string& prefix)
{
    return CommandsStartingWith(sim, com, prefix).size();
}

Json::Value Document(const OutputFile& out)
{
    Json::Value document;
    std::string errors;
    const std::string text = out.Text();
    EXPECT_TRUE(ParseDocument(text, document, errors)) << errors << "\n" << text;
    return document;
}

TEST(StopSignalsE2E, AReadclearStoppedWhileDeletingReportsEveryMessageAndDeletesNoMore)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        // COM3 deletes slowly, 1 s a message; COM4 at once.
        ModemSim sim("{\"ports\":[" +
                     Port(3, R"("delay_commands":[{"prefix":"AT+CMGD","delay_ms":1000}])") + "," +
                     Port(4, "") + "]}");
        ASSERT_TRUE(sim.Start()) << sim.LastError();
        OutputFile out;
        const pid_t pid = StartTellmar(sim, {"sms", "sreadclear"}, out.Path());
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(WaitForEventsOn(sim, "delete", 3, 1));
        const std::size_t deletesSent = CommandsOn(sim, 3, "AT+CMGD");
        ::kill(pid, signal);
        const int status = WaitBounded(pid);
        ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
        EXPECT_EQ(128 + signal, WEXITSTATUS(status));

        // No further deletion was sent (one may have been on its way).
        EXPECT_LE(CommandsOn(sim, 3, "AT+CMGD"), deletesSent + 1);
        EXPECT_LT(DeletedOn(sim, 3).size(), 6u);
        const Json::Value document = Document(out);
        ASSERT_EQ(document["portcount"].asInt(), 2) << out.Text();
        const Json::Value& slow = document["ports"][0];
        EXPECT_EQ(slow["name"].asString(), "COM3");
        EXPECT_EQ(slow["msgcount"].asInt(), 6);
        EXPECT_FALSE(slow["clear"].asBool());
        EXPECT_FALSE(slow.isMember("error")) << "the read itself was whole";
        // Whatever either modem deleted had been reported.
        for (Json::ArrayIndex i = 0; i < 2; ++i) {
            const Json::Value& port = document["ports"][i];
            const int com = port["name"].asString()[3] - '0';
            std::set<std::pair<std::string, int>> reported;
            for (const Json::Value& message : port["msgs"]) {
                const std::string text = message["text"].asString();
                const int index = text.find("one") != std::string::npos   ? 1
                                  : text.find("two") != std::string::npos ? 2
                                                                          : 3;
                reported.emplace(message["storage"].asString() == "SIM" ? "SM" : "ME", index);
            }
            for (const auto& deleted : DeletedOn(sim, com)) {
                EXPECT_EQ(1u, reported.count(deleted)) << com << deleted.first << deleted.second;
            }
        }
    }
}

// With the store set, every message read is in it before the first
// deletion is sent: a readclear stopped while it deletes has lost none.
class StopSignalsStoreE2E : public store_test::StoreFolder {};

TEST_F(StopSignalsStoreE2E, AReadclearStoppedWhileDeletingHasKeptEveryMessage)
{
    ModemSim sim("{\"ports\":[" +
                 Port(3, R"("delay_commands":[{"prefix":"AT+CMGD","delay_ms":1000}])") + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    OutputFile out;
    pid_t pid = -1;
    {
        ScopedEnv store("TELLMAR_STORE", DbPath());
        pid = StartTellmar(sim, {"sms", "sreadclear"}, out.Path());
    }
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForEventsOn(sim, "delete", 3, 1));
    ::kill(pid, SIGTERM);
    const int status = WaitBounded(pid);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(128 + SIGTERM, WEXITSTATUS(status));
    EXPECT_LT(DeletedOn(sim, 3).size(), 6u);
    EXPECT_FALSE(Document(out)["ports"][0]["clear"].asBool());
    EXPECT_EQ(store_test::Query(DbPath(), "SELECT storage, text FROM messages ORDER BY id"),
              (std::vector<std::vector<std::string>>{{"DEV", "dev one"},
                                                     {"DEV", "dev two"},
                                                     {"DEV", "dev three"},
                                                     {"SIM", "sim one"},
                                                     {"SIM", "sim two"},
                                                     {"SIM", "sim three"}}));
}

TEST(StopSignalsE2E, AReadStoppedInItsListingSaysSoAndDeletesNothing)
{
    ModemSim sim("{\"ports\":[" +
                 Port(3, R"("delay_commands":[{"prefix":"AT+CMGL","delay_ms":20000}])") + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    OutputFile out;
    const pid_t pid = StartTellmar(sim, {"sms", "readclear"}, out.Path());
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForEventsOn(sim, "command", 3, 1));
    for (std::int64_t end = MonotonicMs() + kBoundMs;
         MonotonicMs() < end && CommandsOn(sim, 3, "AT+CMGL") == 0; SleepMs(10)) {
    }
    ASSERT_EQ(CommandsOn(sim, 3, "AT+CMGL"), 1u);
    ::kill(pid, SIGINT);
    const int status = WaitBounded(pid);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(130, WEXITSTATUS(status));
    const Json::Value document = Document(out);
    const Json::Value& port = document["ports"][0];
    EXPECT_EQ(port["error"].asString(), "Stopped by SIGINT");
    EXPECT_EQ(port["msgcount"].asInt(), 0);
    EXPECT_FALSE(port["clear"].asBool());
    EXPECT_TRUE(DeletedOn(sim, 3).empty());
    EXPECT_EQ(CommandsOn(sim, 3, "AT+CMGD"), 0u);
}

TEST(StopSignalsE2E, AStoppedSendFinishesThePartInProgressAndSendsNoOther)
{
    // The network answers each body after 1.5 s; a 3-part text to two numbers.
    ModemSim sim("{\"ports\":[" + Port(3, R"("body_delay_ms":1500)") + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const std::string text(150, 'x');  // with the time appended: 3 parts of 67
    OutputFile out;
    const pid_t pid = StartTellmar(sim, {"3", "13800138000,13900139000", text}, out.Path());
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitForEventsOn(sim, "sms", 3, 1));
    ::kill(pid, SIGTERM);
    const int status = WaitBounded(pid);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(143, WEXITSTATUS(status));

    // The part in progress was finished; no other part was begun.
    EXPECT_EQ(sim.Events("sms").size(), 1u);
    EXPECT_EQ(CommandsOn(sim, 3, "AT+CMGS"), 1u);
    const Json::Value document = Document(out);
    const Json::Value& results = document["result"];
    ASSERT_EQ(results.size(), 2u) << out.Text();
    EXPECT_EQ(results[0]["code"].asInt(), 1);
    EXPECT_EQ(results[0]["message"].asString(), "Stopped by SIGTERM: 1 of 3 parts sent");
    EXPECT_EQ(results[1]["code"].asInt(), 1);
    EXPECT_EQ(results[1]["message"].asString(), "Stopped by SIGTERM: not sent");
}

// Ctrl-C while several devices are worked at once: the program ends without
// waiting for any modem's answer, every worker with it, and says so.
TEST(StopSignalsE2E, AStopWhileEveryDeviceWaitsEndsTheSendAtOnce)
{
    ModemSim sim("{\"ports\":[" + Port(3, R"("silent_from":"AT+CPMS")") + "," +
                 Port(4, R"("silent_from":"AT+CPMS")") + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    OutputFile out;
    const pid_t pid = StartTellmar(sim, {"3,4", "18300000000", "hello"}, out.Path());
    ASSERT_GT(pid, 0);
    // Both workers are waiting for their modem's answer.
    for (std::int64_t end = MonotonicMs() + kBoundMs;
         MonotonicMs() < end &&
         (CommandsOn(sim, 3, "AT+CPMS") == 0 || CommandsOn(sim, 4, "AT+CPMS") == 0);
         SleepMs(20)) {
    }
    ASSERT_EQ(CommandsOn(sim, 3, "AT+CPMS"), 1u);
    ASSERT_EQ(CommandsOn(sim, 4, "AT+CPMS"), 1u);
    ::kill(pid, SIGINT);
    const int status = WaitBounded(pid);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(130, WEXITSTATUS(status));
    const Json::Value document = Document(out);
    ASSERT_EQ(document["result"].size(), 2u) << out.Text();
    for (const Json::Value& result : document["result"]) {
        EXPECT_EQ(result["code"].asInt(), 1);
        EXPECT_EQ(result["message"].asString(), "Stopped by SIGINT: not sent");
    }
    EXPECT_TRUE(sim.Events("sms").empty());
}

}  // namespace
