// The mark a watch holds on each port it watches: who holds it, that every
// name of a device is one mark, and that it goes with its process however the
// process ends (a SIGKILL included).

#include "platform/watch_mark.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/store_file.h"
#include "platform/watch_mark_text.h"

namespace {

void RemoveTree(const std::string& path)
{
    EXPECT_EQ(std::system(("rm -rf '" + path + "'").c_str()), 0) << path;
}

// A pseudo-terminal for a port, and TMPDIR set to a folder of the test's own,
// so that the marks of the test are apart from any other.
class WatchMarkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tellmar-mark-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        const char* old = std::getenv("TMPDIR");
        m_hadOld = old != nullptr;
        m_old = old ? old : "";
        ::setenv("TMPDIR", m_dir.c_str(), 1);
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(m_master, 0);
        ASSERT_EQ(::grantpt(m_master), 0);
        ASSERT_EQ(::unlockpt(m_master), 0);
        m_port.strName = "COM3";
        m_port.strNode = ::ptsname(m_master);
        m_port.strPath = m_port.strNode;
    }

    void TearDown() override
    {
        ::close(m_master);
        if (m_hadOld) {
            ::setenv("TMPDIR", m_old.c_str(), 1);
        } else {
            ::unsetenv("TMPDIR");
        }
        RemoveTree(m_dir);
    }

    std::string MarkFolder() const { return m_dir + "/tellmar-" + std::to_string(::getuid()); }

    // Forks a process that takes the mark of the port with `store` and waits
    // to be killed; its pid once it holds the mark, -1 when it could not.
    pid_t ForkHolder(const std::string& store)
    {
        int ready[2];
        if (::pipe(ready) != 0) {
            return -1;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(ready[0]);
            CWatchMark mark;
            std::string error;
            const char taken = mark.Take(m_port, store, error) ? 'y' : 'n';
            (void)!::write(ready[1], &taken, 1);
            ::pause();
            ::_exit(0);
        }
        ::close(ready[1]);
        char taken = 'n';
        const bool read = ::read(ready[0], &taken, 1) == 1;
        ::close(ready[0]);
        if (child < 0 || !read || taken != 'y') {
            return -1;
        }
        return child;
    }

    std::string m_dir;
    std::string m_old;
    bool m_hadOld = false;
    int m_master = -1;
    COM_PORT_t m_port;
};

