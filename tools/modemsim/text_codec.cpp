#include "text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>

namespace modemsim {
namespace {

const char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// TS 23.038 6.2.1, default alphabet as Unicode code points.
const char32_t kGsmDefault[128] = {
    0x0040, 0x00A3, 0x0024, 0x00A5, 0x00E8, 0x00E9, 0x00F9, 0x00EC, 0x00F2, 0x00C7, 0x000A, 0x00D8,
    0x00F8, 0x000D, 0x00C5, 0x00E5, 0x0394, 0x005F, 0x03A6, 0x0393, 0x039B, 0x03A9, 0x03A0, 0x03A8,
    0x03A3, 0x0398, 0x039E, 0x001B, 0x00C6, 0x00E6, 0x00DF, 0x00C9, 0x0020, 0x0021, 0x0022, 0x0023,
    0x00A4, 0x0025, 0x0026, 0x0027, 0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B,
    0x003C, 0x003D, 0x003E, 0x003F, 0x00A1, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F, 0x0050, 0x0051, 0x0052, 0x0053,
    0x0054, 0x0055, 0x0056, 0x0057, 0x0058, 0x0059, 0x005A, 0x00C4, 0x00D6, 0x00D1, 0x00DC, 0x00A7,
    0x00BF, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067, 0x0068, 0x0069, 0x006A, 0x006B,
    0x006C, 0x006D, 0x006E, 0x006F, 0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,
    0x0078, 0x0079, 0x007A, 0x00E4, 0x00F6, 0x00F1, 0x00FC, 0x00E0,
};

// TS 23.038 6.2.1.1, the extension table reached through the escape septet.
struct GsmExtension {
    std::uint8_t septet;
    char32_t codePoint;
};
const GsmExtension kGsmExtension[] = {
    {0x0A, 0x000C}, {0x14, 0x005E}, {0x28, 0x007B}, {0x29, 0x007D}, {0x2F, 0x005C},
    {0x3C, 0x005B}, {0x3D, 0x007E}, {0x3E, 0x005D}, {0x40, 0x007C}, {0x65, 0x20AC},
};
const std::uint8_t kEscape = 0x1B;

void AppendUtf8(char32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

const char kReplacementUtf8[] = "\xEF\xBF\xBD";

// Runs iconv over the whole input. On a sequence it cannot convert it either
// gives up (strict) or writes U+FFFD in the target and skips `skipOnError`
// input bytes.
bool Convert(const char* to, const char* from, const std::string& in, std::string& out, bool strict,
             std::size_t skipOnError, const std::string& replacement)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    out.clear();
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[1024];
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG)
            continue;
        if (strict) {
            ok = false;
            break;
        }
        out += replacement;
        std::size_t skip = skipOnError < srcLeft ? skipOnError : srcLeft;
        src += skip;
        srcLeft -= skip;
    }
    iconv_close(cd);
    return ok;
}

// Code points of valid UTF-8 text; false when the text is not valid UTF-8.
bool Utf8ToCodePoints(const std::string& utf8, std::u32string& out)
{
    std::string raw;
    if (!Convert("UTF-32BE", "UTF-8", utf8, raw, true, 0, ""))
        return false;
    out.clear();
    for (std::size_t i = 0; i + 3 < raw.size(); i += 4) {
        out += static_cast<char32_t>((static_cast<std::uint8_t>(raw[i]) << 24) |
                                     (static_cast<std::uint8_t>(raw[i + 1]) << 16) |
                                     (static_cast<std::uint8_t>(raw[i + 2]) << 8) |
                                     static_cast<std::uint8_t>(raw[i + 3]));
    }
    return true;
}

}  // namespace

std::string ToHex(const Bytes& bytes)
{
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        hex += kHexDigits[b >> 4];
        hex += kHexDigits[b & 0x0F];
    }
    return hex;
}

