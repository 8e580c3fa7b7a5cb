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
#include "drivers/sms_message.h"
#include "scan/port_view.h"

// One element of the send result document's "result" array.
Json::Value SendResultElement(const SEND_RESULT_t& result);

// {"code":0,"message":"param is ok","result":[...]}; "result" only when there
// are results.
Json::Value SendResultDocument(const std::vector<SEND_RESULT_t>& results);

// The fixed error document of an outcome 0, 1 or 2 of ParseSendArguments
// (codes 1, 2, 3); a null value for any other outcome.
Json::Value SendErrorDocument(int outcome);

// One device of the inbox document.
struct INBOX_PORT_RESULT_t {
    COM_PORT_t port;
    bool bRead = false;             // "msgcount" (and "msgs") are shown
    std::vector<SmsMessage> vecSm;  // SIM messages, listed first
    std::vector<SmsMessage> vecMe;  // modem-memory messages
    // Stored messages that could not be read ("unreadable"), SIM first.
    std::vector<SmsUnreadable> vecSmUnreadable;
    std::vector<SmsUnreadable> vecMeUnreadable;
    std::string strError;   // "error" (read forms): why the read is not complete
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

Json::Value InboxDocument(const INBOX_RESULT_t& result);

// The ports document: {"portcount": n, "ports": [...]}, one object per view
// in their order with "com", "baud" (0 when the port did not open), "model",
// "imei", "iccid", "signal", "operator" (empty strings when not read),
// "state" (PortStateText), "reason" (absent for a usable port) and, for a
// port of the same modem as another, "samemodem" (that port).
Json::Value PortsDocument(const std::vector<PORT_VIEW_t>& views);
