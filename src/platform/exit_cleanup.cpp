#include "platform/exit_cleanup.h"

#include <atomic>
#include <mutex>

#include "platform/exit_handlers.h"

namespace {

constexpr int kMaxCleanups = 8;

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

}  // namespace

bool AddExitCleanup(void (*cleanup)())
{
    std::lock_guard<std::mutex> lock(gAddMutex);
    const int count = gCount.load(std::memory_order_relaxed);
    if (count == kMaxCleanups) {
        return false;
    }
    if (count == 0) {
        InstallEndingHandlers(RunCleanups);
    }
    gCleanups[count].store(cleanup, std::memory_order_release);
    gCount.store(count + 1, std::memory_order_release);
    return true;
}
