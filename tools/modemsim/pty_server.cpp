#include "pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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
        if (s.speed == speed) return s.rate;
    }
    return 0;
}

std::string SystemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

}  // namespace

PtyServer::~PtyServer()
{
    for (Line& line : m_lines) Close(line);
}

bool PtyServer::Setup(const SimConfig& config, const std::string& dir, EventLog& log,
                      SimState& state, std::string& error)
{
    m_lines.reserve(config.ports.size());
    for (const PortConfig& port : config.ports) {
        m_lines.emplace_back();
        Line& line = m_lines.back();
        line.com = port.com;
        line.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (line.master < 0 || grantpt(line.master) != 0 || unlockpt(line.master) != 0) {
            error = SystemError("pseudo-terminal for COM" + std::to_string(port.com));
            return false;
        }
        const char* name = ptsname(line.master);
        if (!name) {
            error = SystemError("ptsname");
            return false;
        }
        std::string slavePath = name;
        line.slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (line.slave < 0) {
            error = SystemError(slavePath);
            return false;
        }
        termios t;
        if (tcgetattr(line.slave, &t) == 0) {
            cfmakeraw(&t);
            t.c_cflag |= CLOCAL | CREAD;
            tcsetattr(line.slave, TCSANOW, &t);
        }
        line.link = dir + "/COM" + std::to_string(port.com);
        unlink(line.link.c_str());
        if (symlink(slavePath.c_str(), line.link.c_str()) != 0) {
            error = SystemError(line.link);
            line.link.clear();
            return false;
        }
        line.modem = std::make_unique<Modem>(port, log, state);
    }
    return true;
}

int PtyServer::Baud(const Line& line) const
{
    // On Linux the master's termios are the slave's: what the program set.
    termios t;
    if (tcgetattr(line.master, &t) != 0) return 0;
    return RateOf(cfgetospeed(&t));
}

void PtyServer::Schedule(Line& line, Clock::time_point now)
{
    for (Outgoing& out : line.modem->TakeOutput()) {
        Clock::time_point due = std::max(now, line.lastDue) + std::chrono::milliseconds(out.gapMs);
        line.lastDue = due;
        line.queue.push_back({due, std::move(out.bytes)});
    }
    if (line.modem->Flooding() && line.queue.empty()) {
        line.lastDue = now + std::chrono::milliseconds(5);
        line.queue.push_back({line.lastDue, line.modem->FloodChunk()});
    }
}

void PtyServer::Flush(Line& line, Clock::time_point now)
{
    line.blocked = false;
    while (!line.queue.empty() && line.queue.front().due <= now) {
        Chunk& chunk = line.queue.front();
        ssize_t n = write(line.master, chunk.bytes.data(), chunk.bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) line.blocked = true;
            return;
        }
        chunk.bytes.erase(0, static_cast<std::size_t>(n));
        if (chunk.bytes.empty()) line.queue.pop_front();
    }
}

void PtyServer::Close(Line& line)
{
    if (!line.link.empty()) unlink(line.link.c_str());
    line.link.clear();
    if (line.master >= 0) close(line.master);
    if (line.slave >= 0) close(line.slave);
    line.master = -1;
    line.slave = -1;
    line.queue.clear();
}

void PtyServer::Run(int stopFd, bool watchStdin)
{
    std::vector<pollfd> fds;
    std::vector<Line*> polled;
    char buffer[4096];
    for (;;) {
        Clock::time_point now = Clock::now();
        fds.clear();
        polled.clear();
        fds.push_back({stopFd, POLLIN, 0});
        if (watchStdin) fds.push_back({STDIN_FILENO, POLLIN, 0});
        std::size_t fixed = fds.size();
        int timeoutMs = -1;
        for (Line& line : m_lines) {
            if (line.master < 0) continue;
            short events = POLLIN;
            if (line.modem->Flooding() && line.queue.empty()) {
                timeoutMs = timeoutMs < 0 ? 5 : std::min(timeoutMs, 5);
            }
            if (line.blocked) {
                events |= POLLOUT;
            } else if (!line.queue.empty()) {
                auto wait =
                    std::chrono::ceil<std::chrono::milliseconds>(line.queue.front().due - now);
                int ms = static_cast<int>(std::max<long long>(0, wait.count()));
                timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
            }
            fds.push_back({line.master, events, 0});
            polled.push_back(&line);
        }
        if (poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR) return;
        if (fds[0].revents) return;
        if (watchStdin && fds[1].revents) {
            ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) return;
        }
        now = Clock::now();
        for (std::size_t i = 0; i < polled.size(); ++i) {
            Line& line = *polled[i];
            if (fds[fixed + i].revents & POLLIN) {
                ssize_t n = read(line.master, buffer, sizeof buffer);
                if (n > 0) {
                    line.modem->OnInput(std::string(buffer, static_cast<std::size_t>(n)),
                                        Baud(line));
                }
            }
            if (line.modem->Vanished()) {
                Close(line);
                continue;
            }
            Schedule(line, now);
            Flush(line, now);
        }
    }
}

}  // namespace modemsim
