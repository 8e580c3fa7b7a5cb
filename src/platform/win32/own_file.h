#pragma once
// What the trace and the store share when they open a file the user named:
// the system's text of a failure, and the refusal of whatever is not a plain
// file of its own (a link could send the writes elsewhere, a device would
// never hold them).

#include <windows.h>

#include <string>

// The system's text of a code, without the line end it carries.
std::string FileErrorText(DWORD code);

// Keeps a handle opened with FILE_FLAG_OPEN_REPARSE_POINT only when it is a
// regular file on a disk: a link ("is a symbolic link"), a folder or a device
// ("is not a regular file") is closed, with error set, and false returned.
bool KeepRegularFile(HANDLE handle, std::string& error);
