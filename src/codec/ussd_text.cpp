#include "codec/ussd_text.h"

#include <cstddef>
#include <string>

#include "codec/charset_conv.h"
#include "codec/gsm7bit.h"
#include "codec/reply_text.h"

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::size_t SkipBlanks(const std::string& text, std::size_t pos)
{
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    return pos;
}

// Reads decimal digits (at most 9) at `pos`; -1 when there are none.
int ReadNumber(const std::string& text, std::size_t& pos)
{
    int value = 0;
    std::size_t digits = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        if (digits < 9) {
            value = value * 10 + (text[pos] - '0');
        }
        ++digits;
        ++pos;
    }
    return digits > 0 ? value : -1;
}

// After the value of <str>: an optional ",<dcs>" and the line end. The
// verdict, with the <dcs> read (-1 for none).
enum TAIL_t { TAIL_OK, TAIL_WAIT, TAIL_NOT };
TAIL_t ReadTail(const std::string& text, std::size_t pos, int& dcs)
{
    dcs = -1;
    pos = SkipBlanks(text, pos);
    if (pos < text.size() && text[pos] == ',') {
        pos = SkipBlanks(text, pos + 1);
        dcs = ReadNumber(text, pos);
        if (dcs < 0) {
            return pos >= text.size() ? TAIL_WAIT : TAIL_NOT;
        }
        pos = SkipBlanks(text, pos);
    }
    if (pos >= text.size()) {
        return TAIL_WAIT;
    }
    return IsLineEnd(text[pos]) ? TAIL_OK : TAIL_NOT;
}

