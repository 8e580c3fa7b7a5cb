// The commands on the SIM and the network of named ports: the pin command,
// which enters a SIM's PIN once where the SIM waits for it, and the ussd
// command, which sends a USSD code and shows the network's answer. Both
// print a result document shaped like the send's.

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
#include "platform/clock.h"
#include "platform/console.h"
#include "transport/at_transaction.h"
#include "transport/com_port.h"
#include "transport/sms_sequences.h"

namespace {

// Why the device cannot be asked at all: its port is missing or silent, or
// it is no modem with a serial number. CMD_RESULT_SUCCEED when it can.
COM_CMD_OPERATE_RESULT_t UnreachableCode(const COM_DEVICE_t& device)
{
    if (!device.bPortFound || !device.bAT || device.strSerialNo.empty()) {
        return DeviceStatusCode(device);
    }
    return CMD_RESULT_SUCCEED;
}

PORT_COMMAND_RESULT_t Refused(PORT_COMMAND_RESULT_t result, COM_CMD_OPERATE_RESULT_t code,
                              const std::string& reason)
{
    result.nResult = code;
    result.strError = reason;
    return result;
}

// The pin command on one device: the PIN is written once, and only when the
// SIM waits for it, as the scan found and as the modem says right before.
PORT_COMMAND_RESULT_t EnterPinOnDevice(const COM_DEVICE_t& device, const std::string& pin)
{
    PORT_COMMAND_RESULT_t result;
    result.port = device.port;
    result.strTime = NowText();
    const COM_CMD_OPERATE_RESULT_t unreachable = UnreachableCode(device);
    if (unreachable != CMD_RESULT_SUCCEED) {
        return Refused(result, unreachable, device.strReason);
    }
    if (device.nSimLock == SIM_LOCK_PUK) {
        return Refused(result, CMD_RESULT_SIM_PUK, device.strReason);
    }
    if (device.nSimLock != SIM_LOCK_PIN) {
        // Without a card number and a known state there may be no SIM.
        const bool noSim = device.strCardNo.empty() && device.nSimLock == SIM_LOCK_UNKNOWN;
        return Refused(result, noSim ? CMD_RESULT_NO_SIM : CMD_RESULT_NO_PIN_WAITED,
                       noSim ? device.strReason : std::string());
    }

    // A modem of no known model takes the standard commands of the base driver.
    std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(device.nDeviceType);
    if (!driver) {
        driver = std::make_unique<CPhoneCardBase>();
    }
    CComPortBase port(device.port, device.nBaud, device.pacing);
    result.nResult = CMD_RESULT_FAILED;
    if (port.Open()) {
        // Numeric error lines, so that a refusal says why.
        RunDriverCommand(driver.get(), &port, "AT+CMEE=1\r\n", &CPhoneCardBase::ParseInit,
                         ShortLimits(port.Pacing()));
        driver->ClearLastError();
        if (QueryPinState(driver.get(), &port)) {
            switch (SimLockOf(driver->PinState())) {
            case SIM_LOCK_PIN:
                break;
            case SIM_LOCK_PUK:
                return Refused(result, CMD_RESULT_SIM_PUK, ResultTextEn(CMD_RESULT_SIM_PUK));
            default:
                return Refused(result, CMD_RESULT_NO_PIN_WAITED, std::string());
            }
            if (EnterPin(driver.get(), &port, pin)) {
                result.nResult = CMD_RESULT_SUCCEED;
                return result;
            }
            result.strMessage = FailureReason(DeviceErrors(driver.get(), port));
            QueryPinAttempts(driver.get(), &port);
            result.nAttempts = driver->PinAttempts();
            return result;
        }
    }
    result.strMessage = FailureReason(DeviceErrors(driver.get(), port));
    return result;
}

// The ussd command on one device.
PORT_COMMAND_RESULT_t RequestUssdOnDevice(const COM_DEVICE_t& device, const std::string& code)
{
    PORT_COMMAND_RESULT_t result;
    result.port = device.port;
    result.strTime = NowText();
    const COM_CMD_OPERATE_RESULT_t unreachable = UnreachableCode(device);
    if (unreachable != CMD_RESULT_SUCCEED) {
        return Refused(result, unreachable, device.strReason);
    }
    if (device.nSimLock == SIM_LOCK_PIN || device.nSimLock == SIM_LOCK_PUK) {
        return Refused(result, DeviceStatusCode(device), device.strReason);
    }
    if (device.strCardNo.empty()) {
        return Refused(result, CMD_RESULT_NO_SIM, device.strReason);
    }
    const std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(device.nDeviceType);
    if (!driver) {
        return Refused(result, DeviceStatusCode(device), device.strReason);
    }
    if (!driver->SupportsUssd()) {
        result.nResult = CMD_RESULT_NO_USSD;
        return result;
    }
    CComPortBase port(device.port, device.nBaud, device.pacing);
    RunInitCommands(driver.get(), &port);
    if (port.IsOpen() && RequestUssd(driver.get(), &port, code)) {
        result.bReply = true;
        result.strReply = driver->UssdReply();
        result.bMore = driver->UssdWantsMore();
        return result;
    }
    result.nResult = CMD_RESULT_FAILED;
    const DEVICE_ERRORS_t errors = DeviceErrors(driver.get(), port);
    if (port.IsOpen() && !errors.bPortFailed && errors.strDriverError.empty()) {
        // The modem took the request, and the network gave no answer in time.
        const std::int64_t ms = UssdLimits(port.Pacing()).deadlineMs;
        result.strMessage = "No USSD answer within " + std::to_string((ms + 500) / 1000) + " s";
    } else {
        result.strMessage = FailureReason(errors);
    }
    return result;
}

using DeviceWork = std::function<PORT_COMMAND_RESULT_t(const COM_DEVICE_t& device)>;

// The named ports' devices, worked at once; their results in port order.
std::vector<PORT_COMMAND_RESULT_t> WorkNamedDevices(const std::vector<COM_DEVICE_t>& devices,
                                                    const DeviceWork& work)
{
    std::vector<PORT_COMMAND_RESULT_t> results;
    CDeviceWorkers<PORT_COMMAND_RESULT_t>::Run(
        devices,
        [&work](const COM_DEVICE_t& device,
                const CDeviceWorkers<PORT_COMMAND_RESULT_t>::Emit& emit) { emit(work(device)); },
        [&results](PORT_COMMAND_RESULT_t& result) { results.push_back(result); });
    return results;
}

void PrintPortCommandOutcome(int outcome, const std::vector<PORT_COMMAND_RESULT_t>& results)
{
    const Json::Value document =
        outcome == PORT_COMMAND_DONE ? PortCommandDocument(results) : SendErrorDocument(outcome);
    ConsoleWrite(StyledDocumentText(document, ConsoleDocumentCharset()));
}

}  // namespace

