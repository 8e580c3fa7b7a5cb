// Sending: the AT+CMGS prompt, the message body in PDU and text mode, and
// what the network does with an accepted message.
#include <algorithm>
#include <ctime>
#include <iterator>

#include "command_text.h"
#include "modem.h"
#include "text_codec.h"

namespace modemsim {

namespace {

const std::size_t kMaxPduBody = 2 * 200;  // hex digits: SCA + the longest TPDU
const std::size_t kMaxCdmaBody = 2048;
const char kCtrlZ = 0x1A;
const char kEscape = 0x1B;

// "YY-MM-DD hh:mm:ss" of the time `seconds` from now, Beijing time (the
// zone the reports carry).
std::string TimeText(int seconds)
{
    const std::time_t when = std::time(nullptr) + 8 * 3600 + seconds;
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%y-%m-%d %H:%M:%S", &parts);
    return text;
}

Json::Value ConcatJson(const Concat& concat)
{
    Json::Value c;
    c["ref"] = concat.ref;
    c["total"] = concat.total;
    c["part"] = concat.part;
    return c;
}

}  // namespace

void Modem::AnswerSendCommand(const std::string&, const std::string& args)
{
    if (!NeedsSimForMessages())
        return;
    if (m_cmgf == 1) {
        std::string number = SplitArgs(args)[0];
        if (args.empty() || args[0] != '"' || number.empty()) {
            CmsError(304);
            return;
        }
        m_mode = Mode::TextBody;
        m_bodyNumber = number;
    } else {
        int length;
        if (!ToInt(args, length) || length < 7 || length > 164) {
            CmsError(304);
            return;
        }
        m_mode = Mode::PduBody;
        m_announcedLength = length;
    }
    m_body.clear();
    Reply("\r\n> ");
}

void Modem::OnBodyByte(char c)
{
    // The network's turnaround: the answer to a body may take its own time.
    if (m_config.faults.bodyDelayMs >= 0)
        m_replyDelayMs = m_config.faults.bodyDelayMs;
    if (m_mode == Mode::CdmaBody) {
        m_body += c;
        bool unicode = m_cdmaFormat == 6;
        if (unicode && m_body.size() % 2 == 0) {
            char hi = m_body[m_body.size() - 2];
            if (hi == 0 && c == kCtrlZ) {
                m_body.resize(m_body.size() - 2);
                FinishCdmaBody();
            } else if (hi == 0 && c == kEscape) {
                m_mode = Mode::Command;
                Ok();
            }
        } else if (!unicode && (c == kCtrlZ || c == kEscape)) {
            m_body.pop_back();
            if (c == kCtrlZ) {
                FinishCdmaBody();
            } else {
                m_mode = Mode::Command;
                Ok();
            }
        }
        if (m_mode == Mode::CdmaBody && m_body.size() > kMaxCdmaBody)
            RejectLongBody();
        return;
    }
    if (c == kEscape) {
        m_mode = Mode::Command;
        Ok();
        return;
    }
    if (c == kCtrlZ) {
        if (m_mode == Mode::PduBody) {
            FinishPduBody();
        } else {
            FinishTextBody();
        }
        return;
    }
    if (m_mode == Mode::PduBody && (c == '\r' || c == '\n' || c == ' '))
        return;
    if (m_echo)
        m_out.push_back({std::string(1, c), 0});
    m_body += c;
    if (m_body.size() > (m_mode == Mode::PduBody ? kMaxPduBody : kMaxLine))
        RejectLongBody();
}

void Modem::RejectLongBody()
{
    m_mode = Mode::Command;
    Json::Value e;
    e["event"] = "sms_rejected";
    e["reason"] = "body too long";
    Log(e);
    CmsError(304);
}

void Modem::FinishPduBody()
{
    m_mode = Mode::Command;
    ++m_bodies;
    Submit submit;
    std::string error;
    Json::Value e;
    e["event"] = "sms_rejected";
    if (!DecodeSubmitBody(m_body, m_announcedLength, submit, error)) {
        e["reason"] = error;
        Log(e);
        CmsError(304);
        return;
    }
    if (RefusesBody()) {
        e["reason"] = "injected +CMS ERROR: " + std::to_string(m_config.faults.cmsErrorCode);
        Log(e);
        InjectedError(m_config.faults.cmsErrorCode);
        return;
    }
    int reference = NextReference();
    Json::Value sms;
    sms["event"] = "sms";
    sms["number"] = submit.number;
    sms["toa"] = submit.typeOfAddress;
    sms["text"] = submit.textUtf8;
    sms["dcs"] = submit.dcs;
    sms["mr"] = reference;
    sms["sca"] = submit.serviceCentre;
    if (submit.concat.present)
        sms["concat"] = ConcatJson(submit.concat);
    if (submit.statusReportRequest)
        sms["report"] = true;
    Log(sms);
    Deliver(submit);
    Reply("\r\n+CMGS: " + std::to_string(reference) + "\r\n\r\nOK\r\n");
    if (submit.statusReportRequest)
        ReportDelivery(submit, reference);
}

void Modem::AnswerSetIndications(const std::string&, const std::string& args)
{
    // AT+CNMI=[<mode>[,<mt>[,<bm>[,<ds>[,<bfr>]]]]] (TS 27.005 3.4.1): a value
    // left out keeps its setting.
    static const char* const kNames[] = {"mode", "mt", "bm", "ds", "bfr"};
    static const int kMost[] = {3, 3, 3, 2, 1};
    const std::vector<std::string> values = SplitArgs(args);
    if (values.size() > 5) {
        CmsError(303);
        return;
    }
    int setting[5];
    std::copy(std::begin(m_cnmi), std::end(m_cnmi), setting);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i].empty())
            continue;
        int value = 0;
        if (!ToInt(values[i], value) || value > kMost[i]) {
            CmsError(303);
            return;
        }
        setting[i] = value;
    }
    for (const std::string& refused : m_config.cnmiRefused) {
        for (std::size_t i = 0; i < 5; ++i) {
            if (refused == std::string(kNames[i]) + "=" + std::to_string(setting[i])) {
                CmsError(303);
                return;
            }
        }
    }
    std::copy(std::begin(setting), std::end(setting), std::begin(m_cnmi));
    Ok();
}

