#include "drivers/sms_message.h"

#include <algorithm>
#include <cstring>

#include "codec/charset_conv.h"
#include "drivers/reply_text.h"

namespace {

// A field of the PDU block as text, never reading past the field.
template <std::size_t N>
std::string FieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The PDU of a line that holds nothing but hexadecimal digits, blanks around
// them allowed; empty for any other line.
std::string PduOf(const std::string& line)
{
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    const std::string pdu = line.substr(first, line.find_last_not_of(" \t") - first + 1);
    return std::all_of(pdu.begin(), pdu.end(), IsHexDigit) ? pdu : std::string();
}

// Codings whose parts the decoder turns into text on their own: 7-bit,
// 8-bit and the push format. Every other coding is read as UCS-2.
bool CarriesOwnText(std::uint8_t dcs) { return dcs == 0x00 || dcs == 0x04 || dcs == 0xF5; }

bool IsListHeader(const std::string& line) { return line.find("+CMGL: ") != std::string::npos; }

SmsMessage SingleMessage(const SmsListEntry& entry)
{
    return SmsMessage{FieldText(entry.pdu.szNumber), FormatSmsTime(FieldText(entry.pdu.szTime)),
                      FieldText(entry.pdu.szText)};
}

}  // namespace

std::vector<SmsListEntry> ParseListEntries(const std::string& reply)
{
    const std::vector<std::string> lines = SplitLines(reply);
    std::vector<SmsListEntry> entries;
    std::size_t i = 0;
    while (i < lines.size()) {
        if (!IsListHeader(lines[i])) {
            ++i;
            continue;
        }
        const std::pair<int, int> header = ParseListHeader(lines[i]);
        ++i;
        if (header.first < 0) {
            continue;
        }
        // The PDU is the next hexadecimal line. Unsolicited lines (RING,
        // +CMTI) may come in between; another header means this one has lost
        // its PDU line, and the end of the lines means it has not come yet.
        while (i < lines.size() && !IsListHeader(lines[i]) && PduOf(lines[i]).empty()) {
            ++i;
        }
        if (i >= lines.size() || IsListHeader(lines[i])) {
            continue;
        }
        const std::string pdu = PduOf(lines[i]);
        SmsListEntry entry;
        entry.nIndex = header.first;
        entry.nStatus = header.second;
        if (entry.nStatus == 2 || entry.nStatus == 3) {
            DecodeSubmitPdu(pdu, entry.pdu);
        } else if (entry.nStatus == 0 || entry.nStatus == 1) {
            DecodeDeliverPdu(pdu, entry.pdu);
        }
        entries.push_back(entry);
        ++i;
    }
    return entries;
}

std::pair<int, int> ParseListHeader(const std::string& line)
{
    static const char kKey[] = "+CMGL: ";
    int index = -1;
    int status = -1;
    const std::size_t a = line.find(kKey);
    if (a == std::string::npos) {
        return {index, status};
    }
    const std::size_t colon = a + 5;
    const std::size_t b = line.find(',', colon);
    if (b == std::string::npos) {
        return {index, status};
    }
    index = LeadingInt(line.substr(colon + 1, b - colon - 1));
    const std::size_t c = line.find(',', b + 1);
    if (index >= 0 && c != std::string::npos) {
        status = LeadingInt(line.substr(b + 1, c - b - 1));
    }
    return {index, status};
}

std::vector<SmsMessage> MergeMessages(std::vector<SmsListEntry> entries)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const SmsListEntry& x, const SmsListEntry& y) {
                         if (x.pdu.nConcatRef != y.pdu.nConcatRef) {
                             return x.pdu.nConcatRef < y.pdu.nConcatRef;
                         }
                         if (x.nIndex != y.nIndex) {
                             return x.nIndex < y.nIndex;
                         }
                         return x.pdu.nPartNo < y.pdu.nPartNo;
                     });

    // Runs of parts with one reference, at most as many as the parts claim,
    // in part order.
    const auto byPart = [](const SmsListEntry& x, const SmsListEntry& y) {
        return x.pdu.nPartNo < y.pdu.nPartNo;
    };
    for (std::size_t start = 0; start < entries.size();) {
        if (!entries[start].pdu.bConcat) {
            ++start;
            continue;
        }
        const std::size_t limit = std::max<std::size_t>(1, entries[start].pdu.nConcatTotal);
        std::size_t end = start + 1;
        while (end < entries.size() && end - start < limit &&
               entries[end].pdu.byRefUcs2 == entries[start].pdu.byRefUcs2) {
            ++end;
        }
        std::stable_sort(entries.begin() + static_cast<std::ptrdiff_t>(start),
                         entries.begin() + static_cast<std::ptrdiff_t>(end), byPart);
        start = end;
    }

    std::vector<SmsMessage> messages;
    std::string joined;    // text of the parts decoded so far
    std::string gathered;  // UCS-2 user data not decoded yet
    const SmsListEntry* lastPart = nullptr;
    // UCS-2 parts are joined by their raw user data and decoded together, so
    // a character cut across two parts comes out whole. Parts in the 7-bit or
    // 8-bit coding (long plain-text messages are mostly 7-bit) carry their
    // own decoded text; decoding their septets as UCS-2 would give garbage.
    const auto flushUcs2 = [&]() {
        joined += Ucs2ToAnsiString(HexToBytes(gathered));
        gathered.clear();
    };
    // Sender and time are those of the last part gathered.
    const auto close = [&]() {
        flushUcs2();
        messages.push_back(SmsMessage{FieldText(lastPart->pdu.szNumber),
                                      FormatSmsTime(FieldText(lastPart->pdu.szTime)), joined});
        joined.clear();
    };
    bool open = false;
    for (const SmsListEntry& entry : entries) {
        if (!entry.pdu.bConcat) {
            messages.push_back(SingleMessage(entry));
            continue;
        }
        if (open && entry.pdu.nPartNo <= lastPart->pdu.nPartNo) {
            close();
            open = false;
        }
        if (CarriesOwnText(entry.pdu.byDcs)) {
            flushUcs2();
            joined += FieldText(entry.pdu.szText);
        } else {
            const std::size_t room = sizeof entry.pdu.szPartHex;
            const std::size_t count = std::min<std::size_t>(
                static_cast<std::size_t>(std::max(0, entry.pdu.nPartHexLen)), room);
            for (std::size_t k = 0; k < count && IsHexDigit(entry.pdu.szPartHex[k]); ++k) {
                gathered += entry.pdu.szPartHex[k];
            }
        }
        lastPart = &entry;
        open = true;
    }
    if (open) {
        close();
    }
    return messages;
}

std::string FormatSmsTime(const std::string& digits)
{
    if (digits.size() < 13) {
        return std::string();
    }
    static const char* const kSeparators[] = {"-", "-", " ", ":", ":"};
    std::string text = digits.substr(0, 2);
    for (int pair = 1; pair < 6; ++pair) {
        text += kSeparators[pair - 1];
        text += digits.substr(static_cast<std::size_t>(pair) * 2, 2);
    }
    return text;
}
