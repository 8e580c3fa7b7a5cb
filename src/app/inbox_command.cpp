// The inbox command: read and/or clear every complete modem, one document.

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/application.h"
#include "app/arguments.h"
#include "app/device_workers.h"
#include "app/inbox_store.h"
#include "app/json_documents.h"
#include "app/json_text.h"
#include "platform/clock.h"
#include "platform/console.h"

namespace {

// What the devices of a read-then-clear share of the store: the store
// itself, and its first refusal. Once it has refused a message it is asked
// nothing more in this command (a locked or full store would make every
// device wait for each of its messages), and what it did not take stays on
// the modems.
class CInboxKeeper {
public:
    // `store`: null when the command has none.
    explicit CInboxKeeper(MessageStore* store) : m_store(store) {}

    // Whether the entry may be deleted as far as the store is concerned:
    // kept, or there is no store.
    template <class Entry>
    bool Keep(const Entry& entry, const STORE_ORIGIN_t& origin)
    {
        if (m_store == nullptr) {
            return true;
        }
        if (m_failed.load()) {
            return false;
        }
        std::string error;
        if (KeepInStore(*m_store, entry, origin, error)) {
            return true;
        }
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_failed.exchange(true)) {
            m_error = error;
        }
        return false;
    }

    // The first refusal; empty when there was none.
    std::string FirstError()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_error;
    }

private:
    MessageStore* m_store;
    std::atomic<bool> m_failed{false};
    std::mutex m_lock;
    std::string m_error;
};

// Keeps what a read-then-clear read of one storage and returns the storage
// indexes it may delete: every part of each message read, but those of a
// long message that still waits for its other parts (neither kept nor
// deleted) and those of a message the store did not take. Only indexes the
// read listed as readable are taken. `allKept` becomes false when a message
// that was to go was not kept. Unreadable entries are kept too; they are
// never deleted.
std::vector<int> KeepAndChooseDeletions(const std::vector<SmsMessage>& messages,
                                        const std::vector<SmsUnreadable>& unreadable,
                                        const std::vector<int>& listed, std::int64_t nowUtc,
                                        const STORE_ORIGIN_t& origin, CInboxKeeper& keeper,
                                        bool& allKept)
{
    std::vector<int> indexes;
    for (const SmsMessage& message : messages) {
        if (IsHeldBack(message, nowUtc, kIncompleteLimitSeconds)) {
            continue;
        }
        if (!keeper.Keep(message, origin)) {
            allKept = false;
            continue;
        }
        for (int index : message.vecIndexes) {
            if (std::find(listed.begin(), listed.end(), index) != listed.end() &&
                std::find(indexes.begin(), indexes.end(), index) == indexes.end()) {
                indexes.push_back(index);
            }
        }
    }
    for (const SmsUnreadable& entry : unreadable) {
        // An entry of which no line came has nothing to keep.
        if (!entry.strPdu.empty()) {
            keeper.Keep(entry, origin);
        }
    }
    return indexes;
}

// Reads and/or clears one device, as its port object of the document.
INBOX_PORT_RESULT_t WorkInboxDevice(const COM_DEVICE_t& device, bool reads, bool clears,
                                    CInboxKeeper& keeper, bool storeRefused)
{
    INBOX_PORT_RESULT_t port;
    port.port = device.port;
    if (reads) {
        const INBOX_READ_t read = ReadInbox(device);
        port.bRead = true;
        port.vecSm = read.vecSm;
        port.vecMe = read.vecMe;
        port.vecSr = read.vecSr;
        port.vecSmUnreadable = read.vecSmUnreadable;
        port.vecMeUnreadable = read.vecMeUnreadable;
        port.vecSrUnreadable = read.vecSrUnreadable;
        port.strError = read.strError;
        if (clears) {
            // The parts of a young incomplete message stay for the rest to
            // come; the next run reads them again, whole or older.
            const std::int64_t now = WallSeconds();
            port.bHolds = true;
            port.nNowUtc = now;
            port.bCleared = true;
            if (storeRefused) {
                return port;  // nothing leaves a modem that the store cannot take
            }
            // Everything is kept before the first deletion is sent, so that
            // a command stopped while it deletes has lost nothing.
            STORE_ORIGIN_t origin{device.port.strName, device.strIccid, "", NowText()};
            bool allKept = true;
            INBOX_READ_t deletions = read;
            origin.strStorage = "DEV";
            deletions.vecMeIndexes = KeepAndChooseDeletions(
                read.vecMe, read.vecMeUnreadable, read.vecMeIndexes, now, origin, keeper, allKept);
            origin.strStorage = "SIM";
            deletions.vecSmIndexes = KeepAndChooseDeletions(
                read.vecSm, read.vecSmUnreadable, read.vecSmIndexes, now, origin, keeper, allKept);
            origin.strStorage = "SR";
            deletions.vecSrIndexes = KeepAndChooseDeletions(
                read.vecSr, read.vecSrUnreadable, read.vecSrIndexes, now, origin, keeper, allKept);
            port.bClear = ClearReadMessages(device, deletions) && allKept;
        }
    } else {
        port.bCleared = true;
        port.bClear = ClearInbox(device);
    }
    return port;
}

}  // namespace

