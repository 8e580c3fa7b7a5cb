#include "scan/probe_io.h"

#include <utility>

#include "platform/port_trace.h"

#include "scan/port_scan.h"
#include "scan/probe_rules.h"

std::string CProbeLine::Exchange(const std::string& command)
{
    Send(command);
    return Receive();
}

CDeviceProbeLine::CDeviceProbeLine(std::shared_ptr<CSerialDevice> device, std::string portName)
    : m_device(std::move(device)), m_strPortName(std::move(portName))
{
}

void CDeviceProbeLine::Send(const std::string& command)
{
    if (m_device) {
        TracePortIo(m_strPortName, '>', command, m_device->Write(command));
    }
}

std::string CDeviceProbeLine::Receive()
{
    std::string reply;
    ReadReply(m_device, reply, kProbeReplyBytes, m_strPortName);
    return reply;
}

bool SetComBaud(COM_CHECK_RESULT_t& record, int baudRate)
{
    if (!record.hCom || !record.hCom->IsOpen()) {
        return false;
    }
    const PROBE_TIMING_t& timing = ProbeTiming();
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