std::string TrimBlanks(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

// The result that starts at `at` (the "+CUSD:"); bFound false when it is
// incomplete or malformed. `wait` tells that it may still complete.
USSD_REPLY_t ReadResult(const std::string& text, std::size_t at, bool& wait)
{
    USSD_REPLY_t result;
    wait = false;
    std::size_t pos = SkipBlanks(text, at + 6);
    result.nStatus = ReadNumber(text, pos);
    if (result.nStatus < 0) {
        wait = pos >= text.size();
        return USSD_REPLY_t();
    }
    pos = SkipBlanks(text, pos);
    if (pos >= text.size()) {
        wait = true;
        return USSD_REPLY_t();
    }
    if (IsLineEnd(text[pos])) {
        result.bFound = true;
        return result;
    }
    if (text[pos] != ',') {
        return USSD_REPLY_t();
    }
    pos = SkipBlanks(text, pos + 1);
    if (pos >= text.size()) {
        wait = true;
        return USSD_REPLY_t();
    }
    if (text[pos] == '"') {
        // The closing quote is the first one that the tail follows.
        for (std::size_t quote = text.find('"', pos + 1); quote != std::string::npos;
             quote = text.find('"', quote + 1)) {
            int dcs = -1;
            const TAIL_t tail = ReadTail(text, quote + 1, dcs);
            if (tail == TAIL_OK) {
                result.bFound = result.bHasText = true;
                result.strText = text.substr(pos + 1, quote - pos - 1);
                result.nDcs = dcs;
                return result;
            }
            if (tail == TAIL_WAIT) {
                wait = true;
                return USSD_REPLY_t();
            }
        }
        wait = true;
        return USSD_REPLY_t();
    }
    std::size_t end = pos;
    while (end < text.size() && !IsLineEnd(text[end])) {
        ++end;
    }
    if (end >= text.size()) {
        wait = true;
        return USSD_REPLY_t();
    }
    // An unquoted <str> ends at a last ",<digits>", which is the <dcs>.
    std::string value = text.substr(pos, end - pos);
    const std::size_t comma = value.rfind(',');
    if (comma != std::string::npos) {
        std::size_t digitsAt = SkipBlanks(value, comma + 1);
        const int dcs = ReadNumber(value, digitsAt);
        if (dcs >= 0 && SkipBlanks(value, digitsAt) == value.size()) {
            result.nDcs = dcs;
            value.erase(comma);
        }
    }
    result.bFound = result.bHasText = true;
    result.strText = TrimBlanks(value);
    return result;
}

bool IsHexText(const std::string& text)
{
    if (text.empty() || text.size() % 2 != 0) {
        return false;
    }
    for (char c : text) {
        if (!IsDigit(c) && !(c >= 'A' && c <= 'F') && !(c >= 'a' && c <= 'f')) {
            return false;
        }
    }
    return true;
}

std::string UpperHex(std::string hex)
{
    for (char& c : hex) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return hex;
}

std::string AsciiUpper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// Septets that read as ordinary text: letters, digits, blanks, line ends
// and the signs the default alphabet shares with ASCII (0x20 to 0x3F but
// the currency sign at 0x24).
bool IsWordySeptet(unsigned char septet)
{
    return (septet >= 0x20 && septet <= 0x3F && septet != 0x24) ||
           (septet >= 0x41 && septet <= 0x5A) || (septet >= 0x61 && septet <= 0x7A) ||
           septet == 0x0A || septet == 0x0D;
}

// The septets of packed octets; a last <CR> that only pads the septets to
// whole octets (3GPP TS 23.038 6.1.2.3.1) is dropped.
std::string UnpackedSeptets(const std::string& octets)
{
    std::string septets = UnpackSeptets(octets);
    if (octets.size() % 7 == 0 && !septets.empty() && septets.back() == '\r') {
        septets.pop_back();
    }
    return septets;
}

// How many septets read as ordinary text.
std::size_t WordySeptets(const std::string& septets)
{
    std::size_t wordy = 0;
    for (char septet : septets) {
        wordy += IsWordySeptet(static_cast<unsigned char>(septet)) ? 1 : 0;
    }
    return wordy;
}

// UCS-2 units of the scripts and signs texts are written in (ASCII, Latin,
// Greek, Cyrillic, Hebrew, Arabic, Thai, general punctuation, CJK, Hangul,
// full-width forms), line ends included.
bool IsTextUnit(unsigned unit)
{
    static const struct {
        unsigned first;
        unsigned last;
    } kRanges[] = {
        {0x0020, 0x007E}, {0x00A0, 0x024F}, {0x0370, 0x04FF}, {0x0590, 0x06FF}, {0x0E00, 0x0E7F},
        {0x2000, 0x206F}, {0x3000, 0x30FF}, {0x4E00, 0x9FFF}, {0xAC00, 0xD7AF}, {0xFF00, 0xFFEF},
    };
    if (unit == '\r' || unit == '\n') {
        return true;
    }
    for (const auto& range : kRanges) {
        if (unit >= range.first && unit <= range.last) {
            return true;
        }
    }
    return false;
}

// How many UCS-2 units of the octets read as text.
std::size_t TextUnits(const std::string& octets)
{
    std::size_t text = 0;
    for (std::size_t i = 0; i + 1 < octets.size(); i += 2) {
        const unsigned unit =
            static_cast<unsigned char>(octets[i]) << 8 | static_cast<unsigned char>(octets[i + 1]);
        text += IsTextUnit(unit) ? 1 : 0;
    }
    return text;
}

// UCS-2 octets to text, up to the first U+0000: modules fill what follows
// a shorter text with zeros and rubbish.
std::string Ucs2Text(std::string octets)
{
    octets.resize(octets.size() - octets.size() % 2);
    for (std::size_t i = 0; i < octets.size(); i += 2) {
        if (octets[i] == 0 && octets[i + 1] == 0) {
            octets.resize(i);
            break;
        }
    }
    return Ucs2ToAnsiString(octets);
}

std::string Latin1Text(const std::string& bytes)
{
    std::string ucs2;
    for (char c : bytes) {
        ucs2 += '\0';
        ucs2 += c;
    }
    return Ucs2ToAnsiString(ucs2);
}

// <str> as plain text in the modem's character set.
std::string PlainText(const std::string& text, const std::string& charset)
{
    if (charset == "GSM") {
        std::string septets;
        for (char c : text) {
            septets += static_cast<char>(c & 0x7F);
        }
        return SeptetsToText(septets);
    }
    return Latin1Text(text);
}

}  // namespace

USSD_REPLY_t FindUssdReply(const std::string& reply)
{
    for (std::size_t at = reply.find("+CUSD:"); at != std::string::npos;
         at = reply.find("+CUSD:", at + 1)) {
        bool wait = false;
        USSD_REPLY_t result = ReadResult(reply, at, wait);
        if (result.bFound || wait) {
            return result;
        }
    }
    return USSD_REPLY_t();
}

