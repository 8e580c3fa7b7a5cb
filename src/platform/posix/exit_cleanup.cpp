#include "platform/exit_cleanup.h"

#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

constexpr int kMaxCleanups = 8;
// The signals whose default action ends the process and that a user or the
// system sends to a running command. Crash signals (SIGSEGV, SIGBUS) are left
// to the runtime and the sanitizers that report them.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGABRT};

using Cleanup = void (*)();
static_assert(std::atomic<Cleanup>::is_always_lock_free, "read in a signal handler");

std::atomic<Cleanup> gCleanups[kMaxCleanups];
std::atomic<int> gCount{0};
std::mutex gAddMutex;

void RunCleanups()
{
    const int count = gCount.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i) {
        if (Cleanup cleanup = gCleanups[i].load(std::memory_order_acquire)) {
            cleanup();
        }
    }
}

void OnEndingSignal(int sig)
{
    RunCleanups();
    // The signal is blocked while its handler runs: raised again with the
    // default action, it ends the process as soon as the handler returns.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(sig, &action, nullptr);
    ::raise(sig);
}

void InstallHandlers()
{
    std::atexit(RunCleanups);
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

}  // namespace

bool AddExitCleanup(void (*cleanup)())
{
    std::lock_guard<std::mutex> lock(gAddMutex);
    const int count = gCount.load(std::memory_order_relaxed);
    if (count == kMaxCleanups) {
        return false;
    }
    if (count == 0) {
        InstallHandlers();
    }
    gCleanups[count].store(cleanup, std::memory_order_release);
    gCount.store(count + 1, std::memory_order_release);
    return true;
}
