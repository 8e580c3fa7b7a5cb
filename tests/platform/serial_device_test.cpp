#include "platform/serial_device.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>

#include "support/listed_port.h"
#include "transport/pty_peer.h"

namespace {

// The pseudo-terminal of each test, as the listing gives it.
COM_PORT_t Port()
{
    return ListedPort(3);
}

class SerialDeviceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer.Ready()); }

    termios SlaveSettings()
    {
        termios tio{};
        ::tcgetattr(peer.SlaveFd(), &tio);
        return tio;
    }

    ptytest::PtyPeer peer{3};
};

TEST_F(SerialDeviceTest, ConfigureMakesTheLineRaw8N1AtTheRateAndKeepsFlowControl)
{
    struct CASE_t {
        int rate;
        speed_t speed;
    };
    const CASE_t cases[] = {{9600, B9600}, {115200, B115200}};
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.rate);
        // A port that used hardware flow control, two stop bits and cooked
        // input before (a pseudo-terminal keeps no parity bit, so glibc
        // reports a request for one as refused).
        termios before = SlaveSettings();
        before.c_cflag |= CRTSCTS | CLOCAL | CSTOPB;
        before.c_iflag |= ICRNL | IXON | IXOFF;
        before.c_lflag |= ICANON | ECHO;
        before.c_oflag |= OPOST | ONLCR;
        ASSERT_EQ(0, ::tcsetattr(peer.SlaveFd(), TCSANOW, &before));

        CSerialDevice device;
        ASSERT_EQ(0, device.Open(Port()));
        ASSERT_EQ(0, device.Configure(c.rate, SERIAL_TIMEOUTS_t{}));
        const termios after = SlaveSettings();
        EXPECT_EQ(c.speed, ::cfgetospeed(&after));
        EXPECT_EQ(c.speed, ::cfgetispeed(&after));
        EXPECT_EQ(static_cast<tcflag_t>(CS8), after.c_cflag & CSIZE);
        EXPECT_EQ(0u, after.c_cflag & (PARENB | CSTOPB));
        EXPECT_EQ(0u, after.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF));
        EXPECT_EQ(0u, after.c_lflag & (ICANON | ECHO | ISIG));
        EXPECT_EQ(0u, after.c_oflag & OPOST);
        EXPECT_NE(0u, after.c_cflag & CRTSCTS);
        EXPECT_NE(0u, after.c_cflag & CLOCAL);
    }
}

TEST_F(SerialDeviceTest, ConfigureRefusesARateTheSystemHasNoSpeedFor)
{
    CSerialDevice device;
    ASSERT_EQ(0, device.Open(Port()));
    EXPECT_EQ(EINVAL, device.Configure(12345, SERIAL_TIMEOUTS_t{}));
    EXPECT_EQ(EBADF, CSerialDevice().Configure(9600, SERIAL_TIMEOUTS_t{}));
}

TEST_F(SerialDeviceTest, PortsTheListingLacksAndNodesThatAreNoTtyDoNotOpen)
{
    // A device of another class, a FIFO and a regular file behind COM links.
    ASSERT_EQ(0, ::symlink("/dev/null", (peer.Dir() + "/COM8").c_str()));
    ASSERT_EQ(0, ::mkfifo((peer.Dir() + "/fifo").c_str(), 0600));
    ASSERT_EQ(0, ::symlink((peer.Dir() + "/fifo").c_str(), (peer.Dir() + "/COM9").c_str()));
    std::ofstream(peer.Dir() + "/COM10") << "AT\r";
    CSerialDevice device;
    EXPECT_EQ(ENOENT, device.Open(ListedPort(4)));
    EXPECT_EQ(ENOENT, device.Open(PortNamed("LPT1")));
    EXPECT_EQ(ENOENT, device.Open(COM_PORT_t{}));
    // A node given by hand is opened as it is, and must be a terminal.
    COM_PORT_t gone = PortNamed("COM9");
    gone.strNode = peer.Dir() + "/missing";
    EXPECT_EQ(ENOENT, device.Open(gone));
    // COM8 is listed (a character device); the FIFO and the file are not,
    // so they are given by hand.
    for (const char* name : {"COM8", "COM9", "COM10"}) {
        SCOPED_TRACE(name);
        COM_PORT_t port = PortNamed(name);
        port.strNode = peer.Dir() + "/" + name;
        EXPECT_EQ(ENOTTY, device.Open(port));
        EXPECT_FALSE(device.IsOpen());
    }
    EXPECT_EQ(ENOTTY, device.Open(ListedPort(8)));
    EXPECT_EQ(0, device.Open(Port()));
}