bool FromHex(const std::string& hex, Bytes& out)
{
    if (hex.size() % 2 != 0)
        return false;
    out.clear();
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int hi = HexValue(hex[i]);
        int lo = HexValue(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return true;
}

bool Utf8ToUcs2(const std::string& utf8, Bytes& out)
{
    std::string raw;
    if (!Convert("UTF-16BE", "UTF-8", utf8, raw, true, 0, ""))
        return false;
    out.assign(raw.begin(), raw.end());
    return true;
}

std::string Ucs2ToUtf8(const Bytes& ucs2)
{
    std::string in(ucs2.begin(), ucs2.end());
    std::string out;
    Convert("UTF-8", "UTF-16BE", in, out, false, 2, kReplacementUtf8);
    return out;
}

std::string Latin1ToUtf8(const std::string& bytes)
{
    std::string out;
    for (char c : bytes)
        AppendUtf8(static_cast<std::uint8_t>(c), out);
    return out;
}

bool Utf8ToGsmSeptets(const std::string& utf8, std::vector<std::uint8_t>& septets)
{
    std::u32string codePoints;
    if (!Utf8ToCodePoints(utf8, codePoints))
        return false;
    septets.clear();
    for (char32_t cp : codePoints) {
        bool found = false;
        for (std::uint8_t s = 0; s < 128 && !found; ++s) {
            if (s != kEscape && kGsmDefault[s] == cp) {
                septets.push_back(s);
                found = true;
            }
        }
        for (const GsmExtension& ext : kGsmExtension) {
            if (!found && ext.codePoint == cp) {
                septets.push_back(kEscape);
                septets.push_back(ext.septet);
                found = true;
            }
        }
        if (!found)
            return false;
    }
    return true;
}

std::string GsmSeptetsToUtf8(const std::vector<std::uint8_t>& septets)
{
    std::string out;
    for (std::size_t i = 0; i < septets.size(); ++i) {
        std::uint8_t s = septets[i] & 0x7F;
        if (s != kEscape) {
            AppendUtf8(kGsmDefault[s], out);
            continue;
        }
        if (i + 1 == septets.size())
            break;
        std::uint8_t next = septets[++i] & 0x7F;
        char32_t cp = 0x20;
        for (const GsmExtension& ext : kGsmExtension) {
            if (ext.septet == next)
                cp = ext.codePoint;
        }
        AppendUtf8(cp, out);
    }
    return out;
}

Bytes PackSeptets(const std::vector<std::uint8_t>& septets, int fillBits)
{
    std::size_t totalBits = static_cast<std::size_t>(fillBits) + septets.size() * 7;
    Bytes out((totalBits + 7) / 8, 0);
    std::size_t bit = static_cast<std::size_t>(fillBits);
    for (std::uint8_t s : septets) {
        for (int k = 0; k < 7; ++k, ++bit) {
            if (s & (1u << k))
                out[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        }
    }
    return out;
}

bool UnpackSeptets(const Bytes& octets, std::size_t offset, std::size_t count, int fillBits,
                   std::vector<std::uint8_t>& septets)
{
    if (offset > octets.size())
        return false;
    std::size_t availableBits = (octets.size() - offset) * 8;
    if (static_cast<std::size_t>(fillBits) + count * 7 > availableBits)
        return false;
    septets.assign(count, 0);
    std::size_t bit = offset * 8 + static_cast<std::size_t>(fillBits);
    for (std::size_t i = 0; i < count; ++i) {
        for (int k = 0; k < 7; ++k, ++bit) {
            if (octets[bit / 8] & (1u << (bit % 8)))
                septets[i] |= static_cast<std::uint8_t>(1u << k);
        }
    }
    return true;
}

std::string PrintableAscii(const std::string& bytes)
{
    std::string out;
    for (char c : bytes) {
        auto b = static_cast<std::uint8_t>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out += c;
        } else {
            char esc[5];
            std::snprintf(esc, sizeof esc, "\\x%02X", b);
            out += esc;
        }
    }
    return out;
}

}  // namespace modemsim
