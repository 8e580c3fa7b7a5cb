// The inbox command: read and/or clear every complete modem, one document.

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/application.h"
#include "app/arguments.h"
#include "app/device_workers.h"
#include "app/json_documents.h"
#include "app/json_text.h"
#include "platform/clock.h"
#include "platform/console.h"

namespace {

// The storage indexes a read-then-clear deletes of one storage: every part
// of each message it read, but those of a long message that still waits for
// its other parts. Only indexes the read listed as readable are taken.
std::vector<int> IndexesToDelete(const std::vector<SmsMessage>& messages,
                                 const std::vector<int>& listed, std::int64_t nowUtc)
{
    std::vector<int> indexes;
    for (const SmsMessage& message : messages) {
        if (IsHeldBack(message, nowUtc, kIncompleteLimitSeconds)) {
            continue;
        }
        for (int index : message.vecIndexes) {
            if (std::find(listed.begin(), listed.end(), index) != listed.end() &&
                std::find(indexes.begin(), indexes.end(), index) == indexes.end()) {
                indexes.push_back(index);
            }
        }
    }
    return indexes;
}

// Reads and/or clears one device, as its port object of the document.
INBOX_PORT_RESULT_t WorkInboxDevice(const COM_DEVICE_t& device, bool reads, bool clears)
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
            INBOX_READ_t deletions = read;
            deletions.vecMeIndexes = IndexesToDelete(read.vecMe, read.vecMeIndexes, now);
            deletions.vecSmIndexes = IndexesToDelete(read.vecSm, read.vecSmIndexes, now);
            deletions.vecSrIndexes = IndexesToDelete(read.vecSr, read.vecSrIndexes, now);
            port.bCleared = true;
            port.bClear = ClearReadMessages(device, deletions);
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
        // All devices at once; the ports of the document stay in device order.
        // A stop request ends the work on each: what was read is reported.
        const CStopToken stop = m_stopToken;
        CDeviceWorkers<INBOX_PORT_RESULT_t>::Run(
            devices,
            [reads, clears, &stop](const COM_DEVICE_t& device,
                                   const CDeviceWorkers<INBOX_PORT_RESULT_t>::Emit& emit) {
                COM_DEVICE_t stoppable = device;
                stoppable.stop = stop;
                emit(WorkInboxDevice(stoppable, reads, clears));
            },
            [&result](INBOX_PORT_RESULT_t& port) { result.vecPorts.push_back(std::move(port)); });
    }

    result.nSeconds = WallSeconds() - start;
    const Json::Value document = InboxDocument(result);
    ConsoleWrite(request.bCompact ? CompactDocumentText(document, ConsoleDocumentCharset())
                                  : StyledDocumentText(document, ConsoleDocumentCharset()));
}