// Whatever the program did to the line, closing puts back what it found, as
// another program using the port (or a terminal's user) expects.
TEST_F(SerialDeviceTest, CloseRestoresTheLineSettingsFoundAtOpen)
{
    termios before = SlaveSettings();
    before.c_lflag |= ICANON | ECHO | ISIG;
    before.c_iflag |= ICRNL | IXON;
    before.c_oflag |= OPOST | ONLCR;
    ::cfsetispeed(&before, B38400);
    ::cfsetospeed(&before, B38400);
    ASSERT_EQ(0, ::tcsetattr(peer.SlaveFd(), TCSANOW, &before));
    before = SlaveSettings();

    CSerialDevice device;
    ASSERT_EQ(0, device.Open(Port()));
    ASSERT_EQ(0, device.Configure(115200, SERIAL_TIMEOUTS_t{}));
    ASSERT_EQ(0u, SlaveSettings().c_lflag & ICANON);
    EXPECT_EQ(0, device.Close());

    const termios after = SlaveSettings();
    EXPECT_EQ(before.c_iflag, after.c_iflag);
    EXPECT_EQ(before.c_oflag, after.c_oflag);
    EXPECT_EQ(before.c_cflag, after.c_cflag);
    EXPECT_EQ(before.c_lflag, after.c_lflag);
    EXPECT_EQ(B38400, ::cfgetospeed(&after));
    int exclusive = 1;
    ASSERT_EQ(0, ::ioctl(peer.SlaveFd(), TIOCGEXCL, &exclusive));
    EXPECT_EQ(0, exclusive);
}

// A process that ends on a signal (Ctrl-C, kill) or by exit() without closing
// its ports hands them back too: the simulator and other programs keep the
// tty open, so the exclusive mode would otherwise stay and make the port busy
// for every later run.
TEST_F(SerialDeviceTest, EndingTheProcessHandsTheOpenPortBack)
{
    const termios before = SlaveSettings();
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, 0}) {
        SCOPED_TRACE(sig == 0 ? "exit()" : strsignal(sig));
        int ready[2];
        int go[2];
        ASSERT_EQ(0, ::pipe(ready));
        ASSERT_EQ(0, ::pipe(go));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Left open on purpose: only the process's end may hand it back.
            auto* device = new CSerialDevice;
            const bool open =
                device->Open(Port()) == 0 && device->Configure(9600, SERIAL_TIMEOUTS_t{}) == 0;
            const char result = open ? 'y' : 'n';
            ssize_t ignored = ::write(ready[1], &result, 1);
            char byte = 0;
            ignored = ::read(go[0], &byte, 1);
            (void)ignored;
            std::exit(0);
        }
        ::close(ready[1]);
        ::close(go[0]);
        char result = 0;
        const ssize_t got = ::read(ready[0], &result, 1);
        ::close(ready[0]);
        if (got != 1 || result != 'y') {
            ::close(go[1]);
            ::waitpid(child, nullptr, 0);
            FAIL() << "the child could not open the port";
        }
        int exclusive = 0;
        EXPECT_EQ(0, ::ioctl(peer.SlaveFd(), TIOCGEXCL, &exclusive));
        EXPECT_EQ(1, exclusive);
        EXPECT_NE(0u, SlaveSettings().c_lflag ^ before.c_lflag);
        if (sig != 0) {
            ::kill(child, sig);
        } else {
            ASSERT_EQ(1, ::write(go[1], "g", 1));
        }
        int status = 0;
        ASSERT_EQ(child, ::waitpid(child, &status, 0));
        ::close(go[1]);
        if (sig != 0) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        }
        ASSERT_EQ(0, ::ioctl(peer.SlaveFd(), TIOCGEXCL, &exclusive));
        EXPECT_EQ(0, exclusive);
        const termios after = SlaveSettings();
        EXPECT_EQ(before.c_lflag, after.c_lflag);
        EXPECT_EQ(::cfgetospeed(&before), ::cfgetospeed(&after));
        CSerialDevice next;
        EXPECT_EQ(0, next.Open(Port()));
    }
}

