#pragma once
// Work that must be done however the process ends: at a normal exit and when
// a signal ends it (interrupt, termination, hang-up, quit, a broken pipe,
// abort). It hands back what the process changed outside itself, such as the
// terminal mode of the console and the exclusive mode and line settings of
// the serial ports it holds open.
//
// A cleanup may run inside a signal handler, on any thread, and more than
// once (at exit and again on a signal): it must be async-signal-safe (no
// locks, no allocation, no exceptions) and idempotent. After the cleanups the
// signal takes its usual effect. A signal that is ignored when the first
// cleanup is added (nohup) stays ignored.
//
// The POSIX backend's ports and terminal use it, and the Windows backend's
// ports for their line settings (Windows itself closes a dying process's
// handles, which ends their exclusive use, and its console input leaves the
// console mode as it was). On Windows the cleanups run at exit and on the
// console's control events (Ctrl+C, Ctrl+Break, the console closed).

// Adds a cleanup; at most 8 can be added, further ones are refused (false).
// Safe to call from several threads.
bool AddExitCleanup(void (*cleanup)());
