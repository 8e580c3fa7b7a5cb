#pragma once
// The JSON documents of the command forms, built from the commands' records.
//
// Every string is put into the document as UTF-8 (converted from the internal
// code page). Members of an object come out in ascending key order (jsoncpp
// keeps them so).

#include <cstdint>
#include <string>
#include <vector>

#include <json/value.h>

#include "app/application.h"
#include "app/arguments.h"
#include "app/outbox_service.h"
#include "drivers/sms_message.h"
#include "scan/port_view.h"

// One element of the send result document's "result" array. With
// references (--report), "references": the reference of each accepted part,
// null where the modem gave none.
Json::Value SendResultElement(const SEND_RESULT_t& result);

// The line a watch writes for a send it made for a send command (through the
// store's outbox): {"type":"sent","outbox":<the request's row id>} with the
// members of the send's SendResultElement ("com", "number", "time", "code",
// "message", and "error" and "references" where the element has them).
Json::Value SentLine(const OUTBOX_SENT_t& sent);

// {"code":0,"message":"param is ok","result":[...]}; "result" only when there
// are results.
Json::Value SendResultDocument(const std::vector<SEND_RESULT_t>& results);

// The fixed error document of an outcome 0, 1 or 2 of ParseSendArguments
// (codes 1, 2, 3), or 4 or 5 of the pin and ussd commands'
// (PORT_COMMAND_OUTCOME_t: codes 4 "pin error", 5 "ussd code error"); a
// null value for any other outcome.
Json::Value SendErrorDocument(int outcome);

// The result document of the pin and ussd commands, shaped like the send's:
// {"code":0,"message":"param is ok","result":[...]} with one element per
// port: "com", "time", "code", "message" (the code's text, or for code 1
// the modem's error), "error" (codes 2 to 9, the device's reason),
// "attempts" (pin, after a refused PIN where the module tells them),
// "reply" and "more" (ussd, when an answer came).
Json::Value PortCommandDocument(const std::vector<PORT_COMMAND_RESULT_t>& results);

// A status report's "report" object: "reference" (TP-MR of the message
// reported on), "status" ("delivered", "pending" or "failed" by the TP-ST
// ranges), "tp_st" and "discharged" (YY-MM-DD hh:mm:ss). The one form of a
// report wherever one is written.
Json::Value ReportObject(const SmsReport& report);

// A message object of the inbox documents: "from", "storage", "text",
// "time", for a status report "report" (ReportObject), and for a long
// message whose parts did not all come "missing" (their part numbers). The
// one form of a stored message wherever one is written (the watch's lines
// too).
Json::Value InboxMessageObject(const SmsMessage& message, const char* storage);

// An "unreadable" object of the inbox documents: "index", "pdu" (the line
// as the modem sent it) and "storage".
Json::Value InboxUnreadableObject(const SmsUnreadable& entry, const char* storage);

// One device of the inbox document.
struct INBOX_PORT_RESULT_t {
    COM_PORT_t port;
    bool bRead = false;             // "msgcount" (and "msgs") are shown
    std::vector<SmsMessage> vecSm;  // SIM messages, listed first
    std::vector<SmsMessage> vecMe;  // modem-memory messages
    std::vector<SmsMessage> vecSr;  // the storage of status reports ("SR"), last
    // Stored messages that could not be read ("unreadable"), SIM first.
    std::vector<SmsUnreadable> vecSmUnreadable;
    std::vector<SmsUnreadable> vecMeUnreadable;
    std::vector<SmsUnreadable> vecSrUnreadable;
    std::string strError;  // "error" (read forms): why the read is not complete
    // A read-then-clear: an incomplete long message that IsHeldBack at
    // nNowUtc was left on the modem for its other parts ("held": true).
    bool bHolds = false;
    std::int64_t nNowUtc = 0;
    bool bCleared = false;  // "clear" is shown
    bool bClear = false;
};

struct INBOX_RESULT_t {
    std::string strType;  // the word as received (lower-cased)
    bool bCheck = false;  // one of the six sub-commands, and the ports (if any) a list
    std::vector<INBOX_PORT_RESULT_t> vecPorts;
    // "unavailable": the ports that could not be read at all; absent when none.
    std::vector<UNAVAILABLE_PORT_t> vecUnavailable;
    // "message": why nothing was done (an unknown word, a malformed port
    // list); absent when empty.
    std::string strMessage;
    std::int64_t nSeconds = 0;
};

// The inbox document. A message object has "from", "storage", "text",
// "time", a report's "report", and for a long message of which parts were
// not in the storage "missing" (their part numbers; the text is that of the
// parts present) and, when a read-then-clear left it on the modem to wait
// for them, "held": true.
Json::Value InboxDocument(const INBOX_RESULT_t& result);

// The ports document: {"portcount": n, "ports": [...]}, one object per view
// in their order with "com", "baud" (0 when the port did not open), "model",
// "imei", "iccid", "signal", "operator" (empty strings when not read),
// "state" (PortStateText), "reason" (absent for a usable port) and, for a
// port of the same modem as another, "samemodem" (that port).
Json::Value PortsDocument(const std::vector<PORT_VIEW_t>& views);
