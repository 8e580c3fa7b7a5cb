#pragma once
// Driver of the CDMA modem built on the Huawei MC323 module (device type 7).
//
// The module has no PDU mode: a message is sent with AT^HCMGS="<number>" and
// a body of raw UCS-2 bytes ended by 00 1A, and confirmed by a ^HCMGSS
// (sent) or ^HCMGSF (refused) line. A long text goes out as separate
// messages, each ending with its mark "(k/N)". Stored messages are listed
// with ^HCMGL and read one at a time with ^HCMGR.

#include "drivers/phone_card_base.h"
#include "drivers/read_queue.h"

class CMc323 : public CPhoneCardBase {
public:
    std::string PduModeCommand() override;
    // A "HCMGSS" line succeeds; an "ERROR" or "HCMGSF" line fails with that
    // line as error text; "OK" alone keeps waiting for the network's answer.
    PARSE_RESULT_t ParseSendBody(std::string reply) override;
    std::string ServiceCentreCommand() override;
    std::string ListCommand() override;
    // Waits for the listing's final line: after "OK" it queues the index of
    // every "^HCMGL:" line before it and succeeds; an error line
    // fails with that line as error text and queues nothing.
    PARSE_RESULT_t ParseList(std::string reply) override;
    bool HasPendingRead() override;
    // "AT^HCMGR=<index>\r\n" for the first queued index (removed from the
    // queue); empty when the queue is empty.
    std::string ReadNextCommand() override;
    // Adds the message of a "^HCMGR:" reply to the messages (GetMessages);
    // false without "OK".
    bool ParseReadNext(std::string reply) override;
    PHONE_TYPE_t GetDeviceType() override;
    // The module's sends ask for no status report and give no reference
    // (its own send commands; reports would need its text mode), and it
    // speaks no USSD.
    bool SupportsStatusReports() override;
    bool SupportsUssd() override;
    // The base list followed by "AT^RSSIREP=0\r\n".
    std::vector<std::string> InitCommands() override;
    // In CDMA mode the module's <mode> is always 1, and a stored message is
    // announced with the standard +CMTI line: "AT+CNMI=1,1,0,0,0" first, no
    // status reports.
    std::vector<std::string> IndicationCommands() override;
    // One pair per part; each part holds at most 138 bytes of UCS-2 text and
    // mark, the mark "(k/N)" giving the real number of parts N.
    std::vector<SendPair> BuildLongPduSend(std::string number, std::string text) override;
    // ("AT^HCMGS=\"<number>\"\r", UCS-2 bytes of the text + 00 1A).
    std::vector<SendPair> BuildPduSend(std::string number, std::string text) override;

private:
    // The indexes of the listings still to read, and the one being read.
    CReadQueue m_readQueue;
};
