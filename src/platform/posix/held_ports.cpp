#include "platform/posix/held_ports.h"

#include <sys/ioctl.h>

#include <atomic>
#include <cstdint>

#include "platform/clock.h"
#include "platform/exit_cleanup.h"

namespace {

// The ports this process holds, with the line settings found at open, so that
// the exit cleanup can hand them back when the process ends without closing
// them (a signal, exit()). A slot is taken, its settings written, and then its
// descriptor published; the cleanup reads only published slots.
struct HELD_PORT_t {
    std::atomic<bool> taken{false};
    std::atomic<int> fd{-1};
    termios settings{};
};
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");

// As many as a process may have descriptors by default.
constexpr int kMaxHeldPorts = 1024;
HELD_PORT_t gHeldPorts[kMaxHeldPorts];

// Back as the port was found: its line settings, and no exclusive mode (the
// flag lives in the tty, not in the descriptor, and outlives this process
// while another program, such as a simulator, keeps the tty open).
void HandBack(const HELD_PORT_t& slot, int fd, int when)
{
    ::tcsetattr(fd, when, &slot.settings);
    ::ioctl(fd, TIOCNXCL);
}

// Bytes written are still being sent for a while after write() returned; a
// rate changed under them would garble the last command. Waits until the
// driver's queue is empty, at most kDrainMs (a line held by flow control
// never empties); true when it emptied.
constexpr int kDrainMs = 1000;
bool WaitOutputSent(int fd)
{
    const std::int64_t deadline = MonotonicMs() + kDrainMs;
    for (;;) {
        int queued = 0;
        if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued == 0) {
            return true;
        }
        if (MonotonicMs() >= deadline) {
            return false;
        }
        SleepMs(5);
    }
}

// Async-signal-safe: atomics, tcsetattr and ioctl only.
void HandBackHeldPorts()
{
    for (const HELD_PORT_t& slot : gHeldPorts) {
        const int fd = slot.fd.load(std::memory_order_acquire);
        if (fd >= 0) {
            HandBack(slot, fd, TCSANOW);
        }
    }
}

}  // namespace

bool HoldPort(int fd, const termios& found)
{
    static const bool cleanupAdded = AddExitCleanup(HandBackHeldPorts);
    (void)cleanupAdded;
    for (HELD_PORT_t& slot : gHeldPorts) {
        bool expected = false;
        if (slot.taken.compare_exchange_strong(expected, true)) {
            slot.settings = found;
            slot.fd.store(fd, std::memory_order_release);
            return true;
        }
    }
    return false;
}

void ReleasePort(int fd)
{
    for (HELD_PORT_t& slot : gHeldPorts) {
        if (slot.fd.load(std::memory_order_acquire) == fd) {
            HandBack(slot, fd, WaitOutputSent(fd) ? TCSADRAIN : TCSANOW);
            slot.fd.store(-1, std::memory_order_release);
            slot.taken.store(false, std::memory_order_release);
            return;
        }
    }
}
