// The outbox's records of requests and results (app/outbox_records.h).

#include "app/outbox_records.h"

#include <memory>
#include <sstream>

#include <json/reader.h>
#include <json/writer.h>

#include "codec/charset_conv.h"
#include "drivers/result_codes.h"

namespace {

// One line of ASCII: every other character as a \u escape, so the store
// keeps it the same in any code page.
std::string AsciiJson(const Json::Value& value)
{
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = false;
    return Json::writeString(builder, value);
}

bool ParseJson(const std::string& text, Json::Value& value)
{
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    return !text.empty() &&
           reader->parse(text.data(), text.data() + text.size(), &value, &errors) &&
           value.isObject();
}

}  // namespace

std::string OutboxOptionsText(bool statusReports)
{
    return statusReports ? "{\"report\":true}" : "";
}

bool OutboxAsksReports(const std::string& options)
{
    Json::Value value;
    return ParseJson(options, value) && value["report"].isBool() && value["report"].asBool();
}

OutboxResult OutboxResultOf(const SEND_RESULT_t& result)
{
    OutboxResult outcome;
    outcome.code = static_cast<int>(result.nResult);
    outcome.message =
        result.nResult == CMD_RESULT_FAILED ? result.strMessage : ResultTextEn(result.nResult);
    outcome.time = result.strTime;
    Json::Value detail(Json::objectValue);
    if (!result.strError.empty()) {
        detail["error"] = AnsiToUtf8(result.strError);
    }
    if (result.bReferences) {
        Json::Value references(Json::arrayValue);
        for (int reference : result.vecReferences) {
            references.append(reference >= 0 ? Json::Value(reference) : Json::Value());
        }
        detail["references"] = references;
    }
    if (!detail.empty()) {
        outcome.detail = AsciiJson(detail);
    }
    return outcome;
}

SEND_RESULT_t SendResultOf(const COM_PORT_t& port, const OutboxRow& row)
{
    SEND_RESULT_t result;
    result.port = port;
    result.strNumber = row.request.number;
    result.strTime = row.result.time;
    result.nResult = static_cast<COM_CMD_OPERATE_RESULT_t>(row.result.code);
    if (result.nResult == CMD_RESULT_FAILED) {
        result.strMessage = row.result.message;
    }
    Json::Value detail;
    if (!ParseJson(row.result.detail, detail)) {
        return result;
    }
    if (detail["error"].isString()) {
        result.strError = Utf8ToAnsi(detail["error"].asString());
    }
    if (detail["references"].isArray()) {
        result.bReferences = true;
        for (const Json::Value& reference : detail["references"]) {
            result.vecReferences.push_back(reference.isInt() ? reference.asInt() : -1);
        }
    }
    return result;
}
