#pragma once
// Driver of the GSM modem built on the Yuga CLM920_NC5 module (device type 2).
//
// Stored messages are not listed with AT+CMGL: "AT+CMGD=?" names the indexes
// in use, which are then read one at a time with AT+CMGR=<index>.

#include "drivers/phone_card_base.h"
#include "drivers/read_queue.h"

class CClm920Nc5 : public CPhoneCardBase {
public:
    // A complete "+CMGW: <index>" line succeeds; otherwise the general rule.
    PARSE_RESULT_t ParsePduMode(std::string reply) override;
    // Stores the number when the reply has it; always succeeds.
    PARSE_RESULT_t ParseServiceCentre(std::string reply) override;
    std::string PrepareReadCommand() override;
    std::string ListCommand() override;
    // On "OK": the indexes between the first "(" and ")" become the read
    // queue (non-numeric pieces are dropped) and the messages start empty.
    // Without "OK": the general rule; a failed listing leaves no messages.
    PARSE_RESULT_t ParseList(std::string reply) override;
    bool HasPendingRead() override;
    // "AT+CMGR=<index>\r\n" for the first queued index (removed from the
    // queue); empty when the queue is empty.
    std::string ReadNextCommand() override;
    // False without "OK". Otherwise the PDU after the "+CMGR:" line is
    // decoded by its own message type (or kept as unreadable, with the index
    // being read) and the messages read so far are merged (GetMessages);
    // GetListedIndexes holds the indexes whose PDU was decoded.
    bool ParseReadNext(std::string reply) override;
    PHONE_TYPE_t GetDeviceType() override;
    // Qualcomm-based modules refuse <mode> 2 and often <ds> 1 although they
    // advertise both: <mode> 1 and reports kept (+CDSI) first.
    std::vector<std::string> IndicationCommands() override;

private:
    // The indexes of the listing still to read, and the one being read.
    CReadQueue m_readQueue;
    std::vector<SmsListEntry> m_vecReadEntries;
};
