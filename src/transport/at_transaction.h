#pragma once
// The AT transaction: write a command, poll the port, and let a driver's
// parser decide after every poll on the whole reply gathered so far.
// One poll reads until the line is quiet (a read that yields nothing); a
// pause of 100 ms follows a poll the parser did not decide on.

#include <functional>
#include <string>

#include "drivers/phone_card_base.h"
#include "transport/at_port.h"

using ReplyParser = std::function<COM_CMD_OPERATE_RESULT_t(CPhoneCardBase*, std::string)>;

// A gathered reply is never allowed to grow past this size; a modem that
// floods the line ends its transaction as a failure within its poll budget.
constexpr std::size_t kMaxReplyBytes = 256 * 1024;
// One poll ends at the latest after this many bytes or this long, so that a
// modem that never stops sending still lets the parser look.
constexpr std::size_t kPollByteLimit = 64 * 1024;
constexpr int kPollTimeLimitMs = 5000;

// Writes `command` (a failed write is not noticed) and polls at most
// `maxPolls` times: true when the parser answers success; false when it
// answers failure, the polls run out or the reply outgrows kMaxReplyBytes.
// Without a driver, a port, an open port or a parser: false, nothing written
// (the port is not reopened).
bool ExecuteCommand(CPhoneCardBase* driver, CAtPort* port, const std::string& command,
                    ReplyParser parser, int maxPolls);

// Opens the port when it is closed (nothing is sent when it does not open),
// then sends every command of the driver's InitCommands in order, shortPolls
// each; their outcomes are ignored.
void RunInitCommands(CPhoneCardBase* driver, CAtPort* port);

// One exchange each with the driver's command (or the given text) and its
// parse operation, returning the exchange's result: shortPolls, listPolls for
// the listing, bodyPolls for a message body. False without a driver.
bool QueryServiceCentre(CPhoneCardBase* driver, CAtPort* port);
bool SelectPduMode(CPhoneCardBase* driver, CAtPort* port);
bool PrepareRead(CPhoneCardBase* driver, CAtPort* port);
// Always true; `listed` (if given) tells whether the listing itself succeeded.
bool ListStoredMessages(CPhoneCardBase* driver, CAtPort* port, bool* listed = nullptr);
bool SendPromptCommand(CPhoneCardBase* driver, CAtPort* port, const std::string& command);
bool SendMessageBody(CPhoneCardBase* driver, CAtPort* port, const std::string& body);

// Reads the storage selected before into the driver's message list. The
// result depends on the PDU-mode switch and the preparing command only;
// `complete` (if given) is true when the listing and every single read
// succeeded, so that a caller may delete what was read.
bool ReadStoredMessages(CPhoneCardBase* driver, CAtPort* port, bool* complete = nullptr);

// Sends one text to one number (all parts of a long text): opens the port
// when it is closed, queries the service centre, selects PDU mode, then
// sends prompt and body of every part. False when a step fails (parts sent
// before stay sent) or the driver builds no part.
bool TransmitSms(CPhoneCardBase* driver, CAtPort* port, const std::string& number,
                 const std::string& text);

// Poll budgets and pacing; tests shrink them so that running out of polls
// costs milliseconds instead of minutes.
struct AT_PACING_t {
    int shortPolls = 70;
    int listPolls = 600;
    int bodyPolls = 1200;
    int pollSleepMs = 100;
    int singleReadRounds = 100;
    int gatherRounds = 100;
};
AT_PACING_t& AtPacing();
