#include "codec/charset_conv.h"

#include <cerrno>
#include <cstdint>

#include "iconv/gb18030_text.h"
#include "iconv/iconv_text.h"

namespace {

const char kInternal[] = "GB18030";
const char kUcs2[] = "UTF-16BE";
const char kUtf8[] = "UTF-8";

const char kUtf8Replacement[] = "\xEF\xBF\xBD";
const char kUcs2Replacement[] = "\xFF\xFD";

// Number of input bytes that form the character at `pos`, so that a character
// the target cannot hold costs one replacement, not one per byte.
using CharLength = std::size_t (*)(const std::string&, std::size_t);

std::size_t SingleByte(const std::string&, std::size_t)
{
    return 1;
}

std::size_t Utf16Unit(const std::string& s, std::size_t pos)
{
    if (pos + 4 <= s.size()) {
        const unsigned hi = static_cast<unsigned char>(s[pos]);
        const unsigned lo = static_cast<unsigned char>(s[pos + 2]);
        if (hi >= 0xD8 && hi <= 0xDB && lo >= 0xDC && lo <= 0xDF) {
            return 4;
        }
    }
    return 2;
}

std::size_t Utf8Sequence(const std::string& s, std::size_t pos)
{
    const unsigned lead = static_cast<unsigned char>(s[pos]);
    std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (n == 1 || pos + n > s.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < n; ++i) {
        if ((static_cast<unsigned char>(s[pos + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return n;
}

// Converts the whole input with iconv; every character that is invalid or has
// no form in the target becomes `replacement` and the conversion goes on after
// it. A descriptor per call keeps the functions free of shared state.
std::string Convert(const std::string& input, const char* to, const char* from,
                    const std::string& replacement, CharLength charLength)
{
    CIconv cd(to, from);
    if (!cd.ok()) {
        // Only a C library without these charsets gets here: say so visibly.
        std::string out;
        for (std::size_t pos = 0; pos < input.size(); pos += charLength(input, pos)) {
            out += replacement;
        }
        return out;
    }
    return cd.Run(input, [&](std::string& out, std::size_t pos, int err) {
        out += replacement;
        return err == EINVAL ? input.size() - pos : charLength(input, pos);
    });
}

int HexDigit(unsigned value)
{
    return "0123456789ABCDEF"[value & 0x0F];
}

}  // namespace

std::string AnsiToUcs2(const std::string& text)
{
    return Convert(text, kUcs2, kInternal, kUcs2Replacement, SingleByte);
}

std::string Ucs2ToAnsi(const std::string& ucs2, std::size_t maxBytes)
{
    std::string text = Ucs2ToAnsiString(ucs2);
    if (text.size() > maxBytes) {
        // The GBK code page writes what it lacks as "?", one byte; the longer
        // GB18030 forms must not turn a text that GBK would hold into nothing.
        text = ReplaceFourByteForms(text);
    }
    if (text.size() > maxBytes) {
        text.clear();
    }
    return text;
}

std::string Ucs2ToAnsiString(const std::string& ucs2)
{
    const std::string units = ucs2.substr(0, ucs2.size() & ~std::size_t{1});
    return Convert(units, kInternal, kUcs2, "?", Utf16Unit);
}

std::string Utf8ToAnsi(const std::string& utf8)
{
    return Convert(utf8, kInternal, kUtf8, "?", Utf8Sequence);
}

std::string AnsiToUtf8(const std::string& text)
{
    return Convert(text, kUtf8, kInternal, kUtf8Replacement, SingleByte);
}

std::string BytesToHex(const std::string& bytes)
{
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const unsigned byte = static_cast<unsigned char>(c);
        hex.push_back(static_cast<char>(HexDigit(byte >> 4)));
        hex.push_back(static_cast<char>(HexDigit(byte)));
    }
    return hex;
}

std::string HexToBytes(const std::string& hex)
{
    // The converter's arithmetic: letters count from "A" (minus 55), so a
    // lower-case or non-hex character gives a wrong but defined byte.
    const auto nibble = [](char c) -> unsigned {
        const unsigned v = static_cast<unsigned char>(c);
        return (c >= '0' && c <= '9') ? v - '0' : v - 55;
    };
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const unsigned value = (nibble(hex[i]) << 4) + nibble(hex[i + 1]);
        bytes.push_back(static_cast<char>(value & 0xFF));
    }
    return bytes;
}

std::string EncodeSemiOctets(const std::string& digits)
{
    std::string out;
    out.reserve(digits.size() + 1);
    std::size_t i = 0;
    for (; i + 1 < digits.size(); i += 2) {
        out.push_back(digits[i + 1]);
        out.push_back(digits[i]);
    }
    if (i < digits.size()) {
        out.push_back('F');
        out.push_back(digits[i]);
    }
    return out;
}

std::string DecodeSemiOctets(const std::string& swapped)
{
    std::string out;
    out.reserve(swapped.size());
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) {
        out.push_back(swapped[i + 1]);
        out.push_back(swapped[i]);
    }
    if (!out.empty() && out.back() == 'F') {
        out.pop_back();
    }
    return out;
}
