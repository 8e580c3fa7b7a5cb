#pragma once
// The watch's side of the outbox: the sends that send commands queued in the
// store (store/message_store.h) for a port the watch holds, made on the
// watch's own open port and driver.
//
//   ServeOutbox(store, owner, port, atPort, driver, [&](const OUTBOX_SENT_t& sent) {
//       WriteLine(SentLine(sent));
//   }, error);

#include <cstdint>
#include <functional>
#include <string>

#include "app/application.h"
#include "drivers/phone_card_base.h"
#include "store/message_store.h"
#include "transport/at_port.h"

// One request the watch has served: its outbox row and the send's result,
// as the send document shows it ("sent" line: json_documents.h SentLine).
struct OUTBOX_SENT_t {
    std::int64_t nId = 0;
    SEND_RESULT_t result;
};

// The outcome a send command reports for a request whose watch ended while
// sending it: it may or may not have gone out, and it is never sent again.
OutboxResult SendingLeftBehind(const std::string& owner);

// Serves the requests waiting for `port` (its COM name is the outbox's port),
// in the order they were queued, one at a time, on the watch's open `atPort`
// and its `driver`: each is taken (Claim, recording `owner`), sent through
// the one send sequence (SendOnPort; the text gets its send time then), its
// result recorded (Finish) and handed to `sent`.
//
// First, rows of this port left in state sending (by a watch of this store
// that died while sending; only one watch holds a port) are failed
// (ExpireSending): the caller must hold the port's watch mark
// (platform/watch_mark.h). No further request is taken once the port's stop
// request is made or the port has failed (CAtPort::IsFailed: the watch then
// treats the modem as lost); those wait for the next call, or for their
// sender to give them up. Returns once no request is waiting for the port.
//
// False with `error` (one line, "store <path>: ...") when the store failed;
// a request already sent whose result could not be recorded is still handed
// to `sent`, and its row stays in state sending until it is expired.
bool ServeOutbox(MessageStore& store, const std::string& owner, const COM_PORT_t& port,
                 CAtPort& atPort, CPhoneCardBase& driver,
                 const std::function<void(const OUTBOX_SENT_t&)>& sent, std::string& error);
