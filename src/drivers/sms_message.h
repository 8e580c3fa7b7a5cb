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

// The entries of a "+CMGL: " listing; a header without its PDU line yet is
// left for the next poll.
std::vector<SmsListEntry> ParseListEntries(const std::string& reply);

// (index, status) of a "+CMGL: " line; -1 where the line gives none.
std::pair<int, int> ParseListHeader(const std::string& line);

// Messages of the entries, concatenated parts joined (see sms_message.cpp).
std::vector<SmsMessage> MergeMessages(std::vector<SmsListEntry> entries);

// "YYMMDDhhmmss.." -> "YY-MM-DD hh:mm:ss"; empty for fewer than 13 characters.
std::string FormatSmsTime(const std::string& digits);
