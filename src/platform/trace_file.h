#pragma once
// The file of the AT trace (platform/port_trace.h): the one part of the
// trace that differs between systems.

#include <cstdio>
#include <string>

// Opens `path` for appending, creating it when missing with access for its
// owner alone (mode 0600 on Linux; on Windows the file inherits the folder's
// access list). The last component of the path must not be a symbolic link
// (or, on Windows, any reparse point): the file is opened without following
// it. Only a regular file is accepted; opening never waits (a FIFO without a
// reader is refused at once, not waited for). The stream is closed on exec.
// Returns the open stream, or null with `error` set to the system's text of
// why not ("Is a directory", "Too many levels of symbolic links", ...).
std::FILE* OpenTraceFile(const std::string& path, std::string& error);
