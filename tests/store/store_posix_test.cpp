// The store's file on Linux: created for its owner alone, never through a
// link, refused when read-only or when the disk is full, and shared by
// processes that die at the worst moment.

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "store/message_store.h"
#include "store_test_support.h"

namespace {

using store_test::Message;
using store_test::Query;

const std::string kPdu = "0891683108100005F0040B813119325476F9000812305001112100084F60597D4E16754C";

// Runs `body` in a child process; its status (0: fine) or, when a signal
// ended it, 128 + the signal.
int InChild(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// In a child: `actual` is `expected`, or says what it was on standard
// error and gives status 1.
int Expect(const std::string& actual, const std::string& expected)
{
    if (actual == expected) {
        return 0;
    }
    std::fprintf(stderr, "expected: %s\n  actual: %s\n", expected.c_str(), actual.c_str());
    return 1;
}

mode_t ModeOf(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// Leaves root for the unprivileged "nobody" (in a child), so that file
// permissions hold; a process that is not root keeps its own.
bool DropRoot()
{
    if (::geteuid() != 0) {
        return true;
    }
    return ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
}

class StorePosixTest : public store_test::StoreFolder {};

TEST_F(StorePosixTest, TheStoreAndSqlitesOwnFilesAreForTheOwnerAlone)
{
    // Whatever the umask lets through.
    const mode_t oldMask = ::umask(0);
    {
        auto store = OpenStore(DbPath());
        ASSERT_NE(store, nullptr);
        KeepOutcome outcome;
        std::string error;
        ASSERT_TRUE(store->Keep(Message(kPdu), outcome, error)) << error;
        for (const std::string& path : {DbPath(), DbPath() + "-wal", DbPath() + "-shm"}) {
            EXPECT_EQ(ModeOf(path), 0600u) << path;
        }
    }
    ::umask(oldMask);
}

TEST_F(StorePosixTest, LinksFifosAndFoldersAreRefusedWithoutTouchingWhatTheyLeadTo)
{
    {
        auto target = OpenStore(PathOf("target.db"));
        ASSERT_NE(target, nullptr);
    }
    const std::string targetBefore = [this] {
        std::ifstream in(PathOf("target.db"), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }();
    ASSERT_EQ(::symlink(PathOf("target.db").c_str(), PathOf("link.db").c_str()), 0);
    ASSERT_EQ(::symlink(PathOf("nowhere.db").c_str(), PathOf("dangling.db").c_str()), 0);
    ASSERT_EQ(::mkfifo(PathOf("fifo.db").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(PathOf("folder.db").c_str(), 0700), 0);

    const struct {
        std::string name;
        std::string reason;
    } cases[] = {
        {"link.db", "is a symbolic link"},
        {"dangling.db", "is a symbolic link"},
        {"fifo.db", "is not a regular file"},
        {"folder.db", "Is a directory"},
        {"missing/store.db", "No such file or directory"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(MessageStore::Open(PathOf(c.name), error), nullptr) << c.name;
        EXPECT_EQ(error, "store " + PathOf(c.name) + ": unable to open: " + c.reason);
    }
    EXPECT_FALSE(std::filesystem::exists(PathOf("nowhere.db")));
    std::ifstream in(PathOf("target.db"), std::ios::binary);
    std::stringstream after;
    after << in.rdbuf();
    EXPECT_TRUE(after.str() == targetBefore) << "the link's target was changed";
    EXPECT_FALSE(std::filesystem::exists(PathOf("target.db-wal")));
}

// Only the last component is held to the rule, as for the AT trace: a
// folder reached through a link is used where it really is.
TEST_F(StorePosixTest, AFolderReachedThroughALinkIsUsed)
{
    ASSERT_EQ(::mkdir(PathOf("real").c_str(), 0700), 0);
    ASSERT_EQ(::symlink(PathOf("real").c_str(), PathOf("via").c_str()), 0);
    auto store = OpenStore(PathOf("via/store.db"));
    ASSERT_NE(store, nullptr);
    KeepOutcome outcome;
    std::string error;
    ASSERT_TRUE(store->Keep(Message(kPdu), outcome, error)) << error;
    EXPECT_EQ(Query(PathOf("real/store.db"), "SELECT count(*) FROM messages")[0][0], "1");
    EXPECT_TRUE(std::filesystem::exists(PathOf("real/store.db-wal")));
}

// A database the user may read but not write, and one in a folder where
// SQLite cannot make its log: both refused at the open, so no message is
// ever taken for kept. Root writes whatever the permissions say, so the
// check runs as an unprivileged user.
TEST_F(StorePosixTest, AReadOnlyDatabaseOrFolderIsRefused)
{
    {
        auto store = OpenStore(DbPath());
        ASSERT_NE(store, nullptr);
        auto other = OpenStore(PathOf("other.db"));
        ASSERT_NE(other, nullptr);
    }
    // Root's folder is read-only for nobody already; a user's is made so.
    const bool root = ::geteuid() == 0;
    ASSERT_EQ(::chmod(DbPath().c_str(), root ? 0644 : 0444), 0);
    ASSERT_EQ(::chmod(PathOf("other.db").c_str(), 0666), 0);
    ASSERT_EQ(::chmod(m_dir.c_str(), root ? 0755 : 0555), 0);
    const std::string readOnly = DbPath();
    const std::string inReadOnlyFolder = PathOf("other.db");
    const int status = InChild([&] {
        if (!DropRoot()) {
            std::perror("setuid");
            return 2;
        }
        std::string error;
        if (MessageStore::Open(readOnly, error) != nullptr) {
            return 3;
        }
        if (Expect(error, "store " + readOnly + ": unable to open: Permission denied") != 0) {
            return 1;
        }
        if (MessageStore::Open(inReadOnlyFolder, error) != nullptr) {
            return 4;
        }
        return Expect(error, "store " + inReadOnlyFolder +
                                 ": unable to open: attempt to write a readonly database");
    });
    ::chmod(m_dir.c_str(), 0700);
    EXPECT_EQ(status, 0);
}

// A full disk, shown by a file size limit: the keep fails with the reason,
// the message is not in the store, and the store takes messages again once
// there is room.
TEST_F(StorePosixTest, AFullDiskFailsTheKeepAndLosesNothingStoredBefore)
{
    {
        auto store = OpenStore(DbPath());
        ASSERT_NE(store, nullptr);
        KeepOutcome outcome;
        std::string error;
        ASSERT_TRUE(store->Keep(Message(kPdu), outcome, error)) << error;
    }
    const std::string path = DbPath();
    const int status = InChild([&] {
        std::string error;
        auto store = MessageStore::Open(path, error);
        if (store == nullptr) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
        // Room for what is there (the database, its log and the 32 KiB of
        // shared memory), not for a long text; a write past the limit then
        // fails with EFBIG instead of raising SIGXFSZ.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{48 * 1024, 48 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 3;
        }
        KeepOutcome outcome;
        if (store->Keep(Message(kPdu + "00", std::string(64 * 1024, 'x')), outcome, error)) {
            return 4;
        }
        return Expect(error, "store " + path + ": unable to store the message: disk I/O error");
    });
    EXPECT_EQ(status, 0);

    auto store = OpenStore(DbPath());
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(Query(DbPath(), "SELECT pdu FROM messages"), (decltype(Query("", "")){{kPdu}}));
    KeepOutcome outcome;
    std::string error;
    EXPECT_TRUE(store->Keep(Message(kPdu + "00"), outcome, error)) << error;
    EXPECT_TRUE(outcome.isNew);
}

// A process killed right after Keep returned: the message is in the file.
TEST_F(StorePosixTest, AMessageKeptIsThereAfterTheProcessIsKilled)
{
    const std::string path = DbPath();
    const int status = InChild([&] {
        std::string error;
        auto store = MessageStore::Open(path, error);
        KeepOutcome outcome;
        if (store == nullptr || !store->Keep(Message(kPdu), outcome, error)) {
            return 2;
        }
        ::kill(::getpid(), SIGKILL);
        return 3;
    });
    EXPECT_EQ(status, 128 + SIGKILL);
    EXPECT_EQ(Query(DbPath(), "SELECT pdu FROM messages"), (decltype(Query("", "")){{kPdu}}));
}

// A watch killed while it sends leaves its request in state sending; the
// watch that holds the port next fails it instead of sending it again. Two
// watches in processes of their own then take requests at once, each once.
TEST_F(StorePosixTest, ProcessesTakeEachRequestOnceAndADeadWatchsSendIsFailedNotResent)
{
    std::vector<OutboxRequest> requests;
    for (int i = 0; i < 80; ++i) {
        requests.push_back(
            {i % 2 == 0 ? "COM3" : "COM4", std::to_string(13800000000 + i), "t", ""});
    }
    std::string batch;
    std::string error;
    {
        auto store = OpenStore(DbPath());
        ASSERT_NE(store, nullptr);
        ASSERT_TRUE(store->Enqueue({{"COM3", "13900000000", "first", ""}}, batch, error)) << error;
    }
    // The dead watch takes the oldest request, and is killed.
    const std::string path = DbPath();
    EXPECT_EQ(
        InChild([&] {
            std::string childError;
            auto store = MessageStore::Open(path, childError);
            std::optional<OutboxRow> row;
            if (store == nullptr || !store->Claim({"COM3"}, "watch 1", row, childError) || !row) {
                return 2;
            }
            ::kill(::getpid(), SIGKILL);
            return 3;
        }),
        128 + SIGKILL);
    // The watch that holds the port now fails what the dead one left in
    // state sending, then more requests come.
    std::string secondBatch;
    {
        auto store = OpenStore(DbPath());
        ASSERT_NE(store, nullptr);
        int expired = 0;
        ASSERT_TRUE(store->ExpireSending({"COM3", "COM4"}, {1, "the watch stopped", "", ""},
                                         expired, error))
            << error;
        EXPECT_EQ(expired, 1);
        ASSERT_TRUE(store->Enqueue(requests, secondBatch, error)) << error;
    }

    // Two watches at once, each writing the ids it took to a file.
    std::vector<pid_t> children;
    for (int w = 0; w < 2; ++w) {
        const std::string list = PathOf("taken-" + std::to_string(w));
        std::fflush(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::string childError;
            auto store = MessageStore::Open(path, childError);
            if (store == nullptr) {
                ::_exit(2);
            }
            std::ofstream out(list);
            for (;;) {
                std::optional<OutboxRow> row;
                if (!store->Claim({"COM3", "COM4"}, "watch " + std::to_string(w + 2), row,
                                  childError)) {
                    ::_exit(4);
                }
                if (!row) {
                    break;
                }
                out << row->id << "\n" << std::flush;
                if (!store->Finish(row->id, {0, "Succeed", "", ""}, childError)) {
                    ::_exit(5);
                }
            }
            ::_exit(0);
        }
        ASSERT_GT(pid, 0);
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    std::multiset<std::string> taken;
    for (int w = 0; w < 2; ++w) {
        std::ifstream in(PathOf("taken-" + std::to_string(w)));
        for (std::string id; std::getline(in, id);) {
            taken.insert(id);
        }
    }
    std::set<std::string> distinct(taken.begin(), taken.end());
    EXPECT_EQ(taken.size(), distinct.size()) << "a request was taken twice";
    EXPECT_EQ(taken.size(), requests.size());

    // The dead watch's request may have gone out: failed, never sent again.
    EXPECT_EQ(Query(DbPath(),
                    "SELECT state, owner, message FROM outbox WHERE number = "
                    "'13900000000'"),
              (decltype(Query("", "")){{"failed", "watch 1", "the watch stopped"}}));
    EXPECT_EQ(Query(DbPath(), "SELECT count(*) FROM outbox WHERE state = 'done'")[0][0],
              std::to_string(requests.size()));
}

}  // namespace
