#include "transport/sms_sequences.h"

bool RunDriverCommand(CPhoneCardBase* driver, CAtPort* port, const std::string& command,
                      DriverParse parse, const AT_LIMITS_t& limits)
{
    return driver != nullptr &&
           ExecuteCommand(
               port, command,
               [driver, parse](const std::string& reply) { return (driver->*parse)(reply); },
               limits);
}

void RunInitCommands(CPhoneCardBase* driver, CAtPort* port)
{
    if (driver == nullptr || port == nullptr || port->IsFailed() || !port->Open()) {
        return;
    }
    for (const std::string& command : driver->InitCommands()) {
        if (!RunDriverCommand(driver, port, command, &CPhoneCardBase::ParseInit,
                              ShortLimits(port->Pacing())) &&
            port->IsFailed()) {
            return;
        }
    }
}

bool QueryServiceCentre(CPhoneCardBase* driver, CAtPort* port)
{
    if (driver == nullptr || port == nullptr ||
        !RunDriverCommand(driver, port, driver->ServiceCentreCommand(),
                          &CPhoneCardBase::ParseServiceCentre, ShortLimits(port->Pacing()))) {
        return false;
    }
    if (driver->ServiceCentreNeedsCharset()) {
        // Without an answer the centre stays empty and is left to the modem.
        if (RunDriverCommand(driver, port, driver->CharsetCommand(), &CPhoneCardBase::ParseCharset,
                             ShortLimits(port->Pacing()))) {
            driver->ReadServiceCentreInCharset();
        }
    }
    return !port->IsFailed();
}

bool SelectPduMode(CPhoneCardBase* driver, CAtPort* port)
{
    return driver != nullptr && port != nullptr &&
           RunDriverCommand(driver, port, driver->PduModeCommand(), &CPhoneCardBase::ParsePduMode,
                            ShortLimits(port->Pacing()));
}

bool PrepareRead(CPhoneCardBase* driver, CAtPort* port)
{
    return driver != nullptr && port != nullptr &&
           RunDriverCommand(driver, port, driver->PrepareReadCommand(),
                            &CPhoneCardBase::ParsePrepareRead, ShortLimits(port->Pacing()));
}

bool ListStoredMessages(CPhoneCardBase* driver, CAtPort* port, bool* listed)
{
    const bool ok =
        driver != nullptr && port != nullptr &&
        RunDriverCommand(driver, port, driver->ListCommand(), &CPhoneCardBase::ParseList,
                         ListLimits(port->Pacing(), driver->StoredCount()));
    if (listed != nullptr) {
        *listed = ok;
    }
    return true;
}

bool SendPromptCommand(CPhoneCardBase* driver, CAtPort* port, const std::string& command)
{
    return port != nullptr &&
           RunDriverCommand(driver, port, command, &CPhoneCardBase::ParseSendPrompt,
                            PromptLimits(port->Pacing()));
}

bool SendMessageBody(CPhoneCardBase* driver, CAtPort* port, const std::string& body)
{
    return port != nullptr && RunDriverCommand(driver, port, body, &CPhoneCardBase::ParseSendBody,
                                               BodyLimits(port->Pacing()));
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
        if (!GatherReply(port, driver->ReadNextCommand(), reply,
                         SingleReadLimits(port->Pacing()))) {
            everyReadParsed = false;
            break;
        }
        if (!driver->ParseReadNext(reply)) {
            everyReadParsed = false;
        }
    }
    if (complete != nullptr) {
        *complete = listed && everyReadParsed && !driver->HasPendingRead() &&
                    driver->NotUnderstoodLine().empty();
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
        if (port->StopToken().StopRequested()) {
            port->MarkStopped();
            return false;
        }
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
                            ShortLimits(port->Pacing()));
}

bool EnterPin(CPhoneCardBase* driver, CAtPort* port, const std::string& pin)
{
    if (driver == nullptr || port == nullptr) {
        return false;
    }
    port->HideInTrace(CPhoneCardBase::PinTraceSecret(pin));
    return RunDriverCommand(driver, port, driver->EnterPinCommand(pin),
                            &CPhoneCardBase::ParseEnterPin, ShortLimits(port->Pacing()));
}

void QueryPinAttempts(CPhoneCardBase* driver, CAtPort* port)
{
    if (driver == nullptr || port == nullptr || driver->PinAttemptsCommand().empty()) {
        return;
    }
    RunDriverCommand(driver, port, driver->PinAttemptsCommand(), &CPhoneCardBase::ParsePinAttempts,
                     ShortLimits(port->Pacing()));
}

bool RequestUssd(CPhoneCardBase* driver, CAtPort* port, const std::string& code)
{
    if (driver == nullptr || port == nullptr) {
        return false;
    }
    RunDriverCommand(driver, port, driver->CharsetCommand(), &CPhoneCardBase::ParseCharset,
                     ShortLimits(port->Pacing()));
    driver->ClearLastError();
    const bool answered = RunDriverCommand(driver, port, driver->UssdCommand(code),
                                           &CPhoneCardBase::ParseUssd, UssdLimits(port->Pacing()));
    // No result and no refusal: the session may still be open.
    const bool unanswered = !answered && driver->GetLastErrorText().empty();
    if (driver->UssdWantsMore() || unanswered) {
        RunDriverCommand(driver, port, driver->UssdCancelCommand(), &CPhoneCardBase::ParseInit,
                         ShortLimits(port->Pacing()));
    }
    return answered;
}
