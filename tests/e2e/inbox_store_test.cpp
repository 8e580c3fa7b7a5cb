// readclear with the message store (TELLMAR_STORE), end to end: every
// message is in the store before it leaves the modem, a run killed between
// the two adds no second row, and a store that cannot take the messages
// leaves them all on the modems.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "e2e/port_faults.h"
#include "e2e/tellmar_run.h"
#include "platform/clock.h"
#include "store/store_test_support.h"

namespace {

using store_test::Execute;
using store_test::Query;
using Rows = std::vector<std::vector<std::string>>;

constexpr int kBoundMs = 30000;
const char* const kIccid = "89860012345678901234";

// COM3: two SIM messages, a long message of two parts in modem memory and
// an unreadable entry on the SIM; `faults` as the simulator takes them.
std::string Config(const std::string& faults = "")
{
    return std::string(
               u8R"({"ports":[
  {"com":3,"model":"M35","bauds":[9600],"iccid":"89860012345678901234",
   "storage":{
    "SM":[{"index":1,"status":1,"from":"13912345678","time":"24-05-01 09:30:00","text":"Meeting at 10:30"},
          {"index":2,"status":0,"from":"13700001111","time":"24-05-01 12:00:05","dcs":8,"text":"你好"},
          {"index":5,"status":1,"pdu":"0791ZZ"}],
    "ME":[{"index":4,"status":1,"from":"10086","time":"24-05-02 08:00:00","dcs":8,
           "concat":{"ref":21,"total":2,"part":2},"text":"，请及时充值。"},
          {"index":3,"status":1,"from":"10086","time":"24-05-02 08:00:00","dcs":8,
           "concat":{"ref":21,"total":2,"part":1},"text":"尊敬的客户，余额不足"}]},
   "faults":{)") +
           faults + "}}]}";
}

// The three messages of Config() as the store holds them, and the entry.
const Rows kKeptRows = {
    {"COM3", kIccid, "DEV", "10086", u8"尊敬的客户，余额不足，请及时充值。", "message", "2",
     "NULL"},
    {"COM3", kIccid, "SIM", "13700001111", u8"你好", "message", "1", "NULL"},
    {"COM3", kIccid, "SIM", "13912345678", "Meeting at 10:30", "message", "1", "NULL"},
    {"COM3", kIccid, "SIM", "", "", "unreadable", "1", "NULL"},
};
const char* const kRowsQuery =
    "SELECT com, sim, storage, sender, text, kind, parts, missing FROM messages "
    "ORDER BY kind, storage, sender";

const std::set<std::pair<std::string, int>> kAllDeleted = {
    {"SM", 1}, {"SM", 2}, {"ME", 3}, {"ME", 4}};

class InboxStoreE2E : public store_test::StoreFolder {
protected:
    TellmarRun ReadClear(const ModemSim& sim, const std::string& storePath,
                         const std::vector<std::string>& launcher = {})
    {
        return RunTellmarWith(launcher, sim, {"sms", "sreadclear"}, 300,
                              {{"TELLMAR_STORE", storePath}});
    }

    // The run's one line about the store on standard error.
    static void ExpectSaidOnce(const TellmarRun& run, const std::string& line)
    {
        EXPECT_EQ(run.process.err, "tellmar: " + line + "\n");
    }

    // Nothing deleted, every message shown, "clear" false.
    static void ExpectNothingLeft(const TellmarRun& run, const ModemSim& sim)
    {
        const Json::Value& port = run.document["ports"][0];
        EXPECT_EQ(port["msgcount"].asInt(), 3) << run.documentText;
        EXPECT_FALSE(port["clear"].asBool());
        EXPECT_TRUE(CommandsStartingWith(sim, 3, "AT+CMGD").empty());
    }
};

TEST_F(InboxStoreE2E, EveryMessageIsKeptWithItsSimBeforeItIsDeletedAndReadDoesNotWrite)
{
    ModemSim sim(Config());
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const TellmarRun read =
        RunTellmarWith({}, sim, {"sms", "read"}, 300, {{"TELLMAR_STORE", DbPath()}});
    EXPECT_EQ(read.document["ports"][0]["msgcount"].asInt(), 3);
    EXPECT_FALSE(std::ifstream(DbPath()).good()) << "read leaves the store alone";

    const TellmarRun run = ReadClear(sim, DbPath());
    EXPECT_EQ(run.process.err, "");
    EXPECT_TRUE(run.document["ports"][0]["clear"].asBool()) << run.documentText;
    EXPECT_EQ(DeletedOn(sim, 3), kAllDeleted);
    EXPECT_EQ(Query(DbPath(), kRowsQuery), kKeptRows);
    // The raw parts, in part order, and the entry's line as the modem gave it.
    EXPECT_EQ(Query(DbPath(),
                    "SELECT count(*) FROM messages WHERE kind = 'message' AND "
                    "storage = 'DEV' AND pdu LIKE '%\n%'"),
              (Rows{{"1"}}));
    EXPECT_EQ(Query(DbPath(), "SELECT pdu FROM messages WHERE kind = 'unreadable'"),
              (Rows{{"0791ZZ"}}));
}

// Killed after keeping and before any deletion went through: the next run
// reads the same messages again and stores no second row of any.
TEST_F(InboxStoreE2E, ARunKilledBetweenKeepingAndDeletingAddsNoSecondRow)
{
    ModemSim sim(Config(R"("silent_from":"AT+CMGD")"));
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    pid_t pid = -1;
    {
        ScopedEnv store("TELLMAR_STORE", DbPath());
        pid = StartTellmar(sim, {"sms", "sreadclear"});
    }
    ASSERT_GT(pid, 0);
    bool deleting = false;
    for (std::int64_t end = MonotonicMs() + kBoundMs; !deleting && MonotonicMs() < end;
         SleepMs(10)) {
        deleting = !CommandsStartingWith(sim, 3, "AT+CMGD").empty();
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(deleting) << "the run never began to delete";
    EXPECT_TRUE(DeletedOn(sim, 3).empty());
    EXPECT_EQ(Query(DbPath(), kRowsQuery), kKeptRows);

    ASSERT_TRUE(sim.Restart(Config())) << sim.LastError();
    const TellmarRun again = ReadClear(sim, DbPath());
    EXPECT_EQ(again.process.err, "");
    EXPECT_EQ(again.document["ports"][0]["msgcount"].asInt(), 3);
    EXPECT_TRUE(again.document["ports"][0]["clear"].asBool()) << again.documentText;
    EXPECT_EQ(DeletedOn(sim, 3), kAllDeleted);
    EXPECT_EQ(Query(DbPath(), kRowsQuery), kKeptRows);
}

// A store that cannot be opened: said once, the document printed with what
// was read, and nothing deleted.
TEST_F(InboxStoreE2E, AStoreThatCannotBeOpenedLeavesEveryMessageOnTheModem)
{
    ASSERT_EQ(::mkdir(PathOf("folder").c_str(), 0700), 0);
    {
        std::ofstream text(PathOf("notes.txt"));
        text << "not a database, but a text file long enough to fill the header of one: "
             << std::string(200, 'x') << "\n";
    }
    const struct {
        const char* name;
        std::string path;
        std::string said;
    } cases[] = {
        {"a missing folder", PathOf("missing/store.db"),
         "store " + PathOf("missing/store.db") + ": unable to open: No such file or directory"},
        {"a folder", PathOf("folder"),
         "store " + PathOf("folder") + ": unable to open: Is a directory"},
        {"no database", PathOf("notes.txt"),
         "store " + PathOf("notes.txt") + ": unable to open: file is not a database"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ModemSim sim(Config());
        ASSERT_TRUE(sim.Start()) << sim.LastError();
        const TellmarRun run = ReadClear(sim, c.path);
        ExpectSaidOnce(run, c.said);
        ExpectNothingLeft(run, sim);
    }
}

// A database the user may only read is refused at the open. Root writes
// whatever the mode says, so as root the program runs as nobody (with the
// simulator's ports opened up to it; COM4 is the one left closed).
TEST_F(InboxStoreE2E, AReadOnlyStoreLeavesEveryMessageOnTheModem)
{
    {
        std::string error;
        ASSERT_NE(MessageStore::Open(DbPath(), error), nullptr) << error;
    }
    ASSERT_EQ(::chmod(DbPath().c_str(), 0444), 0);
    ASSERT_EQ(::chmod(m_dir.c_str(), 0755), 0);
    std::string config = Config();
    config.insert(config.rfind("]}"), R"(,{"com":4,"model":"M35","bauds":[9600]})");
    ModemSim sim(config);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    DeniedPort denied(sim, 4);
    ASSERT_EQ(denied.Problem(), "");
    const TellmarRun run = ReadClear(sim, DbPath(), denied.Launcher());
    ExpectSaidOnce(run, "store " + DbPath() + ": unable to open: Permission denied");
    ExpectNothingLeft(run, sim);
}

// Another program holds a write transaction on the store for the whole
// command: the keep waits its bounded time, is refused, and nothing goes.
TEST_F(InboxStoreE2E, ALockedStoreLeavesEveryMessageOnTheModem)
{
    {
        std::string error;
        ASSERT_NE(MessageStore::Open(DbPath(), error), nullptr) << error;
    }
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(DbPath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(other, "BEGIN IMMEDIATE; DELETE FROM outbox;", nullptr, nullptr, nullptr),
        SQLITE_OK)
        << sqlite3_errmsg(other);
    ModemSim sim(Config());
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const TellmarRun run = ReadClear(sim, DbPath());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(run.process.err.find("tellmar: store " + DbPath() + ": "), 0u) << run.process.err;
    EXPECT_NE(run.process.err.find("database is locked"), std::string::npos) << run.process.err;
    EXPECT_EQ(std::count(run.process.err.begin(), run.process.err.end(), '\n'), 1);
    ExpectNothingLeft(run, sim);
    EXPECT_EQ(Query(DbPath(), "SELECT count(*) FROM messages"), (Rows{{"0"}}));
}

// The disk fills while the messages are kept (a file size limit on the
// program, with SIGXFSZ ignored so that the write fails instead): what the
// store took may go, what it did not stays on the modem, and the refusal is
// said once.
TEST_F(InboxStoreE2E, AFullDiskLeavesWhatTheStoreDidNotTakeOnTheModem)
{
    {
        std::string error;
        ASSERT_NE(MessageStore::Open(DbPath(), error), nullptr) << error;
    }
    // A long message that cannot fit: 100 parts of 67 Chinese characters.
    std::string text;
    for (int i = 0; i < 67; ++i) {
        text += u8"长";
    }
    std::string parts;
    for (int part = 1; part <= 100; ++part) {
        parts +=
            std::string(parts.empty() ? "" : ",") + R"({"index":)" + std::to_string(10 + part) +
            R"(,"from":"10010","time":"24-05-03 08:00:00","dcs":8,"concat":{"ref":9,"total":100,"part":)" +
            std::to_string(part) + R"(},"text":")" + text + R"("})";
    }
    std::string config = Config();
    const std::string me = R"("ME":[)";
    config.insert(config.find(me) + me.size(), parts + ",");
    ModemSim sim(config);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    // Room for the store's shared memory (32 KiB) and a few ordinary
    // messages in its log, not for the long one.
    const std::size_t limitKb = 40;
    const TellmarRun run = ReadClear(
        sim, DbPath(),
        {"/bin/bash", "-c",
         "trap '' XFSZ; ulimit -f " + std::to_string(limitKb) + " && exec \"$0\" \"$@\""});
    EXPECT_EQ(run.process.err.find("tellmar: store " + DbPath() + ": unable to store"), 0u)
        << run.process.err;
    EXPECT_EQ(std::count(run.process.err.begin(), run.process.err.end(), '\n'), 1);
    const Json::Value& port = run.document["ports"][0];
    EXPECT_EQ(port["msgcount"].asInt(), 4) << run.documentText;
    EXPECT_FALSE(port.isMember("error")) << "the read itself was whole";
    EXPECT_FALSE(port["clear"].asBool());
    // The long message was refused: none of its parts went.
    const auto deleted = DeletedOn(sim, 3);
    for (int part = 1; part <= 100; ++part) {
        EXPECT_EQ(deleted.count({"ME", 10 + part}), 0u) << part;
    }
    // Whatever went is in the store.
    const Rows kept = Query(DbPath(), "SELECT storage, sender FROM messages");
    for (const auto& gone : deleted) {
        const std::string sender = gone.first == "ME" ? "10086"
                                   : gone.second == 1 ? "13912345678"
                                                      : "13700001111";
        const std::string storage = gone.first == "ME" ? "DEV" : "SIM";
        EXPECT_NE(std::find(kept.begin(), kept.end(), std::vector<std::string>{storage, sender}),
                  kept.end())
            << gone.first << gone.second;
    }
}

}  // namespace