TEST_F(SerialDeviceTest, ReadEndsAfterAQuietGapAtTheSizeOrAtTheTotalTimeOut)
{
    CSerialDevice device;
    ASSERT_EQ(0, device.Open(Port()));
    // A wide quiet gap keeps the test independent of scheduling delays.
    ASSERT_EQ(0, device.Configure(9600, SERIAL_TIMEOUTS_t{100, 50, 1}));

    // Pieces 2 ms apart are one read; a piece 400 ms later is the next read.
    peer.RunScript({{"", {{0, "AB"}, {2, "CD"}, {400, "EF"}}}});
    std::string first;
    EXPECT_EQ(0, device.Read(first, 512));
    std::string second = "kept:";
    EXPECT_EQ(0, device.Read(second, 512));
    EXPECT_EQ("ABCD", first);
    EXPECT_EQ("kept:EF", second);

    // More than asked for stays for the next read.
    peer.Send(std::string(700, 'x'));
    std::string capped;
    EXPECT_EQ(0, device.Read(capped, 512));
    EXPECT_EQ(512u, capped.size());
    std::string rest;
    EXPECT_EQ(0, device.Read(rest, 512));
    EXPECT_EQ(188u, rest.size());

    // Silence ends with nothing after the total time-out.
    std::string silent;
    EXPECT_EQ(0, device.Read(silent, 16));
    EXPECT_EQ("", silent);
}

TEST_F(SerialDeviceTest, ReadAvailableTakesWhatCameAndWaitsOnlyForTheFirstBytes)
{
    CSerialDevice device;
    ASSERT_EQ(0, device.Open(Port()));
    ASSERT_EQ(0, device.Configure(9600, SERIAL_TIMEOUTS_t{100, 50, 1}));

    std::string none = "kept:";
    EXPECT_EQ(0, device.ReadAvailable(none, 512, 0));
    EXPECT_EQ("kept:", none);

    // Waiting bytes come at once, at most as many as asked for.
    peer.Send("0123456789");
    std::string some;
    for (int i = 0; i < 100 && some.size() < 4; ++i) {
        EXPECT_EQ(0, device.ReadAvailable(some, 4 - some.size(), 50));
    }
    EXPECT_EQ("0123", some);
    std::string rest;
    EXPECT_EQ(0, device.ReadAvailable(rest, 512, 1000));
    EXPECT_EQ("456789", rest);

    // The wait ends with the first piece; the next piece is the next read's.
    peer.RunScript({{"", {{50, "AB"}, {1000, "CD"}}}});
    std::string first;
    EXPECT_EQ(0, device.ReadAvailable(first, 512, 5000));
    std::string second;
    EXPECT_EQ(0, device.ReadAvailable(second, 512, 5000));
    EXPECT_EQ("AB", first);
    EXPECT_EQ("CD", second);

    peer.Stop();
    peer.CloseMaster();
    std::string gone;
    EXPECT_EQ(EIO, device.ReadAvailable(gone, 512, 5000));
    EXPECT_EQ(EBADF, CSerialDevice().ReadAvailable(gone, 512, 0));
}

TEST_F(SerialDeviceTest, WritesReachTheOtherEndUnchanged)
{
    CSerialDevice device;
    ASSERT_EQ(0, device.Open(Port()));
    ASSERT_EQ(0, device.Configure(115200, SERIAL_TIMEOUTS_t{}));
    const std::string bytes("AT\r\n\0\x1A\xFF\n", 8);
    EXPECT_EQ(0, device.Write(bytes));
    EXPECT_EQ(bytes, peer.ReceiveFor(200));
    EXPECT_EQ(EBADF, CSerialDevice().Write("AT\r"));
}

