// The watch: every watched modem served by a worker of its own
// (watch_worker.h), the other ports probed again now and then, until a stop
// signal or until standard output fails.

#include <csignal>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/arguments.h"
#include "app/inbox_store.h"
#include "app/watch_lines.h"
#include "app/watch_stream.h"
#include "app/watch_worker.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/stream_output.h"
#include "scan/port_scan.h"
#include "scan/port_view.h"
#include "store/message_store.h"

namespace {

// The workers of a watch and their threads.
class CWatchPool {
public:
    explicit CWatchPool(const WATCH_CONTEXT_t& context) : m_context(context) {}
    CWatchPool(const CWatchPool&) = delete;
    CWatchPool& operator=(const CWatchPool&) = delete;
    ~CWatchPool() { Join(); }

    // Starts a worker for the device; false (the port written as "error")
    // when no thread can be started for it.
    bool Start(const COM_DEVICE_t& device)
    {
        auto worker = std::make_unique<CWatchWorker>(device, m_context);
        CWatchWorker* running = worker.get();
        try {
            m_threads.emplace_back([running] { running->Run(); });
        } catch (const std::system_error& error) {
            m_context.pStream->Write(WatchPortRecord(device.port, WATCH_PORT_ERROR, error.what()));
            return false;
        }
        m_workers.push_back(std::move(worker));
        return true;
    }

    // Whether a worker holds the port.
    bool Holds(const COM_PORT_t& port) const
    {
        for (const auto& worker : m_workers) {
            if (worker->Port().strPath == port.strPath) {
                return true;
            }
        }
        return false;
    }

    // Whether an attached worker watches the modem of this identity (IMEI).
    bool Watches(const std::string& identity) const
    {
        for (const auto& worker : m_workers) {
            if (!identity.empty() && worker->Attached() && worker->ModemIdentity() == identity) {
                return true;
            }
        }
        return false;
    }

    void Join()
    {
        for (std::thread& thread : m_threads) {
            thread.join();
        }
        m_threads.clear();
    }

private:
    WATCH_CONTEXT_t m_context;
    std::vector<std::unique_ptr<CWatchWorker>> m_workers;
    std::vector<std::thread> m_threads;
};

std::string JoinedPortList(const std::vector<std::string>& portArgs)
{
    std::string list;
    for (const std::string& arg : portArgs) {
        list += (list.empty() ? "" : ",") + arg;
    }
    return list;
}

// The ports to probe again: the named ones, or every port of the machine;
// those a worker holds are left out.
std::vector<COM_PORT_t> PortsToProbe(const std::string& portList, const CWatchPool& pool)
{
    std::vector<COM_PORT_t> ports;
    if (portList.empty()) {
        EnumComPorts(ports);
    } else {
        std::set<std::string> seen;
        for (const std::string& item : SplitPortList(portList)) {
            if (seen.insert(item).second) {
                ports.push_back(PortNamed("COM" + item));
            }
        }
    }
    std::vector<COM_PORT_t> free;
    for (const COM_PORT_t& port : ports) {
        if (!pool.Holds(port)) {
            free.push_back(port);
        }
    }
    return free;
}

}  // namespace

int CApplication::RunWatchCommand(const std::vector<std::string>& portArgs)
{
    m_scanOptions.bVerbose = false;
    const std::string portList = JoinedPortList(portArgs);
    if (!portArgs.empty() && SplitPortList(portList).empty()) {
        ConsoleNote("tellmar: \"" + portList +
                    "\" is no list of ports (such as 3,4 or COM3,COM4)\n");
        return kWatchStatusBadArguments;
    }
    PrepareStreamOutput();
    CWatchStream stream(ConsoleDocumentCharset());
    // The workers stop on a stop signal and once the stream has failed.
    CStopSource watchStop;
    WATCH_CONTEXT_t context;
    context.pStream = &stream;
    context.stop = watchStop.Token();
    context.scanOptions = m_scanOptions;
    context.scanOptions.stop = watchStop.Token();
    context.pacing = m_atPacing;
    // The store, when one is named: refused, it is said once here, and no
    // worker deletes anything. Each worker opens a connection of its own.
    const char* storePath = std::getenv(kStoreVariable);
    context.strStorePath = storePath != nullptr ? storePath : "";
    const COMMAND_STORE_t store = OpenCommandStore();
    if (store.bSet && !store.store) {
        SayStoreError(store.strError + "; nothing is deleted from any modem");
        context.bStoreRefused = true;
    }

    RefreshPorts();
    std::vector<COM_DEVICE_t> devices;
    std::vector<UNAVAILABLE_PORT_t> unavailable;
    CollectInboxDevices(portList, devices, unavailable);
    CWatchPool pool(context);
    for (COM_DEVICE_t& device : devices) {
        pool.Start(device);
    }
    // A named port, or one where a modem answered, that cannot be watched
    // says why; it is probed again with the others.
    for (const UNAVAILABLE_PORT_t& port : unavailable) {
        bool modem = !portList.empty();
        for (const COM_CHECK_RESULT_t& record : m_vecCheckResults) {
            modem = modem || (record.port.strPath == port.port.strPath && record.bAT);
        }
        if (modem) {
            stream.Write(WatchPortRecord(port.port, WATCH_PORT_ERROR, port.strError));
        }
    }

    std::int64_t nextProbe = MonotonicMs() + context.timing.errorProbeMs;
    for (;;) {
        if (m_stopToken.StopRequested()) {
            watchStop.RequestStop(m_stopToken.Signal());
            break;
        }
        if (stream.Failed()) {
            watchStop.RequestStop(SIGTERM);
            break;
        }
        if (StreamOutputClosed()) {
            stream.Close("standard output closed");
            continue;
        }
        if (MonotonicMs() >= nextProbe) {
            SCAN_OPTIONS_t options = m_scanOptions;
            for (const COM_PORT_t& port : PortsToProbe(portList, pool)) {
                if (m_stopToken.StopRequested()) {
                    break;
                }
                std::vector<COM_CHECK_RESULT_t> records{ProbePort(port, options)};
                ClosePortHandles(records);
                CleanPortFields(records);
                const PORT_VIEW_t view = PortViewOf(records[0]);
                const bool locked = view.nSimLock == SIM_LOCK_PIN || view.nSimLock == SIM_LOCK_PUK;
                if (view.bComplete && !locked && !pool.Watches(records[0].strSerialNo)) {
                    pool.Start(DeviceOfRecord(records[0], m_atPacing));
                }
            }
            nextProbe = MonotonicMs() + context.timing.errorProbeMs;
            continue;
        }
        m_stopToken.WaitFor(200);
    }
    pool.Join();
    if (stream.Failed()) {
        ConsoleNote("tellmar: the watch's output failed (" + stream.FailureText() +
                    "); nothing more was deleted from any modem\n");
        return kWatchStatusOutputFailed;
    }
    return 0;
}
