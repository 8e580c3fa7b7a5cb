#pragma once
// Stored messages: the listing parse and the making of messages from the
// decoded entries (the joining of concatenated parts is the codec's).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "codec/pdu.h"

// What a status report says of the message it reports on.
struct SmsReport {
    int nReference = 0;         // TP-MR of the message reported on, as +CMGS gave it
    int nStatus = 0;            // TP-ST
    std::string strDischarged;  // TP-DT, YY-MM-DD hh:mm:ss, or empty
};

// One message as a driver hands it out (internal code page).
struct SmsMessage {
    std::string strFrom;
    std::string strTime;  // YY-MM-DD hh:mm:ss, or empty
    std::string strText;
    // A status report (by the PDU's TP-MTI): from is the recipient reported
    // on, time the discharge time, text the outcome in words.
    bool bReport = false;
    SmsReport report = {};
    // Where the message came from, for deleting and keeping it.
    std::vector<int> vecIndexes = {};       // storage indexes of its parts as read, in part order
    std::vector<std::string> vecPdus = {};  // the raw line of each part present, in part order
    int nParts = 1;                         // parts the message has, by its concatenation header
    std::vector<int> vecMissing = {};  // part numbers (1-based) not in the storage; empty: whole
    // The newest present part's service-centre time stamp (a report's
    // discharge time) as seconds since 1970 UTC, by the time zone it
    // carries (ServiceCentreTimeUtc); 0 when no part has a valid one.
    std::int64_t nNewestPartUtc = 0;
};

// How long the parts of an incomplete long message are left on the modem
// for the rest to arrive, judged by the newest part's service-centre time:
// 10 minutes. Networks deliver the parts of one message seconds apart; a
// part still missing after this is taken as lost.
inline constexpr std::int64_t kIncompleteLimitSeconds = 10 * 60;

// Whether an incomplete long message is still waiting for its other parts,
// and so must be neither shown as written nor deleted: true when parts are
// missing and the newest part is less than `limitSeconds` old at `nowUtc`.
// A time stamp up to `limitSeconds` in the future (a network or host clock
// that is off) counts as young. A message without a valid time (0), or one
// stamped further in the future, is not held: its age cannot be told, and
// holding it could keep its parts on the modem for ever. A complete message
// is never held.
bool IsHeldBack(const SmsMessage& message, std::int64_t nowUtc, std::int64_t limitSeconds);

// The 14 digits of a service-centre time stamp (SMS_PDU_t::strTime: year,
// month, day, hour, minute, second, then the time zone in quarters of an
// hour with its sign in bit 3 of the first digit, 3GPP TS 23.040 9.2.3.11)
// as seconds since 1970 UTC; the two-digit year is 2000 to 2099. 0 for
// anything that is no such time: fewer than 14 digits, a field out of its
// range, a zone beyond +-14 hours.
std::int64_t ServiceCentreTimeUtc(const std::string& digits);

// A stored message whose PDU could not be read. It is reported by its
// storage index and never deleted by a read-then-clear.
struct SmsUnreadable {
    int nIndex = -1;
    std::string strPdu;  // the PDU line as the modem sent it; empty when none came
};

// One listed message while a listing is parsed.
struct SmsListEntry {
    int nIndex = -1;
    int nStatus = -1;    // 0 unread, 1 read, 2 stored unsent, 3 stored sent
    std::string strPdu;  // the PDU line (its hexadecimal digits when it was readable as one)
    SMS_PDU_t pdu;       // decoded by the PDU's own type; pdu.bReadable tells whether it could be
};

// The hexadecimal digits of a PDU line: the digits from the first one up to
// the first character that is no hexadecimal digit, when what follows is
// only blanks and quotes (a modem may end the line with a quote); blanks
// before the digits are allowed. Empty for any other line.
std::string PduOfLine(const std::string& line);

// Where the PDU line of a "+CMGL:" or "+CMGR:" header stands (read as
// modules write them: codec/reply_text.h, ResultFields).
struct LISTED_PDU_t {
    bool bComplete = false;  // false: the lines end before anything decides
    bool bFound = false;     // a PDU line was found: strPdu holds its digits
    std::string strPdu;      // the digits; else the line found in its place (empty: none)
    std::size_t nNext = 0;   // the first line after what was used
};

// Looks for a header's PDU from line `first` (the line after the header):
// the first PDU line before the next header or final result line (OK,
// ERROR, SMS FULL, SMS DONE), unsolicited lines ("+...", "^...", RING)
// passed over. Any other line in between is what stood in the PDU's place.
LISTED_PDU_t FindPduLine(const std::vector<std::string>& lines, std::size_t first);

// The entry of a found PDU line, decoded by the PDU's own message type
// (TP-MTI), or an unreadable entry; nIndex and nStatus are left to the
// caller.
SmsListEntry DecodeListedPdu(const LISTED_PDU_t& listed);

// The entries of a "+CMGL:" listing, in listing order. Each header's PDU
// is found by FindPduLine and decoded by its own message type (TP-MTI),
// whatever the listed status; a header whose PDU line is missing or
// unreadable gives an unreadable entry; a header whose PDU line has not come
// yet is left for the next poll.
std::vector<SmsListEntry> ParseListEntries(const std::string& reply);

// The same from byte `resumeAt` of the reply on (0, or where an earlier call
// on a shorter form of the same reply stopped), so that a listing that grows
// poll after poll is decoded once: `resumeAt` becomes where this call
// stopped, the start of a header whose PDU line has not come yet or the end
// of the last complete line. The first line that is none of a listing's
// (a header, its PDU line, a final line, an unsolicited line, an echoed
// command), such as a header without a plain index or a PDU line without a
// header, goes to `notUnderstood` when it is empty and given: a listing
// that holds one is not known to be whole.
std::vector<SmsListEntry> ParseListEntries(const std::string& reply, std::size_t& resumeAt,
                                           std::string* notUnderstood = nullptr);

// (index, status) of a "+CMGL:" line; -1 where the line gives none.
std::pair<int, int> ParseListHeader(const std::string& line);

// Whether a line of a reply may stand anywhere without saying anything about
// the command: an empty line, one of NUL bytes and blanks only, an
// unsolicited result ("+...", "^...", RING), a final line, or the echo of a
// command ("AT...").
bool IsIgnorableLine(const std::string& line);

// The messages of the readable entries: one per single message, in
// storage-index order, then one per concatenated message (its parts joined
// by JoinConcatParts), by reference and then by storage index. Number and
// time are those of the last part of a message; a status report carries
// its report. Each message has the indexes and raw lines of its parts, its
// part count, the part numbers missing from the entries (an incomplete
// message is the parts present, joined in order) and its newest part's time.
std::vector<SmsMessage> MergeMessages(const std::vector<SmsListEntry>& entries);

// The entries that could not be read, in listing order.
std::vector<SmsUnreadable> UnreadableEntries(const std::vector<SmsListEntry>& entries);

// The storage indexes of the readable entries, each once: what a
// read-then-clear may delete. An index that an unreadable entry also has is
// left out.
std::vector<int> ReadableIndexes(const std::vector<SmsListEntry>& entries);

// "YYMMDDhhmmss.." -> "YY-MM-DD hh:mm:ss"; empty for fewer than 13 characters.
std::string FormatSmsTime(const std::string& digits);
