#pragma once
// The fixed sequences of AT transactions that the commands run on a driver
// and a port: initialisation, reading one storage, sending one SMS. Each
// command is limited by its kind (at_transaction.h: ShortLimits, ListLimits,
// SingleReadLimits, PromptLimits, BodyLimits) under the port's pacing
// (CAtPort::Pacing), and the port's stop request ends them as the
// transaction says.

#include <string>
#include <vector>

#include "drivers/phone_card_base.h"
#include "transport/at_port.h"
#include "transport/at_transaction.h"

// A parse operation of a driver.
using DriverParse = PARSE_RESULT_t (CPhoneCardBase::*)(std::string reply);

// One exchange (ExecuteCommand) whose reply the driver's `parse` decides on.
// False without a driver.
bool RunDriverCommand(CPhoneCardBase* driver, CAtPort* port, const std::string& command,
                      DriverParse parse, const AT_LIMITS_t& limits);

// Opens the port when it is closed (nothing is sent when it does not open),
// then sends every command of the driver's InitCommands in order, each a
// short command waiting for its own answer; their outcomes are ignored, but a
// port that fails ends the list.
void RunInitCommands(CPhoneCardBase* driver, CAtPort* port);

// One exchange each with the driver's command (or the given text) and its
// parse operation, returning the exchange's result: a short command (the
// service-centre query is followed by the character-set query when the
// modem quoted the number in a set of its own); the
// listing limited by the number of messages the storage selection reported
// (CPhoneCardBase::StoredCount); the prompt and the body of a message part,
// which a stop request does not cut. False without a driver.
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
// succeeded and the driver understood every line of them
// (CPhoneCardBase::NotUnderstoodLine), so that a caller may delete what was
// read. A single read is
// written after the waiting input is dropped and gathered without pauses
// until its reply holds a final line (SingleReadLimits at most); the
// reads stop when the port fails or a stop is requested.
bool ReadStoredMessages(CPhoneCardBase* driver, CAtPort* port, bool* complete = nullptr);

// One message on its way: its parts (prompt command and body each), built
// once, and how many of them the network has accepted so far.
struct SMS_SEND_t {
    std::vector<SendPair> vecParts;
    std::size_t nAccepted = 0;
    bool bBuilt = false;
    // The message reference (TP-MR) the network gave each accepted part, in
    // part order (driver->LastReference(); -1 where the modem gave none).
    std::vector<int> vecReferences;

    // Every part was accepted (and there was at least one).
    bool Sent() const { return bBuilt && !vecParts.empty() && nAccepted == vecParts.size(); }
};

// Sends one text to one number (all parts of a long text): opens the port
// when it is closed, queries the service centre, selects PDU mode, builds the
// parts into `send` and sends prompt and body of every part. Called again
// with the same `send` after a failure, it resends from the first part not
// accepted, with the same reference and part number, and never sends an
// accepted part again (the service centre is not asked again). A stop
// request ends the steps before the first part; a part whose prompt has been
// written is finished, and no further part is begun (the port is marked
// failed as stopped). True only when every part has been accepted; false
// when a step fails (parts accepted before stay sent), the send is stopped
// or the driver builds no part.
bool TransmitSms(CPhoneCardBase* driver, CAtPort* port, const std::string& number,
                 const std::string& text, SMS_SEND_t& send);
// One attempt with a message of its own.
bool TransmitSms(CPhoneCardBase* driver, CAtPort* port, const std::string& number,
                 const std::string& text);

// The SIM's PIN state (driver->PinState()) by AT+CPIN?, a short command; true
// when the modem named one.
bool QueryPinState(CPhoneCardBase* driver, CAtPort* port);

// Writes the PIN once (driver->EnterPinCommand), a short command; from then on
// the port's trace hides it (CAtPort::HideInTrace). True when the modem took
// it; never repeated.
bool EnterPin(CPhoneCardBase* driver, CAtPort* port, const std::string& pin);

// The PIN attempts left (driver->PinAttempts()), where the module has a
// command for them; nothing is written where it has none.
void QueryPinAttempts(CPhoneCardBase* driver, CAtPort* port);

// Asks the modem's character set (driver->Charset()), then sends the USSD
// request for `code` and waits UssdLimits for its result. A result that asks
// for more input (+CUSD: 1) is kept, and the session is then closed
// (AT+CUSD=2); so is a session whose result did not come. True when a
// result with a text came (driver->UssdReply()).
bool RequestUssd(CPhoneCardBase* driver, CAtPort* port, const std::string& code);
