#include "platform/serial_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>

#include "platform/clock.h"
#include "platform/posix/held_ports.h"
#include "platform/posix/lock_files.h"

namespace {

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

// Whether the system tells, without opening it, that a character device is
// no terminal: its sysfs class is not "tty". Opening some devices acts
// (a watchdog starts counting), so those are never opened. Pseudo-terminals
// have no sysfs entry and are told apart by the open below.
bool KnownNotATerminal(dev_t device)
{
    const std::string link = "/sys/dev/char/" + std::to_string(major(device)) + ":" +
                             std::to_string(minor(device)) + "/subsystem";
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) {
        return false;
    }
    const std::string path(target, static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    return path.substr(slash == std::string::npos ? 0 : slash + 1) != "tty";
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

// One wait for input on `fd` until `deadline`, then one read of at most
// `want` bytes (none when `want` is 0) appended to `out`.
struct READ_STEP_t {
    int error = 0;          // EBADF, EIO for a device that has gone, or poll's or read's errno
    bool quiet = false;     // nothing came by the deadline (or nothing was to be read)
    std::size_t bytes = 0;  // bytes read; none without error or quiet: interrupted, try again
};

READ_STEP_t WaitAndRead(int fd, std::int64_t deadline, std::size_t want, std::string& out)
{
    READ_STEP_t step;
    pollfd pfd{fd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, MsUntil(deadline));
    if (ready < 0) {
        step.error = errno == EINTR ? 0 : errno;
        return step;
    }
    if (ready == 0 || want == 0) {
        step.quiet = true;
        return step;
    }
    if ((pfd.revents & POLLNVAL) != 0) {
        step.error = EBADF;
        return step;
    }
    if ((pfd.revents & POLLIN) == 0) {
        // Hang-up or error with nothing left to read: the device is gone
        // (unplugged, or the other end of a pseudo-terminal closed).
        step.error = EIO;
        return step;
    }
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, want));
    if (n > 0) {
        out.append(buffer, static_cast<std::size_t>(n));
        step.bytes = static_cast<std::size_t>(n);
    } else if (n == 0) {
        // A hung-up tty reads as end of file; waiting on would spin.
        step.error = EIO;
    } else if (errno != EAGAIN && errno != EINTR) {
        step.error = errno;
    }
    return step;
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
    struct stat expected {};
    if (::stat(node.c_str(), &expected) != 0) {
        return errno;
    }
    if (!S_ISCHR(expected.st_mode) || KnownNotATerminal(expected.st_rdev)) {
        return ENOTTY;
    }
    const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    auto fail = [fd](int code) {
        ::close(fd);
        return code;
    };
    // The link may have been changed between the look and the open.
    struct stat opened {};
    termios found{};
    if (::fstat(fd, &opened) != 0 || !S_ISCHR(opened.st_mode) ||
        opened.st_rdev != expected.st_rdev || ::tcgetattr(fd, &found) != 0) {
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
    if (!HoldPort(fd, found)) {
        return fail(EMFILE);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int code = errno;
        ReleasePort(fd);
        return fail(code);
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
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return errno;
    }
    // Raw bytes both ways; CRTSCTS, CLOCAL, HUPCL and the modem lines are
    // left as the port had them.
    tio.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
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
    termios applied{};
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
    while (got < maxBytes) {
        std::int64_t deadline = totalDeadline;
        if (got > 0 && m_timeouts.intervalMs > 0) {
            deadline = std::min(deadline, lastByteAt + m_timeouts.intervalMs);
        }
        if (MonotonicMs() >= deadline) {
            break;
        }
        const READ_STEP_t step = WaitAndRead(fd, deadline, maxBytes - got, out);
        if (step.error != 0) {
            return step.error;
        }
        if (step.quiet) {
            break;
        }
        if (step.bytes > 0) {
            got += step.bytes;
            lastByteAt = MonotonicMs();
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
        const READ_STEP_t step = WaitAndRead(fd, deadline, maxBytes, out);
        if (step.error != 0 || step.quiet || step.bytes > 0) {
            return step.error;
        }
    }
}

int CSerialDevice::Close()
{
    if (!IsOpen()) {
        return 0;
    }
    const int fd = static_cast<int>(m_handle);
    ReleasePort(fd);
    const int result = ::close(fd) == 0 ? 0 : errno;
    m_handle = kClosed;
    return result;
}
