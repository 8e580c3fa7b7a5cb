#pragma once
// What the AT transaction needs of a port: opening it, writing, one timed
// read, a read that does not wait for more, the clock that times its polls,
// pauses and deadlines, and the pacing of the transactions on it. The serial
// port (com_port.h) implements it over a serial device; tests give a port in
// memory whose replies and time are data, so that waiting costs nothing.

#include <cstdint>
#include <string>
#include <utility>

#include "transport/trace_secret.h"

// Poll budgets and pacing of the transactions on one port. The program reads
// TELLMAR_PACING once and gives every port it opens the same pacing; tests
// shorten the budgets of their own ports.
struct AT_PACING_t {
    int shortPolls = 70;
    int listPolls = 600;
    int bodyPolls = 1200;
    int pollSleepMs = 100;
    int singleReadRounds = 100;
    int gatherRounds = 100;
    // A USSD request waits for the network's answer: 30 s on a silent line
    // (CommandDeadlineMs).
    int ussdPolls = 45;
    // Every poll waits for a quiet line, as before replies ended on their
    // final line: for modems whose final lines are odd.
    bool bQuietLine = false;
};

class CAtPort {
public:
    virtual ~CAtPort() = default;

    // True when the port is open afterwards (at once when it already was).
    virtual bool Open() = 0;
    virtual bool IsOpen() const = 0;
    // The last recorded operation failed (code not 0).
    virtual bool HasError() const = 0;
    virtual int GetErrorCode() const = 0;
    // "Code:%d   " and the system's text of the last recorded outcome.
    virtual std::string GetErrorText() const = 0;

    // Writes all bytes; false for an empty string (nothing sent, nothing
    // recorded) and when the write fails (its error recorded).
    virtual bool Write(std::string data) = 0;
    // One read of up to kAtReadChunk bytes that replaces `target`: it ends
    // kAtGapMs after the last byte once bytes have come, when the chunk is
    // full, or empty after kAtQuietReadMs of silence. True when something
    // came; the outcome is recorded (a hang-up as an error).
    virtual bool Read(std::string& target) = 0;
    // What has already arrived (at most kAtReadChunk bytes) replaces
    // `target`; when nothing has, waits at most `waitMs` for the first bytes
    // and returns with what is there then. True when something came; the
    // outcome is recorded.
    virtual bool ReadWaiting(std::string& target, int waitMs) = 0;

    // Milliseconds of a monotonic clock, and a pause on it.
    virtual std::int64_t NowMs() = 0;
    virtual void Pause(int ms) = 0;

    // Set by the transaction when the port stopped working (an I/O error, a
    // hang-up, or no answer at all within a command's deadline): every
    // later transaction on this object fails at once without writing, for
    // the rest of the operation. The reason says why, for the reports.
    void MarkFailed(std::string reason)
    {
        m_bFailed = true;
        m_strFailure = std::move(reason);
    }
    bool IsFailed() const { return m_bFailed; }
    const std::string& FailureText() const { return m_strFailure; }

    // How the transactions on this port are paced; the default pacing until
    // set.
    const AT_PACING_t& Pacing() const { return m_pacing; }
    void SetPacing(const AT_PACING_t& pacing) { m_pacing = pacing; }

    // From now on, for the rest of the operation, the AT trace of this port
    // shows "****" in place of `secret` (trace_secret.h): the argument of a
    // command that carries a PIN, and its echo.
    void HideInTrace(std::string secret) { m_traceSecret.Set(std::move(secret)); }

protected:
    CTraceSecret& TraceSecret() { return m_traceSecret; }

private:
    bool m_bFailed = false;
    std::string m_strFailure;
    AT_PACING_t m_pacing;
    CTraceSecret m_traceSecret;
};

// The timing of a port's Read, which the transaction's deadlines are made of.
constexpr std::size_t kAtReadChunk = 512;
constexpr int kAtGapMs = 10;
constexpr int kAtQuietReadMs = 50 + static_cast<int>(kAtReadChunk);
