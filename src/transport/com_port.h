#pragma once
// One serial port opened for one job (sending, reading or clearing one
// device). Reads come in chunks of at most 512 bytes: a read returns 10 ms
// after the last byte once bytes have come, at 512 bytes, or empty after
// 50 + 512 ms of silence. Errors are kept as a code and a text
// ("Code:%d   " and the system's text) for the callers to show.

#include <string>

#include "platform/serial_device.h"

class CComPortBase {
public:
    // Stores path and rate and opens the port; callers ask IsOpen/HasError.
    CComPortBase(std::string portPath, int baudRate);
    virtual ~CComPortBase();
    CComPortBase(const CComPortBase&) = delete;
    CComPortBase& operator=(const CComPortBase&) = delete;

    bool Open();
    bool Close();
    bool IsOpen() const;
    bool HasError() const;
    std::string GetErrorText() const;
    int GetErrorCode() const { return m_nLastError; }

    // Writes all bytes; false for an empty string (nothing sent, nothing recorded).
    bool Write(std::string data);
    // One read; replaces `target`. False (target unchanged) on a closed port.
    bool Read(std::string& target);
    // Reads and appends until a read yields nothing, bounded so that a modem
    // that never stops sending cannot hold the caller: at most kReadAllLimit
    // bytes per call. Always true.
    bool ReadAll(std::string& target);

    static constexpr std::size_t kReadChunk = 512;
    static constexpr std::size_t kReadAllLimit = 64 * 1024;

private:
    bool SetupPort();
    void RecordLastError(int code);

    int m_nLastError = 0;
    std::string m_strError;
    std::string m_strPortName;
    int m_nBaudRate = 0;
    CSerialDevice m_device;
};
