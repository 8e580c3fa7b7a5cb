#include <system_error>
#include <thread>

#include "platform/port_trace.h"
#include "scan/port_scan.h"
#include "scan/probe_io.h"
#include "scan/probe_queries.h"
#include "scan/probe_rules.h"

namespace {

bool AnswersAt(COM_CHECK_RESULT_t& record, CProbeLine& line, int baudRate,
               const PROBE_TIMING_t& timing)
{
    SetComBaud(record, baudRate, timing);
    record.strBaud = std::to_string(baudRate);
    record.bAT = Holds(line.Exchange("AT\r"), "OK");
    return record.bAT;
}

}  // namespace

COM_CHECK_RESULT_t ProbePort(const COM_PORT_t& port, const SCAN_OPTIONS_t& options)
{
    COM_CHECK_RESULT_t record;
    record.port = port;

    auto device = std::make_shared<CSerialDevice>();
    const int openError = device->Open(port);
    if (openError != 0) {
        TracePortOpenFailure(port.strName, openError);
        record.nOpenError = openError;
        return record;
    }
    record.hCom = device;
    record.bOpen = true;

    CDeviceProbeLine line(device, port.strName, options.timing, options.stop);
    if (!AnswersAt(record, line, 9600, options.timing) &&
        !AnswersAt(record, line, 115200, options.timing)) {
        return record;
    }

    RunQuerySteps(record, line, options.bVerbose);
    return record;
}

std::vector<COM_CHECK_RESULT_t> CheckAllPorts(const SCAN_OPTIONS_t& options)
{
    std::vector<COM_PORT_t> ports;
    ports.reserve(255);
    EnumComPorts(ports);

    std::vector<COM_CHECK_RESULT_t> records(ports.size());
    auto probe = [&ports, &records, &options](std::size_t i) {
        records[i] = ProbePort(ports[i], options);
    };
    std::vector<std::thread> threads;
    threads.reserve(ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i) {
        try {
            threads.emplace_back(probe, i);
        } catch (const std::system_error&) {
            // No thread to spare: probe this port here rather than skip it.
            probe(i);
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    return records;
}
