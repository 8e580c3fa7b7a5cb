#include "platform/exit_handlers.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<void (*)()> gRunCleanups{nullptr};

// Ctrl+C, Ctrl+Break, the console window closed, log-off and shut-down: the
// cleanups run on the handler's thread, then the default handler ends the
// process.
BOOL WINAPI OnConsoleEvent(DWORD)
{
    if (void (*run)() = gRunCleanups.load()) {
        run();
    }
    return FALSE;
}

}  // namespace

void InstallEndingHandlers(void (*runCleanups)())
{
    gRunCleanups.store(runCleanups);
    std::atexit(runCleanups);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
