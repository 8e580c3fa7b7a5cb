#include "platform/exit_handlers.h"

#include <signal.h>

#include <atomic>
#include <cstdlib>

namespace {

// The signals whose default action ends the process and that a user or the
// system sends to a running command. Crash signals (SIGSEGV, SIGBUS) are left
// to the runtime and the sanitizers that report them.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGABRT};

std::atomic<void (*)()> gRunCleanups{nullptr};

void OnEndingSignal(int sig)
{
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

}  // namespace

void InstallEndingHandlers(void (*runCleanups)())
{
    gRunCleanups.store(runCleanups);
    std::atexit(runCleanups);
    for (int sig : kEndingSignals) {
        struct sigaction previous {};
        ::sigaction(sig, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = OnEndingSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(sig, &action, nullptr);
    }
}
