#include "drivers/clm920_nc5.h"

#include <algorithm>

#include "codec/pdu.h"
#include "codec/reply_text.h"

namespace {

// The status of a "+CMGR: <stat>,..." line; -1 when it gives none.
int ParseReadStatus(const std::string& header)
{
    std::vector<std::string> fields;
    if (!ResultFields(header, "+CMGR", fields) || fields.size() < 2) {
        return -1;
    }
    return LeadingInt(fields[0]);
}

// The first line of a reply that says something about the command.
std::string FirstTellingLine(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (!IsIgnorableLine(line)) {
            return line;
        }
    }
    return std::string();
}

}  // namespace

PARSE_RESULT_t CClm920Nc5::ParsePduMode(std::string reply)
{
    // The module may answer with the index of a message it has just stored.
    static const char kKey[] = "+CMGW: ";
    const std::size_t key = reply.find(kKey);
    if (key != std::string::npos && reply.find('\r', key + sizeof kKey - 1) != std::string::npos) {
        return PARSE_SUCCEED;
    }
    return GeneralRule(reply);
}

PARSE_RESULT_t CClm920Nc5::ParseServiceCentre(std::string reply)
{
    // The send goes on whatever this module answers, once it has answered;
    // the number is taken only when the whole "+CSCA" line is in the reply.
    CPhoneCardBase::ParseServiceCentre(reply);
    return HoldsFinalResult(reply) ? PARSE_SUCCEED : PARSE_INCOMPLETE;
}

std::string CClm920Nc5::PrepareReadCommand()
{
    return "AT+ATVER=1\r";
}

std::string CClm920Nc5::ListCommand()
{
    return "AT+CMGD=?\r\n";
}

PARSE_RESULT_t CClm920Nc5::ParseList(std::string reply)
{
    if (reply.find("OK") == std::string::npos) {
        const PARSE_RESULT_t result = GeneralRule(reply);
        if (result == PARSE_FAILED) {
            // Nothing of the earlier storage may pass for this one's.
            m_vecMessages.clear();
            m_vecReadEntries.clear();
            m_vecListedIndexes.clear();
            m_vecUnreadable.clear();
        }
        return result;
    }
    m_vecMessages.clear();
    m_vecReadEntries.clear();
    m_vecListedIndexes.clear();
    m_vecUnreadable.clear();
    // +CMGD: (<used indexes>),(<flags>); an answer without the list says
    // nothing of what the storage holds.
    std::size_t valueAt = 0;
    const std::size_t key = FindResult(reply, "+CMGD", 0, valueAt);
    const std::size_t open = key == std::string::npos ? key : reply.find('(', valueAt);
    const std::size_t close = open == std::string::npos ? open : reply.find(')', open);
    if (close == std::string::npos) {
        const std::string line = key != std::string::npos
                                     ? reply.substr(key, reply.find('\r', key) - key)
                                     : FirstTellingLine(SplitLines(reply));
        NoteNotUnderstood(line.empty() ? TrimCrLf(reply) : line);
    } else {
        // Each index goes into a command line of its own, so only plain
        // numbers are queued.
        m_readQueue.Clear();
        for (const std::string& piece :
             SplitByChar(reply.substr(open + 1, close - open - 1), ',')) {
            const int index = PlainIndex(piece);
            if (index >= 0) {
                m_readQueue.Push(std::to_string(index));
            } else if (!piece.empty()) {
                // A place that cannot be read may hold a message.
                NoteNotUnderstood(piece);
            }
        }
    }
    return PARSE_SUCCEED;
}

bool CClm920Nc5::HasPendingRead()
{
    return !m_readQueue.Empty();
}

std::string CClm920Nc5::ReadNextCommand()
{
    return m_readQueue.TakeNext("AT+CMGR=");
}

bool CClm920Nc5::ParseReadNext(std::string reply)
{
    if (reply.find("OK") == std::string::npos) {
        return false;
    }
    const std::vector<std::string> lines = SplitLines(reply);
    // "+CMGR:" rather than "CMGR": an echoed AT+CMGR line is not the header.
    const auto header = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
        return HoldsResult(line, "+CMGR");
    });
    if (header == lines.end()) {
        // A bare OK is an empty storage place; anything else is no read.
        const std::string line = FirstTellingLine(lines);
        if (!line.empty()) {
            NoteNotUnderstood(line);
            m_readQueue.Done();
            return false;
        }
    } else {
        const LISTED_PDU_t listed =
            FindPduLine(lines, static_cast<std::size_t>(header - lines.begin()) + 1);
        // A header followed directly by "OK" is an empty storage place.
        if (listed.bFound || !listed.strPdu.empty()) {
            SmsListEntry entry = DecodeListedPdu(listed);
            entry.nIndex = m_readQueue.Reading();
            entry.nStatus = ParseReadStatus(*header);
            m_vecReadEntries.push_back(entry);
            // Merged after every read, so that the messages read so far are
            // there even when the read loop stops before the queue is empty.
            m_vecMessages = MergeMessages(m_vecReadEntries);
            m_vecListedIndexes = ReadableIndexes(m_vecReadEntries);
            m_vecUnreadable = UnreadableEntries(m_vecReadEntries);
        }
    }
    m_readQueue.Done();
    return true;
}

PHONE_TYPE_t CClm920Nc5::GetDeviceType()
{
    return PHONE_TYPE_VELT_B;
}

std::vector<std::string> CClm920Nc5::IndicationCommands()
{
    return IndicationSettings(1, true, true);
}
