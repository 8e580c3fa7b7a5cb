// The CDMA module's own commands: its message format, send and body, list
// and read.
#include "command_text.h"
#include "modem.h"
#include "text_codec.h"

namespace modemsim {

namespace {

bool IsAscii(const std::string& text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

}  // namespace

void Modem::AnswerCdmaFormat(const std::string&, const std::string& args)
{
    std::vector<std::string> fields = SplitArgs(args);
    int format;
    if (fields.size() != 4 || !ToInt(fields[2], format) || (format != 1 && format != 6)) {
        CmeError(50);
        return;
    }
    m_cdmaFormat = format;
    Ok();
}

void Modem::AnswerCdmaSendCommand(const std::string&, const std::string& args)
{
    std::string number = SplitArgs(args)[0];
    if (number.empty()) {
        CmsError(304);
        return;
    }
    if (!NeedsSim())
        return;
    m_mode = Mode::CdmaBody;
    m_bodyNumber = number;
    m_body.clear();
    Reply("\r\n> ");
}

void Modem::FinishCdmaBody()
{
    m_mode = Mode::Command;
    ++m_bodies;
    const Faults& f = m_config.faults;
    Json::Value e;
    e["event"] = "sms_rejected";
    if (RefusesBody()) {
        e["reason"] = "injected +CMS ERROR: " + std::to_string(f.cmsErrorCode);
        Log(e);
        InjectedError(f.cmsErrorCode);
        return;
    }
    Submit submit;
    submit.number = m_bodyNumber;
    submit.alphabet = m_cdmaFormat == 6 ? 8 : 0;
    submit.dcs = submit.alphabet;
    if (m_cdmaFormat == 6) {
        submit.ucs2.assign(m_body.begin(), m_body.end());
        submit.textUtf8 = Ucs2ToUtf8(submit.ucs2);
    } else {
        submit.textUtf8 = Latin1ToUtf8(m_body);
    }
    int reference = NextReference();
    Reply("\r\nOK\r\n");
    if (f.hcmgsf > 0) {
        e["reason"] = "network refused: ^HCMGSF:" + std::to_string(f.hcmgsf);
        e["number"] = submit.number;
        e["text"] = submit.textUtf8;
        Log(e);
        m_out.push_back({"\r\n^HCMGSF:" + std::to_string(f.hcmgsf) + "\r\n", f.hcmgssDelayMs});
        return;
    }
    Json::Value sms;
    sms["event"] = "sms";
    sms["number"] = submit.number;
    sms["text"] = submit.textUtf8;
    sms["dcs"] = submit.dcs;
    sms["mr"] = reference;
    Log(sms);
    Deliver(submit);
    m_out.push_back({"\r\n^HCMGSS:" + std::to_string(reference) + "\r\n", f.hcmgssDelayMs});
}

void Modem::AnswerCdmaList(const std::string& cmd, const std::string& args)
{
    int stat;
    if (!NeedsSimForMessages())
        return;
    // The bare command lists every message.
    if (!ToInt(cmd == "^HCMGL" ? "4" : args, stat) || stat > 4) {
        CmsError(302);
        return;
    }
    std::vector<std::string> lines;
    for (auto& [index, message] : Selected()) {
        if (!message.hasText || (stat != 4 && message.status != stat))
            continue;
        lines.push_back("^HCMGL: " + std::to_string(index) + "," + std::to_string(message.status));
        if (message.status == 0)
            message.status = 1;
    }
    Info(lines);
}

void Modem::AnswerCdmaRead(const std::string&, const std::string& args)
{
    int index;
    if (!NeedsSimForMessages())
        return;
    auto it = Selected().end();
    if (ToInt(args, index))
        it = Selected().find(index);
    if (it == Selected().end() || !it->second.hasText) {
        CmsError(321);
        return;
    }
    StoredMessage& m = it->second;
    // The text goes out as the module keeps it: ASCII (format 1) or UCS-2
    // big-endian (format 6), each closed by the two bytes 00 1A.
    std::string text;
    int format = 1;
    if (m.dcs == 8 || !IsAscii(m.textUtf8)) {
        Bytes ucs2;
        Utf8ToUcs2(m.textUtf8, ucs2);
        text.assign(ucs2.begin(), ucs2.end());
        format = 6;
    } else {
        text = m.textUtf8;
    }
    const std::string& t = m.time;  // YY-MM-DD hh:mm:ss
    std::string header = "^HCMGR:" + m.number + ",20" + t.substr(0, 2) + "," + t.substr(3, 2) +
                         "," + t.substr(6, 2) + "," + t.substr(9, 2) + "," + t.substr(12, 2) + "," +
                         t.substr(15, 2) + ",0," + std::to_string(format) + "," +
                         std::to_string(text.size()) + ",0,0,0," + std::to_string(m.status);
    Reply("\r\n" + header + "\r\n" + text + std::string("\0\x1A", 2) + "\r\n\r\nOK\r\n");
    if (m.status == 0)
        m.status = 1;
}

}  // namespace modemsim