SMS_ALPHABET_t UssdAlphabetOfDcs(int dcs)
{
    if (dcs < 0 || dcs > 0xFF) {
        return SMS_ALPHABET_GSM7;
    }
    const int group = dcs >> 4;
    if (group == 0x1) {
        return (dcs & 0x0F) == 0x01 ? SMS_ALPHABET_UCS2 : SMS_ALPHABET_GSM7;
    }
    if ((group >= 0x4 && group <= 0x7) || group == 0x9) {
        // General data coding (and messages with a header): bit 5 compressed,
        // bits 3-2 the alphabet.
        if (group != 0x9 && (dcs & 0x20) != 0) {
            return SMS_ALPHABET_NONE;
        }
        static const SMS_ALPHABET_t kAlphabets[] = {SMS_ALPHABET_GSM7, SMS_ALPHABET_8BIT,
                                                    SMS_ALPHABET_UCS2, SMS_ALPHABET_GSM7};
        return kAlphabets[(dcs >> 2) & 0x03];
    }
    if (group == 0xF) {
        return (dcs & 0x04) != 0 ? SMS_ALPHABET_8BIT : SMS_ALPHABET_GSM7;
    }
    return SMS_ALPHABET_GSM7;
}

std::string UssdText(const USSD_REPLY_t& reply, const std::string& charset)
{
    const std::string& text = reply.strText;
    const std::string set = AsciiUpper(charset);
    const bool hex = IsHexText(text);
    const std::string octets = hex ? HexToBytes(UpperHex(text)) : std::string();
    switch (UssdAlphabetOfDcs(reply.nDcs)) {
    case SMS_ALPHABET_UCS2:
        if (hex && octets.size() % 2 == 0) {
            // 0x11: two septets of language, padded to two octets, come first.
            return Ucs2Text(reply.nDcs == 0x11 && octets.size() >= 2 ? octets.substr(2) : octets);
        }
        return PlainText(text, set);
    case SMS_ALPHABET_8BIT:
        if (hex) {
            return set == "UCS2" ? Ucs2Text(octets) : Latin1Text(octets);
        }
        return PlainText(text, set);
    default:
        break;
    }
    if (hex && set == "UCS2" && octets.size() % 2 == 0) {
        return Ucs2Text(octets);
    }
    if (hex) {
        // Which reading makes text: the octets as UCS-2 units (a modem in a
        // UCS-2 character set that could not be learnt), or as packed
        // septets. Decimal digits alone are a plain number: the hexadecimal
        // of packed text almost always holds a digit above 9.
        const std::string septets = UnpackedSeptets(octets);
        const std::size_t wordy = WordySeptets(septets);
        const std::size_t units = octets.size() % 2 == 0 ? octets.size() / 2 : 0;
        const std::size_t textUnits = TextUnits(octets);
        if (units > 0 && 10 * textUnits >= 9 * units &&
            textUnits * septets.size() > wordy * units) {
            return Ucs2Text(octets);
        }
        const bool letters = text.find_first_not_of("0123456789") != std::string::npos;
        if (letters && !septets.empty() && 4 * wordy >= 3 * septets.size()) {
            return SeptetsToText(septets);
        }
    }
    return PlainText(text, set);
}

std::string UssdStatusText(int status)
{
    switch (status) {
    case 0:
    case 1:
        return std::string();
    case 2:
        return "USSD terminated by the network";
    case 3:
        return "USSD answered by another client";
    case 4:
        return "USSD not supported by the network";
    case 5:
        return "USSD network time-out";
    default:
        return "USSD status " + std::to_string(status);
    }
}

std::string CharsetOfReply(const std::string& reply)
{
    const std::size_t at = FindNoCase(reply, "+CSCS:");
    if (at == std::string::npos) {
        return std::string();
    }
    std::size_t pos = SkipBlanks(reply, at + 6);
    const bool quoted = pos < reply.size() && reply[pos] == '"';
    if (quoted) {
        ++pos;
    }
    std::size_t end = pos;
    while (end < reply.size() && reply[end] != '"' && !IsLineEnd(reply[end])) {
        ++end;
    }
    return AsciiUpper(TrimBlanks(reply.substr(pos, end - pos)));
}
