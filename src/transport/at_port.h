#pragma once
// What the AT transaction needs of a port: opening it, writing, one timed
// read, a read that does not wait for more, the clock that times its polls,
// pauses and deadlines, the pacing of the transactions on it and the stop
// request that ends them. The serial
// port (com_port.h) implements it over a serial device; tests give a port in
// memory whose replies and time are data, so that waiting costs nothing.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "platform/stop_request.h"
#include "transport/trace_secret.h"

// The time limits and pacing of the transactions on one port. The program
// reads TELLMAR_PACING once and gives every port it opens the same pacing;
// tests shorten the limits of their own ports. How each kind of command is
// limited: AT_LIMITS_t in at_transaction.h.
struct AT_PACING_t {
    // Once a command is written, the longest the line may stay silent
    // (before the first byte of the reply and between bytes) for a command
    // the module answers by itself.
    int silenceMs = 10000;
    // The whole exchange of such a command, however its bytes trickle in.
    int shortDeadlineMs = 20000;
    // A listing: the base, and more for each message the storage selection
    // said the storage holds (+CPMS: <used>,<total>); a selection that said
    // nothing counts as listAssumedMessages messages.
    int listBaseMs = 15000;
    int listPerMessageMs = 500;
    int listAssumedMessages = 255;
    // A message body waits on the network: silence and deadline are the
    // modules' documented maximum for +CMGS.
    int bodyMs = 120000;
    int pollSleepMs = 100;
    // Single reads of one storage at most.
    int singleReadRounds = 100;
    // A USSD request waits on the network: silence and deadline.
    int ussdMs = 30000;
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
    // hang-up, no answer at all within a command's limits) or a stop request
    // ended its work: every later transaction on this object fails at once
    // without writing, for the rest of the operation. The reason says why,
    // for the reports.
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

    // The request that ends the exchanges on this port that may be cut
    // (AT_LIMITS_t::bStoppable) and keeps later ones from being written; a
    // token that never asks until set.
    const CStopToken& StopToken() const { return m_stop; }
    void SetStopToken(const CStopToken& stop) { m_stop = stop; }
    // The port is failed because of the stop request: "Stopped by SIGTERM".
    void MarkStopped()
    {
        MarkFailed("Stopped by " + m_stop.Reason());
        m_bStopped = true;
    }
    // The port failed because a stop was requested (MarkStopped).
    bool WasStopped() const { return m_bStopped; }

    // The unsolicited channel, for a reader that keeps the port open: once
    // opened, every byte the transactions read on the port also goes to it
    // (the input dropped before a command, each command's whole reply, and
    // what WaitForUnsolicited reads between commands), for the drivers to
    // pick out the lines the module sends by itself. The transport never
    // looks into it. It keeps at most kUnsolicitedChannelBytes: the oldest
    // bytes go first, so a module that floods the line cannot grow it.
    void OpenUnsolicitedChannel() { m_bChannelOpen = true; }
    void PassToChannel(const std::string& bytes)
    {
        if (!m_bChannelOpen || bytes.empty()) {
            return;
        }
        m_strChannel += bytes;
        if (m_strChannel.size() > kUnsolicitedChannelBytes) {
            m_strChannel.erase(0, m_strChannel.size() - kUnsolicitedChannelBytes);
        }
    }
    // What the channel holds, which it gives up.
    std::string TakeChannel()
    {
        std::string taken;
        taken.swap(m_strChannel);
        return taken;
    }
    static constexpr std::size_t kUnsolicitedChannelBytes = 64 * 1024;

    // From now on, for the rest of the operation, the AT trace of this port
    // shows "****" in place of `secret` (trace_secret.h): the argument of a
    // command that carries a PIN, and its echo.
    void HideInTrace(std::string secret) { m_traceSecret.Set(std::move(secret)); }

protected:
    CTraceSecret& TraceSecret() { return m_traceSecret; }

private:
    bool m_bFailed = false;
    bool m_bStopped = false;
    std::string m_strFailure;
    AT_PACING_t m_pacing;
    CTraceSecret m_traceSecret;
    CStopToken m_stop;
    bool m_bChannelOpen = false;
    std::string m_strChannel;
};

// The timing of a port's Read, which the transaction's deadlines are made of.
constexpr std::size_t kAtReadChunk = 512;
constexpr int kAtGapMs = 10;
constexpr int kAtQuietReadMs = 50 + static_cast<int>(kAtReadChunk);
