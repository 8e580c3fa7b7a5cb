// The real binary in a hostile environment: lock files and COM links that
// other users can plant, a modem that switches its network mode while a
// script reads the inboxes, and runs that end on a signal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/tellmar_run.h"
#include "platform/clock.h"

namespace {

// An M35 with one message on its SIM.
std::string M35(int com)
{
    const std::string n = std::to_string(com);
    return R"({"com":)" + n + R"(,"model":"M35","bauds":[9600],"iccid":"8986001234567890000)" + n +
           R"(","storage":{"SM":[{"index":1,"from":"1391234567)" + n +
           R"(","time":"24-05-01 09:30:00","text":"for COM)" + n + R"("}]}})";
}

void ExpectServedInFull(const Json::Value& port, int com)
{
    EXPECT_EQ(port["name"].asString(), "COM" + std::to_string(com));
    ASSERT_EQ(port["msgcount"].asInt(), 1) << port.toStyledString();
    EXPECT_EQ(port["msgs"][0]["text"].asString(), "for COM" + std::to_string(com));
}

// The UUCP lock file that names the node behind a simulated port.
std::string LockFileOf(const ModemSim& sim, int com)
{
    char target[PATH_MAX] = {};
    if (::readlink(sim.PortPath(com).c_str(), target, sizeof target - 1) <= 0) {
        return "";
    }
    std::string name = std::string(target).substr(5);  // below /dev
    std::replace(name.begin(), name.end(), '/', '_');
    return "/var/lock/LCK.." + name;
}

// Files planted for a test, removed when it ends.
struct Planted {
    std::vector<std::string> paths;
    ~Planted()
    {
        for (const std::string& path : paths) {
            std::remove(path.c_str());
        }
    }
};

