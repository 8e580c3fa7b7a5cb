// The send command's side of the outbox (app/outbox_send.h).

#include "app/outbox_send.h"

#include <cstdlib>
#include <map>
#include <utility>

#include "app/inbox_store.h"
#include "app/outbox_records.h"
#include "app/outbox_service.h"
#include "drivers/result_codes.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/store_file.h"

namespace {

std::string StorePath()
{
    const char* path = std::getenv(kStoreVariable);
    return path != nullptr ? path : "";
}

bool ServesStore(const WATCH_HOLDER_t& holder, const std::string& storePath)
{
    return holder.bWatched && !storePath.empty() && SameStoreFile(storePath, holder.strStore);
}

bool Finished(const OutboxRow& row)
{
    return row.state == OutboxState::Done || row.state == OutboxState::Failed;
}

OutboxResult FailedResult(const std::string& message)
{
    OutboxResult result;
    result.code = CMD_RESULT_FAILED;
    result.message = message;
    result.time = NowText();
    return result;
}

}  // namespace

COutboxSender::COutboxSender(const CStopToken& stop) : m_stop(stop), m_storePath(StorePath()) {}

bool COutboxSender::ServedByWatch(const COM_PORT_t& port)
{
    const std::string storePath = StorePath();
    return !storePath.empty() && ServesStore(CWatchMark::Test(port), storePath);
}

void COutboxSender::Prepare(const std::vector<COM_DEVICE_t>& devices,
                            const std::vector<std::string>& numbers, const std::string& text,
                            bool statusReports)
{
    m_devices.assign(devices.size(), DEVICE_t());
    std::map<std::string, WATCH_HOLDER_t> tested;
    std::vector<OutboxRequest> requests;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        DEVICE_t& device = m_devices[i];
        device.device = devices[i];
        device.numbers = numbers;
        device.bReferences = statusReports;
        if (!devices[i].bPortFound) {
            continue;
        }
        const auto found = tested.find(devices[i].port.strName);
        device.holder = found != tested.end() ? found->second : CWatchMark::Test(devices[i].port);
        tested[devices[i].port.strName] = device.holder;
        if (!device.holder.bWatched) {
            continue;
        }
        device.route = ServesStore(device.holder, m_storePath) ? ROUTE_OUTBOX : ROUTE_HELD;
        if (device.route == ROUTE_OUTBOX) {
            device.nFirstRow = requests.size();
            for (const std::string& number : numbers) {
                requests.push_back(OutboxRequest{devices[i].port.strName, number, text,
                                                 OutboxOptionsText(statusReports)});
            }
        }
    }
    if (requests.empty()) {
        return;
    }
    std::string error;
    m_store = MessageStore::Open(m_storePath, error);
    if (!m_store || !m_store->Enqueue(requests, m_batch, error)) {
        // Nothing was queued: the watch's ports are busy, as without a store.
        ConsoleNote("tellmar: " + error + "\n");
        m_store.reset();
        for (DEVICE_t& device : m_devices) {
            if (device.route == ROUTE_OUTBOX) {
                device.route = ROUTE_HELD;
            }
        }
    }
}

bool COutboxSender::Handles(std::size_t index) const
{
    return index < m_devices.size() && m_devices[index].route != ROUTE_DIRECT;
}

