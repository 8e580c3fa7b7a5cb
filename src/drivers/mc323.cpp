#include "drivers/mc323.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "codec/charset_conv.h"
#include "codec/reply_text.h"

namespace {

// Bytes of UCS-2 text plus mark in one message.
constexpr std::size_t kPartBytes = 138;
const char kUcs2CtrlZ[] = {'\0', '\x1A'};

std::string PartMark(std::size_t part, std::size_t total)
{
    char mark[48];
    std::snprintf(mark, sizeof mark, "(%zu/%zu)", part, total);
    return AnsiToUcs2(mark);
}

bool IsHighSurrogate(const std::string& ucs2, std::size_t unitStart)
{
    const unsigned char high = static_cast<unsigned char>(ucs2[unitStart]);
    return high >= 0xD8 && high <= 0xDB;
}

// The text bytes of each part when the parts are marked "(k/total)": the
// room of a part shrinks as the mark gets more digits. A surrogate pair is
// never cut across two messages.
std::vector<std::size_t> PartLengths(const std::string& ucs2, std::size_t total)
{
    std::vector<std::size_t> lengths;
    for (std::size_t offset = 0; offset < ucs2.size();) {
        const std::size_t room = kPartBytes - PartMark(lengths.size() + 1, total).size();
        std::size_t take = std::min(room, ucs2.size() - offset);
        if (offset + take < ucs2.size() && take >= 4 && IsHighSurrogate(ucs2, offset + take - 2)) {
            take -= 2;
        }
        lengths.push_back(take);
        offset += take;
    }
    return lengths;
}

std::string HcmgsCommand(const std::string& number)
{
    return "AT^HCMGS=\"" + number + "\"\r";
}

std::string UnquotedText(const std::string& line, const std::string& format)
{
    if (format == "1") {
        return line.substr(0, line.size() - 2);
    }
    if (format == "6") {
        // Not bounded to the 160 bytes of a PDU text field: the internal code
        // page takes up to four bytes for some characters.
        std::string text = Ucs2ToAnsiString(line);
        if (text.size() > 1) {
            text.pop_back();  // the converted Ctrl-Z
        }
        return text;
    }
    return std::string();
}

}  // namespace

std::string CMc323::PduModeCommand()
{
    return "AT^HSMSSS=0,0,6,0\r\n";
}

PARSE_RESULT_t CMc323::ParseSendBody(std::string reply)
{
    for (const std::string& line : SplitLines(reply)) {
        if (line.find("HCMGSS") != std::string::npos) {
            return PARSE_SUCCEED;
        }
        if (line.find("ERROR") != std::string::npos || line.find("HCMGSF") != std::string::npos) {
            m_strLastError = TrimCrLf(line);
            return PARSE_FAILED;
        }
    }
    return PARSE_INCOMPLETE;
}

// The module has no service-centre query; "AT" keeps the send sequence.
std::string CMc323::ServiceCentreCommand()
{
    return "AT\r";
}

std::string CMc323::ListCommand()
{
    return "AT^HCMGL=4\r\n";
}

PARSE_RESULT_t CMc323::ParseList(std::string reply)
{
    m_vecMessages.clear();
    m_vecListedIndexes.clear();
    // Only a complete listing is queued: a late answer must not pass for an
    // empty storage, and a listing is queued once.
    if (!HoldsFinalResult(reply)) {
        return PARSE_INCOMPLETE;
    }
    std::vector<std::string> listed;
    for (const std::string& line : SplitLines(reply)) {
        if (IsFinalResultLine(line)) {
            if (line.find("OK") == std::string::npos) {
                m_strLastError = TrimCrLf(line);
                return PARSE_FAILED;
            }
            break;
        }
        // ^HCMGL: <index>,<stat>
        std::vector<std::string> fields;
        if (!ResultFields(line, "^HCMGL", fields)) {
            if (!IsIgnorableLine(line)) {
                NoteNotUnderstood(line);
            }
            continue;
        }
        const int index = fields.size() >= 2 ? PlainIndex(fields[0]) : -1;
        if (index < 0) {
            NoteNotUnderstood(line);  // no place of the storage can be told from this header
            continue;
        }
        listed.push_back(std::to_string(index));
    }
    // Indexes left over from a read loop that stopped at its limit stay at
    // the front of the queue.
    for (const std::string& index : listed) {
        m_readQueue.Push(index);
    }
    return PARSE_SUCCEED;
}

