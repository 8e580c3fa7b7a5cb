#pragma once
// What each backend does for platform/exit_cleanup.h and
// platform/stop_request.h: run the cleanups at a normal exit and when the
// process is ended from outside (signals on Linux, console control events on
// Windows), and turn the first request to end into a stop request once the
// stop signals are caught.

#include <atomic>
#include <string>

// Called once, with the function that runs every cleanup added so far.
void InstallEndingHandlers(void (*runCleanups)());

// From now on the first SIGINT, SIGTERM or SIGHUP (Windows: console control
// event) stores its signal number in `request` and the process goes on; a
// later one ends the process as the ending handlers do. Called again, it
// changes nothing.
void InstallStopHandlers(std::atomic<int>* request);

// The name of a signal that requested a stop, as the reports show it.
std::string StopSignalName(int signal);