TEST_F(WatchMarkTest, TheHolderIsSeenUnderEveryNameOfTheDeviceUntilItReleases)
{
    EXPECT_FALSE(CWatchMark::Test(m_port).bWatched);

    CWatchMark mark;
    std::string error;
    ASSERT_TRUE(mark.Take(m_port, "/var/lib/tellmar/messages.db", error)) << error;
    EXPECT_TRUE(mark.Held());

    // A link in another folder (as /dev/serial/by-id) leads to the same mark.
    COM_PORT_t linked = m_port;
    linked.strName = "COM9";
    linked.strNode = m_dir + "/by-id-modem";
    ASSERT_EQ(::symlink(m_port.strNode.c_str(), linked.strNode.c_str()), 0);
    for (const COM_PORT_t& port : {m_port, linked}) {
        const WATCH_HOLDER_t holder = CWatchMark::Test(port);
        EXPECT_TRUE(holder.bWatched) << port.strNode;
        EXPECT_EQ(holder.nPid, ::getpid());
        EXPECT_EQ(holder.strStore, "/var/lib/tellmar/messages.db");
        EXPECT_EQ(WatchHolderText(holder),
                  "held by tellmar sms watch (pid " + std::to_string(::getpid()) + ")");
    }

    // A second watch is refused, and told by whom; the first keeps it.
    CWatchMark second;
    EXPECT_FALSE(second.Take(linked, "", error));
    EXPECT_EQ(error, "held by tellmar sms watch (pid " + std::to_string(::getpid()) + ")");
    EXPECT_FALSE(second.Held());
    EXPECT_TRUE(CWatchMark::Test(m_port).bWatched);

    // The mark file is the user's alone.
    struct stat folder {};
    ASSERT_EQ(::stat(MarkFolder().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);

    mark.Release();
    EXPECT_FALSE(mark.Held());
    EXPECT_FALSE(CWatchMark::Test(m_port).bWatched);
    ASSERT_TRUE(second.Take(linked, "", error)) << error;
    EXPECT_EQ(CWatchMark::Test(m_port).strStore, "") << "a watch without a store";
}

TEST_F(WatchMarkTest, ARelativeStorePathIsRecordedAbsolute)
{
    char* here = ::getcwd(nullptr, 0);
    ASSERT_NE(here, nullptr);
    const std::string cwd = here;
    std::free(here);
    CWatchMark mark;
    std::string error;
    ASSERT_TRUE(mark.Take(m_port, "data/messages.db", error)) << error;
    EXPECT_EQ(CWatchMark::Test(m_port).strStore, cwd + "/data/messages.db");
}

TEST_F(WatchMarkTest, AMarkGoesWithItsProcessKilledBySigkill)
{
    const pid_t holder = ForkHolder("/srv/store.db");
    ASSERT_GT(holder, 0);
    const WATCH_HOLDER_t seen = CWatchMark::Test(m_port);
    EXPECT_TRUE(seen.bWatched);
    EXPECT_EQ(seen.nPid, holder);
    EXPECT_EQ(seen.strStore, "/srv/store.db");
    CWatchMark mine;
    std::string error;
    EXPECT_FALSE(mine.Take(m_port, "", error));

    ASSERT_EQ(::kill(holder, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(holder, &status, 0), holder);
    ASSERT_TRUE(WIFSIGNALED(status));

    // Its file is still there, with its text, but nothing holds it.
    EXPECT_FALSE(CWatchMark::Test(m_port).bWatched);
    ASSERT_TRUE(mine.Take(m_port, "", error)) << error;
    const WATCH_HOLDER_t now = CWatchMark::Test(m_port);
    EXPECT_EQ(now.nPid, ::getpid());
    EXPECT_EQ(now.strStore, "") << "the dead watch's text is replaced";
}

TEST_F(WatchMarkTest, AFolderThatIsNotTheUsersOwnIsRefused)
{
    const struct {
        const char* what;
        std::string setUp;
    } cases[] = {
        {"open to others", "mkdir -m 0777 '" + MarkFolder() + "'"},
        {"a link to a folder", "mkdir '" + m_dir + "/elsewhere' && ln -s '" + m_dir +
                                   "/elsewhere' '" + MarkFolder() + "'"},
        {"a file", "touch '" + MarkFolder() + "'"},
    };
    for (const auto& c : cases) {
        RemoveTree(MarkFolder());
        RemoveTree(m_dir + "/elsewhere");
        ASSERT_EQ(std::system(c.setUp.c_str()), 0) << c.what;
        CWatchMark mark;
        std::string error;
        EXPECT_FALSE(mark.Take(m_port, "", error)) << c.what;
        EXPECT_NE(error.find("mark folder " + MarkFolder()), std::string::npos) << error;
        EXPECT_FALSE(CWatchMark::Test(m_port).bWatched) << c.what;
    }
}

TEST_F(WatchMarkTest, AMarkFileThatIsALinkIsNotFollowed)
{
    CWatchMark mark;
    std::string error;
    ASSERT_TRUE(mark.Take(m_port, "", error)) << error;
    // The one file in the folder while the mark is held is the port's.
    const std::string listing = m_dir + "/listing";
    ASSERT_EQ(std::system(("ls '" + MarkFolder() + "' > '" + listing + "'").c_str()), 0);
    std::string name;
    std::getline(std::ifstream(listing), name);
    ASSERT_FALSE(name.empty());
    name = MarkFolder() + "/" + name;
    mark.Release();

    const std::string target = m_dir + "/target";
    std::ofstream(target) << "keep";
    ASSERT_EQ(::symlink(target.c_str(), name.c_str()), 0);
    EXPECT_FALSE(mark.Take(m_port, "", error));
    EXPECT_EQ(error, "mark " + name + ": is a symbolic link");
    EXPECT_FALSE(CWatchMark::Test(m_port).bWatched);
    std::string kept;
    std::getline(std::ifstream(target), kept);
    EXPECT_EQ(kept, "keep");
}

TEST(WatchMarkText, OnlyAWholeMarkIsRead)
{
    const struct {
        std::string text;
        bool whole;
        std::int64_t pid;
        std::string store;
    } cases[] = {
        {WatchMarkText(1234, "/var/lib/tellmar/a.db"), true, 1234, "/var/lib/tellmar/a.db"},
        {WatchMarkText(7, ""), true, 7, ""},
        {WatchMarkText(7, "/odd\nname=x"), true, 7, "/odd\nname=x"},
        {"", false, 0, ""},
        {"tellmar watch\npid=", false, 0, ""},
        {"tellmar watch\npid=12", false, 0, ""},
        {"tellmar watch\npid=\nstore=/a", false, 0, ""},
        {"tellmar watch\npid=0\nstore=/a", false, 0, ""},
        {"tellmar watch\npid=-5\nstore=/a", false, 0, ""},
        {"tellmar watch\npid=99999999999999999999\nstore=", false, 0, ""},
        {"something else\npid=12\nstore=", false, 0, ""},
    };
    for (const auto& c : cases) {
        WATCH_HOLDER_t holder;
        EXPECT_EQ(ParseWatchMarkText(c.text, holder), c.whole) << c.text;
        EXPECT_EQ(holder.nPid, c.pid) << c.text;
        EXPECT_EQ(holder.strStore, c.store) << c.text;
    }
}

TEST(SameStoreFile, OneFileHoweverItsPathIsWritten)
{
    char pattern[] = "/tmp/tellmar-same-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    ASSERT_EQ(::mkdir((dir + "/data").c_str(), 0700), 0);
    std::ofstream(dir + "/data/a.db") << "a";
    std::ofstream(dir + "/data/b.db") << "b";
    ASSERT_EQ(::symlink((dir + "/data").c_str(), (dir + "/linked").c_str()), 0);
    ASSERT_EQ(::link((dir + "/data/a.db").c_str(), (dir + "/hard.db").c_str()), 0);
    char* here = ::getcwd(nullptr, 0);
    ASSERT_NE(here, nullptr);
    ASSERT_EQ(::chdir(dir.c_str()), 0);

    const struct {
        std::string one;
        std::string other;
        bool same;
    } cases[] = {
        {dir + "/data/a.db", dir + "/data/a.db", true},
        {"data/a.db", dir + "/data/a.db", true},
        {dir + "/linked/a.db", "data/./a.db", true},
        {dir + "/hard.db", dir + "/data/a.db", true},
        {dir + "/data/a.db", dir + "/data/b.db", false},
        {dir + "/data/a.db", dir + "/data/missing.db", false},
        {dir + "/data/a.db", "", false},
        {"", "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameStoreFile(c.one, c.other), c.same) << c.one << " / " << c.other;
    }
    ASSERT_EQ(::chdir(here), 0);
    std::free(here);
    RemoveTree(dir);
}

}  // namespace
