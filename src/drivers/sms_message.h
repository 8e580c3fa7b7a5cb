#pragma once
// Stored messages: the listing parse and the joining of concatenated parts.

#include <string>
#include <utility>
#include <vector>

#include "codec/pdu.h"

// One message as a driver hands it out (internal code page).
struct SmsMessage {
    std::string strFrom;
    std::string strTime;   // YY-MM-DD hh:mm:ss, or empty
    std::string strText;
};

// One listed message while a listing is parsed.
struct SmsListEntry {
    int nIndex = -1;
    int nStatus = -1;  // 0 unread, 1 read, 2 stored unsent, 3 stored sent
    SMS_PDU_PARAM_t pdu;
};

// The entries of a "+CMGL: " listing, in listing order. The PDU of a header
// is the next line of hexadecimal digits; other lines before it (unsolicited
// reports, noise) are passed over. A header followed by another header has
// lost its PDU line and gives no entry; a header whose PDU line has not come
// yet is left for the next poll. Status 0/1 is decoded as SMS-DELIVER, 2/3
// as SMS-SUBMIT, any other status leaves the PDU fields empty.
std::vector<SmsListEntry> ParseListEntries(const std::string& reply);

// (index, status) of a "+CMGL: " line; -1 where the line gives none.
std::pair<int, int> ParseListHeader(const std::string& line);

// One message per single entry, in storage-index order, then one per
// concatenated message, by reference. The parts of a message are joined in
// part order: 7-bit, 8-bit and push-format parts by their own decoded text,
// parts of any other coding by their raw user data, decoded together as
// UCS-2; a missing part does not split the message; a part number that does
// not grow starts the next one. Number and time are those of the last part joined. Reads
// only within the fields of the entries, whatever their lengths claim.
std::vector<SmsMessage> MergeMessages(std::vector<SmsListEntry> entries);

// "YYMMDDhhmmss.." -> "YY-MM-DD hh:mm:ss"; empty for fewer than 13 characters.
std::string FormatSmsTime(const std::string& digits);
