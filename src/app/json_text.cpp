#include "app/json_text.h"

#include <json/writer.h>

#include "codec/charset_conv.h"
#include "platform/charset.h"

namespace {

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
