#pragma once
// A request to stop: work in progress ends in order (the exchange with a
// modem in progress ends, nothing more is sent to a modem, the command's
// document is still written) instead of the process dying in the middle.
//
// The platform makes the request when the user or the system asks the
// process to end, once CatchStopSignals has been called: SIGINT, SIGTERM or
// SIGHUP on Linux; Ctrl+C, Ctrl+Break, the console's closing, log-off or
// shut-down on Windows. Tests make it through a CStopSource of their own.
//
// A token is a value: its copies look at the same request. It is handed to
// whatever must notice the request (a port holds one, as it holds its
// pacing). A default token never asks to stop.
//
//   const CStopToken stop = CatchStopSignals();
//   while (!stop.StopRequested() && more) { ... one step ... }
//   return stop.StopRequested() ? 128 + stop.Signal() : 0;

#include <atomic>
#include <memory>
#include <string>

class CStopToken {
public:
    CStopToken() = default;

    // Whether a stop has been requested; one atomic load, from any thread.
    bool StopRequested() const { return Signal() != 0; }
    // The signal that asked (SIGHUP 1, SIGINT 2, SIGTERM 15; the Windows
    // events as their nearest signal: Ctrl+C and Ctrl+Break 2, the others
    // 15); 0 while none has. The exit status of a stopped command is 128 plus
    // this number.
    int Signal() const { return m_request ? m_request->load(std::memory_order_acquire) : 0; }
    // "SIGTERM", "Ctrl+C"...: what asked, for the reports; empty while
    // nothing has.
    std::string Reason() const;
    // Sleeps up to `ms`, in short steps; true, at once, when a stop is or
    // becomes requested.
    bool WaitFor(int ms) const;

private:
    friend class CStopSource;
    friend CStopToken CatchStopSignals();
    explicit CStopToken(std::shared_ptr<const std::atomic<int>> request)
        : m_request(std::move(request))
    {
    }

    std::shared_ptr<const std::atomic<int>> m_request;
};

// A request made by hand: for tests, and for code that stops work of its own.
class CStopSource {
public:
    CStopSource();
    CStopToken Token() const;
    // Records `signal` (non-zero) as the request; only the first one counts.
    void RequestStop(int signal);

private:
    std::shared_ptr<std::atomic<int>> m_request;
};

// From now on the signals above make the request of the returned token
// instead of ending the process; a second one ends it as it would have
// without this (the exit cleanups run first). A signal that is ignored
// (nohup) stays ignored. Every call returns a token of the same request.
CStopToken CatchStopSignals();
