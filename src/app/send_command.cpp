// The send command: argument rules, the send loop and its reports.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/arguments.h"
#include "app/device_errors.h"
#include "app/device_workers.h"
#include "app/json_documents.h"
#include "app/json_text.h"
#include "app/outbox_send.h"
#include "platform/charset.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "transport/com_port.h"
#include "transport/sms_sequences.h"

namespace {

constexpr int kMaxAttempts = 3;
// The carriers' service numbers (10086, 10010) get the text without the time.
constexpr std::size_t kServiceNumberLength = 5;

// What a send that a stop request ended did: nothing, or some of its parts.
std::string StoppedText(const CAtPort& port, const SMS_SEND_t& send)
{
    if (send.nAccepted == 0) {
        return port.FailureText() + ": not sent";
    }
    return port.FailureText() + ": " + std::to_string(send.nAccepted) + " of " +
           std::to_string(send.vecParts.size()) + " parts sent";
}

// Every number through one device, in order: one result per number. With
// `statusReports`, every part asks for a status report and the results
// carry the references of the parts, where the model gives them. Once a
// stop is requested, the part in progress is finished and every number not
// sent in full is reported failed, saying so.
void SendThroughDevice(const COM_DEVICE_t& device, const std::vector<std::string>& numbers,
                       const std::string& text, bool statusReports,
                       const std::function<void(SEND_RESULT_t)>& emit)
{
    CComPortBase port(device.port, device.nBaud, device.pacing, device.stop);
    const std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(device.nDeviceType);
    const bool references = statusReports && (!driver || driver->SupportsStatusReports());
    for (const std::string& number : numbers) {
        if (device.nSimLock == SIM_LOCK_PIN || device.nSimLock == SIM_LOCK_PUK ||
            device.strCardNo.empty() || !driver) {
            emit(UnusableSendResult(device, number, references, driver != nullptr));
        } else {
            emit(SendOnPort(*driver, port, device.port, number, text, statusReports));
        }
    }
}

}  // namespace

SEND_RESULT_t UnusableSendResult(const COM_DEVICE_t& device, const std::string& number,
                                 bool references, bool hasDriver)
{
    SEND_RESULT_t result;
    result.port = device.port;
    result.strNumber = number;
    result.strTime = NowText();
    result.bReferences = references;
    result.strError = device.strReason;
    if (device.nSimLock == SIM_LOCK_PIN || device.nSimLock == SIM_LOCK_PUK) {
        // Nothing goes to a locked SIM: the modem would refuse it.
        result.nResult = DeviceStatusCode(device);
    } else if (device.strCardNo.empty()) {
        result.nResult = CMD_RESULT_NO_SIM;
    } else {
        result.nResult = DeviceStatusCode(device);
        if (!hasDriver) {
            result.strMessage = ResultTextZh(CMD_RESULT_NOT_AT);
        }
    }
    return result;
}

SEND_RESULT_t SendOnPort(CPhoneCardBase& driver, CAtPort& port, const COM_PORT_t& com,
                         const std::string& number, const std::string& text, bool statusReports)
{
    SEND_RESULT_t result;
    result.port = com;
    result.strNumber = number;
    result.strTime = NowText();
    driver.SetStatusReports(statusReports && driver.SupportsStatusReports());
    result.bReferences = statusReports && driver.SupportsStatusReports();
    const std::string message = AppendSendTime(text, number, result.strTime);
    RunInitCommands(&driver, &port);
    // A network error left by the previous number must not make this one
    // repeat a failure that came before its body.
    driver.ClearRetryableError();
    // A retry resends only the part the network refused.
    SMS_SEND_t send;
    bool sent = false;
    int attempts = 0;
    do {
        sent = TransmitSms(&driver, &port, number, message, send);
        ++attempts;
    } while (!sent && driver.RetryableError() && attempts < kMaxAttempts);
    result.nResult = sent ? CMD_RESULT_SUCCEED : CMD_RESULT_FAILED;
    result.vecReferences = send.vecReferences;
    result.strMessage =
        port.WasStopped() ? StoppedText(port, send) : FailureReason(DeviceErrors(&driver, port));
    return result;
}

std::string AppendSendTime(const std::string& text, const std::string& number,
                           const std::string& time)
{
    if (number.size() == kServiceNumberLength) {
        return text;
    }
    return text + " " + time;
}

