#pragma once
// A raw serial device: the one platform object both the driver transport
// (transport/com_port.h) and the port probe (scan/) use for their I/O.
// It knows nothing of AT commands.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/port.h"

// Read time-outs with the semantics of the Win32 COMMTIMEOUTS used by the
// callers: a read of up to n bytes returns when n bytes have come, or
// `intervalMs` after the last byte once at least one byte has come, or after
// `totalConstantMs + n * totalPerByteMs` in all (then with what has come,
// possibly nothing). A write of n bytes may take `writeConstantMs +
// n * writePerByteMs` to be accepted by the driver.
struct SERIAL_TIMEOUTS_t {
    int intervalMs = 10;
    int totalConstantMs = 50;
    int totalPerByteMs = 1;
    int writeConstantMs = 50;
    int writePerByteMs = 1;
};

class CSerialDevice {
public:
    CSerialDevice() = default;
    ~CSerialDevice();
    CSerialDevice(const CSerialDevice&) = delete;
    CSerialDevice& operator=(const CSerialDevice&) = delete;

    // Opens the port's node exclusively. A port without a node (one the
    // listing did not find) fails with the system's "no such file" error
    // (2). Only a terminal device opens: anything else fails (ENOTTY on
    // Linux), decided before a byte is written and, where the system can
    // tell from the device's class, before it is opened. A port that another
    // program holds fails with the system's busy error: on Linux EBUSY
    // (exclusive mode, flock, or a UUCP lock file of a live process; also for
    // root; a lock file that is no small regular file holds nothing), on
    // Windows access denied (5). A device that is open is closed first.
    // Returns 0 or the error code.
    int Open(const COM_PORT_t& port);

    // Raw 8N1 at the given rate; flow control and modem lines stay as the
    // port had them. A rate the system has no speed for fails (EINVAL on
    // Linux).
    // Returns 0 or the error code.
    int Configure(int baudRate, const SERIAL_TIMEOUTS_t& timeouts);

    // Writes all bytes within the write time-out (an error when the driver
    // does not take them in time). Returns 0 or the error code; the system's
    // bad-handle error (EBADF, ERROR_INVALID_HANDLE) when not open.
    int Write(const std::string& data);

    // One read of up to `maxBytes` with the configured time-outs. Appends what
    // arrived to `out` (NUL bytes unchanged), also when an error ends the
    // read. Returns 0 or the error code (the bad-handle error when it is not
    // open). A device that vanished is an error at once, not an empty read:
    // on Linux EIO; on Windows the error the port's status gives once
    // ReadFile has come back empty (ERROR_NOT_READY, or ERROR_ACCESS_DENIED
    // for a USB device pulled out).
    int Read(std::string& out, std::size_t maxBytes);

    // A read that ignores the configured time-outs: appends at most
    // `maxBytes` of what has already arrived and returns at once; when
    // nothing has, waits at most `waitMs` for the first bytes and returns
    // with what is there then, without waiting for more (0: never waits).
    // Returns 0 or the error code, as Read. Callers use it to drop input
    // that waits before a command and to time their own reads.
    int ReadAvailable(std::string& out, std::size_t maxBytes, int waitMs);

    // Puts back the line settings found at open, ends the exclusive mode and
    // closes the device; returns 0 or the error code. Closing a closed device
    // does nothing and returns 0. A process that ends without closing (exit,
    // or a signal that ends it) hands its open ports back the same way.
    int Close();

    bool IsOpen() const { return m_handle != kClosed; }

private:
    // The descriptor on Linux, the HANDLE on Windows; -1 is closed in both
    // (INVALID_HANDLE_VALUE is -1).
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t m_handle = kClosed;
    SERIAL_TIMEOUTS_t m_timeouts;
};

// The system's text for an error code, ending with "\r\n" as the Win32 texts
// do; always in English ASCII, whatever the locale, since texts are kept in
// the internal code page. An unknown code gives "{未定义错误描述(<code>)}"
// (internal code page). Code 0 means: the last error of the calling thread
// (errno, GetLastError).
std::string FormatSystemError(int code);

// Makes `code` the calling thread's last error, as FormatSystemError(0) reads it.
void SetLastSystemError(int code);

// How the program shows an error of a port: "Code:<code>   " and
// FormatSystemError(code) ("Code:16   Device or resource busy\r\n").
std::string PortErrorText(int code);

// What an error code of CSerialDevice::Open means to the user.
enum OPEN_FAILURE_t {
    OPEN_FAILURE_BUSY,       // another program holds the port: EBUSY on Linux;
                             // on Windows access denied (5) or a sharing violation
    OPEN_FAILURE_NOT_FOUND,  // no such port: ENOENT, ENODEV, ENXIO; Windows 2 and 3
    OPEN_FAILURE_NO_ACCESS,  // this user may not open it: EACCES, EPERM (Linux only)
    OPEN_FAILURE_OTHER,      // anything else, such as a node that is no terminal
};
OPEN_FAILURE_t OpenFailureOf(int code);
