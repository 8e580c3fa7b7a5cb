#pragma once
// The records of the watch's stream and their objects, one line each. Each
// has a "type"; the message and report objects are the inbox documents'
// (app/json_documents.h) with what a stream adds, so there is one form of a
// message wherever it is written.

#include <string>
#include <vector>

#include <json/value.h>

#include "drivers/sms_message.h"
#include "platform/port.h"

// A message or a status report that the watch found.
struct WATCH_MESSAGE_t {
    COM_PORT_t port;
    // "SIM", "DEV" or "SR" as in the inbox documents; empty for a report
    // the module sent as a +CDS line without keeping it.
    std::string strStorage;
    SmsMessage message;       // with its parts and the ones missing (nParts, vecMissing)
    std::string strReceived;  // when the watch found it, local time (LocalTimeText)
    std::string strSim;       // ICCID of the SIM of the modem
};

// {"type":"message"} (or "report" for a status report) with "com",
// "storage" (absent for a +CDS report), "from", "time", "text" and, for a
// report, "report" as the inbox documents give them; "parts", "received",
// "sim", and "missing" when parts were missing.
Json::Value WatchMessageRecord(const WATCH_MESSAGE_t& found);

// {"type":"unreadable","com","storage","index","pdu"}: a stored message
// whose PDU could not be read; it stays on the modem. A +CDS line whose PDU
// is no report (`storage` empty) has "com" and "pdu" only.
Json::Value WatchUnreadableRecord(const COM_PORT_t& port, const std::string& storage,
                                  const SmsUnreadable& entry);

enum WATCH_PORT_STATE_t {
    WATCH_PORT_READY,  // the modem is watched from now on
    WATCH_PORT_LOST,   // a watched modem went away; it is probed again
    WATCH_PORT_ERROR,  // the port could not be taken; it is probed again
};

// {"type":"port","com","state":"ready"|"lost"|"error"} with "error" (why)
// for the last two.
Json::Value WatchPortRecord(const COM_PORT_t& port, WATCH_PORT_STATE_t state,
                            const std::string& error);
