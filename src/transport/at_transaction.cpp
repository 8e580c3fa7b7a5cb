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
    POLL_STOPPED,     // a stop request ends the exchange
};

// One exchange on its way: its limits and where it stands in time.
struct EXCHANGE_t {
    AT_LIMITS_t limits;
    std::int64_t deadline = 0;
    std::int64_t lastByte = 0;  // the write, then the last read that brought bytes
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

bool StopsHere(CAtPort* port, const AT_LIMITS_t& limits)
{
    return limits.bStoppable && port->StopToken().StopRequested();
}

// Input that waits before a command belongs to an earlier command (a late
// reply, bytes after a final line) or is unsolicited: it is dropped, so that
// the command's reply holds only its own answer. Then the command is written
// and the exchange's clock starts. False (the port marked failed) on an I/O
// error and after a stop request.
bool StartCommand(CAtPort* port, const std::string& command, EXCHANGE_t& exchange)
{
    if (StopsHere(port, exchange.limits)) {
        port->MarkStopped();
        return false;
    }
    std::size_t dropped = 0;
    std::string waiting;
    while (dropped < kPollByteLimit && port->ReadWaiting(waiting, 0)) {
        dropped += waiting.size();
        port->PassToChannel(waiting);
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
    exchange.lastByte = port->NowMs();
    exchange.deadline = exchange.lastByte + exchange.limits.deadlineMs;
    return true;
}

// One poll: reads into `reply` until a read yields nothing or, unless the
// quiet-line mode is on, until the reply ends with its final line and no
// byte follows within the inter-byte gap (the port's read ends on that gap;
// a read that filled its chunk is followed by a look whether more waits).
POLL_END_t Poll(CAtPort* port, std::string& reply, EXCHANGE_t& exchange)
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
        if (got) {
            exchange.lastByte = port->NowMs();
        }
        if (StopsHere(port, exchange.limits)) {
            return POLL_STOPPED;
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
            exchange.lastByte = port->NowMs();
        }
        if (port->NowMs() >= exchange.deadline) {
            return POLL_DEADLINE;
        }
        if (appended >= kPollByteLimit || port->NowMs() - start >= kPollTimeLimitMs) {
            return POLL_LIMIT;
        }
    }
}

// Whether the exchange has run out of time: its line silent for the silence
// limit, or its deadline passed. A reply without any final line then means
// that the modem did not answer, and the port is not asked again.
bool OutOfTime(CAtPort* port, const std::string& reply, const EXCHANGE_t& exchange)
{
    const std::int64_t now = port->NowMs();
    const bool silent = now - exchange.lastByte >= exchange.limits.silenceMs;
    if (!silent && now < exchange.deadline) {
        return false;
    }
    if (!HoldsFinalResult(reply)) {
        const AT_LIMITS_t& limits = exchange.limits;
        if (!silent) {
            FailPort(port, "No complete answer within " + SecondsText(limits.deadlineMs));
        } else if (reply.empty()) {
            FailPort(port, "No answer within " + SecondsText(limits.silenceMs));
        } else {
            FailPort(port,
                     "Silent for " + SecondsText(limits.silenceMs) + " after a partial reply");
        }
    }
    return true;
}

// What ends the exchange after a poll, whatever the reply says: a port that
// failed, a reply too long. False then, with the port marked.
bool PollKeepsExchange(CAtPort* port, POLL_END_t end, const std::string& reply)
{
    if (end == POLL_PORT_ERROR) {
        FailPortOnError(port);
        return false;
    }
    if (reply.size() > kMaxReplyBytes) {
        FailPort(port, "Reply longer than " + std::to_string(kMaxReplyBytes) + " bytes");
        return false;
    }
    return true;
}

std::int64_t ListingMs(const AT_PACING_t& pacing, int storedMessages)
{
    const int counted = storedMessages < 0 ? pacing.listAssumedMessages : storedMessages;
    return pacing.listBaseMs + static_cast<std::int64_t>(pacing.listPerMessageMs) * counted;
}

}  // namespace

