#include "transport/sms_sequences.h"

bool RunDriverCommand(CPhoneCardBase* driver, CAtPort* port, const std::string& command,
                      DriverParse parse, int maxPolls)
{
    return driver != nullptr &&
           ExecuteCommand(
               port, command,
               [driver, parse](const std::string& reply) { return (driver->*parse)(reply); },
               maxPolls);
}

void RunInitCommands(CPhoneCardBase* driver, CAtPort* port)
{
    if (driver == nullptr || port == nullptr || port->IsFailed() || !port->Open()) {
        return;
    }
    for (const std::string& command : driver->InitCommands()) {
        if (!RunDriverCommand(driver, port, command, &CPhoneCardBase::ParseInit,
                              port->Pacing().shortPolls) &&
            port->IsFailed()) {
            return;
        }
    }
}

bool QueryServiceCentre(CPhoneCardBase* driver, CAtPort* port)
{
    return driver != nullptr && port != nullptr &&
           RunDriverCommand(driver, port, driver->ServiceCentreCommand(),
                            &CPhoneCardBase::ParseServiceCentre, port->Pacing().shortPolls);
}

bool SelectPduMode(CPhoneCardBase* driver, CAtPort* port)
{
    return driver != nullptr && port != nullptr &&
           RunDriverCommand(driver, port, driver->PduModeCommand(), &CPhoneCardBase::ParsePduMode,
                            port->Pacing().shortPolls);
}

bool PrepareRead(CPhoneCardBase* driver, CAtPort* port)
{
    return driver != nullptr && port != nullptr &&
           RunDriverCommand(driver, port, driver->PrepareReadCommand(),
                            &CPhoneCardBase::ParsePrepareRead, port->Pacing().shortPolls);
}

bool ListStoredMessages(CPhoneCardBase* driver, CAtPort* port, bool* listed)
{
    const bool ok = driver != nullptr && port != nullptr &&
                    RunDriverCommand(driver, port, driver->ListCommand(),
                                     &CPhoneCardBase::ParseList, port->Pacing().listPolls);
    if (listed != nullptr) {
        *listed = ok;
    }
    return true;
}

bool SendPromptCommand(CPhoneCardBase* driver, CAtPort* port, const std::string& command)
{
    return port != nullptr &&
           RunDriverCommand(driver, port, command, &CPhoneCardBase::ParseSendPrompt,
                            port->Pacing().shortPolls);
}

bool SendMessageBody(CPhoneCardBase* driver, CAtPort* port, const std::string& body)
{
    return port != nullptr && RunDriverCommand(driver, port, body, &CPhoneCardBase::ParseSendBody,
                                               port->Pacing().bodyPolls);
}

bool ReadStoredMessages(CPhoneCardBase* driver, CAtPort* port, bool* complete)
{
    if (complete != nullptr) {
        *complete = false;
    }
    if (driver == nullptr || port == nullptr || port->IsFailed() || !port->Open()) {
        return false;
    }
    if (!SelectPduMode(driver, port) || !PrepareRead(driver, port)) {
        return false;
    }
    bool listed = false;
    ListStoredMessages(driver, port, &listed);

    bool everyReadParsed = true;
    for (int round = 0; round < port->Pacing().singleReadRounds && driver->HasPendingRead();
         ++round) {
        std::string reply;
        if (!GatherReply(port, driver->ReadNextCommand(), reply)) {
            everyReadParsed = false;
            break;
        }
        if (!driver->ParseReadNext(reply)) {
            everyReadParsed = false;
        }
    }
    if (complete != nullptr) {
        *complete = listed && everyReadParsed && !driver->HasPendingRead();
    }
    return true;
}

bool TransmitSms(CPhoneCardBase* driver, CAtPort* port, const std::string& number,
                 const std::string& text, SMS_SEND_t& send)
{
    if (driver == nullptr || port == nullptr || port->IsFailed() || !port->Open()) {
        return false;
    }
    if (!send.bBuilt) {
        if (!QueryServiceCentre(driver, port) || !SelectPduMode(driver, port)) {
            return false;
        }
        send.vecParts = driver->BuildSendCommands(number, text);
        send.nAccepted = 0;
        send.bBuilt = true;
    } else if (!SelectPduMode(driver, port)) {
        return false;
    }
    while (send.nAccepted < send.vecParts.size()) {
        const SendPair& part = send.vecParts[send.nAccepted];
        if (!SendPromptCommand(driver, port, part.first) ||
            !SendMessageBody(driver, port, part.second)) {
            return false;
        }
        send.vecReferences.push_back(driver->LastReference());
        ++send.nAccepted;
    }
    return send.Sent();
}

bool TransmitSms(CPhoneCardBase* driver, CAtPort* port, const std::string& number,
                 const std::string& text)
{
    SMS_SEND_t send;
    return TransmitSms(driver, port, number, text, send);
}

bool QueryPinState(CPhoneCardBase* driver, CAtPort* port)
{
    return driver != nullptr && port != nullptr &&
           RunDriverCommand(driver, port, driver->PinStateCommand(), &CPhoneCardBase::ParsePinState,
                            port->Pacing().shortPolls);
}

bool EnterPin(CPhoneCardBase* driver, CAtPort* port, const std::string& pin)
{
    if (driver == nullptr || port == nullptr) {
        return false;
    }
    port->HideInTrace(CPhoneCardBase::PinTraceSecret(pin));
    return RunDriverCommand(driver, port, driver->EnterPinCommand(pin),
                            &CPhoneCardBase::ParseEnterPin, port->Pacing().shortPolls);
}

void QueryPinAttempts(CPhoneCardBase* driver, CAtPort* port)
{
    if (driver == nullptr || port == nullptr || driver->PinAttemptsCommand().empty()) {
        return;
    }
    RunDriverCommand(driver, port, driver->PinAttemptsCommand(), &CPhoneCardBase::ParsePinAttempts,
                     port->Pacing().shortPolls);
}

bool RequestUssd(CPhoneCardBase* driver, CAtPort* port, const std::string& code)
{
    if (driver == nullptr || port == nullptr) {
        return false;
    }
    RunDriverCommand(driver, port, driver->CharsetCommand(), &CPhoneCardBase::ParseCharset,
                     port->Pacing().shortPolls);
    driver->ClearLastError();
    const bool answered = RunDriverCommand(driver, port, driver->UssdCommand(code),
                                           &CPhoneCardBase::ParseUssd, port->Pacing().ussdPolls);
    // No result and no refusal: the session may still be open.
    const bool unanswered = !answered && driver->GetLastErrorText().empty();
    if (driver->UssdWantsMore() || unanswered) {
        RunDriverCommand(driver, port, driver->UssdCancelCommand(), &CPhoneCardBase::ParseInit,
                         port->Pacing().shortPolls);
    }
    return answered;
}
