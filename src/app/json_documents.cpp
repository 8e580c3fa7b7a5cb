#include "app/json_documents.h"

#include <json/reader.h>
#include <json/writer.h>

#include "codec/charset_conv.h"
#include "drivers/result_codes.h"
#include "platform/charset.h"

namespace {

// The error documents are kept as compact texts and read before printing, so
// what is printed is always the styled layout of a well-formed document.
const char* const kComPortError = R"({"code":1,"message":"com port error","result":[]})";
const char* const kPhoneNumberError = R"({"code":2,"message":"phone number error","result":[]})";
const char* const kParamCountError = R"({"code":3,"message":"param count error","result":[]})";

Json::Value Utf8(const std::string& internalText)
{
    return Json::Value(AnsiToUtf8(internalText));
}

Json::Value MessageObject(const SmsMessage& message, const char* storage)
{
    Json::Value object(Json::objectValue);
    object["from"] = Utf8(message.strFrom);
    object["storage"] = storage;
    object["text"] = Utf8(message.strText);
    object["time"] = Utf8(message.strTime);
    return object;
}

// A stored message that could not be read: where it is, and its PDU line
// for whoever wants to look at it.
Json::Value UnreadableObject(const SmsUnreadable& entry, const char* storage)
{
    Json::Value object(Json::objectValue);
    object["index"] = entry.nIndex;
    object["pdu"] = Utf8(entry.strPdu);
    object["storage"] = storage;
    return object;
}

Json::Value PortObject(const INBOX_PORT_RESULT_t& port)
{
    Json::Value object(Json::objectValue);
    object["name"] = Utf8(port.port.strName);
    if (port.bRead) {
        object["msgcount"] = static_cast<Json::UInt64>(port.vecSm.size() + port.vecMe.size());
        for (const SmsMessage& message : port.vecSm) {
            object["msgs"].append(MessageObject(message, "SIM"));
        }
        for (const SmsMessage& message : port.vecMe) {
            object["msgs"].append(MessageObject(message, "DEV"));
        }
        for (const SmsUnreadable& entry : port.vecSmUnreadable) {
            object["unreadable"].append(UnreadableObject(entry, "SIM"));
        }
        for (const SmsUnreadable& entry : port.vecMeUnreadable) {
            object["unreadable"].append(UnreadableObject(entry, "DEV"));
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

// A \u escape's value at `at` (the backslash), or -1 when no four hex
// digits follow the "\u".
long EscapeValue(const std::string& text, std::size_t at)
{
    if (at + 6 > text.size() || text[at + 1] != 'u') {
        return -1;
    }
    long value = 0;
    for (std::size_t i = at + 2; i < at + 6; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) {
            return -1;
        }
        value = value * 16 + digit;
    }
    return value;
}

void AppendUtf8(std::string& out, long cp)
{
    if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (cp & 0x3F));
}

// The text of jsoncpp's writers (all ASCII: every character from U+0080 up
// is a \u escape, a pair of them beyond U+FFFF), in the asked charset: for
// UTF-8 the escapes of characters from U+00A0 up become the characters.
// DEL, which jsoncpp leaves as it is, becomes \u007f in both. Escapes and
// DEL occur only inside strings, so the layout is the writer's own.
std::string InCharset(const std::string& written, DOCUMENT_CHARSET_t charset)
{
    std::string out;
    out.reserve(written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        const char c = written[i];
        if (c == '\x7f') {
            out += "\\u007f";
            continue;
        }
        if (c != '\\' || i + 1 >= written.size()) {
            out += c;
            continue;
        }
        const long value = charset == DOCUMENT_UTF8 ? EscapeValue(written, i) : -1;
        if (value >= 0xA0 && (value < 0xD800 || value > 0xDFFF)) {
            AppendUtf8(out, value);
            i += 5;
            continue;
        }
        const long low = value >= 0xD800 && value <= 0xDBFF ? EscapeValue(written, i + 6) : -1;
        if (low >= 0xDC00 && low <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00));
            i += 11;
            continue;
        }
        // Any other escape ("\\", "\"", "\n", a control) is kept whole, so
        // that its second character is never read as the start of another.
        out += c;
        out += written[++i];
    }
    return out;
}

// A writer's text in the charset, with the empty line after it, as internal
// text for ConsoleWrite.
std::string DocumentText(const std::string& written, DOCUMENT_CHARSET_t charset)
{
    const std::string text = InCharset(written, charset) + "\n";
    return charset == DOCUMENT_UTF8 ? ConvertFromCharset(text, "UTF-8") : text;
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
    return element;
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
    document["seconds"] = static_cast<Json::Int64>(result.nSeconds);
    return document;
}

DOCUMENT_CHARSET_t ConsoleDocumentCharset()
{
    return LocaleIsUtf8() ? DOCUMENT_UTF8 : DOCUMENT_ASCII;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

// The writers of the two layouts escape every character beyond ASCII; the
// builder that could write UTF-8 lays arrays and objects out differently.
std::string StyledDocumentText(const Json::Value& document, DOCUMENT_CHARSET_t charset)
{
    Json::StyledWriter writer;
    return DocumentText(writer.write(document), charset);
}

std::string CompactDocumentText(const Json::Value& document, DOCUMENT_CHARSET_t charset)
{
    Json::FastWriter writer;
    return DocumentText(writer.write(document), charset);
}

#pragma GCC diagnostic pop