namespace {

// The port arguments as one list (blanks separate items anyway).
std::string JoinedPortList(const std::vector<std::string>& portArgs)
{
    std::string list;
    for (const std::string& arg : portArgs) {
        list += (list.empty() ? "" : ",") + arg;
    }
    return list;
}

std::string UnknownWordMessage(const std::string& word)
{
    std::string words;
    for (const std::string& known : InboxWords()) {
        words += (words.empty() ? "" : ", ") + known;
    }
    return "unknown word \"" + word + "\"; the words are " + words;
}

}  // namespace

void CApplication::RunInboxCommand(const std::string& word,
                                   const std::vector<std::string>& portArgs)
{
    m_scanOptions.bVerbose = false;
    const INBOX_REQUEST_t request = ParseInboxWord(word);
    const std::int64_t start = WallSeconds();

    INBOX_RESULT_t result;
    result.strType = word;
    result.bCheck = request.nOperation != INBOX_OPERATION_NONE;
    const std::string portList = JoinedPortList(portArgs);
    if (!result.bCheck) {
        result.strMessage = UnknownWordMessage(word);
    } else if (!portArgs.empty() && SplitPortList(portList).empty()) {
        // Named ports that name none must not become every port.
        result.bCheck = false;
        result.strMessage =
            "com port error: \"" + portList + "\" is no list of ports (such as 3,4 or COM3,COM4)";
    }

    if (result.bCheck) {
        RefreshPorts();
        std::vector<COM_DEVICE_t> devices;
        CollectInboxDevices(portList, devices, result.vecUnavailable);
        const bool reads = request.nOperation != INBOX_OPERATION_CLEAR;
        const bool clears = request.nOperation != INBOX_OPERATION_READ;
        // A read-then-clear keeps what it takes off the modems in the store
        // TELLMAR_STORE names; a store that cannot be opened is said once,
        // and then nothing is deleted.
        COMMAND_STORE_t store;
        if (reads && clears) {
            store = OpenCommandStore();
            if (!store.strError.empty()) {
                SayStoreError(store.strError);
            }
        }
        const bool storeRefused = store.bSet && store.store == nullptr;
        CInboxKeeper keeper(store.store.get());
        // All devices at once; the ports of the document stay in device order.
        // A stop request ends the work on each: what was read is reported.
        const CStopToken stop = m_stopToken;
        CDeviceWorkers<INBOX_PORT_RESULT_t>::Run(
            devices,
            [reads, clears, storeRefused, &stop, &keeper](
                const COM_DEVICE_t& device, const CDeviceWorkers<INBOX_PORT_RESULT_t>::Emit& emit) {
                COM_DEVICE_t stoppable = device;
                stoppable.stop = stop;
                emit(WorkInboxDevice(stoppable, reads, clears, keeper, storeRefused));
            },
            [&result](INBOX_PORT_RESULT_t& port) { result.vecPorts.push_back(std::move(port)); });
        const std::string refusal = keeper.FirstError();
        if (!refusal.empty()) {
            SayStoreError(refusal);
        }
    }

    result.nSeconds = WallSeconds() - start;
    const Json::Value document = InboxDocument(result);
    ConsoleWrite(request.bCompact ? CompactDocumentText(document, ConsoleDocumentCharset())
                                  : StyledDocumentText(document, ConsoleDocumentCharset()));
}
