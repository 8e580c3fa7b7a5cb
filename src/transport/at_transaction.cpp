#include "transport/at_transaction.h"

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
    return [](CPhoneCardBase* driver, std::string reply) { return (driver->*Parse)(std::move(reply)); };
}

// One poll: reads until a read yields nothing, at most kPollByteLimit bytes
// or kPollTimeLimitMs long.
void Poll(CAtPort* port, std::string& reply)
{
    const std::int64_t start = port->NowMs();
    std::size_t appended = 0;
    while (appended < kPollByteLimit) {
        std::string chunk;
        if (!port->Read(chunk)) {
            break;
        }
        reply += chunk;
        appended += chunk.size();
        if (port->NowMs() - start >= kPollTimeLimitMs) {
            break;
        }
    }
}

bool ContainsFinalMarker(const std::string& reply)
{
    return reply.find("OK") != std::string::npos || reply.find("ERROR") != std::string::npos;
}

// One single-read reply: gathered without pauses until it holds "OK" or
// "ERROR". False when the reply outgrew kMaxReplyBytes.
bool GatherSingleRead(CAtPort* port, std::string& reply)
{
    for (int round = 0; round < AtPacing().gatherRounds; ++round) {
        Poll(port, reply);
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

bool ExecuteCommand(CPhoneCardBase* driver, CAtPort* port, const std::string& command,
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
        Poll(port, reply);
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
        port->Pause(AtPacing().pollSleepMs);
    }
    return false;
}

void RunInitCommands(CPhoneCardBase* driver, CAtPort* port)
{
    if (driver == nullptr || port == nullptr || !port->Open()) {
        return;
    }
    for (const std::string& command : driver->InitCommands()) {
        ExecuteCommand(driver, port, command, InitParser(), AtPacing().shortPolls);
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

bool TransmitSms(CPhoneCardBase* driver, CAtPort* port, const std::string& number,
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
