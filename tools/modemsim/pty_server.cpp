#include "pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>

namespace modemsim {
namespace {

struct SpeedName {
    speed_t speed;
    int rate;
};
const SpeedName kSpeeds[] = {
    {B300, 300},       {B1200, 1200},     {B2400, 2400},     {B4800, 4800},
    {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
    {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
};

int RateOf(speed_t speed)
{
    for (const SpeedName& s : kSpeeds) {
        if (s.speed == speed)
            return s.rate;
    }
    return 0;
}

speed_t SpeedOf(int rate)
{
    for (const SpeedName& s : kSpeeds) {
        if (s.rate == rate)
            return s.speed;
    }
    return B9600;
}

std::string SystemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

}  // namespace

PtyServer::~PtyServer()
{
    for (Line& line : m_lines)
        Close(line);
    if (m_inotify >= 0)
        close(m_inotify);
}

bool PtyServer::Setup(const SimConfig& config, const std::string& dir, EventLog& log,
                      SimState& state, std::string& error)
{
    m_dir = dir;
    m_log = &log;
    m_state = &state;
    m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify < 0) {
        error = SystemError("inotify");
        return false;
    }
    m_lines.reserve(config.ports.size());
    // One memory per module, shared by the module's ports.
    std::map<int, std::shared_ptr<ModuleMemory>> memories;
    for (const PortConfig& port : config.ports) {
        m_lines.emplace_back();
        Line& line = m_lines.back();
        line.com = port.com;
        line.config = port;
        if (!Open(line, dir, error))
            return false;
        std::shared_ptr<ModuleMemory>& memory = memories[port.moduleCom];
        line.modem = std::make_unique<Modem>(port, log, state, memory);
        line.memory = memory;
        for (const Arrival& arrival : port.arrivals) {
            const PendingArrival pending{m_lines.size() - 1, arrival};
            if (arrival.afterMs >= 0)
                m_timed.push_back(pending);
            else
                m_held.push_back(pending);
        }
    }
    std::stable_sort(m_timed.begin(), m_timed.end(),
                     [](const PendingArrival& a, const PendingArrival& b) {
                         return a.arrival.afterMs < b.arrival.afterMs;
                     });
    return true;
}

bool PtyServer::Open(Line& line, const std::string& dir, std::string& error)
{
    line.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line.master < 0 || grantpt(line.master) != 0 || unlockpt(line.master) != 0) {
        error = SystemError("pseudo-terminal for COM" + std::to_string(line.com));
        return false;
    }
    const char* name = ptsname(line.master);
    if (!name) {
        error = SystemError("ptsname");
        return false;
    }
    line.slavePath = name;
    const std::string& slavePath = line.slavePath;
    // Read-only, so that the server's own closes (IN_CLOSE_NOWRITE) do
    // not look like a program's.
    line.slave = open(slavePath.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (line.slave < 0) {
        error = SystemError(slavePath);
        return false;
    }
    line.watch = inotify_add_watch(m_inotify, slavePath.c_str(), IN_CLOSE_WRITE);
    if (line.watch < 0) {
        error = SystemError("inotify watch on " + slavePath);
        return false;
    }
    termios t;
    if (tcgetattr(line.slave, &t) == 0) {
        // The line starts at the module's first rate, as a port is found
        // set by its last user. A program that sets the line back on
        // close right after its last command then leaves the rate the
        // server reads that command at (the server can only read the
        // rate when it reads the bytes, not when they were written).
        cfmakeraw(&t);
        cfsetispeed(&t, SpeedOf(line.config.bauds.front()));
        cfsetospeed(&t, SpeedOf(line.config.bauds.front()));
        t.c_cflag |= CLOCAL | CREAD;
        tcsetattr(line.slave, TCSANOW, &t);
    }
    line.link = dir + "/COM" + std::to_string(line.com);
    unlink(line.link.c_str());
    if (symlink(slavePath.c_str(), line.link.c_str()) != 0) {
        error = SystemError(line.link);
        line.link.clear();
        return false;
    }
    return true;
}

void PtyServer::Unplug(Line& line, Clock::time_point now)
{
    Close(line);
    const int returnAfterMs = line.config.faults.returnAfterMs;
    if (returnAfterMs >= 0) {
        line.returning = true;
        line.returnAt = now + std::chrono::milliseconds(returnAfterMs);
    }
}

bool PtyServer::Replug(Line& line, int epoll, std::size_t key)
{
    std::string error;
    if (!Open(line, m_dir, error)) {
        Close(line);
        return false;
    }
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = key;
    if (epoll_ctl(epoll, EPOLL_CTL_ADD, line.master, &event) != 0) {
        Close(line);
        return false;
    }
    line.returning = false;
    line.blocked = false;
    line.watchingOutput = false;
    // A module that was unplugged starts afresh (echo on, default
    // settings, its fault counts from zero, so its vanish comes again); its
    // storages and phone book are where a module keeps them, on the SIM
    // and in flash.
    line.modem = std::make_unique<Modem>(line.config, *m_log, *m_state, line.memory);
    Json::Value back;
    back["com"] = line.com;
    back["event"] = "return";
    m_log->Write(back);
    return true;
}

void PtyServer::Deliver(const PendingArrival& pending, Clock::time_point now)
{
    Line& line = m_lines[pending.line];
    line.modem->Arrive(pending.arrival);
    if (line.master >= 0) {
        Schedule(line, now);
        Flush(line, now);
    }
}

int PtyServer::Baud(const Line& line) const
{
    // On Linux the master's termios are the slave's: what the program set.
    termios t;
    if (tcgetattr(line.master, &t) != 0)
        return 0;
    return RateOf(cfgetospeed(&t));
}

void PtyServer::Schedule(Line& line, Clock::time_point now)
{
    for (Outgoing& out : line.modem->TakeOutput()) {
        Clock::time_point due = std::max(now, line.lastDue) + std::chrono::milliseconds(out.gapMs);
        line.lastDue = due;
        line.queue.push_back({due, std::move(out.bytes), out.hangUp});
    }
    if (line.modem->Flooding() && line.queue.empty()) {
        line.lastDue = now + std::chrono::milliseconds(5);
        line.queue.push_back({line.lastDue, line.modem->FloodChunk()});
    }
    if (line.modem->Trickling() && line.queue.empty()) {
        line.lastDue = now + std::chrono::milliseconds(line.modem->TrickleEveryMs());
        line.queue.push_back({line.lastDue, "."});
    }
}

void PtyServer::Flush(Line& line, Clock::time_point now)
{
    line.blocked = false;
    while (!line.queue.empty() && line.queue.front().due <= now) {
        Chunk& chunk = line.queue.front();
        ssize_t n = write(line.master, chunk.bytes.data(), chunk.bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN)
                line.blocked = true;
            return;
        }
        chunk.bytes.erase(0, static_cast<std::size_t>(n));
        if (chunk.bytes.empty()) {
            const bool hangUp = chunk.hangUp;
            line.queue.pop_front();
            if (hangUp) {
                Unplug(line, now);
                return;
            }
        }
    }
}

void PtyServer::OnSlaveClosed()
{
    alignas(inotify_event) char buffer[4096];
    std::vector<Line*> closed;
    bool overflow = false;
    for (;;) {
        ssize_t n = read(m_inotify, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (char* at = buffer; at < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            overflow = overflow || (event->mask & IN_Q_OVERFLOW);
            for (Line& line : m_lines) {
                if (line.watch == event->wd && (event->mask & IN_CLOSE_WRITE))
                    closed.push_back(&line);
            }
        }
    }
    if (overflow) {
        for (Line& line : m_lines)
            closed.push_back(&line);
    }
    for (Line* line : closed)
        ReleaseIfUnused(*line);
}

void PtyServer::ReleaseIfUnused(Line& line)
{
    int exclusive = 0;
    if (line.slave < 0 || ioctl(line.slave, TIOCGEXCL, &exclusive) != 0 || !exclusive)
        return;
    // Only the master's hang-up tells that no program holds the slave, and it
    // shows only while the server's own descriptor is closed too. A server
    // that may open an exclusive tty (root) reopens it as it is and clears
    // the mode only when nobody holds it, so a holder never sees it cleared.
    // Any other server must clear it first to open the slave again; a holder
    // that is still there gets it back at once.
    const int trial = open(line.slavePath.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    const bool privileged = trial >= 0;
    if (privileged)
        close(trial);
    else
        ioctl(line.slave, TIOCNXCL);
    close(line.slave);
    pollfd p{line.master, 0, 0};
    const bool unused = poll(&p, 1, 0) == 1 && (p.revents & POLLHUP) != 0;
    line.slave = open(line.slavePath.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (line.slave < 0) {
        // Without a slave the master would report a hang-up for ever.
        Close(line);
        return;
    }
    if (privileged && unused)
        ioctl(line.slave, TIOCNXCL);
    else if (!privileged && !unused)
        ioctl(line.slave, TIOCEXCL);
}

void PtyServer::Close(Line& line)
{
    if (line.watch >= 0)
        inotify_rm_watch(m_inotify, line.watch);
    line.watch = -1;
    if (!line.link.empty())
        unlink(line.link.c_str());
    line.link.clear();
    if (line.master >= 0)
        close(line.master);
    if (line.slave >= 0)
        close(line.slave);
    line.master = -1;
    line.slave = -1;
    line.queue.clear();
}

void PtyServer::Run(int stopFd, bool watchStdin, int arriveFd)
{
    const Clock::time_point start = Clock::now();
    std::size_t nextTimed = 0;
    // epoll rather than poll: with hundreds of lines, asking the kernel
    // about every master on each turn costs more than serving the few that
    // have something to say, and the programs on the other lines wait for it.
    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    if (epoll < 0)
        return;
    const std::uint64_t kStop = m_lines.size();
    const std::uint64_t kStdin = kStop + 1;
    const std::uint64_t kSlaveClosed = kStop + 2;
    const std::uint64_t kArrive = kStop + 3;
    auto watch = [epoll](int fd, std::uint32_t events, std::uint64_t key, int op) {
        epoll_event event{};
        event.events = events;
        event.data.u64 = key;
        return epoll_ctl(epoll, op, fd, &event) == 0;
    };
    bool ready = watch(stopFd, EPOLLIN, kStop, EPOLL_CTL_ADD) &&
                 (!watchStdin || watch(STDIN_FILENO, EPOLLIN, kStdin, EPOLL_CTL_ADD)) &&
                 watch(m_inotify, EPOLLIN, kSlaveClosed, EPOLL_CTL_ADD) &&
                 (arriveFd < 0 || watch(arriveFd, EPOLLIN, kArrive, EPOLL_CTL_ADD));
    for (std::size_t i = 0; ready && i < m_lines.size(); ++i) {
        Line& line = m_lines[i];
        line.watchingOutput = false;
        ready = line.master < 0 || watch(line.master, EPOLLIN, i, EPOLL_CTL_ADD);
    }
    std::vector<epoll_event> events(m_lines.size() + 4);
    std::vector<char> readable(m_lines.size());
    char buffer[4096];
    while (ready) {
        Clock::time_point now = Clock::now();
        int timeoutMs = -1;
        for (const Line& line : m_lines) {
            if (line.returning) {
                auto wait = std::chrono::ceil<std::chrono::milliseconds>(line.returnAt - now);
                int ms = static_cast<int>(std::max<long long>(0, wait.count()));
                timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
            }
            if (line.master < 0)
                continue;
            if ((line.modem->Flooding() || line.modem->Trickling()) && line.queue.empty()) {
                timeoutMs = timeoutMs < 0 ? 5 : std::min(timeoutMs, 5);
            }
            if (!line.blocked && !line.queue.empty()) {
                auto wait =
                    std::chrono::ceil<std::chrono::milliseconds>(line.queue.front().due - now);
                int ms = static_cast<int>(std::max<long long>(0, wait.count()));
                timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
            }
        }
        if (nextTimed < m_timed.size()) {
            const auto due = start + std::chrono::milliseconds(m_timed[nextTimed].arrival.afterMs);
            auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now);
            int ms = static_cast<int>(std::max<long long>(0, wait.count()));
            timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
        }
        const int count =
            epoll_wait(epoll, events.data(), static_cast<int>(events.size()), timeoutMs);
        if (count < 0 && errno != EINTR)
            break;
        std::fill(readable.begin(), readable.end(), 0);
        bool slaveClosed = false;
        bool stop = false;
        for (int k = 0; k < count; ++k) {
            const std::uint64_t key = events[k].data.u64;
            if (key == kStop) {
                stop = true;
            } else if (key == kStdin) {
                stop = stop || read(STDIN_FILENO, buffer, sizeof buffer) <= 0;
            } else if (key == kSlaveClosed) {
                slaveClosed = true;
            } else if (key == kArrive) {
                const ssize_t n = read(arriveFd, buffer, sizeof buffer);
                for (ssize_t b = 0; b < n && !m_held.empty(); ++b) {
                    Deliver(m_held.front(), Clock::now());
                    m_held.pop_front();
                }
            } else if (events[k].events & EPOLLIN) {
                readable[key] = 1;
            }
        }
        if (stop)
            break;
        if (slaveClosed)
            OnSlaveClosed();
        now = Clock::now();
        while (nextTimed < m_timed.size() &&
               start + std::chrono::milliseconds(m_timed[nextTimed].arrival.afterMs) <= now) {
            Deliver(m_timed[nextTimed++], now);
        }
        for (std::size_t i = 0; i < m_lines.size(); ++i) {
            Line& line = m_lines[i];
            if (line.returning && line.returnAt <= now && !Replug(line, epoll, i))
                line.returnAt = now + std::chrono::seconds(1);
            if (line.master < 0)
                continue;
            if (readable[i]) {
                ssize_t n = read(line.master, buffer, sizeof buffer);
                if (n > 0) {
                    line.modem->OnInput(std::string(buffer, static_cast<std::size_t>(n)),
                                        Baud(line));
                }
            }
            if (line.modem->Vanished()) {
                Unplug(line, now);
                continue;
            }
            Schedule(line, now);
            Flush(line, now);
            // A closed master has left the epoll set with its last descriptor.
            if (line.master >= 0 && line.blocked != line.watchingOutput) {
                line.watchingOutput = line.blocked;
                watch(line.master, line.blocked ? EPOLLIN | EPOLLOUT : EPOLLIN, i, EPOLL_CTL_MOD);
            }
        }
    }
    close(epoll);
}

}  // namespace modemsim
