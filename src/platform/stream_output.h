#pragma once
// Standard output as a stream of records that must arrive whole: a
// long-running command writes each record (a JSON line) with one call that
// returns only once every byte has been handed to the system and, when
// standard output is a regular file, synced to its disk, so that what the
// caller does next (deleting what the record describes) never runs ahead of
// the record. Nothing is buffered in the process.

#include <string>

// Prepares standard output for the stream: on Linux a write to a pipe
// whose reader has gone fails with EPIPE instead of killing the process
// by SIGPIPE (the signal is ignored for the whole process); Windows reports
// such a write as a failure already.
void PrepareStreamOutput();

// Writes `bytes` (already in the output's charset) to standard output,
// retrying short writes, then syncs the file when standard output is a
// regular file. True when all of it was written (and synced); false with
// the system's text of what failed in `error` ("Broken pipe", "No space
// left on device"). Callers serialise their calls.
bool WriteStreamRecord(const std::string& bytes, std::string& error);

// Whether standard output is a pipe or socket whose reader has gone, seen
// without writing; false when it cannot tell (a file, a terminal, or a
// system without the means).
bool StreamOutputClosed();
