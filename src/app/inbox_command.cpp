// The inbox command: read and/or clear every complete modem, one document.

#include <string>
#include <vector>

#include "app/application.h"
#include "app/json_documents.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "scan/port_scan.h"

void CApplication::RunInboxCommand(const std::string& word)
{
    gVerbose = false;
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
        for (const COM_DEVICE_t& device : devices) {
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
            result.vecPorts.push_back(port);
        }
    }

    result.nSeconds = WallSeconds() - start;
    const Json::Value document = InboxDocument(result);
    ConsoleWrite(request.bCompact ? CompactDocumentText(document, ConsoleDocumentCharset())
                                 : StyledDocumentText(document, ConsoleDocumentCharset()));
}
