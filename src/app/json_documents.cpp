#include "app/json_documents.h"

#include <json/reader.h>

#include "codec/charset_conv.h"
#include "codec/pdu.h"
#include "codec/reply_text.h"
#include "drivers/result_codes.h"

namespace {

// The error documents are kept as compact texts and read before printing, so
// what is printed is always the styled layout of a well-formed document.
const char* const kComPortError = R"({"code":1,"message":"com port error","result":[]})";
const char* const kPhoneNumberError = R"({"code":2,"message":"phone number error","result":[]})";
const char* const kParamCountError = R"({"code":3,"message":"param count error","result":[]})";
const char* const kPinError = R"({"code":4,"message":"pin error","result":[]})";
const char* const kUssdCodeError = R"({"code":5,"message":"ussd code error","result":[]})";

Json::Value Utf8(const std::string& internalText)
{
    return Json::Value(AnsiToUtf8(internalText));
}

}  // namespace

Json::Value InboxMessageObject(const SmsMessage& message, const char* storage)
{
    Json::Value object(Json::objectValue);
    object["from"] = Utf8(message.strFrom);
    object["storage"] = storage;
    object["text"] = Utf8(message.strText);
    object["time"] = Utf8(message.strTime);
    if (message.bReport) {
        object["report"] = ReportObject(message.report);
    }
    // A long message of which parts never came is the parts there are.
    if (!message.vecMissing.empty()) {
        Json::Value missing(Json::arrayValue);
        for (int part : message.vecMissing) {
            missing.append(part);
        }
        object["missing"] = missing;
    }
    return object;
}

// A stored message that could not be read: where it is, and its PDU line
// for whoever wants to look at it.
Json::Value InboxUnreadableObject(const SmsUnreadable& entry, const char* storage)
{
    Json::Value object(Json::objectValue);
    object["index"] = entry.nIndex;
    object["pdu"] = Utf8(entry.strPdu);
    object["storage"] = storage;
    return object;
}

namespace {

// The inbox document's form: a read-then-clear marks what it left on the
// modem for its other parts.
Json::Value MessageObject(const SmsMessage& message, const char* storage,
                          const INBOX_PORT_RESULT_t& port)
{
    Json::Value object = InboxMessageObject(message, storage);
    if (!message.vecMissing.empty() && port.bHolds &&
        IsHeldBack(message, port.nNowUtc, kIncompleteLimitSeconds)) {
        object["held"] = true;
    }
    return object;
}

Json::Value PortObject(const INBOX_PORT_RESULT_t& port)
{
    Json::Value object(Json::objectValue);
    object["name"] = Utf8(port.port.strName);
    if (port.bRead) {
        object["msgcount"] =
            static_cast<Json::UInt64>(port.vecSm.size() + port.vecMe.size() + port.vecSr.size());
        for (const SmsMessage& message : port.vecSm) {
            object["msgs"].append(MessageObject(message, "SIM", port));
        }
        for (const SmsMessage& message : port.vecMe) {
            object["msgs"].append(MessageObject(message, "DEV", port));
        }
        for (const SmsMessage& message : port.vecSr) {
            object["msgs"].append(MessageObject(message, "SR", port));
        }
        for (const SmsUnreadable& entry : port.vecSmUnreadable) {
            object["unreadable"].append(InboxUnreadableObject(entry, "SIM"));
        }
        for (const SmsUnreadable& entry : port.vecMeUnreadable) {
            object["unreadable"].append(InboxUnreadableObject(entry, "DEV"));
        }
        for (const SmsUnreadable& entry : port.vecSrUnreadable) {
            object["unreadable"].append(InboxUnreadableObject(entry, "SR"));
        }
        // A read that failed must not pass for an empty inbox.
        if (!port.strError.empty()) {
            object["error"] = Utf8(port.strError);
        }
    }
    if (port.bCleared) {
        object["clear"] = port.bClear;
    }
    return object;
}

}  // namespace

Json::Value SendResultElement(const SEND_RESULT_t& result)
{
    Json::Value element(Json::objectValue);
    element["com"] = Utf8(result.port.strName);
    element["number"] = Utf8(result.strNumber);
    element["time"] = Utf8(result.strTime);
    element["code"] = static_cast<int>(result.nResult);
    element["message"] = Utf8(result.nResult == CMD_RESULT_FAILED ? result.strMessage
                                                                  : ResultTextEn(result.nResult));
    // The code's message stays as scripts know it; what was wrong with the
    // device comes beside it.
    if (result.nResult != CMD_RESULT_SUCCEED && result.nResult != CMD_RESULT_FAILED &&
        !result.strError.empty()) {
        element["error"] = Utf8(result.strError);
    }
    if (result.bReferences) {
        Json::Value references(Json::arrayValue);
        for (int reference : result.vecReferences) {
            references.append(reference >= 0 ? Json::Value(reference) : Json::Value());
        }
        element["references"] = references;
    }
    return element;
}

