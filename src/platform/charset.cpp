#include "platform/charset.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "iconv/iconv_text.h"
#include "platform/system_codeset.h"

namespace {

const char kInternalCharset[] = "GB18030";
// Fixed four-byte units make the position of an unconvertible character exact.
const char kPivot[] = "UTF-32BE";

std::string gConsoleCharset = "UTF-8";
bool gLocaleIsUtf8 = false;

void AppendCodePoint(std::string& utf32, std::uint32_t cp)
{
    utf32.push_back(static_cast<char>(cp >> 24));
    utf32.push_back(static_cast<char>((cp >> 16) & 0xFF));
    utf32.push_back(static_cast<char>((cp >> 8) & 0xFF));
    utf32.push_back(static_cast<char>(cp & 0xFF));
}

// Any charset -> UTF-32BE; each byte that starts no valid character becomes
// U+FFFD, so a broken sequence costs one replacement per byte and nothing
// that follows it.
std::string DecodeToPivot(const std::string& text, const std::string& charset)
{
    CIconv cd(kPivot, charset.c_str());
    if (!cd.ok()) {
        return DecodeToPivot(text, "UTF-8");
    }
    return cd.Run(text, [](std::string& out, std::size_t, int) {
        AppendCodePoint(out, 0xFFFD);
        return std::size_t{1};
    });
}

// UTF-32BE -> any charset; a character the charset lacks becomes U+FFFD when
// the charset has it, else "?".
std::string EncodeFromPivot(const std::string& utf32, const std::string& charset)
{
    CIconv cd(charset.c_str(), kPivot);
    if (!cd.ok()) {
        return EncodeFromPivot(utf32, "UTF-8");
    }
    std::string replacement;
    return cd.Run(utf32, [&](std::string& out, std::size_t, int) {
        if (replacement.empty()) {
            CIconv probe(charset.c_str(), kPivot);
            std::string fffd;
            AppendCodePoint(fffd, 0xFFFD);
            replacement =
                probe.Run(fffd, [](std::string&, std::size_t, int) { return std::size_t{4}; });
            if (replacement.empty()) {
                replacement = "?";
            }
        }
        out += replacement;
        return std::size_t{4};
    });
}

bool IsInternal(const std::string& charset)
{
    return charset == kInternalCharset;
}

bool IsAscii(const std::string& text)
{
    for (unsigned char c : text) {
        if (c >= 0x80) {
            return false;
        }
    }
    return true;
}

bool AsciiCompatible(const std::string& charset)
{
    return charset == "UTF-8" || IsInternal(charset);
}

std::string UpperAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

void AppendEscape(std::string& out, unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02X", value & 0xFFu);
    out += text;
}

bool InRange(unsigned char c, unsigned lo, unsigned hi)
{
    return c >= lo && c <= hi;
}

}  // namespace

std::string ConsoleCharsetForCodeset(const std::string& codeset)
{
    const std::string name = UpperAscii(codeset);
    if (name.empty() || name == "ANSI_X3.4-1968" || name == "UTF-8" || name == "UTF8" ||
        name == "CP65001") {
        return "UTF-8";
    }
    if (name == "GBK" || name == "GB2312" || name == "GB18030" || name == "CP936" ||
        name == "EUC-CN") {
        return kInternalCharset;
    }
    return codeset;
}

void InitCharsetBoundary()
{
    const std::string codeset = SystemCodeset();
    std::string charset = ConsoleCharsetForCodeset(codeset);
    if (!CIconv(charset.c_str(), kPivot).ok() || !CIconv(kPivot, charset.c_str()).ok()) {
        charset = "UTF-8";
    }
    gConsoleCharset = charset;
    const std::string name = UpperAscii(codeset);
    gLocaleIsUtf8 = name == "UTF-8" || name == "UTF8" || name == "CP65001";
}

std::string ConsoleCharset()
{
    return gConsoleCharset;
}

bool LocaleIsUtf8()
{
    return gLocaleIsUtf8;
}

std::string ConvertToCharset(const std::string& internalText, const std::string& charset)
{
    if (IsInternal(charset) || (AsciiCompatible(charset) && IsAscii(internalText))) {
        return internalText;
    }
    return EncodeFromPivot(DecodeToPivot(internalText, kInternalCharset), charset);
}

std::string ConvertFromCharset(const std::string& text, const std::string& charset)
{
    if (IsInternal(charset) || (AsciiCompatible(charset) && IsAscii(text))) {
        return text;
    }
    return EncodeFromPivot(DecodeToPivot(text, charset), kInternalCharset);
}

std::string ToConsoleCharset(const std::string& internalText)
{
    return ConvertToCharset(internalText, gConsoleCharset);
}

std::string FromConsoleCharset(const std::string& consoleText)
{
    return ConvertFromCharset(consoleText, gConsoleCharset);
}

std::string NeutraliseControls(const std::string& internalText)
{
    // GB18030 (GB 18030-2005): a byte below 0x80 is ASCII; a lead 0x81..0xFE
    // takes a trail 0x40..0x7E or 0x80..0xFE (two bytes) or 0x30..0x39 followed
    // by 0x81..0xFE 0x30..0x39 (four bytes). The four-byte codes begin at
    // U+0080 in linear order, so C1 U+0080..U+009F are the linear values 0..31.
    const std::string& s = internalText;
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) {
                AppendEscape(out, c);
            } else {
                out.push_back(static_cast<char>(c));
            }
            ++i;
            continue;
        }
        if (InRange(c, 0x81, 0xFE) && i + 1 < s.size()) {
            const unsigned char c2 = static_cast<unsigned char>(s[i + 1]);
            if (InRange(c2, 0x40, 0x7E) || InRange(c2, 0x80, 0xFE)) {
                out.append(s, i, 2);
                i += 2;
                continue;
            }
            if (InRange(c2, 0x30, 0x39) && i + 3 < s.size() &&
                InRange(static_cast<unsigned char>(s[i + 2]), 0x81, 0xFE) &&
                InRange(static_cast<unsigned char>(s[i + 3]), 0x30, 0x39)) {
                const unsigned c3 = static_cast<unsigned char>(s[i + 2]);
                const unsigned c4 = static_cast<unsigned char>(s[i + 3]);
                const unsigned linear =
                    (c - 0x81u) * 12600u + (c2 - 0x30u) * 1260u + (c3 - 0x81u) * 10u + (c4 - 0x30u);
                if (linear < 32) {
                    AppendEscape(out, 0x80 + linear);
                } else {
                    out.append(s, i, 4);
                }
                i += 4;
                continue;
            }
        }
        // A byte that starts no character: shown, so that it can neither vanish
        // nor pair up with a following control on a GBK terminal.
        AppendEscape(out, c);
        ++i;
    }
    return out;
}
