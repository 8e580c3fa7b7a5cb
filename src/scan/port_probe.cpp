#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/port_trace.h"
#include "scan/port_scan.h"
#include "scan/probe_io.h"
#include "scan/probe_queries.h"
#include "scan/probe_rules.h"

namespace {

// The records of the running scan in publication order, and their lock.
std::vector<COM_CHECK_RESULT_t> gCheckList;
std::timed_mutex gCheckMutex;

// One scan at a time per process: a second scan would clear the list the
// first one is filling.
std::mutex gScanMutex;

constexpr auto kPublishWait = std::chrono::milliseconds(5000);

bool AnswersAt(COM_CHECK_RESULT_t& record, CProbeLine& line, int baudRate)
{
    SetComBaud(record, baudRate);
    record.strBaud = std::to_string(baudRate);
    record.bAT = Holds(line.Exchange("AT\r"), "OK");
    return record.bAT;
}

void Publish(const COM_CHECK_RESULT_t& record)
{
    // The bound only paces the wait: a record is never dropped and never
    // appended without the lock, so a thread whose bound passed waits again.
    while (!gCheckMutex.try_lock_for(kPublishWait)) {
    }
    std::lock_guard<std::timed_mutex> hold(gCheckMutex, std::adopt_lock);
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
        std::lock_guard<std::timed_mutex> hold(gCheckMutex);
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
