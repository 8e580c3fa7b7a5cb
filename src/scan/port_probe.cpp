#include <mutex>
#include <system_error>
#include <thread>

#include "platform/port_trace.h"
#include "scan/port_scan.h"
#include "scan/probe_io.h"
#include "scan/probe_queries.h"
#include "scan/probe_rules.h"

namespace {

// The records of the running scan in publication order, and their lock. A
// plain mutex: a publisher waits until it has the lock however long that
// takes (a bounded wait retried until it succeeds, as the list was once
// guarded, comes to the same), and thread checkers see every hold of it.
std::vector<COM_CHECK_RESULT_t> gCheckList;
std::mutex gCheckMutex;

// One scan at a time per process: a second scan would clear the list the
// first one is filling.
std::mutex gScanMutex;

bool AnswersAt(COM_CHECK_RESULT_t& record, CProbeLine& line, int baudRate)
{
    SetComBaud(record, baudRate);
    record.strBaud = std::to_string(baudRate);
    record.bAT = Holds(line.Exchange("AT\r"), "OK");
    return record.bAT;
}

// A record is never dropped and never appended without the lock.
void Publish(const COM_CHECK_RESULT_t& record)
{
    std::lock_guard<std::mutex> hold(gCheckMutex);
    gCheckList.push_back(record);
}

void CheckPortThread(const COM_PORT_t& port)
{
    Publish(ProbePort(port));
}

}  // namespace

COM_CHECK_RESULT_t ProbePort(const COM_PORT_t& port)
{
    COM_CHECK_RESULT_t record;
    record.port = port;

    auto device = std::make_shared<CSerialDevice>();
    const int openError = device->Open(port);
    if (openError != 0) {
        TracePortOpenFailure(port.strName, openError);
        return record;
    }
    record.hCom = device;
    record.bOpen = true;

    CDeviceProbeLine line(device, port.strName);
    if (!AnswersAt(record, line, 9600) && !AnswersAt(record, line, 115200)) {
        return record;
    }

    RunQuerySteps(record, line);
    return record;
}

void CheckAllPorts(std::vector<COM_CHECK_RESULT_t>& results)
{
    std::lock_guard<std::mutex> oneScan(gScanMutex);

    std::vector<COM_PORT_t> ports;
    ports.reserve(255);
    EnumComPorts(ports);

    {
        std::lock_guard<std::mutex> hold(gCheckMutex);
        gCheckList.clear();
    }

    std::vector<std::thread> threads;
    threads.reserve(ports.size());
    for (const COM_PORT_t& port : ports) {
        try {
            threads.emplace_back(CheckPortThread, port);
        } catch (const std::system_error&) {
            // No thread to spare: probe this port here rather than skip it.
            CheckPortThread(port);
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    results.insert(results.end(), gCheckList.begin(), gCheckList.end());
}
