#include "platform/posix/held_ports.h"

#include <sys/ioctl.h>

#include <cstdint>

#include "platform/clock.h"
#include "platform/exit_cleanup.h"
#include "platform/held_ports.h"

namespace {

// Constant-initialised: the exit cleanup may read it at any time.
CHeldPorts<termios> gHeldPorts;

// Back as the port was found: its line settings, and no exclusive mode (the
// flag lives in the tty, not in the descriptor, and outlives this process
// while another program, such as a simulator, keeps the tty open).
void HandBack(const termios& settings, int fd, int when)
{
    ::tcsetattr(fd, when, &settings);
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
    gHeldPorts.ForEach([](std::intptr_t fd, const termios& settings) {
        HandBack(settings, static_cast<int>(fd), TCSANOW);
    });
}

}  // namespace

bool HoldPort(int fd, const termios& found)
{
    static const bool cleanupAdded = AddExitCleanup(HandBackHeldPorts);
    (void)cleanupAdded;
    return gHeldPorts.Hold(fd, found);
}

void ReleasePort(int fd)
{
    gHeldPorts.Release(fd, [fd](const termios& settings) {
        HandBack(settings, fd, WaitOutputSent(fd) ? TCSADRAIN : TCSANOW);
    });
}
