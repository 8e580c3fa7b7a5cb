#pragma once
// A port in memory for the AT transaction and the driver sequences: a script
// of replies, each played when its command is written, with the time between
// pieces given as data. The port's clock only moves when a read waits or the
// transaction pauses, so a test of a 46-second deadline costs nothing, and
// every read keeps the serial port's time-outs exactly (a read ends kAtGapMs
// after the last byte, when kAtReadChunk bytes are in, or empty after
// kAtQuietReadMs).
//
//   CFakePort port;
//   port.Expect("AT+CSQ\r\n", {{0, "\r\n+CSQ: 23,99\r\n"}, {300, "\r\nOK\r\n"}});
//   ExecuteCommand(&driver, &port, "AT+CSQ\r\n", parser, 70);
//   EXPECT_EQ("AT+CSQ\r\n", port.Written());

#include <cerrno>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "platform/serial_device.h"
#include "transport/at_port.h"
#include "transport/at_transaction.h"

namespace fakeport {

// Bytes that arrive `delayMs` after the previous piece of the same reply (the
// first piece: after the command was written).
struct PIECE_t {
    int delayMs;
    std::string bytes;
};

// A reply cut into pieces of `size` bytes, `gapMs` apart; the first piece
// arrives `firstDelayMs` after the command.
inline std::vector<PIECE_t> Split(const std::string& reply, std::size_t size, int gapMs,
                                  int firstDelayMs = 0)
{
    std::vector<PIECE_t> pieces;
    for (std::size_t at = 0; at < reply.size(); at += size) {
        pieces.push_back({at == 0 ? firstDelayMs : gapMs, reply.substr(at, size)});
    }
    return pieces;
}

}  // namespace fakeport

class CFakePort : public CAtPort {
public:
    // The next command written that contains `command` gets `pieces` as its
    // reply. Steps are matched in order; a write that is not the next step's
    // command gets no reply.
    void Expect(std::string command, std::vector<fakeport::PIECE_t> pieces)
    {
        m_steps.push_back({std::move(command), std::move(pieces)});
    }
    // The reply, arriving at once, to every write that no step of Expect
    // matches: a modem played by the test.
    void Respond(std::function<std::string(const std::string& written)> responder)
    {
        m_responder = std::move(responder);
    }
    // Bytes arriving `atMs` from now whatever is written (unsolicited lines,
    // the rest of an earlier reply).
    void Arrive(int atMs, const std::string& bytes) { Schedule(m_now + atMs, bytes); }
    // From `startMs` from now on, one `byte` every `everyMs`, for ever.
    void Trickle(int startMs, int everyMs, char byte)
    {
        m_trickleNext = m_now + startMs;
        m_trickleEvery = everyMs;
        m_trickleByte = byte;
    }
    // From `atMs` from now on the device is gone: reads and writes fail with
    // EIO (bytes that came before still arrive first).
    void VanishAfter(int atMs) { m_vanishAt = m_now + atMs; }
    // The port cannot be opened (Open fails with `code`).
    void RefuseOpen(int code)
    {
        m_open = false;
        m_openError = code;
    }

    // Everything written, and each write on its own.
    std::string Written() const
    {
        std::string all;
        for (const std::string& write : m_writes) {
            all += write;
        }
        return all;
    }
    const std::vector<std::string>& Writes() const { return m_writes; }
    // Bytes that had arrived but were never read.
    std::size_t Unread() const
    {
        std::size_t count = 0;
        for (const ARRIVAL_t& arrival : m_arrivals) {
            count += arrival.bytes.size();
        }
        return count;
    }
    bool StepsDone() const { return m_steps.empty(); }
    // Timed reads (Read) so far; ReadWaiting does not count.
    int Reads() const { return m_reads; }

    bool Open() override
    {
        m_error = 0;
        if (!m_open && m_openError != 0) {
            Record(m_openError);
            return false;
        }
        m_open = true;
        return true;
    }
    bool IsOpen() const override { return m_open; }
    bool HasError() const override { return m_error != 0; }
    int GetErrorCode() const override { return m_error; }
    std::string GetErrorText() const override { return m_errorText; }

    bool Write(std::string data) override
    {
        if (data.empty()) {
            return false;
        }
        if (!m_open) {
            Record(EBADF);
            return false;
        }
        if (Vanished(m_now)) {
            Record(EIO);
            return false;
        }
        m_writes.push_back(data);
        if (!m_steps.empty() && data.find(m_steps.front().command) != std::string::npos) {
            std::int64_t at = m_now;
            for (const fakeport::PIECE_t& piece : m_steps.front().pieces) {
                at += piece.delayMs;
                Schedule(at, piece.bytes);
            }
            m_steps.pop_front();
        } else if (m_responder) {
            Schedule(m_now, m_responder(data));
        }
        return true;
    }

