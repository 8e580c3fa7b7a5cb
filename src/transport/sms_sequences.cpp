#include "transport/sms_sequences.h"

#include <utility>

namespace {

// Adapters binding one parse operation of a driver.
ReplyParser InitParser()
{
    return [](CPhoneCardBase* driver, std::string reply) {
        return driver == nullptr ? CMD_RESULT_FAILED : driver->ParseInit(std::move(reply));
    };
}

template <COM_CMD_OPERATE_RESULT_t (CPhoneCardBase::*Parse)(std::string)>
ReplyParser ParserOf()
{
    return [](CPhoneCardBase* driver, std::string reply) {
        return (driver->*Parse)(std::move(reply));
    };
}

}  // namespace

void RunInitCommands(CPhoneCardBase* driver, CAtPort* port)
{
    if (driver == nullptr || port == nullptr || port->IsFailed() || !port->Open()) {
        return;
    }
    for (const std::string& command : driver->InitCommands()) {
        if (!ExecuteCommand(driver, port, command, InitParser(), AtPacing().shortPolls) &&
            port->IsFailed()) {
            return;
        }
    }
}

bool QueryServiceCentre(CPhoneCardBase* driver, CAtPort* port)
{
    return driver != nullptr &&
           ExecuteCommand(driver, port, driver->ServiceCentreCommand(),
                          ParserOf<&CPhoneCardBase::ParseServiceCentre>(), AtPacing().shortPolls);
}

bool SelectPduMode(CPhoneCardBase* driver, CAtPort* port)
{
    return driver != nullptr &&
           ExecuteCommand(driver, port, driver->PduModeCommand(),
                          ParserOf<&CPhoneCardBase::ParsePduMode>(), AtPacing().shortPolls);
}

bool PrepareRead(CPhoneCardBase* driver, CAtPort* port)
{
    return driver != nullptr &&
           ExecuteCommand(driver, port, driver->PrepareReadCommand(),
                          ParserOf<&CPhoneCardBase::ParsePrepareRead>(), AtPacing().shortPolls);
}

bool ListStoredMessages(CPhoneCardBase* driver, CAtPort* port, bool* listed)
{
    const bool ok = driver != nullptr &&
                    ExecuteCommand(driver, port, driver->ListCommand(),
                                   ParserOf<&CPhoneCardBase::ParseList>(), AtPacing().listPolls);
    if (listed != nullptr) {
        *listed = ok;
    }
    return true;
}

bool SendPromptCommand(CPhoneCardBase* driver, CAtPort* port, const std::string& command)
{
    return ExecuteCommand(driver, port, command, ParserOf<&CPhoneCardBase::ParseSendPrompt>(),
                          AtPacing().shortPolls);
}

bool SendMessageBody(CPhoneCardBase* driver, CAtPort* port, const std::string& body)
{
    return ExecuteCommand(driver, port, body, ParserOf<&CPhoneCardBase::ParseSendBody>(),
                          AtPacing().bodyPolls);
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
    for (int round = 0; round < AtPacing().singleReadRounds && driver->HasPendingRead(); ++round) {
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
