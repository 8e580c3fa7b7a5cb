// The probe: every query step run on replies that come one per command
// (each a read of at most 255 bytes, cut at a NUL, as the probe reads them),
// and every reply rule on the first reply. A contact in the CDMA module's
// phone book is never overwritten: entry 1 is written only when the last
// read of it showed no entry. What the record keeps comes from the replies.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_replies.h"
#include "scan/probe_queries.h"
#include "scan/probe_rules.h"

namespace {

class ScriptedLine : public CProbeLine {
public:
    explicit ScriptedLine(const FUZZ_REPLIES_t& input) : m_input(input) {}

    void Send(const std::string& command) override
    {
        if (command.rfind("AT^CPBW=1,", 0) == 0) {
            FuzzRequire(m_lastEntryRead.find("CPBR:") == std::string::npos);
        }
        m_last = command;
    }

    std::string Receive() override
    {
        const std::string reply = ReplyText(m_input.Reply(m_next++));
        FuzzRequire(reply.size() <= kProbeReplyBytes);
        if (m_last == "AT^CPBR=1\r") {
            m_lastEntryRead = reply;
        }
        return reply;
    }

private:
    const FUZZ_REPLIES_t& m_input;
    std::size_t m_next = 0;
    std::string m_last;
    std::string m_lastEntryRead = "CPBR: never read";
};

void ApplyEveryRule(const std::string& reply)
{
    std::string value;
    ValueAfterColon(reply, value);
    FuzzRequire(value.size() <= reply.size());
    FuzzRequire(GetValueAfterKey(reply, "+COPS").size() <= reply.size());
    PHONE_TYPE_t model = PHONE_TYPE_UN_KNOWN;
    std::string label;
    ModelFromAti3(reply, model, label);
    FuzzRequire(label.size() <= 6);
    ModeConfigFromReply(reply);
    FuzzRequire(SerialFromCgsn(reply).size() <= reply.size());
    FuzzRequire(SerialFromCdmaCgsn(reply).size() <= reply.size());
    std::string serial;
    SerialFromWmsn(reply, serial);
    FuzzRequire(serial.size() <= reply.size());
    FuzzRequire(EntryName(reply).size() <= reply.size());
    FuzzRequire(PhoneBookNumber(reply).size() <= reply.size());
    std::string card;
    CardNoFromReply(reply, card);
    FuzzRequire(card.size() <= reply.size());
    int rssi = 99;
    int ber = 99;
    ParseSignal(reply, rssi, ber);
    ModeAdjustment(ModeConfigFromReply(reply), rssi, reply);
    FuzzRequire(FinalLineOf(reply).size() <= reply.size());
    if (ShowsEntryOneEmpty(reply)) {
        FuzzRequire(reply.find("CPBR:") == std::string::npos);
    }
    FuzzRequire(TrimBlank(reply).size() <= reply.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FUZZ_REPLIES_t input = ReadFuzzReplies(data, size);
    ApplyEveryRule(input.Reply(0));

    ScriptedLine line(input);
    COM_CHECK_RESULT_t record;
    RunQuerySteps(record, line, false);
    for (const std::string* field : {&record.strCardNo, &record.strSerialNo, &record.strSignal,
                                     &record.strModel, &record.strATI, &record.strOperator}) {
        FuzzRequire(field->size() <= kProbeReplyBytes);
    }
    return 0;
}