// The lock folder is world-writable on most systems: anyone can put a FIFO
// or a huge file where a lock file of a port would be. The ports open as if
// there were no lock, the command neither hangs nor reads the file.
TEST(HostileEnvironmentE2E, LockFilesThatAreNoLocksHoldNothing)
{
    ModemSim sim("{\"ports\":[" + M35(3) + "," + M35(4) + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    Planted planted;
    const std::string fifo = LockFileOf(sim, 3);
    const std::string huge = LockFileOf(sim, 4);
    ASSERT_FALSE(fifo.empty());
    if (::mkfifo(fifo.c_str(), 0666) != 0) {
        GTEST_SKIP() << "cannot write the lock folder";
    }
    planted.paths = {fifo, huge};
    std::ofstream{huge};
    ASSERT_EQ(::truncate(huge.c_str(), 1L << 30), 0) << "a sparse file of 1 GiB";

    const TellmarRun run = RunTellmar(sim, {"sms", "sread"}, 120);
    ASSERT_EQ(run.document["portcount"].asInt(), 2) << run.documentText;
    ExpectServedInFull(run.document["ports"][0], 3);
    ExpectServedInFull(run.document["ports"][1], 4);
    // Far below the file, with room for a sanitizer build's own memory.
    EXPECT_LT(run.process.maxRssKb, 256 * 1024) << "kilobytes";
}

// TELLMAR_SERIALCOMM may name a node that is no serial port: a device of
// another kind is never opened for writing, and a terminal that is not a
// modem (someone's shell) gets the probe's lines but is left exactly as it
// was found: line settings, and no exclusive mode.
TEST(HostileEnvironmentE2E, ComLinksToOtherDevicesAndTerminals)
{
    ModemSim sim("{\"ports\":[" + M35(3) + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    termios shell{};
    ASSERT_EQ(::tcgetattr(slave, &shell), 0);
    shell.c_lflag |= ICANON | ECHO | ISIG;
    ASSERT_EQ(::tcsetattr(slave, TCSANOW, &shell), 0);
    ASSERT_EQ(::tcgetattr(slave, &shell), 0);
    ASSERT_EQ(::symlink("/dev/null", (sim.Dir() + "/COM5").c_str()), 0);
    ASSERT_EQ(::symlink(name, (sim.Dir() + "/COM7").c_str()), 0);

    const TellmarRun run = RunTellmar(sim, {"sms", "sread"}, 120);
    ASSERT_EQ(run.document["portcount"].asInt(), 1) << run.documentText;
    ExpectServedInFull(run.document["ports"][0], 3);

    termios after{};
    ASSERT_EQ(::tcgetattr(slave, &after), 0);
    EXPECT_EQ(after.c_lflag, shell.c_lflag);
    EXPECT_EQ(after.c_iflag, shell.c_iflag);
    EXPECT_EQ(after.c_oflag, shell.c_oflag);
    EXPECT_EQ(::cfgetospeed(&after), ::cfgetospeed(&shell));
    int exclusive = 1;
    ASSERT_EQ(::ioctl(slave, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(master);
    ::close(slave);
}

// A TELLMAR_SERIALCOMM folder that other users may write is not used: they
// could point its COM links at any device. The document shows no port and
// stderr says why.
TEST(HostileEnvironmentE2E, ASharedPortFolderIsNotUsed)
{
    ModemSim sim("{\"ports\":[" + M35(3) + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    ASSERT_EQ(::chmod(sim.Dir().c_str(), 0777), 0);
    const TellmarRun run = RunTellmar(sim, {"sms", "sread"}, 120);
    ::chmod(sim.Dir().c_str(), 0755);
    EXPECT_EQ(run.document["portcount"].asInt(), 0) << run.documentText;
    EXPECT_NE(run.process.err.find("TELLMAR_SERIALCOMM=" + sim.Dir() + " is not used"),
              std::string::npos)
        << run.process.err;
    EXPECT_TRUE(sim.Commands(3).empty()) << "nothing was written to the port";

    // A private folder below one that others may write (not sticky): they
    // could put another folder in its place. Tellmar does not use it, and
    // the simulator does not start in it.
    const std::string shared = sim.Root() + "/shared";
    ASSERT_EQ(::mkdir(shared.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    const std::string below = shared + "/mine";
    ASSERT_EQ(::mkdir(below.c_str(), 0700), 0);
    const TellmarRun under =
        RunTellmar(sim, {"sms", "sread"}, 120, {{"TELLMAR_SERIALCOMM", below}});
    EXPECT_NE(under.process.err.find("TELLMAR_SERIALCOMM=" + below + " is not used: " + shared +
                                     " can be written by other users"),
              std::string::npos)
        << under.process.err;
    const ProcessResult simulator =
        RunProcess({TELLMAR_MODEMSIM, "--config", sim.Root() + "/config.json", "--dir", below,
                    "--until-stdin-eof"},
                   {}, "", 30);
    EXPECT_EQ(simulator.exitCode, 2);
    EXPECT_NE(simulator.err.find("above it can be written by other users"), std::string::npos)
        << simulator.err;
    ::rmdir(below.c_str());
    ::rmdir(shared.c_str());
}

// The CLM920 switches its network mode during the scan and says so; a script
// reading the inboxes still gets nothing but the document on stdout, the
// mode lines on stderr. The send command, which keeps the scan's trace, too.
TEST(HostileEnvironmentE2E, ModeSwitchLinesGoToStandardError)
{
    ModemSim sim(R"({"ports":[{"com":6,"model":"CLM920_NC5","bauds":[115200],
        "iccid":"89860318760203456786","csq":"99,99","modeconfig":22,
        "storage":{"SM":[{"index":1,"from":"13912345676","time":"24-05-01 09:30:00","text":"for COM6"}]}}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();

    const TellmarRun read = RunTellmar(sim, {"sms", "sread"}, 120);
    ASSERT_EQ(read.document["portcount"].asInt(), 1) << read.documentText;
    ExpectServedInFull(read.document["ports"][0], 6);
    // Named as the port table and the documents name it, not by a Windows path.
    EXPECT_EQ(read.process.err.rfind("COM6 > setting MODECONFIG=2\n", 0), 0u) << read.process.err;
    ASSERT_TRUE(sim.WaitForEvents("modeconfig", 1, 3000));
    EXPECT_EQ(sim.Events("modeconfig")[0]["value"].asInt(), 2);

    const TellmarRun send = RunTellmar(sim, {"6", "10086", "hello"}, 120);
    EXPECT_EQ(send.document["result"][0]["code"].asInt(), 0) << send.documentText;
    EXPECT_EQ(send.process.err.rfind("COM6 > MODECONFIG = 2\n", 0), 0u) << send.process.err;
    EXPECT_EQ(send.process.err.find("\\\\.\\"), std::string::npos) << send.process.err;
}

// Whether a port is in exclusive mode, as a new program opening it finds it.
bool Exclusive(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == EBUSY;
    }
    int exclusive = 0;
    ::ioctl(fd, TIOCGEXCL, &exclusive);
    ::close(fd);
    return exclusive != 0;
}

// A run stopped with Ctrl-C, or killed outright, in the middle of a scan:
// the ports it held exclusively must not stay busy for the runs after it.
// Tellmar hands them back when it stops on the signals it can catch; for SIGKILL the
// simulator drops the mode once the last program has let go, as a real
// device does on its last close.
TEST(HostileEnvironmentE2E, ARunEndedDuringTheScanLeavesNoPortBusy)
{
    ModemSim sim("{\"ports\":[" + M35(3) + "]}");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    for (int sig : {SIGINT, SIGTERM, SIGKILL}) {
        SCOPED_TRACE(strsignal(sig));
        const std::size_t before = sim.Commands(3).size();
        const pid_t pid = StartTellmar(sim, {"sms", "sread"});
        ASSERT_GT(pid, 0);
        // The probe holds the port once it has asked for the model.
        const std::int64_t end = MonotonicMs() + 60000;
        bool probing = false;
        while (!probing && MonotonicMs() < end) {
            SleepMs(20);
            const std::vector<std::string> commands = sim.Commands(3);
            probing = std::find(commands.begin() + static_cast<long>(before), commands.end(),
                                "AT+CGMI") != commands.end();
        }
        ::kill(pid, sig);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(probing) << "the scan never reached the model query";
        // A signal it can catch stops it in order (status 128 + the signal).
        if (sig == SIGKILL) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + sig) << status;
        }
        // The simulator learns of the last close a moment after it.
        for (int waited = 0; waited < 5000 && Exclusive(sim.PortPath(3)); waited += 20) {
            SleepMs(20);
        }

        const TellmarRun next = RunTellmar(sim, {"sms", "sread"}, 120);
        ASSERT_EQ(next.document["portcount"].asInt(), 1) << next.documentText;
        ExpectServedInFull(next.document["ports"][0], 3);
    }
}

}  // namespace
