#include "codec/phone_number.h"

#include <regex>
#include <vector>

namespace {

// The region patterns exactly as the product defines them. "[6|9]" and
// "[66|68]" are character classes (one of "6", "|", "9" / "6", "|", "8"),
// which is how the numbers have always been classified.
const char* const kInternationalPatterns[] = {
    "00861\\d{10}|861\\d{10}",
    "00852[6|9]\\d{7}|852[6|9]\\d{7}",
    "008536[66|68]\\d{5}|853[66|68]\\d{5}",
};

}  // namespace

bool ClassifyNumber(const std::string& number)
{
    // Compiled once, on first use: numbers are classified on several threads
    // at once, and compiling writes the locale's shared character tables.
    static const std::vector<std::regex> kPatterns = [] {
        std::vector<std::regex> patterns;
        for (const char* pattern : kInternationalPatterns) {
            patterns.emplace_back(pattern, std::regex::ECMAScript);
        }
        return patterns;
    }();
    for (const std::regex& re : kPatterns) {
        if (std::regex_match(number, re)) {
            return true;
        }
    }
    return false;
}

std::string NormalizeNumber(const std::string& number, bool international)
{
    if (international && number.size() > 2 && number.compare(0, 2, "00") == 0) {
        return number.substr(2);
    }
    return number;
}

namespace {

bool IsHexText(const std::string& text)
{
    return text.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
}

bool IsUcs2Digits(const std::string& text)
{
    if (text.size() < 8 || text.size() % 4 != 0) {
        return false;
    }
    for (std::size_t at = 0; at < text.size(); at += 4) {
        if (text.compare(at, 3, "003") != 0 || text[at + 3] < '0' || text[at + 3] > '9') {
            return false;
        }
    }
    return true;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return (c | 0x20) - 'a' + 10;
}

// Each group of `width` hex digits as one character code; false for a code
// beyond ASCII (the digits, "+", "#" and "*" are the same in UCS-2, the GSM
// default alphabet and ASCII).
bool HexCodes(const std::string& hex, std::size_t width, std::string& text)
{
    if (hex.empty() || hex.size() % width != 0 || !IsHexText(hex)) {
        return false;
    }
    text.clear();
    for (std::size_t at = 0; at < hex.size(); at += width) {
        int code = 0;
        for (std::size_t i = 0; i < width; ++i) {
            code = code * 16 + HexValue(hex[at + i]);
        }
        if (code >= 0x80) {
            return false;
        }
        text += static_cast<char>(code);
    }
    return true;
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

}  // namespace

bool IsPlainNumber(const std::string& number)
{
    const std::size_t digits = number.size() - (!number.empty() && number[0] == '+' ? 1 : 0);
    return digits >= 1 && digits <= 20 &&
           number.find_first_not_of("0123456789", number.size() - digits) == std::string::npos;
}

bool ServiceCentreNeedsCharset(const std::string& quoted)
{
    return !quoted.empty() && (!IsPlainNumber(quoted) || IsUcs2Digits(quoted));
}

std::string DecodeServiceCentre(const std::string& quoted, const std::string& charset)
{
    const std::string set = UpperAscii(charset);
    const std::size_t width = set == "UCS2" ? 4 : set == "HEX" ? 2 : 0;
    std::string text;
    if (width != 0 && HexCodes(quoted, width, text) && IsPlainNumber(text)) {
        return text;
    }
    // Some modules quote the number as it is whatever the set.
    return IsPlainNumber(quoted) ? quoted : std::string();
}
