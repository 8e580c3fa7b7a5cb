#include "transport/at_transaction.h"

#include <algorithm>
#include <utility>

#include "codec/reply_text.h"

namespace {

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
        if (!port->Pacing().bQuietLine && EndsWithFinalResult(reply)) {
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

std::int64_t CommandDeadlineMs(const AT_PACING_t& pacing, int maxPolls)
{
    return static_cast<std::int64_t>(std::max(maxPolls, 0)) * (kAtQuietReadMs + pacing.pollSleepMs);
}

std::int64_t SingleReadDeadlineMs(const AT_PACING_t& pacing)
{
    return static_cast<std::int64_t>(std::max(pacing.gatherRounds, 0)) * kAtQuietReadMs;
}

bool ExecuteCommand(CAtPort* port, const std::string& command, const ReplyParser& parser,
                    int maxPolls)
{
    if (port == nullptr || !port->IsOpen() || !parser || port->IsFailed()) {
        return false;
    }
    if (!StartCommand(port, command)) {
        return false;
    }
    const std::int64_t budget = CommandDeadlineMs(port->Pacing(), maxPolls);
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
        const PARSE_RESULT_t result = parser(reply);
        if (result == PARSE_SUCCEED) {
            return true;
        }
        if (result == PARSE_FAILED) {
            return false;
        }
        if (port->NowMs() >= deadline) {
            break;
        }
        port->Pause(port->Pacing().pollSleepMs);
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
    const AT_PACING_t& pacing = port->Pacing();
    const std::int64_t budget = SingleReadDeadlineMs(pacing);
    const std::int64_t deadline = port->NowMs() + budget;
    for (int round = 0; round < pacing.gatherRounds; ++round) {
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
    if (pacing.gatherRounds > 0) {
        FailPortWhenUnanswered(port, reply, budget);
    }
    return !port->IsFailed();
}
