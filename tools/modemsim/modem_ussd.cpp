// The character set the module gives texts in (AT+CSCS) and USSD: the
// network's answers to the configured codes, in each form modules write
// them, and sessions the network keeps open for an answer.
#include "command_text.h"
#include "modem.h"
#include "text_codec.h"

namespace modemsim {

namespace {

// UTF-8 to ISO 8859-1 bytes; a character beyond it becomes "?".
std::string Utf8ToLatin1(const std::string& utf8)
{
    Bytes ucs2;
    if (!Utf8ToUcs2(utf8, ucs2))
        return "?";
    std::string latin1;
    for (std::size_t i = 0; i + 1 < ucs2.size(); i += 2) {
        latin1 += ucs2[i] == 0 ? static_cast<char>(ucs2[i + 1]) : '?';
    }
    return latin1;
}

std::string Ucs2Hex(const std::string& utf8)
{
    Bytes ucs2;
    Utf8ToUcs2(utf8, ucs2);
    return ToHex(ucs2);
}

// The <str> and <dcs> of an answer, as its form and the character set ask.
std::pair<std::string, int> UssdString(const UssdAnswer& answer, const std::string& charset)
{
    if (answer.form == "ucs2")
        return {Ucs2Hex(answer.textUtf8), 72};
    std::vector<std::uint8_t> septets;
    if (!Utf8ToGsmSeptets(answer.textUtf8, septets))
        septets.clear();
    if (answer.form == "packed") {
        // TS 23.038 6.1.2.3.1: seven spare bits at the end are a <CR>, so
        // that they cannot read as "@".
        if (septets.size() % 8 == 7)
            septets.push_back(0x0D);
        return {ToHex(PackSeptets(septets, 0)), 15};
    }
    if (charset == "UCS2")
        return {Ucs2Hex(answer.textUtf8), 15};
    if (charset == "GSM")
        return {std::string(septets.begin(), septets.end()), 15};
    if (charset == "HEX")
        return {ToHex(Bytes(septets.begin(), septets.end())), 15};
    return {Utf8ToLatin1(answer.textUtf8), 15};
}

}  // namespace

void Modem::AnswerCharset(const std::string&, const std::string&)
{
    Info({"+CSCS: \"" + m_charset + "\""});
}

void Modem::AnswerSetCharset(const std::string&, const std::string& args)
{
    const std::string charset = SplitArgs(args)[0];
    if (!IsCharset(charset)) {
        CmeError(4);
        return;
    }
    m_charset = charset;
    Ok();
}

// AT+CUSD=<n>[,<str>[,<dcs>]] (TS 27.007 7.15): n 1 with a code asks the
// network, n 2 ends a session.
void Modem::AnswerUssd(const std::string&, const std::string& args)
{
    const std::vector<std::string> values = SplitArgs(args);
    if (values[0] == "2") {
        if (m_memory->ussdOpen) {
            Json::Value e;
            e["event"] = "ussd_end";
            Log(e);
        }
        m_memory->ussdOpen = false;
        Ok();
        return;
    }
    if (values[0] != "1" || values.size() < 2 || values[1].empty()) {
        CmeError(4);
        return;
    }
    if (!NeedsReadySim())
        return;
    const std::string& code = values[1];
    Json::Value e;
    e["event"] = "ussd";
    e["code"] = code;
    e["dcs"] = values.size() > 2 ? values[2] : std::string();
    Log(e);
    const UssdAnswer* answer = nullptr;
    for (const UssdAnswer& candidate : m_config.ussd) {
        if (candidate.code == code)
            answer = &candidate;
    }
    if (answer == nullptr) {
        // The network knows no such service.
        Ok();
        m_out.push_back({"\r\n+CUSD: 4\r\n", 200});
        return;
    }
    m_memory->ussdOpen = answer->status == 1;
    const std::pair<std::string, int> str = UssdString(*answer, m_charset);
    const std::string line = "+CUSD: " + std::to_string(answer->status) + ",\"" + str.first +
                             "\"," + std::to_string(str.second);
    const bool okFirst = answer->okFirst < 0 ? m_model->ussdOkFirst : answer->okFirst == 1;
    if (okFirst) {
        Ok();
        m_out.push_back({"\r\n" + line + "\r\n", answer->delayMs});
    } else {
        Info({line});
    }
}

}  // namespace modemsim