Json::Value SentLine(const OUTBOX_SENT_t& sent)
{
    Json::Value line = SendResultElement(sent.result);
    line["type"] = "sent";
    line["outbox"] = static_cast<Json::Int64>(sent.nId);
    return line;
}

Json::Value SendResultDocument(const std::vector<SEND_RESULT_t>& results)
{
    Json::Value document(Json::objectValue);
    for (const SEND_RESULT_t& result : results) {
        document["result"].append(SendResultElement(result));
    }
    document["code"] = 0;
    document["message"] = "param is ok";
    return document;
}

Json::Value SendErrorDocument(int outcome)
{
    const char* text = nullptr;
    switch (outcome) {
    case SEND_PARSE_NO_PORT:
        text = kComPortError;
        break;
    case SEND_PARSE_BAD_NUMBER:
        text = kPhoneNumberError;
        break;
    case SEND_PARSE_BAD_COUNT:
        text = kParamCountError;
        break;
    case PORT_COMMAND_BAD_PIN:
        text = kPinError;
        break;
    case PORT_COMMAND_BAD_USSD_CODE:
        text = kUssdCodeError;
        break;
    default:
        return Json::Value();
    }
    Json::Value document;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Json::Reader reader;
    reader.parse(text, document, true);
#pragma GCC diagnostic pop
    return document;
}

Json::Value InboxDocument(const INBOX_RESULT_t& result)
{
    Json::Value document(Json::objectValue);
    document["type"] = Utf8(result.strType);
    document["check"] = result.bCheck ? 1 : 0;
    if (result.bCheck) {
        document["portcount"] = static_cast<Json::UInt64>(result.vecPorts.size());
    }
    for (const INBOX_PORT_RESULT_t& port : result.vecPorts) {
        document["ports"].append(PortObject(port));
    }
    // A port that could not be read must not pass for one without messages.
    for (const UNAVAILABLE_PORT_t& port : result.vecUnavailable) {
        Json::Value object(Json::objectValue);
        object["name"] = Utf8(port.port.strName);
        object["error"] = Utf8(port.strError);
        document["unavailable"].append(object);
    }
    if (!result.strMessage.empty()) {
        document["message"] = Utf8(result.strMessage);
    }
    document["seconds"] = static_cast<Json::Int64>(result.nSeconds);
    return document;
}

Json::Value PortsDocument(const std::vector<PORT_VIEW_t>& views)
{
    Json::Value document(Json::objectValue);
    document["portcount"] = static_cast<Json::UInt64>(views.size());
    document["ports"] = Json::Value(Json::arrayValue);
    for (const PORT_VIEW_t& view : views) {
        Json::Value object(Json::objectValue);
        object["com"] = Utf8(view.port.strName);
        object["baud"] = LeadingInt(view.strBaud);
        object["model"] = Utf8(view.strModel);
        object["imei"] = Utf8(view.strImei);
        object["iccid"] = Utf8(view.strIccid);
        object["signal"] = Utf8(view.strSignal);
        object["operator"] = Utf8(view.strOperator);
        object["state"] = PortStateText(view.nState);
        if (view.nState != PORT_STATE_USABLE) {
            object["reason"] = Utf8(view.strReason);
        }
        if (!view.strSameModem.empty()) {
            object["samemodem"] = Utf8(view.strSameModem);
        }
        document["ports"].append(object);
    }
    return document;
}

Json::Value ReportObject(const SmsReport& report)
{
    Json::Value object(Json::objectValue);
    object["reference"] = report.nReference;
    object["status"] = ReportStatusName(ReportStatusOf(static_cast<unsigned>(report.nStatus)));
    object["tp_st"] = report.nStatus;
    object["discharged"] = Utf8(report.strDischarged);
    return object;
}

Json::Value PortCommandDocument(const std::vector<PORT_COMMAND_RESULT_t>& results)
{
    Json::Value document(Json::objectValue);
    for (const PORT_COMMAND_RESULT_t& result : results) {
        Json::Value element(Json::objectValue);
        element["com"] = Utf8(result.port.strName);
        element["time"] = Utf8(result.strTime);
        element["code"] = static_cast<int>(result.nResult);
        element["message"] = Utf8(
            result.nResult == CMD_RESULT_FAILED ? result.strMessage : ResultTextEn(result.nResult));
        if (result.nResult != CMD_RESULT_SUCCEED && result.nResult != CMD_RESULT_FAILED &&
            !result.strError.empty()) {
            element["error"] = Utf8(result.strError);
        }
        if (result.nAttempts >= 0) {
            element["attempts"] = result.nAttempts;
        }
        if (result.bReply) {
            element["reply"] = Utf8(result.strReply);
            element["more"] = result.bMore;
        }
        document["result"].append(element);
    }
    document["code"] = 0;
    document["message"] = "param is ok";
    return document;
}
