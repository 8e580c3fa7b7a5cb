#include "drivers/sms_message.h"

#include <algorithm>
#include <set>

#include "codec/reply_text.h"

namespace {

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool IsHeader(const std::string& line)
{
    return HoldsResult(line, "+CMGL") || HoldsResult(line, "+CMGR");
}

bool IsListHeader(const std::string& line)
{
    return HoldsResult(line, "+CMGL");
}

// The lines that end a reply.
bool IsFinalLine(const std::string& line)
{
    return line.find("OK") != std::string::npos || line.find("ERROR") != std::string::npos ||
           line.find("SMS FULL") != std::string::npos || line.find("SMS DONE") != std::string::npos;
}

// Lines a modem may put anywhere: unsolicited result codes.
bool IsUnsolicited(const std::string& line)
{
    const std::size_t first = line.find_first_not_of(' ');
    return first == std::string::npos || line[first] == '+' || line[first] == '^' ||
           line.compare(first, 4, "RING") == 0;
}

bool IsEcho(const std::string& line)
{
    const std::size_t first = line.find_first_not_of(' ');
    return first != std::string::npos && FindNoCase(line, "AT", first) == first;
}

}  // namespace

bool IsIgnorableLine(const std::string& line)
{
    // NUL bytes are line noise modules send around their replies (a module
    // waking up, a line that idles); a line of nothing else says nothing.
    const bool noise = line.find_first_not_of(std::string(" \t\0", 3)) == std::string::npos;
    return noise || IsUnsolicited(line) || IsFinalLine(line) || IsEcho(line);
}

std::string PduOfLine(const std::string& line)
{
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    std::size_t end = first;
    while (end < line.size() && IsHexDigit(line[end])) {
        ++end;
    }
    const bool tailIsNoise = line.find_first_not_of(" \t\"", end) == std::string::npos;
    return tailIsNoise ? line.substr(first, end - first) : std::string();
}

LISTED_PDU_t FindPduLine(const std::vector<std::string>& lines, std::size_t first)
{
    LISTED_PDU_t listed;
    bool replaced = false;
    for (std::size_t i = first; i < lines.size(); ++i) {
        const std::string pdu = PduOfLine(lines[i]);
        if (!pdu.empty()) {
            listed.bComplete = listed.bFound = true;
            listed.strPdu = pdu;
            listed.nNext = i + 1;
            return listed;
        }
        if (IsHeader(lines[i]) || IsFinalLine(lines[i])) {
            listed.bComplete = true;
            listed.nNext = i;
            return listed;
        }
        if (!replaced && !IsUnsolicited(lines[i])) {
            // A line with other characters in the middle of its digits.
            replaced = true;
            listed.strPdu = lines[i];
        }
    }
    listed.nNext = lines.size();
    return listed;
}

SmsListEntry DecodeListedPdu(const LISTED_PDU_t& listed)
{
    SmsListEntry entry;
    entry.strPdu = listed.strPdu;
    if (listed.bFound) {
        entry.pdu = DecodeStoredPdu(listed.strPdu);
    }
    return entry;
}

std::vector<SmsListEntry> ParseListEntries(const std::string& reply)
{
    std::size_t resumeAt = 0;
    return ParseListEntries(reply, resumeAt);
}

