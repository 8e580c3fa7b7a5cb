#include "platform/serial_device.h"

#include <fcntl.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/clock.h"

namespace {

constexpr const char* kUucpLockDir = "/var/lock";

struct BAUD_t {
    int rate;
    speed_t speed;
};

constexpr BAUD_t kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedOf(int rate, speed_t& speed)
{
    for (const BAUD_t& baud : kBauds) {
        if (baud.rate == rate) {
            speed = baud.speed;
            return true;
        }
    }
    return false;
}

// The name a UUCP lock file uses for a node: the path below /dev with "/"
// turned into "_" ("ttyUSB0", "pts_3").
std::string LockNameOf(const std::string& node)
{
    char* real = ::realpath(node.c_str(), nullptr);
    std::string path = real != nullptr ? real : node;
    std::free(real);
    if (path.compare(0, 5, "/dev/") == 0) {
        path.erase(0, 5);
    }
    std::replace(path.begin(), path.end(), '/', '_');
    return path;
}

// Lock files hold the owner's pid as text (HDB style) or, in old programs, as
// a binary int of 4 bytes.
pid_t LockOwner(const std::string& lockFile)
{
    std::ifstream in(lockFile, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    long pid = 0;
    bool digits = false;
    for (char c : content) {
        if (c >= '0' && c <= '9') {
            digits = true;
            pid = pid * 10 + (c - '0');
            if (pid > 0x7fffffffL) {
                return 0;
            }
        } else if (digits || (c != ' ' && c != '\t')) {
            break;
        }
    }
    if (!digits && content.size() == sizeof(int)) {
        int binary = 0;
        std::memcpy(&binary, content.data(), sizeof binary);
        return binary;
    }
    return static_cast<pid_t>(pid);
}

// A lock file whose process is gone is stale and does not hold the port.
// This process never writes lock files, so one naming it is stale too.
bool UucpLockHeld(const std::string& node)
{
    const pid_t owner = LockOwner(std::string(kUucpLockDir) + "/LCK.." + LockNameOf(node));
    if (owner <= 0 || owner == ::getpid()) {
        return false;
    }
    return ::kill(owner, 0) == 0 || errno == EPERM;
}

// Milliseconds from now to `deadline`, at least 0, at most INT_MAX-ish for poll.
int MsUntil(std::int64_t deadline)
{
    const std::int64_t left = deadline - MonotonicMs();
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, 0x7fffffff));
}

std::int64_t Budget(int constantMs, int perByteMs, std::size_t bytes)
{
    return static_cast<std::int64_t>(std::max(constantMs, 0)) +
           static_cast<std::int64_t>(std::max(perByteMs, 0)) * static_cast<std::int64_t>(bytes);
}

}  // namespace

CSerialDevice::~CSerialDevice()
{
    Close();
}

int CSerialDevice::Open(const COM_PORT_t& port)
{
    Close();
    const std::string& node = port.strNode;
    if (node.empty()) {
        return ENOENT;
    }
    const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    auto fail = [fd](int code) {
        ::close(fd);
        return code;
    };
    if (!::isatty(fd)) {
        return fail(ENOTTY);
    }
    // TIOCEXCL stops other opens only for users without CAP_SYS_ADMIN, so a
    // port that another program holds exclusively would still open as root.
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        return fail(EBUSY);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    }
    if (UucpLockHeld(node)) {
        return fail(EBUSY);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        return fail(errno);
    }
    m_handle = fd;
    return 0;
}

int CSerialDevice::Configure(int baudRate, const SERIAL_TIMEOUTS_t& timeouts)
{
    if (!IsOpen()) {
        return EBADF;
    }
    const int fd = static_cast<int>(m_handle);
    speed_t speed = B0;
    if (!SpeedOf(baudRate, speed)) {
        return EINVAL;
    }
    termios tio {};
    if (::tcgetattr(fd, &tio) != 0) {
        return errno;
    }
    // Raw bytes both ways; CRTSCTS, CLOCAL, HUPCL and the modem lines are
    // left as the port had them.
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
    tio.c_cflag |= CS8 | CREAD;
    // Reads are timed with poll deadlines; the driver must never wait itself.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) {
        return errno;
    }
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        return errno;
    }
    // tcsetattr succeeds when any of the changes took; check the rate did.
    termios applied {};
    if (::tcgetattr(fd, &applied) != 0) {
        return errno;
    }
    if (::cfgetospeed(&applied) != speed) {
        return EINVAL;
    }
    m_timeouts = timeouts;
    return 0;
}

