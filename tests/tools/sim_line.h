#pragma once
// A program's end of one simulated port, for the simulator's own tests: the
// link opened raw at a chosen rate, commands written, replies read.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

class SimLine {
public:
    SimLine() = default;
    ~SimLine() { Close(); }
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    bool Open(const std::string& path, speed_t baud)
    {
        Close();
        m_fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return false;
        termios t;
        if (tcgetattr(m_fd, &t) != 0)
            return false;
        cfmakeraw(&t);
        cfsetispeed(&t, baud);
        cfsetospeed(&t, baud);
        return tcsetattr(m_fd, TCSANOW, &t) == 0;
    }

    void Close()
    {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }

    bool Send(const std::string& bytes)
    {
        return m_fd >= 0 &&
               write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // A reply is complete at its final line: OK, an error line or the
    // "> " prompt.
    static bool Complete(const std::string& reply)
    {
        auto endsWith = [&](const std::string& tail) {
            return reply.size() >= tail.size() &&
                   reply.compare(reply.size() - tail.size(), tail.size(), tail) == 0;
        };
        return endsWith("OK\r\n") || endsWith("> ") ||
               (reply.find("ERROR") != std::string::npos && endsWith("\r\n"));
    }

    // Writes the command and reads until the reply is complete or 3 s
    // passed (the test then sees the incomplete reply).
    std::string Command(const std::string& command)
    {
        Send(command);
        return ReadUntilComplete(3000);
    }

    std::string ReadUntilComplete(int timeoutMs)
    {
        std::string reply;
        ReadWhile([&] { return !Complete(reply); }, reply, timeoutMs);
        return reply;
    }

    // Reads until `text` has come or `timeoutMs` passed.
    std::string ReadUntil(const std::string& text, int timeoutMs)
    {
        std::string reply;
        ReadWhile([&] { return reply.find(text) == std::string::npos; }, reply, timeoutMs);
        return reply;
    }

    // Reads everything that comes within `ms`.
    std::string ReadFor(int ms)
    {
        std::string reply;
        ReadWhile([] { return true; }, reply, ms);
        return reply;
    }

    // One read that waits at most `timeoutMs`; what came (possibly nothing).
    std::string ReadOnce(int timeoutMs)
    {
        pollfd p{m_fd, POLLIN, 0};
        m_hungUp = false;
        if (poll(&p, 1, timeoutMs) <= 0)
            return "";
        m_hungUp = (p.revents & POLLHUP) != 0;
        char buffer[4096];
        ssize_t n = read(m_fd, buffer, sizeof buffer);
        return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "";
    }

    // The last read saw the other end gone.
    bool HungUp() const { return m_hungUp; }

private:
    template <class More>
    void ReadWhile(More more, std::string& reply, int timeoutMs)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (more()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return;
            std::string piece = ReadOnce(static_cast<int>(left.count()));
            if (m_hungUp && piece.empty())
                return;
            reply += piece;
        }
    }

    int m_fd = -1;
    bool m_hungUp = false;
};