void COutboxSender::Work(std::size_t index, const std::function<void(SEND_RESULT_t)>& emit)
{
    const DEVICE_t& device = m_devices[index];
    if (device.route == ROUTE_HELD) {
        COM_DEVICE_t held = device.device;
        held.strCardNo.clear();
        held.strReason = WatchHolderText(device.holder);
        for (const std::string& number : device.numbers) {
            emit(UnusableSendResult(held, number, device.bReferences, true));
        }
        return;
    }
    const std::size_t count = device.numbers.size();
    std::size_t next = 0;  // the results given so far
    std::string readError;
    for (;;) {
        std::vector<OutboxRow> rows;
        std::string error;
        if (m_store->Batch(m_batch, rows, error) && rows.size() >= device.nFirstRow + count) {
            rows.assign(rows.begin() + static_cast<std::ptrdiff_t>(device.nFirstRow),
                        rows.begin() + static_cast<std::ptrdiff_t>(device.nFirstRow + count));
            for (; next < count && Finished(rows[next]); ++next) {
                emit(SendResultOf(device.device.port, rows[next]));
            }
            if (next == count) {
                return;
            }
        } else {
            if (readError.empty()) {
                ConsoleNote("tellmar: " + error + "\n");
            }
            readError = error;
            rows.clear();
        }
        if (m_stop.StopRequested()) {
            GiveUpOnStop(device, rows, next, readError, emit);
            return;
        }
        if (!rows.empty() && !ServesStore(CWatchMark::Test(device.device.port), m_storePath)) {
            GiveUpOnGoneWatch(device, rows);
        }
        m_stop.WaitFor(kPollMs);
    }
}

SEND_RESULT_t COutboxSender::GivenUp(const DEVICE_t& device, const std::string& number,
                                     const OutboxResult& outcome) const
{
    OutboxRow row;
    row.request.number = number;
    row.result = outcome;
    SEND_RESULT_t result = SendResultOf(device.device.port, row);
    result.bReferences = device.bReferences;
    return result;
}

void COutboxSender::GiveUpOnStop(const DEVICE_t& device, const std::vector<OutboxRow>& rows,
                                 std::size_t next, const std::string& readError,
                                 const std::function<void(SEND_RESULT_t)>& emit)
{
    const std::string stopped = "Stopped by " + m_stop.Reason();
    for (std::size_t i = next; i < device.numbers.size(); ++i) {
        const std::string& number = device.numbers[i];
        if (i >= rows.size()) {
            emit(GivenUp(device, number, FailedResult(stopped + ": " + readError)));
            continue;
        }
        const OutboxResult notSent = FailedResult(stopped + ": not sent");
        bool failed = false;
        std::string error;
        if (m_store->FailWaiting(rows[i].id, notSent, failed, error) && failed) {
            emit(GivenUp(device, number, notSent));
            continue;
        }
        // Taken by the watch since: its result may be there already.
        std::vector<OutboxRow> now;
        if (m_store->Batch(m_batch, now, error) && now.size() > device.nFirstRow + i &&
            Finished(now[device.nFirstRow + i])) {
            emit(SendResultOf(device.device.port, now[device.nFirstRow + i]));
            continue;
        }
        emit(GivenUp(device, number,
                     FailedResult(stopped + ": " + WatchHolderText(device.holder) +
                                  " was sending it; its result goes to outbox row " +
                                  std::to_string(rows[i].id))));
    }
}

void COutboxSender::GiveUpOnGoneWatch(const DEVICE_t& device, const std::vector<OutboxRow>& rows)
{
    const std::string name = WatchName(device.holder);
    const OutboxResult notSent = FailedResult("not sent: " + name + " ended before sending it");
    bool sending = false;
    for (const OutboxRow& row : rows) {
        bool failed = false;
        std::string error;
        if (row.state == OutboxState::Waiting) {
            m_store->FailWaiting(row.id, notSent, failed, error);
        }
        sending = sending || row.state == OutboxState::Sending;
    }
    if (!sending) {
        return;
    }
    // Rows its watch took are failed only while no watch of this store can
    // take the port: the mark is held for that moment (a watch of another
    // store holds it: it never takes rows of this store).
    const std::vector<std::string> ports = {device.device.port.strName};
    int expired = 0;
    std::string error;
    const WATCH_HOLDER_t holder = CWatchMark::Test(device.device.port);
    if (holder.bWatched) {
        if (!ServesStore(holder, m_storePath)) {
            m_store->ExpireSending(ports, SendingLeftBehind(name), expired, error);
        }
        return;
    }
    CWatchMark mark;
    if (mark.Take(device.device.port, "", error)) {
        m_store->ExpireSending(ports, SendingLeftBehind(name), expired, error);
    }
}