int CSerialDevice::Write(const std::string& data)
{
    if (!IsOpen()) {
        return EBADF;
    }
    const int fd = static_cast<int>(m_handle);
    const std::int64_t deadline =
        MonotonicMs() + Budget(m_timeouts.writeConstantMs, m_timeouts.writePerByteMs, data.size());
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return errno;
        }
        pollfd pfd{fd, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, MsUntil(deadline));
        if (ready < 0 && errno != EINTR) {
            return errno;
        }
        if (ready == 0) {
            return ETIMEDOUT;
        }
        if (ready > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 &&
            (pfd.revents & POLLOUT) == 0) {
            return (pfd.revents & POLLNVAL) != 0 ? EBADF : EIO;
        }
    }
    return 0;
}

int CSerialDevice::Read(std::string& out, std::size_t maxBytes)
{
    if (!IsOpen()) {
        return EBADF;
    }
    const int fd = static_cast<int>(m_handle);
    const std::int64_t totalDeadline =
        MonotonicMs() + Budget(m_timeouts.totalConstantMs, m_timeouts.totalPerByteMs, maxBytes);
    std::int64_t lastByteAt = 0;
    std::size_t got = 0;
    char buffer[4096];
    while (got < maxBytes) {
        std::int64_t deadline = totalDeadline;
        if (got > 0 && m_timeouts.intervalMs > 0) {
            deadline = std::min(deadline, lastByteAt + m_timeouts.intervalMs);
        }
        if (MonotonicMs() >= deadline) {
            break;
        }
        pollfd pfd{fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, MsUntil(deadline));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (ready == 0) {
            break;
        }
        if ((pfd.revents & POLLNVAL) != 0) {
            return EBADF;
        }
        if ((pfd.revents & POLLIN) == 0) {
            // Hang-up or error with nothing left to read: the device is gone
            // (unplugged, or the other end of a pseudo-terminal closed).
            return EIO;
        }
        const std::size_t want = std::min(sizeof buffer, maxBytes - got);
        const ssize_t n = ::read(fd, buffer, want);
        if (n > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
            got += static_cast<std::size_t>(n);
            lastByteAt = MonotonicMs();
        } else if (n == 0) {
            // A hung-up tty reads as end of file; waiting on would spin.
            return EIO;
        } else if (errno != EAGAIN && errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

int CSerialDevice::ReadAvailable(std::string& out, std::size_t maxBytes, int waitMs)
{
    if (!IsOpen()) {
        return EBADF;
    }
    const int fd = static_cast<int>(m_handle);
    const std::int64_t deadline = MonotonicMs() + std::max(waitMs, 0);
    for (;;) {
        pollfd pfd{fd, POLLIN, 0};
        const int ready = ::poll(&pfd, 1, MsUntil(deadline));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (ready == 0 || maxBytes == 0) {
            return 0;
        }
        if ((pfd.revents & POLLNVAL) != 0) {
            return EBADF;
        }
        if ((pfd.revents & POLLIN) == 0) {
            return EIO;
        }
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, maxBytes));
        if (n > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
            return 0;
        }
        if (n == 0) {
            return EIO;
        }
        if (errno != EAGAIN && errno != EINTR) {
            return errno;
        }
    }
}

int CSerialDevice::Close()
{
    if (!IsOpen()) {
        return 0;
    }
    const int fd = static_cast<int>(m_handle);
    // The exclusive flag lives in the tty, not in our descriptor: it only
    // clears on the last close, and another program (a simulator keeping its
    // side open) may hold the tty beyond ours.
    ::ioctl(fd, TIOCNXCL);
    const int result = ::close(fd) == 0 ? 0 : errno;
    m_handle = kClosed;
    return result;
}

void SetLastSystemError(int code)
{
    errno = code;
}

std::string FormatSystemError(int code)
{
    if (code == 0) {
        code = errno;
    }
    if (code != 0 && ::strerrorname_np(code) == nullptr) {
        char text[100];
        std::snprintf(text, sizeof text, "{未定义错误描述(%d)}", code);
        return text;
    }
    // The C locale keeps the text ASCII: a localised text would arrive in the
    // locale's charset, not in the internal code page.
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", nullptr);
    const char* text = cLocale != nullptr ? ::strerror_l(code, cLocale) : ::strerror(code);
    return std::string(text) + "\r\n";
}
