#include "platform/serial_device.h"

#include <windows.h>

#include "platform/win32/held_ports.h"
#include "platform/win32/port_open.h"

namespace {

constexpr DWORD kInputQueueBytes = 4096;
constexpr DWORD kOutputQueueBytes = 1024;

HANDLE CreatePortFile(const char* path)
{
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

HANDLE AsHandle(std::intptr_t value)
{
    return reinterpret_cast<HANDLE>(value);
}

DWORD NonNegative(int ms)
{
    return ms > 0 ? static_cast<DWORD>(ms) : 0;
}

int LastError()
{
    return static_cast<int>(GetLastError());
}

}  // namespace

PORT_OPEN_CALL_t& PortOpenCall()
{
    static PORT_OPEN_CALL_t call = CreatePortFile;
    return call;
}

CSerialDevice::~CSerialDevice()
{
    Close();
}

int CSerialDevice::Open(const COM_PORT_t& port)
{
    Close();
    if (port.strNode.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const HANDLE handle = PortOpenCall()(port.strNode.c_str());
    if (handle == INVALID_HANDLE_VALUE) {
        return LastError();
    }
    // A file or pipe under a port's name is no serial line: refuse it here
    // with the error GetCommState gives such a handle.
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (GetFileType(handle) != FILE_TYPE_CHAR || !GetCommState(handle, &dcb)) {
        CloseHandle(handle);
        return ERROR_INVALID_FUNCTION;
    }
    HoldPort(handle, dcb);
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    return 0;
}

int CSerialDevice::Configure(int baudRate, const SERIAL_TIMEOUTS_t& timeouts)
{
    if (!IsOpen()) {
        return ERROR_INVALID_HANDLE;
    }
    const HANDLE handle = AsHandle(m_handle);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb)) {
        return LastError();
    }
    // 8N1 at the rate; flow control and the modem lines stay as they were.
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (baudRate <= 0 || !SetCommState(handle, &dcb)) {
        return baudRate <= 0 ? ERROR_INVALID_PARAMETER : LastError();
    }
    SetupComm(handle, kInputQueueBytes, kOutputQueueBytes);
    COMMTIMEOUTS commTimeouts{};
    commTimeouts.ReadIntervalTimeout = NonNegative(timeouts.intervalMs);
    commTimeouts.ReadTotalTimeoutMultiplier = NonNegative(timeouts.totalPerByteMs);
    commTimeouts.ReadTotalTimeoutConstant = NonNegative(timeouts.totalConstantMs);
    commTimeouts.WriteTotalTimeoutMultiplier = NonNegative(timeouts.writePerByteMs);
    commTimeouts.WriteTotalTimeoutConstant = NonNegative(timeouts.writeConstantMs);
    SetCommTimeouts(handle, &commTimeouts);
    return 0;
}

int CSerialDevice::Write(const std::string& data)
{
    if (!IsOpen()) {
        return ERROR_INVALID_HANDLE;
    }
    DWORD written = 0;
    if (!WriteFile(AsHandle(m_handle), data.data(), static_cast<DWORD>(data.size()), &written,
                   nullptr)) {
        return LastError();
    }
    // The write time-out passed before the driver took every byte.
    return written == data.size() ? 0 : ERROR_TIMEOUT;
}

int CSerialDevice::Read(std::string& out, std::size_t maxBytes)
{
    if (!IsOpen()) {
        return ERROR_INVALID_HANDLE;
    }
    std::string buffer(maxBytes, '\0');
    DWORD got = 0;
    const BOOL ok =
        ReadFile(AsHandle(m_handle), &buffer[0], static_cast<DWORD>(maxBytes), &got, nullptr);
    int code = ok ? 0 : LastError();
    // A device that went away lets ReadFile come back empty without an error
    // (Wine; some USB serial drivers); the port's status fails then.
    DWORD errors = 0;
    if (code == 0 && got == 0 && !ClearCommError(AsHandle(m_handle), &errors, nullptr)) {
        code = LastError();
    }
    out.append(buffer, 0, got);
    return code;
}

int CSerialDevice::ReadAvailable(std::string& out, std::size_t maxBytes, int waitMs)
{
    if (!IsOpen()) {
        return ERROR_INVALID_HANDLE;
    }
    const HANDLE handle = AsHandle(m_handle);
    COMMTIMEOUTS configured{};
    if (!GetCommTimeouts(handle, &configured)) {
        return LastError();
    }
    // MAXDWORD for both read values: what is in the input queue comes back
    // at once; with nothing there, the first bytes end the wait, or the
    // constant does.
    COMMTIMEOUTS available = configured;
    available.ReadIntervalTimeout = MAXDWORD;
    available.ReadTotalTimeoutMultiplier = waitMs > 0 ? MAXDWORD : 0;
    available.ReadTotalTimeoutConstant = NonNegative(waitMs);
    if (!SetCommTimeouts(handle, &available)) {
        return LastError();
    }
    const int code = maxBytes > 0 ? Read(out, maxBytes) : 0;
    SetCommTimeouts(handle, &configured);
    return code;
}

int CSerialDevice::Close()
{
    if (!IsOpen()) {
        return 0;
    }
    ReleasePort(AsHandle(m_handle));
    const int result = CloseHandle(AsHandle(m_handle)) ? 0 : LastError();
    m_handle = kClosed;
    return result;
}
