#pragma once
// What each backend does for platform/exit_cleanup.h: run the cleanups at a
// normal exit and when the process is ended from outside (signals on Linux,
// console control events on Windows).

// Called once, with the function that runs every cleanup added so far.
void InstallEndingHandlers(void (*runCleanups)());
