#include "transport/at_transaction.h"

#include <algorithm>
#include <utility>

#include "drivers/reply_text.h"

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

// How a poll ended.
enum POLL_END_t {
    POLL_QUIET,       // a read yielded nothing
    POLL_ANSWERED,    // the reply ends with its final line and nothing followed
    POLL_LIMIT,       // kPollByteLimit bytes or kPollTimeLimitMs in this poll
    POLL_DEADLINE,    // the command's deadline passed
    POLL_PORT_ERROR,  // a read failed: I/O error or hang-up
};

std::string SecondsText(std::int64_t ms)
{
    return std::to_string((ms + 500) / 1000) + " s";
}

// The port stops serving this operation; every later transaction fails at once.
void FailPort(CAtPort* port, const std::string& reason)
{
    port->MarkFailed(reason);
}

void FailPortOnError(CAtPort* port)
{
    FailPort(port, TrimCrLf(port->GetErrorText()));
}

// Input that waits before a command belongs to an earlier command (a late
// reply, bytes after a final line) or is unsolicited: it is dropped, so that
// the command's reply holds only its own answer. Then the command is written.
// False (the port marked failed) on an I/O error.
bool StartCommand(CAtPort* port, const std::string& command)
{
    std::size_t dropped = 0;
    std::string waiting;
    while (dropped < kPollByteLimit && port->ReadWaiting(waiting, 0)) {
        dropped += waiting.size();
    }
    if (port->HasError()) {
        FailPortOnError(port);
        return false;
    }
    // An empty command writes nothing and is no error.
    if (!port->Write(command) && port->HasError()) {
        FailPortOnError(port);
        return false;
    }
    return true;
}

// One poll: reads into `reply` until a read yields nothing or, unless the
// quiet-line mode is on, until the reply ends with its final line and no
// byte follows within the inter-byte gap (the port's read ends on that gap;
// a read that filled its chunk is followed by a look whether more waits).
POLL_END_t Poll(CAtPort* port, std::string& reply, std::int64_t deadline)
{
    const std::int64_t start = port->NowMs();
    std::size_t appended = 0;
    for (;;) {
        std::string chunk;
        const bool got = port->Read(chunk);
        reply += chunk;
        appended += chunk.size();
        if (port->HasError()) {
            return POLL_PORT_ERROR;
        }
        if (!got) {
            return POLL_QUIET;
        }
        if (!AtPacing().bQuietLine && EndsWithFinalResult(reply)) {
            std::string more;
            if (chunk.size() < kAtReadChunk || !port->ReadWaiting(more, kAtGapMs)) {
                return port->HasError() ? POLL_PORT_ERROR : POLL_ANSWERED;
            }
            reply += more;
            appended += more.size();
        }
        if (port->NowMs() >= deadline) {
            return POLL_DEADLINE;
        }
        if (appended >= kPollByteLimit || port->NowMs() - start >= kPollTimeLimitMs) {
            return POLL_LIMIT;
        }
    }
}

// After the last poll: a reply without any final line means that the modem
// did not answer at all, and the port is not asked again.
void FailPortWhenUnanswered(CAtPort* port, const std::string& reply, std::int64_t budgetMs)
{
    if (!HoldsFinalResult(reply)) {
        FailPort(port, "No answer within " + SecondsText(budgetMs));
    }
}

bool ReplyTooLong(CAtPort* port, const std::string& reply)
{
    if (reply.size() <= kMaxReplyBytes) {
        return false;
    }
    FailPort(port, "Reply longer than " + std::to_string(kMaxReplyBytes) + " bytes");
    return true;
}

}  // namespace

std::int64_t CommandDeadlineMs(int maxPolls)
{
    return static_cast<std::int64_t>(std::max(maxPolls, 0)) *
           (kAtQuietReadMs + AtPacing().pollSleepMs);
}

std::int64_t SingleReadDeadlineMs()
{
    return static_cast<std::int64_t>(std::max(AtPacing().gatherRounds, 0)) * kAtQuietReadMs;
}

bool ExecuteCommand(CPhoneCardBase* driver, CAtPort* port, const std::string& command,
                    ReplyParser parser, int maxPolls)
{
    if (driver == nullptr || port == nullptr || !port->IsOpen() || !parser || port->IsFailed()) {
        return false;
    }
    if (!StartCommand(port, command)) {
        return false;
    }
    const std::int64_t budget = CommandDeadlineMs(maxPolls);
    const std::int64_t deadline = port->NowMs() + budget;
    std::string reply;
    for (int poll = 0; poll < maxPolls; ++poll) {
        if (Poll(port, reply, deadline) == POLL_PORT_ERROR) {
            FailPortOnError(port);
            return false;
        }
        if (ReplyTooLong(port, reply)) {
            return false;
        }
        const COM_CMD_OPERATE_RESULT_t result = parser(driver, reply);
        if (result == CMD_RESULT_SUCCEED) {
            return true;
        }
        if (result == CMD_RESULT_FAILED) {
            return false;
        }
        if (port->NowMs() >= deadline) {
            break;
        }
        port->Pause(AtPacing().pollSleepMs);
    }
    if (maxPolls > 0) {
        FailPortWhenUnanswered(port, reply, budget);
    }
    return false;
}

bool GatherReply(CAtPort* port, const std::string& command, std::string& reply)
{
    if (!StartCommand(port, command)) {
        return false;
    }
    const std::int64_t budget = SingleReadDeadlineMs();
    const std::int64_t deadline = port->NowMs() + budget;
    for (int round = 0; round < AtPacing().gatherRounds; ++round) {
        if (Poll(port, reply, deadline) == POLL_PORT_ERROR) {
            FailPortOnError(port);
            return false;
        }
        if (ReplyTooLong(port, reply)) {
            return false;
        }
        if (HoldsFinalResult(reply) || port->NowMs() >= deadline) {
            break;
        }
    }
    if (AtPacing().gatherRounds > 0) {
        FailPortWhenUnanswered(port, reply, budget);
    }
    return !port->IsFailed();
}

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
