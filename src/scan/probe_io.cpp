#include "scan/probe_io.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "codec/reply_text.h"
#include "platform/clock.h"
#include "platform/port_trace.h"
#include "scan/probe_rules.h"

namespace {

// Input dropped before one command at most: a modem that never stops
// sending still gets its command.
constexpr std::size_t kMaxDroppedBytes = 64 * 1024;

}  // namespace

std::string CProbeLine::Exchange(const std::string& command)
{
    Send(command);
    return Receive();
}

CDeviceProbeLine::CDeviceProbeLine(std::shared_ptr<CSerialDevice> device, std::string portName,
                                   const PROBE_TIMING_t& timing, const CStopToken& stop)
    : m_device(std::move(device)),
      m_strPortName(std::move(portName)),
      m_timing(timing),
      m_stop(stop)
{
}

void CDeviceProbeLine::Send(const std::string& command)
{
    if (!m_device || m_stop.StopRequested()) {
        return;
    }
    // A late answer or an unsolicited line must not pass for this command's.
    std::string waiting;
    for (std::size_t dropped = 0; dropped < kMaxDroppedBytes; dropped += waiting.size()) {
        waiting.clear();
        const int code = m_device->ReadAvailable(waiting, kProbeReplyBytes, 0);
        TracePortIo(m_strPortName, '<', waiting, code);
        if (code != 0 || waiting.empty()) {
            break;
        }
    }
    TracePortIo(m_strPortName, '>', command, m_device->Write(command));
}

std::string CDeviceProbeLine::Receive()
{
    std::string reply;
    if (m_stop.StopRequested()) {
        return reply;
    }
    if (m_timing.bQuietLine) {
        ReadReply(m_device, reply, kProbeReplyBytes, m_strPortName);
        return reply;
    }
    if (!m_device) {
        return reply;
    }
    // The time-outs of the device's read, kept here so that the read can end
    // on the final line.
    const PROBE_TIMING_t& timing = m_timing;
    const std::int64_t total = MonotonicMs() + timing.totalConstantMs +
                               static_cast<std::int64_t>(timing.totalPerByteMs) * kProbeReplyBytes;
    std::string raw;
    std::int64_t lastByte = -1;
    while (raw.size() < kProbeReplyBytes) {
        std::int64_t limit = total;
        if (lastByte >= 0) {
            const bool answered = EndsWithFinalResult(ReplyText(raw));
            limit = std::min(limit, lastByte + (answered ? timing.gapMs : timing.intervalMs));
        }
        const std::int64_t now = MonotonicMs();
        if (now >= limit) {
            break;
        }
        std::string chunk;
        const int code = m_device->ReadAvailable(chunk, kProbeReplyBytes - raw.size(),
                                                 static_cast<int>(limit - now));
        TracePortIo(m_strPortName, '<', chunk, code);
        if (code != 0) {
            break;
        }
        if (!chunk.empty()) {
            raw += chunk;
            lastByte = MonotonicMs();
        }
    }
    return ReplyText(raw);
}

bool SetComBaud(COM_CHECK_RESULT_t& record, int baudRate, const PROBE_TIMING_t& timing)
{
    if (!record.hCom || !record.hCom->IsOpen()) {
        return false;
    }
    SERIAL_TIMEOUTS_t timeouts;
    timeouts.intervalMs = timing.intervalMs;
    timeouts.totalConstantMs = timing.totalConstantMs;
    timeouts.totalPerByteMs = timing.totalPerByteMs;
    return record.hCom->Configure(baudRate, timeouts) == 0;
}

bool ReadReply(const std::shared_ptr<CSerialDevice>& hCom, std::string& reply, std::size_t size,
               const std::string& portName)
{
    reply.clear();
    if (!hCom) {
        return false;
    }
    std::string raw;
    const int code = hCom->Read(raw, size);
    TracePortIo(portName, '<', raw, code);
    reply = ReplyText(raw);
    return code == 0;
}