    bool Read(std::string& target) override
    {
        if (!m_open) {
            return false;
        }
        ++m_reads;
        target.clear();
        const std::int64_t total = m_now + kAtQuietReadMs;
        std::int64_t lastByte = -1;
        while (target.size() < kAtReadChunk) {
            const std::int64_t limit = lastByte < 0 ? total : std::min(total, lastByte + kAtGapMs);
            const std::int64_t next = NextArrival();
            if (Vanished(std::min(next, limit))) {
                m_now = std::max(m_now, m_vanishAt);
                Record(EIO);
                return !target.empty();
            }
            if (next > limit) {
                m_now = std::max(m_now, limit);
                break;
            }
            m_now = std::max(m_now, next);
            TakeDue(target, kAtReadChunk - target.size());
            lastByte = m_now;
        }
        Record(0);
        return !target.empty();
    }

    bool ReadWaiting(std::string& target, int waitMs) override
    {
        if (!m_open) {
            return false;
        }
        target.clear();
        const std::int64_t limit = m_now + std::max(waitMs, 0);
        const std::int64_t next = NextArrival();
        if (Vanished(std::min(next, limit))) {
            m_now = std::max(m_now, m_vanishAt);
            Record(EIO);
            return false;
        }
        if (next > limit) {
            m_now = limit;
        } else {
            m_now = std::max(m_now, next);
            TakeDue(target, kAtReadChunk);
        }
        Record(0);
        return !target.empty();
    }

    std::int64_t NowMs() override { return m_now; }
    void Pause(int ms) override { m_now += std::max(ms, 0); }

private:
    static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

    struct STEP_t {
        std::string command;
        std::vector<fakeport::PIECE_t> pieces;
    };
    struct ARRIVAL_t {
        std::int64_t at;
        std::string bytes;
    };

    void Schedule(std::int64_t at, const std::string& bytes)
    {
        if (bytes.empty()) {
            return;
        }
        auto it = m_arrivals.begin();
        while (it != m_arrivals.end() && it->at <= at) {
            ++it;
        }
        m_arrivals.insert(it, ARRIVAL_t{at, bytes});
    }

    bool Vanished(std::int64_t by) const { return m_vanishAt != kNever && m_vanishAt <= by; }

    std::int64_t NextArrival() const
    {
        std::int64_t next = m_arrivals.empty() ? kNever : m_arrivals.front().at;
        if (m_trickleEvery > 0) {
            next = std::min(next, m_trickleNext);
        }
        return next;
    }

    // Moves what has arrived by now, at most `room` bytes, into `target`.
    void TakeDue(std::string& target, std::size_t room)
    {
        while (room > 0) {
            const bool arrival = !m_arrivals.empty() && m_arrivals.front().at <= m_now;
            const bool trickle = m_trickleEvery > 0 && m_trickleNext <= m_now;
            if (arrival && (!trickle || m_arrivals.front().at <= m_trickleNext)) {
                std::string& bytes = m_arrivals.front().bytes;
                const std::size_t n = std::min(room, bytes.size());
                target += bytes.substr(0, n);
                bytes.erase(0, n);
                room -= n;
                if (bytes.empty()) {
                    m_arrivals.pop_front();
                }
            } else if (trickle) {
                target += m_trickleByte;
                m_trickleNext += m_trickleEvery;
                --room;
            } else {
                return;
            }
        }
    }

    void Record(int code)
    {
        errno = code;  // the text of 0 is the text of the thread's last error
        m_error = code;
        m_errorText = "Code:" + std::to_string(code) + "   " + FormatSystemError(code);
    }

    std::deque<STEP_t> m_steps;
    std::function<std::string(const std::string&)> m_responder;
    std::deque<ARRIVAL_t> m_arrivals;
    std::vector<std::string> m_writes;
    std::int64_t m_now = 0;
    std::int64_t m_vanishAt = kNever;
    std::int64_t m_trickleNext = kNever;
    int m_trickleEvery = 0;
    char m_trickleByte = '.';
    bool m_open = true;
    int m_openError = 0;
    int m_error = 0;
    std::string m_errorText;
    int m_reads = 0;
};

// The program's pacing with the quiet-line mode on or off.
inline AT_PACING_t QuietLinePacing(bool quietLine)
{
    AT_PACING_t pacing;
    pacing.bQuietLine = quietLine;
    return pacing;
}