void CApplication::RunNamedPortCommand(
    const std::vector<std::string>& args, bool (*isValid)(const std::string& value),
    int invalidOutcome,
    const std::function<PORT_COMMAND_RESULT_t(const COM_DEVICE_t&, const std::string&)>& work)
{
    std::vector<PORT_COMMAND_RESULT_t> results;
    int outcome = PORT_COMMAND_DONE;
    std::vector<COM_DEVICE_t> devices;
    // Nothing is scanned, and so nothing is written to any port, before the
    // arguments are right.
    if (args.size() != 2) {
        outcome = PORT_COMMAND_BAD_COUNT;
    } else if (SplitPortList(args[0]).empty()) {
        outcome = PORT_COMMAND_NO_PORT;
    } else if (!isValid(args[1])) {
        outcome = invalidOutcome;
    } else {
        RefreshPorts();
        if (!DiscoverDevices(args[0], devices)) {
            outcome = PORT_COMMAND_NO_PORT;
        } else {
            const std::string& value = args[1];
            results = WorkNamedDevices(devices, [&work, &value](const COM_DEVICE_t& device) {
                return work(device, value);
            });
        }
    }
    PrintPortCommandOutcome(outcome, results);
}

void CApplication::RunPinCommand(const std::vector<std::string>& args)
{
    RunNamedPortCommand(args, IsValidPin, PORT_COMMAND_BAD_PIN, EnterPinOnDevice);
}

void CApplication::RunUssdCommand(const std::vector<std::string>& args)
{
    RunNamedPortCommand(args, IsValidUssdCode, PORT_COMMAND_BAD_USSD_CODE, RequestUssdOnDevice);
}
