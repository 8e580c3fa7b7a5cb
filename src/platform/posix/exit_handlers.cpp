#include "platform/exit_handlers.h"

#include <signal.h>

#include <atomic>
#include <cstdlib>

namespace {

// The signals whose default action ends the process and that a user or the
// system sends to a running command. Crash signals (SIGSEGV, SIGBUS) are left
// to the runtime and the sanitizers that report them.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGABRT};
// Those of them that ask a command to stop: the interrupt key, `kill`,
// `timeout`, a service manager, a closed terminal.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<void (*)()> gRunCleanups{nullptr};
std::atomic<std::atomic<int>*> gStopRequest{nullptr};

bool IsStopSignal(int sig)
{
    for (int stop : kStopSignals) {
        if (sig == stop) {
            return true;
        }
    }
    return false;
}

void OnEndingSignal(int sig)
{
    // The first stop signal only asks; the command ends in order.
    if (std::atomic<int>* request = gStopRequest.load(); request != nullptr && IsStopSignal(sig)) {
        int none = 0;
        if (request->compare_exchange_strong(none, sig)) {
            return;
        }
    }
    if (void (*run)() = gRunCleanups.load()) {
        run();
    }
    // The signal is blocked while its handler runs: raised again with the
    // default action, it ends the process as soon as the handler returns.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(sig, &action, nullptr);
    ::raise(sig);
}

// Our handler for `sig`, unless the signal is ignored (nohup) or ours already.
void Catch(int sig)
{
    struct sigaction previous {};
    ::sigaction(sig, nullptr, &previous);
    if (previous.sa_handler == SIG_IGN || previous.sa_handler == OnEndingSignal) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = OnEndingSignal;
    sigemptyset(&action.sa_mask);
    // A read that the signal interrupts goes on: the command looks at the
    // request after it, within its read's time-out.
    action.sa_flags = SA_RESTART;
    ::sigaction(sig, &action, nullptr);
}

}  // namespace

void InstallEndingHandlers(void (*runCleanups)())
{
    gRunCleanups.store(runCleanups);
    std::atexit(runCleanups);
    for (int sig : kEndingSignals) {
        Catch(sig);
    }
}

void InstallStopHandlers(std::atomic<int>* request)
{
    gStopRequest.store(request);
    for (int sig : kStopSignals) {
        Catch(sig);
    }
}

std::string StopSignalName(int signal)
{
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal " + std::to_string(signal);
    }
}
