#pragma once
// The one Win32 call that opens a port, kept replaceable: Wine lets a second
// program open a port that is already open, where Windows refuses with
// ERROR_ACCESS_DENIED (5), so tests stand in for a port held elsewhere here.

#include <windows.h>

// Opens a device path for reading and writing, exclusively, synchronous I/O;
// INVALID_HANDLE_VALUE with the thread's last error set on failure.
using PORT_OPEN_CALL_t = HANDLE (*)(const char* path);

// The call CSerialDevice::Open uses; CreateFileA unless a test replaced it.
PORT_OPEN_CALL_t& PortOpenCall();