COM_CMD_OPERATE_RESULT_t DeviceStatusCode(const COM_DEVICE_t& device)
{
    if (!device.bPortFound) {
        return CMD_RESULT_NO_PORT;
    }
    if (!device.bAT) {
        return CMD_RESULT_NOT_AT;
    }
    if (device.strSerialNo.empty()) {
        return CMD_RESULT_FOREIGN_SMS_DEVICE;
    }
    if (device.nSimLock == SIM_LOCK_PIN) {
        return CMD_RESULT_SIM_PIN;
    }
    if (device.nSimLock == SIM_LOCK_PUK) {
        return CMD_RESULT_SIM_PUK;
    }
    if (device.strCardNo.empty()) {
        return CMD_RESULT_NO_SIM;
    }
    if (device.strSignal.empty()) {
        return CMD_RESULT_NO_SIGNAL;
    }
    // A complete device that no driver knows: nothing is sent, so this must
    // never read as success.
    return CMD_RESULT_FOREIGN_DEVICE;
}

void CApplication::RunSendCommand(int argc, char** argv)
{
    // "--report" before the forms: the same forms, one argument later.
    const bool statusReports = argc >= 2 && IsReportOption(argv[1]);
    if (statusReports) {
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    const int outcome = ParseSendArguments(argc, argv, statusReports);
    if (outcome == SEND_PARSE_SENT) {
        PrintSendResults();
    } else {
        ConsoleWrite(StyledDocumentText(SendErrorDocument(outcome), ConsoleDocumentCharset()));
    }
}

int CApplication::ParseSendArguments(int argc, char** argv, bool statusReports)
{
    std::string portList;
    std::string numberList;
    std::string text;
    if (argc == 3) {
        numberList = argv[1];
        text = StripQuotes(argv[2]);
    } else if (argc == 4) {
        portList = argv[1];
        numberList = argv[2];
        text = StripQuotes(argv[3]);
    } else {
        return SEND_PARSE_BAD_COUNT;
    }

    RefreshPorts();

    const std::vector<std::string> numbers = SplitNumberList(numberList);
    if (numbers.empty()) {
        return SEND_PARSE_BAD_NUMBER;
    }
    std::vector<COM_DEVICE_t> devices;
    if (!DiscoverDevices(portList, devices, COutboxSender::ServedByWatch)) {
        return SEND_PARSE_NO_PORT;
    }
    if (text.empty()) {
        text = DefaultSmsText();
    }
    CollectSendResults(devices, numbers, text, statusReports);
    return SEND_PARSE_SENT;
}

void CApplication::SendToDevices(const std::vector<COM_DEVICE_t>& devices,
                                 const std::vector<std::string>& numbers, const std::string& text,
                                 const SendReport& report, bool statusReports)
{
    // All devices at once; the results are reported in device order. Ports
    // a watch holds are left to the outbox.
    const CStopToken stop = m_stopToken;
    COutboxSender outbox(stop);
    outbox.Prepare(devices, numbers, text, statusReports);
    CDeviceWorkers<SEND_RESULT_t>::Run(
        devices,
        [&devices, &numbers, &text, statusReports, &stop, &outbox](
            const COM_DEVICE_t& device, const CDeviceWorkers<SEND_RESULT_t>::Emit& emit) {
            // Run hands each element of `devices` itself.
            const std::size_t index = static_cast<std::size_t>(&device - devices.data());
            if (outbox.Handles(index)) {
                outbox.Work(index, emit);
                return;
            }
            COM_DEVICE_t stoppable = device;
            stoppable.stop = stop;
            SendThroughDevice(stoppable, numbers, text, statusReports, emit);
        },
        [&report](SEND_RESULT_t& result) { report(result); });
}

void CApplication::CollectSendResults(const std::vector<COM_DEVICE_t>& devices,
                                      const std::vector<std::string>& numbers,
                                      const std::string& text, bool statusReports)
{
    m_vecSendResults.clear();
    SendToDevices(
        devices, numbers, text,
        [this](const SEND_RESULT_t& result) { m_vecSendResults.push_back(result); }, statusReports);
}

void CApplication::PrintSendResults()
{
    ConsoleWrite(
        StyledDocumentText(SendResultDocument(m_vecSendResults), ConsoleDocumentCharset()));
}