AT_LIMITS_t ShortLimits(const AT_PACING_t& pacing)
{
    return AT_LIMITS_t{pacing.silenceMs, pacing.shortDeadlineMs, true};
}

AT_LIMITS_t ListLimits(const AT_PACING_t& pacing, int storedMessages)
{
    return AT_LIMITS_t{pacing.silenceMs, ListingMs(pacing, storedMessages), true};
}

AT_LIMITS_t SingleReadLimits(const AT_PACING_t& pacing)
{
    return ShortLimits(pacing);
}

AT_LIMITS_t PromptLimits(const AT_PACING_t& pacing)
{
    return AT_LIMITS_t{pacing.silenceMs, pacing.shortDeadlineMs, false};
}

AT_LIMITS_t BodyLimits(const AT_PACING_t& pacing)
{
    return AT_LIMITS_t{pacing.bodyMs, pacing.bodyMs, false};
}

AT_LIMITS_t UssdLimits(const AT_PACING_t& pacing)
{
    return AT_LIMITS_t{pacing.ussdMs, pacing.ussdMs, true};
}

bool ExecuteCommand(CAtPort* port, const std::string& command, const ReplyParser& parser,
                    const AT_LIMITS_t& limits)
{
    if (port == nullptr || !port->IsOpen() || !parser || port->IsFailed()) {
        return false;
    }
    EXCHANGE_t exchange;
    exchange.limits = limits;
    if (!StartCommand(port, command, exchange)) {
        return false;
    }
    std::string reply;
    // The whole reply reaches the unsolicited channel however the exchange ends.
    struct PASS_REPLY_t {
        CAtPort* port;
        const std::string& reply;
        ~PASS_REPLY_t() { port->PassToChannel(reply); }
    } passReply{port, reply};
    for (;;) {
        const POLL_END_t end = Poll(port, reply, exchange);
        if (!PollKeepsExchange(port, end, reply)) {
            return false;
        }
        // A reply that is complete when the stop comes still counts.
        const PARSE_RESULT_t result = parser(reply);
        if (result == PARSE_SUCCEED) {
            return true;
        }
        if (result == PARSE_FAILED) {
            return false;
        }
        if (end == POLL_STOPPED) {
            port->MarkStopped();
            return false;
        }
        if (OutOfTime(port, reply, exchange)) {
            return false;
        }
        port->Pause(port->Pacing().pollSleepMs);
    }
}

bool GatherReply(CAtPort* port, const std::string& command, std::string& reply,
                 const AT_LIMITS_t& limits)
{
    EXCHANGE_t exchange;
    exchange.limits = limits;
    if (!StartCommand(port, command, exchange)) {
        return false;
    }
    const std::size_t replyStart = reply.size();
    struct PASS_REPLY_t {
        CAtPort* port;
        const std::string& reply;
        std::size_t start;
        ~PASS_REPLY_t() { port->PassToChannel(reply.substr(std::min(start, reply.size()))); }
    } passReply{port, reply, replyStart};
    for (;;) {
        const POLL_END_t end = Poll(port, reply, exchange);
        if (!PollKeepsExchange(port, end, reply)) {
            return false;
        }
        if (HoldsFinalResult(reply)) {
            break;
        }
        if (end == POLL_STOPPED) {
            port->MarkStopped();
            return false;
        }
        if (OutOfTime(port, reply, exchange)) {
            break;
        }
    }
    return !port->IsFailed();
}

bool WaitForUnsolicited(CAtPort* port, int waitMs)
{
    if (port == nullptr || !port->IsOpen() || port->IsFailed()) {
        return false;
    }
    std::string chunk;
    std::size_t taken = 0;
    for (int wait = waitMs; taken < kPollByteLimit && port->ReadWaiting(chunk, wait); wait = 0) {
        taken += chunk.size();
        port->PassToChannel(chunk);
    }
    if (port->HasError()) {
        FailPortOnError(port);
        return false;
    }
    return true;
}
