#pragma once
// One serial port opened for one job (sending, reading or clearing one
// device). Reads come in chunks of at most 512 bytes: a read returns 10 ms
// after the last byte once bytes have come, at 512 bytes, or empty after
// 50 + 512 ms of silence. Errors are kept as a code and a text
// ("Code:%d   " and the system's text) for the callers to show.

#include <string>

#include "platform/port.h"
#include "platform/serial_device.h"
#include "transport/at_port.h"

class CComPortBase : public CAtPort {
public:
    // Stores port, rate, the pacing of its transactions and the request
    // that stops them, and opens the port; callers ask IsOpen/HasError.
    CComPortBase(COM_PORT_t port, int baudRate, const AT_PACING_t& pacing = AT_PACING_t(),
                 const CStopToken& stop = CStopToken());
    virtual ~CComPortBase();
    CComPortBase(const CComPortBase&) = delete;
    CComPortBase& operator=(const CComPortBase&) = delete;

    // Opens the port exclusively and sets it to 8N1 at the rate with the
    // port's time-outs; true when it is open afterwards (at once when it
    // already was). Clears the error code first, not the text; a failure
    // records its code and leaves the port closed.
    bool Open() override;
    // True when the port was not open or closed cleanly; records nothing.
    bool Close();
    bool IsOpen() const override;
    // The last recorded code is not 0. Only Open clears it.
    bool HasError() const override;
    // "Code:%d   " and the system's text of the last recorded error; empty
    // before any was recorded.
    std::string GetErrorText() const override;
    int GetErrorCode() const override { return m_nLastError; }

    // Writes all bytes; false for an empty string (nothing sent, nothing
    // recorded). On a closed port it records the system's bad-handle error
    // (EBADF, ERROR_INVALID_HANDLE); a failing write records its error (a
    // vanished device: EIO).
    bool Write(std::string data) override;
    // One read of up to kReadChunk bytes; replaces `target`, true when
    // something came. Records the outcome of every read (code 0 after a good
    // one). False, target unchanged, on a closed port.
    bool Read(std::string& target) override;
    // What has arrived, waiting at most `waitMs` for the first bytes (see
    // CAtPort); recorded and on a closed port as Read.
    bool ReadWaiting(std::string& target, int waitMs) override;
    // Reads and appends until a read yields nothing, bounded so that a modem
    // that never stops sending cannot hold the caller: it also stops once
    // kReadAllLimit bytes have come or kReadAllTimeLimitMs have passed (each
    // read ends at most 562 ms later; what is left waits for the next call).
    // Always true; on a closed port it returns at once, target unchanged.
    bool ReadAll(std::string& target);

    std::int64_t NowMs() override;
    void Pause(int ms) override;

    static constexpr std::size_t kReadChunk = kAtReadChunk;
    static constexpr std::size_t kReadAllLimit = 64 * 1024;
    static constexpr int kReadAllTimeLimitMs = 5000;

private:
    // Line settings and time-outs; 0 or the error code.
    int SetupPort();
    void RecordLastError(int code);

    int m_nLastError = 0;
    std::string m_strError;
    COM_PORT_t m_port;
    int m_nBaudRate = 0;
    CSerialDevice m_device;
};
