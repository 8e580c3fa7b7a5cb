#include "scan/probe_io.h"

#include <utility>

#include "scan/port_scan.h"
#include "scan/probe_rules.h"

std::string CProbeLine::Exchange(const std::string& command)
{
    Send(command);
    return Receive();
}

CDeviceProbeLine::CDeviceProbeLine(std::shared_ptr<CSerialDevice> device)
    : m_device(std::move(device))
{
}

void CDeviceProbeLine::Send(const std::string& command)
{
    if (m_device) {
        m_device->Write(command);
    }
}

std::string CDeviceProbeLine::Receive()
{
    std::string reply;
    ReadReply(m_device, reply, kProbeReplyBytes);
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

bool ReadReply(const std::shared_ptr<CSerialDevice>& hCom, std::string& reply, std::size_t size)
{
    reply.clear();
    if (!hCom) {
        return false;
    }
    std::string raw;
    const bool ok = hCom->Read(raw, size) == 0;
    reply = ReplyText(raw);
    return ok;
}