std::vector<SmsListEntry> ParseListEntries(const std::string& reply, std::size_t& resumeAt,
                                           std::string* notUnderstood)
{
    // The complete lines from resumeAt on, as SplitLines cuts them, with
    // where each starts.
    std::vector<std::string> lines;
    std::vector<std::size_t> starts;
    std::size_t start = std::min(resumeAt, reply.size());
    for (std::size_t end = reply.find("\r\n", start); end != std::string::npos;
         end = reply.find("\r\n", start)) {
        if (end > start) {
            lines.push_back(reply.substr(start, end - start));
            starts.push_back(start);
        }
        start = end + 2;
    }
    // Everything up to the last line end is used, unless a header waits.
    std::size_t stop = std::max(std::min(resumeAt, reply.size()), start);
    std::vector<SmsListEntry> entries;
    std::size_t i = 0;
    const auto note = [notUnderstood](const std::string& line) {
        if (notUnderstood != nullptr && notUnderstood->empty()) {
            *notUnderstood = line;
        }
    };
    while (i < lines.size()) {
        const bool isHeader = IsListHeader(lines[i]);
        const std::pair<int, int> header = ParseListHeader(lines[i]);
        if (!isHeader || header.first < 0) {
            // A header whose index names no storage place is not understood
            // either: its message could be neither reported nor deleted.
            if (isHeader || !IsIgnorableLine(lines[i])) {
                note(lines[i]);
            }
            ++i;
            continue;
        }
        const std::size_t headerAt = starts[i];
        ++i;
        const LISTED_PDU_t listed = FindPduLine(lines, i);
        if (!listed.bComplete) {
            stop = headerAt;  // its PDU line has not come yet
            break;
        }
        SmsListEntry entry = DecodeListedPdu(listed);
        entry.nIndex = header.first;
        entry.nStatus = header.second;
        entries.push_back(entry);
        i = listed.nNext;
    }
    resumeAt = stop;
    return entries;
}

std::pair<int, int> ParseListHeader(const std::string& line)
{
    // +CMGL: <index>,<stat>,[<alpha>],<length>: the index only with the
    // comma after it, the status only with the comma after that.
    std::vector<std::string> fields;
    if (!ResultFields(line, "+CMGL", fields) || fields.size() < 2) {
        return {-1, -1};
    }
    const int index = PlainIndex(fields[0]);
    const int status = index >= 0 && fields.size() >= 3 ? LeadingInt(fields[1]) : -1;
    return {index, status};
}

std::vector<SmsMessage> MergeMessages(const std::vector<SmsListEntry>& entries)
{
    // Entries are large: they are put in order by reference. A listing is
    // merged again after every poll.
    std::vector<const SmsListEntry*> sorted;
    sorted.reserve(entries.size());
    for (const SmsListEntry& entry : entries) {
        sorted.push_back(&entry);
    }
    std::stable_sort(
        sorted.begin(), sorted.end(),
        [](const SmsListEntry* x, const SmsListEntry* y) { return x->nIndex < y->nIndex; });
    std::vector<const SmsListEntry*> readable;
    std::vector<const SMS_PDU_t*> pdus;
    for (const SmsListEntry* entry : sorted) {
        if (entry->pdu.bReadable) {
            readable.push_back(entry);
            pdus.push_back(&entry->pdu);
        }
    }
    std::vector<SMS_JOINED_t> joined = JoinConcatParts(pdus);
    // Single messages first, then the concatenated ones by reference; each
    // group stays in storage-index order (the order JoinConcatParts keeps).
    const auto rank = [&](const SMS_JOINED_t& message) {
        const SMS_PDU_t& first = *pdus[message.vecParts.front()];
        return first.bConcat ? 1 + static_cast<long>(first.nConcatRef) : 0L;
    };
    std::stable_sort(
        joined.begin(), joined.end(),
        [&](const SMS_JOINED_t& x, const SMS_JOINED_t& y) { return rank(x) < rank(y); });

    std::vector<SmsMessage> messages;
    messages.reserve(joined.size());
    for (SMS_JOINED_t& message : joined) {
        const SMS_PDU_t& last = *pdus[message.vecParts.back()];
        SmsMessage made{last.strNumber, FormatSmsTime(last.strTime), std::move(message.strText)};
        if (last.byMessageType == SMS_PDU_STATUS_REPORT) {
            made.bReport = true;
            made.report = SmsReport{last.byReference, last.byStatus, made.strTime};
        }
        std::vector<bool> present;
        if (last.bConcat) {
            made.nParts = last.nConcatTotal;
            present.assign(last.nConcatTotal + 1u, false);
        }
        for (const std::size_t position : message.vecParts) {
            const SmsListEntry& part = *readable[position];
            made.vecIndexes.push_back(part.nIndex);
            made.vecPdus.push_back(part.strPdu);
            made.nNewestPartUtc =
                std::max(made.nNewestPartUtc, ServiceCentreTimeUtc(part.pdu.strTime));
            if (part.pdu.nPartNo < present.size()) {
                present[part.pdu.nPartNo] = true;
            }
        }
        for (std::size_t number = 1; number < present.size(); ++number) {
            if (!present[number]) {
                made.vecMissing.push_back(static_cast<int>(number));
            }
        }
        messages.push_back(std::move(made));
    }
    return messages;
}

