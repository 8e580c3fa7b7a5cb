#pragma once
// How a send result travels through the store's outbox (store/message_store.h)
// between the watch that sends and the send command that waits: the two
// directions of one encoding, side by side.
//
// A request's options are "" (a plain send) or {"report":true} (every part
// asks for a status report). A result's code, message and time are the send
// document's; its detail is a JSON object of ASCII text with what else the
// document shows: "error" (codes 2 to 9: the device's reason) and
// "references" (with --report, on a model that gives them: the TP-MR of each
// accepted part, null where the modem gave none).

#include <string>

#include "app/application.h"
#include "store/message_store.h"

std::string OutboxOptionsText(bool statusReports);
// Whether the options of a request ask for status reports. Options that are
// not understood ask for nothing.
bool OutboxAsksReports(const std::string& options);

// The outbox's form of a send result (its port and number are the request's).
OutboxResult OutboxResultOf(const SEND_RESULT_t& result);

// The send result of a finished row, for the port `port` as the waiting
// command names it: what the document of a send made without the outbox
// shows. A detail that is not understood adds nothing.
SEND_RESULT_t SendResultOf(const COM_PORT_t& port, const OutboxRow& row);
