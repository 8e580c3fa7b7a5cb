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
// - Every command has a wall-clock deadline, the time its poll budget lasts
//   on a silent line (CommandDeadlineMs); unsolicited lines and trickling
//   bytes cannot extend it.
// - A read or write that fails (an I/O error, a hang-up) ends the transaction
//   at once; so does a reply that outgrows kMaxReplyBytes. Either, or a
//   command whose polls end without any final line in its reply, marks the
//   port failed (CAtPort::MarkFailed): every later transaction on it fails at
//   once without writing.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec/reply_text.h"
#include "transport/at_port.h"

// Decides on the whole reply gathered so far (codec/reply_text.h).
using ReplyParser = std::function<PARSE_RESULT_t(const std::string& reply)>;

// A gathered reply is never allowed to grow past this size; a modem that
// floods the line ends its transaction as a failure within its poll budget.
constexpr std::size_t kMaxReplyBytes = 256 * 1024;
// One poll ends at the latest after this many bytes or this long, so that a
// modem that never stops sending still lets the parser look.
constexpr std::size_t kPollByteLimit = 64 * 1024;
constexpr int kPollTimeLimitMs = 5000;

// Drops waiting input, writes `command` and polls at most `maxPolls` times
// within CommandDeadlineMs(port->Pacing(), maxPolls): true when the parser
// answers success; false when it answers failure, the polls or the time run
// out, or the port fails. Without a port, an open port or a parser, and on a failed port:
// false, nothing written (the port is not reopened).
bool ExecuteCommand(CAtPort* port, const std::string& command, const ReplyParser& parser,
                    int maxPolls);

// One exchange without pauses, for a reply that its final line ends: drops
// waiting input, writes `command` and gathers the reply into `reply` until
// it holds a final line, the gathering rounds run out or
// SingleReadDeadlineMs passes. False when the port failed meanwhile (a
// reply without any final line marks it failed).
bool GatherReply(CAtPort* port, const std::string& command, std::string& reply);

// The deadline of a command with `maxPolls` polls: the budget's time on a
// silent line, each poll one empty read (562 ms) and the pacing's pause
// (100 ms): 46.3 s for the 70 polls of a short command, 6 min 37 s for the
// 600 of a listing, 13 min 14 s for the 1200 of a message body.
std::int64_t CommandDeadlineMs(const AT_PACING_t& pacing, int maxPolls);
// The deadline of one single read: its gathering rounds of one empty read
// each, 56.2 s.
std::int64_t SingleReadDeadlineMs(const AT_PACING_t& pacing);
