#include "platform/exit_handlers.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace {

// The nearest signal numbers of the console's events, for the exit status
// (128 + n) of a stopped command.
constexpr int kInterrupt = 2;     // SIGINT: Ctrl+C, Ctrl+Break
constexpr int kTermination = 15;  // SIGTERM: the console closed, log-off, shut-down
// After these events Windows ends the process once the handler returns
// (and at the latest some seconds later): the handler waits this long for
// the command to write its document and end by itself.
constexpr DWORD kClosingWaitMs = 4000;

std::atomic<void (*)()> gRunCleanups{nullptr};
std::atomic<std::atomic<int>*> gStopRequest{nullptr};

int SignalOf(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? kInterrupt : kTermination;
}

// Ctrl+C, Ctrl+Break, the console window closed, log-off and shut-down. With
// stop requests caught, the first event asks the command to stop and the
// process goes on; otherwise (and for a later event) the cleanups run on the
// handler's thread, then the default handler ends the process.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    if (std::atomic<int>* request = gStopRequest.load()) {
        int none = 0;
        if (request->compare_exchange_strong(none, SignalOf(event))) {
            if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
                return TRUE;
            }
            Sleep(kClosingWaitMs);
        }
    }
    if (void (*run)() = gRunCleanups.load()) {
        run();
    }
    return FALSE;
}

void Install()
{
    static const bool installed = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
    (void)installed;
}

}  // namespace

void InstallEndingHandlers(void (*runCleanups)())
{
    gRunCleanups.store(runCleanups);
    std::atexit(runCleanups);
    Install();
}

void InstallStopHandlers(std::atomic<int>* request)
{
    gStopRequest.store(request);
    Install();
}

std::string StopSignalName(int signal)
{
    return signal == kInterrupt ? "Ctrl+C" : "the console closed";
}
