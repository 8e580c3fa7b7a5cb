#include "transport/com_port.h"

#include <utility>

#include "platform/clock.h"
#include "platform/port_trace.h"

namespace {

// 10 ms after the last byte, or 50 + 1 ms per byte in all; writes 50 + 1 ms per byte.
constexpr SERIAL_TIMEOUTS_t kPortTimeouts{kAtGapMs, kAtQuietReadMs - static_cast<int>(kAtReadChunk),
                                          1, 50, 1};

}  // namespace

CComPortBase::CComPortBase(COM_PORT_t port, int baudRate, const AT_PACING_t& pacing,
                           const CStopToken& stop)
    : m_port(std::move(port)), m_nBaudRate(baudRate)
{
    SetPacing(pacing);
    SetStopToken(stop);
    Open();
}

CComPortBase::~CComPortBase()
{
    m_device.Close();
}

bool CComPortBase::Open()
{
    m_nLastError = 0;
    if (IsOpen()) {
        return true;
    }
    const int openError = m_device.Open(m_port);
    if (openError != 0) {
        TracePortOpenFailure(m_port.strName, openError);
        RecordLastError(openError);
        return false;
    }
    const int setupError = SetupPort();
    if (setupError != 0) {
        TracePortOpenFailure(m_port.strName, setupError);
        RecordLastError(setupError);
        m_device.Close();
        return false;
    }
    return true;
}

int CComPortBase::SetupPort()
{
    return m_device.Configure(m_nBaudRate, kPortTimeouts);
}

bool CComPortBase::Close()
{
    return m_device.Close() == 0;
}

bool CComPortBase::IsOpen() const
{
    return m_device.IsOpen();
}

bool CComPortBase::HasError() const
{
    return m_nLastError != 0;
}

std::string CComPortBase::GetErrorText() const
{
    return m_strError;
}

bool CComPortBase::Write(std::string data)
{
    if (data.empty()) {
        return false;
    }
    // A closed device answers with the system's own bad-handle code.
    const int code = m_device.Write(data);
    TracePortIo(m_port.strName, '>', TraceSecret().HideInWrite(data), code);
    if (code != 0) {
        RecordLastError(code);
    }
    return code == 0;
}

bool CComPortBase::Read(std::string& target)
{
    if (!IsOpen()) {
        return false;
    }
    target.clear();
    const int code = m_device.Read(target, kReadChunk);
    TracePortIo(m_port.strName, '<', TraceSecret().HideInRead(target), code);
    RecordLastError(code);
    return !target.empty();
}

bool CComPortBase::ReadWaiting(std::string& target, int waitMs)
{
    if (!IsOpen()) {
        return false;
    }
    target.clear();
    const int code = m_device.ReadAvailable(target, kReadChunk, waitMs);
    TracePortIo(m_port.strName, '<', TraceSecret().HideInRead(target), code);
    RecordLastError(code);
    return !target.empty();
}

std::int64_t CComPortBase::NowMs()
{
    return MonotonicMs();
}

void CComPortBase::Pause(int ms)
{
    SleepMs(ms);
}

bool CComPortBase::ReadAll(std::string& target)
{
    const std::int64_t start = MonotonicMs();
    std::size_t appended = 0;
    while (appended < kReadAllLimit) {
        std::string chunk;
        if (!Read(chunk)) {
            break;
        }
        target += chunk;
        appended += chunk.size();
        if (MonotonicMs() - start >= kReadAllTimeLimitMs) {
            break;
        }
    }
    return true;
}

void CComPortBase::RecordLastError(int code)
{
    // The code becomes the thread's last error, so that the text for 0
    // describes success rather than an older failure.
    SetLastSystemError(code);
    m_nLastError = code;
    m_strError = PortErrorText(code);
}