bool IsHeldBack(const SmsMessage& message, std::int64_t nowUtc, std::int64_t limitSeconds)
{
    if (message.vecMissing.empty() || message.nNewestPartUtc == 0) {
        return false;
    }
    const std::int64_t age = nowUtc - message.nNewestPartUtc;
    return age < limitSeconds && age > -limitSeconds;
}

namespace {

// Two decimal digits at `at`; -1 when they are not.
int TwoDigits(const std::string& digits, std::size_t at)
{
    const char tens = digits[at];
    const char units = digits[at + 1];
    if (tens < '0' || tens > '9' || units < '0' || units > '9') {
        return -1;
    }
    return (tens - '0') * 10 + (units - '0');
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const int era = year / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return static_cast<std::int64_t>(era) * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::int64_t ServiceCentreTimeUtc(const std::string& digits)
{
    if (digits.size() < 14) {
        return 0;
    }
    int fields[6];
    for (std::size_t i = 0; i < 6; ++i) {
        fields[i] = TwoDigits(digits, i * 2);
        if (fields[i] < 0) {
            return 0;
        }
    }
    const int year = 2000 + fields[0];
    const int month = fields[1];
    const int day = fields[2];
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || fields[3] > 23 ||
        fields[4] > 59 || fields[5] > 59) {
        return 0;
    }
    // The zone: the first semi-octet's bit 3 is the sign, the rest its tens.
    const char tens = digits[12];
    const char units = digits[13];
    if (!IsHexDigit(tens) || units < '0' || units > '9') {
        return 0;
    }
    const int tensValue = tens <= '9' ? tens - '0' : (tens | 0x20) - 'a' + 10;
    const int quarters = (tensValue & 7) * 10 + (units - '0');
    if (quarters > 56) {
        return 0;
    }
    const std::int64_t local =
        DaysFromCivil(year, month, day) * 86400 + fields[3] * 3600 + fields[4] * 60 + fields[5];
    const std::int64_t offset = static_cast<std::int64_t>(quarters) * 15 * 60;
    return (tensValue & 8) != 0 ? local + offset : local - offset;
}

std::vector<SmsUnreadable> UnreadableEntries(const std::vector<SmsListEntry>& entries)
{
    std::vector<SmsUnreadable> unreadable;
    for (const SmsListEntry& entry : entries) {
        if (!entry.pdu.bReadable) {
            unreadable.push_back(SmsUnreadable{entry.nIndex, entry.strPdu});
        }
    }
    return unreadable;
}

std::vector<int> ReadableIndexes(const std::vector<SmsListEntry>& entries)
{
    // A storage place listed more than once, and once unreadable, is not
    // deleted: which of the two the modem holds there nobody can tell.
    std::set<int> unreadable;
    for (const SmsListEntry& entry : entries) {
        if (!entry.pdu.bReadable) {
            unreadable.insert(entry.nIndex);
        }
    }
    std::vector<int> indexes;
    for (const SmsListEntry& entry : entries) {
        if (entry.pdu.bReadable && entry.nIndex >= 0 && unreadable.count(entry.nIndex) == 0 &&
            std::find(indexes.begin(), indexes.end(), entry.nIndex) == indexes.end()) {
            indexes.push_back(entry.nIndex);
        }
    }
    return indexes;
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
