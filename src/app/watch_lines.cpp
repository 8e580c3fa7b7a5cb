#include "app/watch_lines.h"

#include "app/json_documents.h"
#include "codec/charset_conv.h"

namespace {

Json::Value Utf8(const std::string& internalText)
{
    return Json::Value(AnsiToUtf8(internalText));
}

const char* PortStateName(WATCH_PORT_STATE_t state)
{
    switch (state) {
    case WATCH_PORT_READY:
        return "ready";
    case WATCH_PORT_LOST:
        return "lost";
    case WATCH_PORT_ERROR:
        break;
    }
    return "error";
}

}  // namespace

Json::Value WatchMessageRecord(const WATCH_MESSAGE_t& found)
{
    Json::Value record = InboxMessageObject(found.message, found.strStorage.c_str());
    if (found.strStorage.empty()) {
        record.removeMember("storage");
    }
    record["type"] = found.message.bReport ? "report" : "message";
    record["com"] = Utf8(found.port.strName);
    record["parts"] = found.message.nParts;
    record["received"] = Utf8(found.strReceived);
    record["sim"] = Utf8(found.strSim);
    return record;
}

Json::Value WatchUnreadableRecord(const COM_PORT_t& port, const std::string& storage,
                                  const SmsUnreadable& entry)
{
    Json::Value record = InboxUnreadableObject(entry, storage.c_str());
    if (storage.empty()) {
        record.removeMember("storage");
        record.removeMember("index");
    }
    record["type"] = "unreadable";
    record["com"] = Utf8(port.strName);
    return record;
}

Json::Value WatchPortRecord(const COM_PORT_t& port, WATCH_PORT_STATE_t state,
                            const std::string& error)
{
    Json::Value record(Json::objectValue);
    record["type"] = "port";
    record["com"] = Utf8(port.strName);
    record["state"] = PortStateName(state);
    if (state != WATCH_PORT_READY) {
        record["error"] = Utf8(error);
    }
    return record;
}
