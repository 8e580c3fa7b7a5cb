// The inbox command: read and/or clear every complete modem, one document.

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
        port.vecSmUnreadable = read.vecSmUnreadable;
        port.vecMeUnreadable = read.vecMeUnreadable;
        port.strError = read.strError;
        if (clears) {
            port.bCleared = true;
            port.bClear = ClearReadMessages(device, read);
        }
    } else {
        port.bCleared = true;
        port.bClear = ClearInbox(device);
    }
    return port;
}

}  // namespace

void CApplication::RunInboxCommand(const std::string& word)
{
    m_scanOptions.bVerbose = false;
    const INBOX_REQUEST_t request = ParseInboxWord(word);
    const std::int64_t start = WallSeconds();

    INBOX_RESULT_t result;
    result.strType = word;
    result.bCheck = request.nOperation != INBOX_OPERATION_NONE;

    if (result.bCheck) {
        RefreshPorts();
        std::vector<COM_DEVICE_t> devices;
        CollectInboxDevices(devices);
        const bool reads = request.nOperation != INBOX_OPERATION_CLEAR;
        const bool clears = request.nOperation != INBOX_OPERATION_READ;
        // All devices at once; the ports of the document stay in device order.
        CDeviceWorkers<INBOX_PORT_RESULT_t>::Run(
            devices,
            [reads, clears](const COM_DEVICE_t& device,
                            const CDeviceWorkers<INBOX_PORT_RESULT_t>::Emit& emit) {
                emit(WorkInboxDevice(device, reads, clears));
            },
            [&result](INBOX_PORT_RESULT_t& port) { result.vecPorts.push_back(std::move(port)); });
    }

    result.nSeconds = WallSeconds() - start;
    const Json::Value document = InboxDocument(result);
    ConsoleWrite(request.bCompact ? CompactDocumentText(document, ConsoleDocumentCharset())
                                  : StyledDocumentText(document, ConsoleDocumentCharset()));
}
