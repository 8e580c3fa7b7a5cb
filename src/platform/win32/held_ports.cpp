#include "platform/win32/held_ports.h"

#include <cstdint>

#include "platform/exit_cleanup.h"
#include "platform/held_ports.h"

namespace {

struct PORT_SETTINGS_t {
    DCB dcb;
    COMMTIMEOUTS timeouts;
};

// Constant-initialised: the exit cleanup may read it at any time.
CHeldPorts<PORT_SETTINGS_t> gHeldPorts;

HANDLE AsHandle(std::intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

void HandBack(const PORT_SETTINGS_t& settings, HANDLE handle)
{
    DCB dcb = settings.dcb;
    COMMTIMEOUTS timeouts = settings.timeouts;
    SetCommState(handle, &dcb);
    SetCommTimeouts(handle, &timeouts);
}

void HandBackHeldPorts()
{
    gHeldPorts.ForEach([](std::intptr_t handle, const PORT_SETTINGS_t& settings) {
        HandBack(settings, AsHandle(handle));
    });
}

// Bytes written may still wait in the driver's queue; a rate changed under
// them would garble the last command. Waits until the queue is empty, at
// most kDrainMs (a line held by flow control never empties).
constexpr DWORD kDrainMs = 1000;
void WaitOutputSent(HANDLE handle)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(handle, &errors, &status) || status.cbOutQue == 0 ||
            GetTickCount() - start >= kDrainMs) {
            return;
        }
        Sleep(5);
    }
}

}  // namespace

void HoldPort(HANDLE handle, const DCB& dcb)
{
    static const bool cleanupAdded = AddExitCleanup(HandBackHeldPorts);
    (void)cleanupAdded;
    PORT_SETTINGS_t settings{dcb, {}};
    if (!GetCommTimeouts(handle, &settings.timeouts)) {
        return;
    }
    gHeldPorts.Hold(reinterpret_cast<std::intptr_t>(handle), settings);
}

void ReleasePort(HANDLE handle)
{
    gHeldPorts.Release(reinterpret_cast<std::intptr_t>(handle),
                       [handle](const PORT_SETTINGS_t& settings) {
                           WaitOutputSent(handle);
                           HandBack(settings, handle);
                       });
}