bool CMc323::HasPendingRead()
{
    return !m_readQueue.Empty();
}

std::string CMc323::ReadNextCommand()
{
    return m_readQueue.TakeNext("AT^HCMGR=");
}

bool CMc323::ParseReadNext(std::string reply)
{
    if (reply.find("OK") == std::string::npos) {
        return false;
    }
    std::string number;
    std::string time;
    std::string text;
    std::string format;
    std::string raw;
    // The line after a header is its text even when it happens to contain
    // "OK" (an ASCII text, or UCS-2 bytes 4F 4B); only a bare "OK" line is
    // the end of the reply there.
    bool textExpected = false;
    bool listed = false;
    bool header = false;
    for (const std::string& line : SplitLines(reply)) {
        // ^HCMGR: <number>,<yyyy>,<mm>,<dd>,<hh>,<mi>,<ss>,<lang>,<format>,...
        std::vector<std::string> fields;
        if (ResultFields(line, "^HCMGR", fields)) {
            header = true;
            if (fields.size() > 8) {
                number = Unquoted(fields[0]);
                time = fields[1] + "-" + fields[2] + "-" + fields[3] + " " + fields[4] + ":" +
                       fields[5] + ":" + fields[6];
                format = fields[8];
                textExpected = true;
                // The message's identity where it has no PDU: the header up
                // to the format (the status after it changes once read) and
                // the text line as the module sent it.
                raw = "^HCMGR:" + fields[0];
                for (std::size_t i = 1; i < 9; ++i) {
                    raw += "," + fields[i];
                }
                raw += "\r\n";
            }
        } else if (line == "OK" || (!textExpected && line.find("OK") != std::string::npos)) {
            break;
        } else if (line.size() > 1) {
            text = UnquotedText(line, format);
            raw += line;
            textExpected = false;
        }
        if (!number.empty() && !time.empty() && !text.empty()) {
            SmsMessage message{number, time, text};
            if (m_readQueue.Reading() >= 0) {
                message.vecIndexes.push_back(m_readQueue.Reading());
            }
            message.vecPdus.push_back(raw);
            m_vecMessages.push_back(std::move(message));
            number.clear();
            time.clear();
            text.clear();
            raw.clear();
            listed = true;
        }
    }
    if (listed && m_readQueue.Reading() >= 0) {
        m_vecListedIndexes.push_back(m_readQueue.Reading());
    }
    m_readQueue.Done();
    if (!header) {
        // A read that names no message is no read of one.
        for (const std::string& line : SplitLines(reply)) {
            if (!IsIgnorableLine(line)) {
                NoteNotUnderstood(line);
                return false;
            }
        }
    }
    return true;
}

PHONE_TYPE_t CMc323::GetDeviceType()
{
    return PHONE_TYPE_VELT_G;
}

std::vector<std::string> CMc323::InitCommands()
{
    std::vector<std::string> commands = CPhoneCardBase::InitCommands();
    commands.push_back("AT^RSSIREP=0\r\n");
    return commands;
}

std::vector<SendPair> CMc323::BuildPduSend(std::string number, std::string text)
{
    return {SendPair(HcmgsCommand(number),
                     AnsiToUcs2(text) + std::string(kUcs2CtrlZ, sizeof kUcs2CtrlZ))};
}

std::vector<SendPair> CMc323::BuildLongPduSend(std::string number, std::string text)
{
    const std::string command = HcmgsCommand(number);
    const std::string ucs2 = AnsiToUcs2(text);
    // The smallest count that the split itself confirms: a longer mark
    // leaves less room, so the count only grows until it holds.
    std::size_t total = 1;
    std::vector<std::size_t> lengths = PartLengths(ucs2, total);
    while (lengths.size() > total) {
        total = lengths.size();
        lengths = PartLengths(ucs2, total);
    }
    std::vector<SendPair> pairs;
    std::size_t offset = 0;
    for (std::size_t k = 0; k < lengths.size(); ++k) {
        std::string body = ucs2.substr(offset, lengths[k]) + PartMark(k + 1, total) +
                           std::string(kUcs2CtrlZ, sizeof kUcs2CtrlZ);
        pairs.emplace_back(command, body);
        offset += lengths[k];
    }
    return pairs;
}

bool CMc323::SupportsStatusReports()
{
    return false;
}

bool CMc323::SupportsUssd()
{
    return false;
}

std::vector<std::string> CMc323::IndicationCommands()
{
    return IndicationSettings(1, true, false);
}
