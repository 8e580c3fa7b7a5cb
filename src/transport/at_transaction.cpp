#include "transport/at_transaction.h"

#include <utility>

#include "platform/clock.h"

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
    return [](CPhoneCardBase* driver, std::string reply) { return (driver->*Parse)(std::move(reply)); };
}

bool ContainsFinalMarker(const std::string& reply)
{
    return reply.find("OK") != std::string::npos || reply.find("ERROR") != std::string::npos;
}

// One single-read reply: gathered without pauses until it holds "OK" or
// "ERROR". False when the reply outgrew kMaxReplyBytes.
bool GatherSingleRead(CComPortBase* port, std::string& reply)
{
    for (int round = 0; round < AtPacing().gatherRounds; ++round) {
        port->ReadAll(reply);
        if (reply.size() > kMaxReplyBytes) {
            return false;
        }
        if (ContainsFinalMarker(reply)) {
            break;
        }
    }
    return true;
}

}  // namespace

bool ExecuteCommand(CPhoneCardBase* driver, CComPortBase* port, const std::string& command,
                    ReplyParser parser, int maxPolls)
{
    if (driver == nullptr || port == nullptr || !port->IsOpen() || !parser) {
        return false;
    }
    port->Write(command);
    // Whatever the modem sent before the command (unsolicited lines) is read
    // as the start of this reply; the parsers look for their own lines in it.
    std::string reply;
    for (int poll = 0; poll < maxPolls; ++poll) {
        port->ReadAll(reply);
        if (reply.size() > kMaxReplyBytes) {
            return false;
        }
        const COM_CMD_OPERATE_RESULT_t result = parser(driver, reply);
        if (result == CMD_RESULT_SUCCEED) {
            return true;
        }
        if (result == CMD_RESULT_FAILED) {
            return false;
        }
        SleepMs(AtPacing().pollSleepMs);
    }
    return false;
}

void RunInitCommands(CPhoneCardBase* driver, CComPortBase* port)
{
    if (driver == nullptr || port == nullptr || !port->Open()) {
        return;
    }
    for (const std::string& command : driver->InitCommands()) {
        ExecuteCommand(driver, port, command, InitParser(), AtPacing().shortPolls);
    }
}

bool QueryServiceCentre(CPhoneCardBase* driver, CComPortBase* port)
{
    return driver != nullptr &&
           ExecuteCommand(driver, port, driver->ServiceCentreCommand(),
                          ParserOf<&CPhoneCardBase::ParseServiceCentre>(), AtPacing().shortPolls);
}

bool SelectPduMode(CPhoneCardBase* driver, CComPortBase* port)
{
    return driver != nullptr &&
           ExecuteCommand(driver, port, driver->PduModeCommand(),
                          ParserOf<&CPhoneCardBase::ParsePduMode>(), AtPacing().shortPolls);
}

bool PrepareRead(CPhoneCardBase* driver, CComPortBase* port)
{
    return driver != nullptr &&
           ExecuteCommand(driver, port, driver->PrepareReadCommand(),
                          ParserOf<&CPhoneCardBase::ParsePrepareRead>(), AtPacing().shortPolls);
}

bool ListStoredMessages(CPhoneCardBase* driver, CComPortBase* port, bool* listed)
{
    const bool ok = driver != nullptr &&
                    ExecuteCommand(driver, port, driver->ListCommand(),
                                   ParserOf<&CPhoneCardBase::ParseList>(), AtPacing().listPolls);
    if (listed != nullptr) {
        *listed = ok;
    }
    return true;
}

bool SendPromptCommand(CPhoneCardBase* driver, CComPortBase* port, const std::string& command)
{
    return ExecuteCommand(driver, port, command, ParserOf<&CPhoneCardBase::ParseSendPrompt>(),
                          AtPacing().shortPolls);
}

bool SendMessageBody(CPhoneCardBase* driver, CComPortBase* port, const std::string& body)
{
    return ExecuteCommand(driver, port, body, ParserOf<&CPhoneCardBase::ParseSendBody>(),
                          AtPacing().bodyPolls);
}

bool ReadStoredMessages(CPhoneCardBase* driver, CComPortBase* port, bool* complete)
{
    if (complete != nullptr) {
        *complete = false;
    }
    if (driver == nullptr || port == nullptr || !port->Open()) {
        return false;
    }
    if (!SelectPduMode(driver, port) || !PrepareRead(driver, port)) {
        return false;
    }
    bool listed = false;
    ListStoredMessages(driver, port, &listed);

    bool everyReadParsed = true;
    for (int round = 0; round < AtPacing().singleReadRounds && driver->HasPendingRead(); ++round) {
        port->Write(driver->ReadNextCommand());
        std::string reply;
        if (!GatherSingleRead(port, reply)) {
            everyReadParsed = false;
            continue;
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

bool TransmitSms(CPhoneCardBase* driver, CComPortBase* port, const std::string& number,
                 const std::string& text)
{
    if (driver == nullptr || port == nullptr || !port->Open()) {
        return false;
    }
    if (!QueryServiceCentre(driver, port) || !SelectPduMode(driver, port)) {
        return false;
    }
    bool sent = false;
    for (const SendPair& pair : driver->BuildSendCommands(number, text)) {
        if (!SendPromptCommand(driver, port, pair.first) ||
            !SendMessageBody(driver, port, pair.second)) {
            return false;
        }
        sent = true;
    }
    return sent;
}
