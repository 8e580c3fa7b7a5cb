#pragma once
// The AT transaction: write a command, poll the port, and let a parser
// decide after every poll on the whole reply gathered so far. It knows
// nothing of drivers: the SMS sequences (sms_sequences.h) bind a driver's
// parse operation into the parser.
//
// - Before a command is written, input already waiting on the port is read
//   and dropped: it belongs to an earlier command or is unsolicited, and the
//   command waits for its own answer.
// - One poll reads until the reply ends with its final line (OK, ERROR,
//   +CMS ERROR: n, +CME ERROR: n, COMMAND NOT SUPPORT, NO CARRIER, the CDMA
//   send outcome, or the send prompt "> ") and no byte follows within the
//   port's inter-byte gap of 10 ms, or until a read yields nothing (562 ms of
//   silence). In the quiet-line mode (the port's Pacing().bQuietLine) every
//   poll waits for the silence. A pause (the pacing's, 100 ms) follows a
//   poll the parser did not decide on.
// - Every command is limited by the kind it is (AT_LIMITS_t): a silence
//   limit, which a line that stays silent from the write on, or that falls
//   silent in the middle of a reply, reaches; and a wall-clock deadline for
//   the whole exchange, which unsolicited lines and trickling bytes cannot
//   extend.
// - A read or write that fails (an I/O error, a hang-up) ends the transaction
//   at once; so does a reply that outgrows kMaxReplyBytes. Either, or a
//   command that reaches its silence limit or deadline without any final
//   line in its reply, marks the port failed (CAtPort::MarkFailed): every
//   later transaction on it fails at once without writing.
// - A stop request (the port's StopToken) ends an exchange that may be cut
//   within one read (562 ms at most), and keeps every later one from being
//   written; the port is marked failed as "Stopped by <reason>". An exchange
//   that may not be cut (the parts of a message: once its prompt command is
//   written, the part is finished) runs to its end.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec/reply_text.h"
#include "transport/at_port.h"

// Decides on the whole reply gathered so far (codec/reply_text.h).
using ReplyParser = std::function<PARSE_RESULT_t(const std::string& reply)>;

// A gathered reply is never allowed to grow past this size; a modem that
// floods the line ends its transaction as a failure within its deadline.
constexpr std::size_t kMaxReplyBytes = 256 * 1024;
// One poll ends at the latest after this many bytes or this long, so that a
// modem that never stops sending still lets the parser look.
constexpr std::size_t kPollByteLimit = 64 * 1024;
constexpr int kPollTimeLimitMs = 5000;

// How long one command may take.
struct AT_LIMITS_t {
    // The longest silence of the line from the write on: before the first
    // byte of the reply, and between two bytes.
    std::int64_t silenceMs = 0;
    // The whole exchange, from the write on.
    std::int64_t deadlineMs = 0;
    // A stop request ends the exchange (false: it runs to its end).
    bool bStoppable = true;
};

// The kinds of command, from the port's pacing:
// - a command the module answers by itself (settings, queries, a storage
//   selection, a deletion, the prompt of a message part): silenceMs and
//   shortDeadlineMs, 10 s and 20 s;
AT_LIMITS_t ShortLimits(const AT_PACING_t& pacing);
// - the listing of a storage that holds `storedMessages` messages (negative:
//   unknown, counted as listAssumedMessages): silenceMs, and listBaseMs plus
//   listPerMessageMs per message, 15 s + 0.5 s each;
AT_LIMITS_t ListLimits(const AT_PACING_t& pacing, int storedMessages);
// - the read of one stored message: as a short command;
AT_LIMITS_t SingleReadLimits(const AT_PACING_t& pacing);
// - the prompt command of a message part: as a short command, but never cut
//   by a stop request (the part has begun);
AT_LIMITS_t PromptLimits(const AT_PACING_t& pacing);
// - a message body, which the network answers: bodyMs (120 s) for both
//   silence and deadline, never cut by a stop request.
AT_LIMITS_t BodyLimits(const AT_PACING_t& pacing);
// - a USSD request, whose result the network gives: ussdMs (30 s) for both
//   silence and deadline.
AT_LIMITS_t UssdLimits(const AT_PACING_t& pacing);

// Drops waiting input, writes `command` and polls until the parser answers
// success (true) or failure (false), or the limits end the exchange (false);
// false too when the port fails or a stop request cuts the exchange. Without
// a port, an open port or a parser, on a failed port, and after a stop
// request for an exchange that may be cut: false, nothing written (the port
// is not reopened).
bool ExecuteCommand(CAtPort* port, const std::string& command, const ReplyParser& parser,
                    const AT_LIMITS_t& limits);

// One exchange without pauses, for a reply that its final line ends: drops
// waiting input, writes `command` and gathers the reply into `reply` until
// it holds a final line or the limits end it. False when the port failed
// meanwhile (a reply without any final line marks it failed) and after a
// stop request.
bool GatherReply(CAtPort* port, const std::string& command, std::string& reply,
                 const AT_LIMITS_t& limits);

// Between commands, on a port whose unsolicited channel is open
// (CAtPort::OpenUnsolicitedChannel): waits at most `waitMs` for bytes the
// module sends by itself and passes what came (at most kPollByteLimit
// bytes) to the channel. True when the port still works; false, the port
// marked failed, on an I/O error or a hang-up, and at once on a port that
// is failed, closed or absent.
bool WaitForUnsolicited(CAtPort* port, int waitMs);