void Modem::AnswerIndications(const std::string&, const std::string&)
{
    Info({"+CNMI: " + std::to_string(m_cnmi[0]) + "," + std::to_string(m_cnmi[1]) + "," +
          std::to_string(m_cnmi[2]) + "," + std::to_string(m_cnmi[3]) + "," +
          std::to_string(m_cnmi[4])});
}

bool Modem::Indicates() const
{
    return !m_config.faults.noIndications && !m_silent && !m_vanished;
}

void Modem::ReportDelivery(const Submit& submit, int reference)
{
    if (m_config.statusReports.empty() || (submit.typeOfAddress & 0x70) == 0x50)
        return;
    ReportSpec spec;
    spec.serviceCentre = m_config.serviceCentre;
    spec.messageReference = reference;
    spec.recipient = submit.number;
    spec.typeOfAddress = submit.typeOfAddress;
    spec.submitted = TimeText(0);
    spec.discharged = TimeText(5);
    spec.status = m_config.reportStatus;
    std::string error;
    const std::string pdu = BuildStatusReportPdu(spec, error);
    if (pdu.empty())
        return;
    Json::Value e;
    e["event"] = "status_report";
    e["mr"] = reference;
    e["number"] = submit.number;
    e["tp_st"] = spec.status;
    const bool routed = m_config.statusReports == "cds";
    if (routed && m_cnmi[3] == 1) {
        if (!Indicates()) {
            e["dropped"] = true;
            Log(e);
            return;
        }
        // TS 27.005 3.4.1: +CDS: <length> and the PDU line.
        e["cds"] = true;
        Log(e);
        m_out.push_back(
            {"\r\n+CDS: " + std::to_string(TpduLength(pdu)) + "\r\n" + pdu + "\r\n", 100});
        return;
    }
    if (routed && m_cnmi[3] != 2) {
        e["dropped"] = true;
        Log(e);
        return;
    }
    const std::string storage = m_model->reportStorage ? "SR" : "SM";
    auto& kept = m_memory->storage[storage];
    int index = 1;
    while (kept.count(index) != 0)
        ++index;
    StoredMessage message;
    message.index = index;
    message.status = 0;
    message.pduHex = pdu;
    kept[index] = message;
    e["storage"] = storage;
    e["index"] = index;
    Log(e);
    if (routed && Indicates()) {
        m_out.push_back({"\r\n+CDSI: \"" + storage + "\"," + std::to_string(index) + "\r\n", 100});
    }
}

int Modem::NextReference()
{
    int reference = m_memory->messageReference;
    m_memory->messageReference = (m_memory->messageReference + 1) % 256;
    return reference;
}

void Modem::Deliver(const Submit& submit)
{
    const Concat& c = submit.concat;
    Json::Value message;
    message["event"] = "message";
    message["number"] = submit.number;
    bool joinable = c.present && c.total >= 1 && c.part >= 1 && c.part <= c.total;
    if (!joinable) {
        message["text"] = submit.textUtf8;
        message["parts"] = 1;
        Log(message);
        return;
    }
    std::string key = submit.number + "/" + std::to_string(c.ref) + "/" + std::to_string(c.total);
    auto& parts = m_memory->parts[key];
    parts[c.part] = submit;
    if (static_cast<int>(parts.size()) < c.total)
        return;
    // UCS-2 parts are joined as octets, so a character cut between parts
    // comes out whole.
    bool allUcs2 = true;
    for (const auto& part : parts)
        allUcs2 = allUcs2 && part.second.alphabet == 8;
    std::string text;
    Bytes octets;
    for (const auto& part : parts) {
        text += part.second.textUtf8;
        octets.insert(octets.end(), part.second.ucs2.begin(), part.second.ucs2.end());
    }
    message["text"] = allUcs2 ? Ucs2ToUtf8(octets) : text;
    message["parts"] = c.total;
    Log(message);
    m_memory->parts.erase(key);
}

void Modem::FinishTextBody()
{
    m_mode = Mode::Command;
    Submit submit;
    submit.number = m_bodyNumber;
    submit.typeOfAddress = !m_bodyNumber.empty() && m_bodyNumber[0] == '+' ? 145 : 129;
    if (submit.typeOfAddress == 145)
        submit.number.erase(0, 1);
    submit.textUtf8 = Latin1ToUtf8(m_body);
    int reference = NextReference();
    Json::Value sms;
    sms["event"] = "sms";
    sms["number"] = submit.number;
    sms["toa"] = submit.typeOfAddress;
    sms["text"] = submit.textUtf8;
    sms["dcs"] = 0;
    sms["mr"] = reference;
    Log(sms);
    Deliver(submit);
    Reply("\r\n+CMGS: " + std::to_string(reference) + "\r\n\r\nOK\r\n");
}

}  // namespace modemsim