TEST_F(SerialDeviceTest, AVanishedDeviceReportsEioWithoutHanging)
{
    CSerialDevice device;
    ASSERT_EQ(0, device.Open(Port()));
    ASSERT_EQ(0, device.Configure(9600, SERIAL_TIMEOUTS_t{5000, 5000, 0}));
    peer.VanishAfter(50);
    std::string out;
    EXPECT_EQ(EIO, device.Read(out, 512));
    EXPECT_EQ(EIO, device.Read(out, 512));
    EXPECT_NE(0, device.Write("AT\r"));
    EXPECT_EQ("", out);
}

// Each way another program can hold the port makes the open fail with EBUSY;
// once it lets go, the port opens.
TEST_F(SerialDeviceTest, APortHeldElsewhereIsBusy)
{
    CSerialDevice holder;
    ASSERT_EQ(0, holder.Open(Port()));
    CSerialDevice second;
    EXPECT_EQ(EBUSY, second.Open(Port()));
    EXPECT_FALSE(second.IsOpen());
    holder.Close();
    EXPECT_EQ(0, second.Open(Port()));
    second.Close();

    // Exclusive mode set by a program that takes no lock.
    const int excl = ::open(peer.SlaveName().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(excl, 0);
    ASSERT_EQ(0, ::ioctl(excl, TIOCEXCL));
    EXPECT_EQ(EBUSY, second.Open(Port()));
    ::ioctl(excl, TIOCNXCL);
    ::close(excl);

    // A flock without exclusive mode.
    const int locked = ::open(peer.SlaveName().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(locked, 0);
    ASSERT_EQ(0, ::flock(locked, LOCK_EX | LOCK_NB));
    EXPECT_EQ(EBUSY, second.Open(Port()));
    ::close(locked);

    EXPECT_EQ(0, second.Open(Port()));
}

TEST_F(SerialDeviceTest, APortHeldByAnotherProcessIsBusyUntilItCloses)
{
    int ready[2];
    int release[2];
    ASSERT_EQ(0, ::pipe(ready));
    ASSERT_EQ(0, ::pipe(release));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CSerialDevice device;
        const char result = device.Open(Port()) == 0 ? 'y' : 'n';
        ssize_t ignored = ::write(ready[1], &result, 1);
        char go = 0;
        ignored = ::read(release[0], &go, 1);
        (void)ignored;
        device.Close();
        ::_exit(0);
    }
    char result = 0;
    ASSERT_EQ(1, ::read(ready[0], &result, 1));
    ASSERT_EQ('y', result);
    CSerialDevice device;
    EXPECT_EQ(EBUSY, device.Open(Port()));
    ASSERT_EQ(1, ::write(release[1], "g", 1));
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(0, device.Open(Port()));
    for (int fd : {ready[0], ready[1], release[0], release[1]}) {
        ::close(fd);
    }
}

// The lock file of the test's pty, or empty when the lock folder cannot be
// written here.
std::string WritableLockFile(const std::string& slaveName)
{
    std::string lockName = slaveName.substr(5);  // below /dev
    std::replace(lockName.begin(), lockName.end(), '/', '_');
    const std::string lockFile = "/var/lock/LCK.." + lockName;
    std::ofstream probe(lockFile);
    return probe ? lockFile : std::string();
}

TEST_F(SerialDeviceTest, AUucpLockFileOfALiveProcessHoldsThePortAStaleOneDoesNot)
{
    const std::string lockFile = WritableLockFile(peer.SlaveName());
    if (lockFile.empty()) {
        GTEST_SKIP() << "cannot write the lock folder";
    }
    const pid_t dead = ::fork();
    if (dead == 0) {
        ::_exit(0);
    }
    ::waitpid(dead, nullptr, 0);

    struct CASE_t {
        const char* what;
        std::string content;
        int expected;
    };
    const int live = static_cast<int>(::getppid());
    std::string binaryLive(sizeof(int), '\0');
    std::memcpy(binaryLive.data(), &live, sizeof live);
    const CASE_t cases[] = {
        {"live pid as text", "     " + std::to_string(live) + "\n", EBUSY},
        {"live pid as binary", binaryLive, EBUSY},
        {"live pid with program and user", std::to_string(live) + " minicom root\n", EBUSY},
        {"dead pid", std::to_string(dead) + "\n", 0},
        {"garbage", "not a pid\n", 0},
        {"empty", "", 0},
        // No lock file of any program is this long: not a lock.
        {"live pid in a long file", std::to_string(live) + std::string(100, ' ') + "\n", 0},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(lockFile, std::ios::binary | std::ios::trunc) << c.content;
        CSerialDevice device;
        EXPECT_EQ(c.expected, device.Open(Port()));
    }
    std::remove(lockFile.c_str());
}

// Anyone may create files in the lock folder. What is not a small regular
// file there (a FIFO that nobody writes, a huge sparse file, a link to a file
// naming a live process) holds no port, and looking at it neither waits nor
// reads it whole. Each open runs in a child so that a hang fails the test.
TEST_F(SerialDeviceTest, HostileLockFilesHoldNothingAndCostNothing)
{
    const std::string lockFile = WritableLockFile(peer.SlaveName());
    if (lockFile.empty()) {
        GTEST_SKIP() << "cannot write the lock folder";
    }
    const std::string liveLock = peer.Dir() + "/live-lock";
    std::ofstream(liveLock) << ::getpid() << "\n";
    struct CASE_t {
        const char* what;
        std::function<bool()> make;
    };
    const CASE_t cases[] = {
        {"fifo", [&] { return ::mkfifo(lockFile.c_str(), 0666) == 0; }},
        {"sparse file of 1 GiB",
         [&] {
             std::ofstream{lockFile};
             return ::truncate(lockFile.c_str(), 1L << 30) == 0;
         }},
        {"link to a live lock", [&] { return ::symlink(liveLock.c_str(), lockFile.c_str()) == 0; }},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.what);
        std::remove(lockFile.c_str());
        ASSERT_TRUE(c.make()) << std::strerror(errno);
        int report[2];
        ASSERT_EQ(0, ::pipe(report));
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CSerialDevice device;
            const int code = device.Open(Port());
            device.Close();
            struct rusage usage {};
            ::getrusage(RUSAGE_SELF, &usage);
            const long line[2] = {code, usage.ru_maxrss};
            ssize_t ignored = ::write(report[1], line, sizeof line);
            (void)ignored;
            ::_exit(0);
        }
        ::close(report[1]);
        long line[2] = {-1, -1};
        pollfd pfd{report[0], POLLIN, 0};
        const bool answered = ::poll(&pfd, 1, 20000) == 1 && ::read(report[0], line, sizeof line) ==
                                                                 static_cast<ssize_t>(sizeof line);
        if (!answered) {
            ::kill(child, SIGKILL);
        }
        ::waitpid(child, nullptr, 0);
        ::close(report[0]);
        ASSERT_TRUE(answered) << "the open hung";
        EXPECT_EQ(0, line[0]);
        // Far below the file, with room for a sanitizer build's own memory.
        EXPECT_LT(line[1], 256L * 1024) << "kilobytes of memory at most";
    }
    std::remove(lockFile.c_str());
}

TEST(FormatSystemErrorTest, GivesTheSystemTextWithCrLfOrTheUndefinedText)
{
    EXPECT_EQ("No such file or directory\r\n", FormatSystemError(ENOENT));
    EXPECT_EQ("Device or resource busy\r\n", FormatSystemError(EBUSY));
    EXPECT_EQ("Input/output error\r\n", FormatSystemError(EIO));
    // "{未定义错误描述(4000)}" in the internal code page.
    EXPECT_EQ("{\xCE\xB4\xB6\xA8\xD2\xE5\xB4\xED\xCE\xF3\xC3\xE8\xCA\xF6(4000)}",
              FormatSystemError(4000));
    errno = EACCES;
    EXPECT_EQ("Permission denied\r\n", FormatSystemError(0));
}

}  // namespace
