#pragma once
// The AT trace: with TELLMAR_TRACE=<file>, every byte written to and read
// from every port (the scan's probes, the sends and the inbox reads alike) is
// appended to that file, one line per write or read:
//
//   <ms> <port> > <bytes>      written to the port
//   <ms> <port> < <bytes>      read from the port
//   <ms> <port> ! <text>       an open, write or read failed
//   <ms> # <text>              a note, such as the start of a run
//
// <ms> is a monotonic clock in milliseconds (comparable between runs until
// the machine restarts), <port> the port's name ("COM3"). In <bytes> a
// backslash is "\\", CR "\r", LF "\n", tab "\t", and every other byte below
// 0x20 or from 0x7F up "\xHH" (Ctrl-Z "\x1A", ESC "\x1B"), so each line is
// printable ASCII and the bytes can be read back exactly. Each line is
// written whole, with one write call, whatever thread writes it, and the
// lines are in time order: lines of different ports alternate as their
// reads and writes did, a line is never cut by another.
//
// Without the variable nothing is opened, formatted or written: each call
// below returns after one check of a flag. A file that cannot be opened or
// written is reported once on standard error and the trace stops; the
// program goes on with its job.

#include <string>

// Opens the file that TELLMAR_TRACE names, if it is set and not empty (see
// platform/trace_file.h for the rules), and writes the start note. Call once
// at entry, before any port is used.
void StartPortTrace();

// The same with the file named by the caller; false (after the report on
// standard error) when it cannot be opened. A trace already running is
// stopped first.
bool StartPortTraceAt(const std::string& path);

// Closes the file; later calls write nothing.
void StopPortTrace();

// Whether a trace is being written.
bool PortTraceOn();

// Bytes written to (`direction` '>') or read from ('<') a port: a line with
// the bytes when there are any, then a failure line when `errorCode` is not
// 0 ("write failed: Code:5   Input/output error").
void TracePortIo(const std::string& portName, char direction, const std::string& bytes,
                 int errorCode);

// A failed open of a port: "open failed: Code:16   Device or resource busy".
void TracePortOpenFailure(const std::string& portName, int errorCode);

// The bytes as they appear in a line (escapes above).
std::string EscapeTraceBytes(const std::string& bytes);

// A line of the trace without its time and line end: "<port> <dir> <text>".
std::string TraceEntry(const std::string& portName, char direction, const std::string& text);
