// The command table and the answers of the general commands (identity,
// settings, network), with the reply texts every answer is made of.
#include <string>

#include "command_text.h"
#include "modem.h"

namespace modemsim {

void Modem::Ok()
{
    Reply("\r\nOK\r\n");
}

void Modem::Info(const std::vector<std::string>& lines)
{
    // A listing with nothing in it is a bare OK, as the modules answer it.
    if (lines.empty()) {
        Ok();
        return;
    }
    std::string text = "\r\n";
    for (const std::string& line : lines)
        text += line + "\r\n";
    Reply(text + "\r\nOK\r\n");
}

void Modem::Unknown()
{
    if (m_cmee > 0) {
        CmeError(100);
    } else {
        Reply("\r\nERROR\r\n");
    }
}

void Modem::CmeError(int code)
{
    Reply(m_cmee > 0 ? "\r\n+CME ERROR: " + std::to_string(code) + "\r\n" : "\r\nERROR\r\n");
}

void Modem::CmsError(int code)
{
    Reply(m_cmee > 0 ? "\r\n+CMS ERROR: " + std::to_string(code) + "\r\n" : "\r\nERROR\r\n");
}

void Modem::InjectedError(int code)
{
    Reply("\r\n+CMS ERROR: " + std::to_string(code) + "\r\n");
}

bool Modem::NeedsSim()
{
    if (m_config.hasSim)
        return true;
    CmeError(10);
    return false;
}

bool Modem::NeedsSimForMessages()
{
    if (!m_config.hasSim) {
        CmsError(310);
        return false;
    }
    if (SimLocked()) {
        // TS 27.005 3.2.5: 311 SIM PIN required, 316 SIM PUK required.
        CmsError(m_memory->simState == "SIM PUK" ? 316 : 311);
        return false;
    }
    return true;
}

bool Modem::NeedsReadySim()
{
    if (!NeedsSim())
        return false;
    if (SimLocked()) {
        // TS 27.007 9.2.1: 11 SIM PIN required, 12 SIM PUK required.
        CmeError(m_memory->simState == "SIM PUK" ? 12 : 11);
        return false;
    }
    return true;
}

// The commands the modules answer, one row each, tried in order: the first
// row whose pattern matches and whose models include this module answers.
// A row's pattern is the whole command, or with `prefix` its beginning (the
// arguments follow). A quirk of one model is a row for that model.
const std::vector<Modem::CommandRow>& Modem::Commands()
{
    // clang-format off
    static const std::vector<CommandRow> kCommands = {
        // pattern         prefix  models               answer
        {"",               false, Speakers::All,        &Modem::AnswerOk},
        {"&W",             false, Speakers::All,        &Modem::AnswerOk},
        {"V1",             false, Speakers::All,        &Modem::AnswerOk},
        {"H",              false, Speakers::All,        &Modem::AnswerOk},
        {"+CNMI=",         true,  Speakers::All,        &Modem::AnswerSetIndications},
        {"+CNMI?",         false, Speakers::All,        &Modem::AnswerIndications},
        {"E0",             false, Speakers::All,        &Modem::AnswerEcho},
        {"E",              false, Speakers::All,        &Modem::AnswerEcho},
        {"E1",             false, Speakers::All,        &Modem::AnswerEcho},
        {"Z",              false, Speakers::All,        &Modem::AnswerReset},
        {"&F",             false, Speakers::All,        &Modem::AnswerReset},
        {"I",              false, Speakers::All,        &Modem::AnswerAti},
        {"I0",             false, Speakers::All,        &Modem::AnswerAti},
        {"I3",             false, Speakers::All,        &Modem::AnswerAti3},
        {"+CGMI",          false, Speakers::All,        &Modem::AnswerMaker},
        {"+GMI",           false, Speakers::All,        &Modem::AnswerMaker},
        {"+CGMM",          false, Speakers::All,        &Modem::AnswerModel},
        {"+GMM",           false, Speakers::All,        &Modem::AnswerModel},
        {"+CMEE=",         true,  Speakers::All,        &Modem::AnswerSetCmee},
        {"+CMEE?",         false, Speakers::All,        &Modem::AnswerCmee},
        {"+CGSN",          false, Speakers::All,        &Modem::AnswerSerialNumber},
        {"+GSN",           false, Speakers::All,        &Modem::AnswerSerialNumber},
        {"+WMSN",          false, Speakers::All,        &Modem::AnswerWmsn},
        {"+CCID",          false, Speakers::All,        &Modem::AnswerCcid},
        {"+CCID?",         false, Speakers::All,        &Modem::AnswerCcid},
        {"^ICCID?",        false, Speakers::Huawei,     &Modem::AnswerHuaweiIccid},
        {"+CXXCID",        false, Speakers::All,        &Modem::AnswerCxxcid},
        {"+CSQ",           false, Speakers::All,        &Modem::AnswerSignal},
        {"+COPS?",         false, Speakers::All,        &Modem::AnswerOperator},
        {"+CSCA?",         false, Speakers::Gsm,        &Modem::AnswerServiceCentre},
        {"+CSCA=",         true,  Speakers::Gsm,        &Modem::AnswerSetServiceCentre},
        {"+CMGF=",         true,  Speakers::All,        &Modem::AnswerSetCmgf},
        {"+CMGF?",         false, Speakers::All,        &Modem::AnswerCmgf},
        {"+CPMS",          true,  Speakers::All,        &Modem::AnswerStorage},
        {"+CMGL",          false, Speakers::Gsm,        &Modem::AnswerList},
        {"+CMGL=",         true,  Speakers::Gsm,        &Modem::AnswerList},
        {"+CMGR=",         true,  Speakers::Gsm,        &Modem::AnswerRead},
        {"+CMGD=",         true,  Speakers::All,        &Modem::AnswerDelete},
        {"+ATVER=1",       false, Speakers::Atver,      &Modem::AnswerOk},
        {"+CMGS=",         true,  Speakers::Gsm,        &Modem::AnswerSendCommand},
        {"^MODECONFIG?",   false, Speakers::ModeConfig, &Modem::AnswerModeConfig},
        {"^MODECONFIG=",   true,  Speakers::ModeConfig, &Modem::AnswerSetModeConfig},
        {"^CURC=",         true,  Speakers::Huawei,     &Modem::AnswerCaretReports},
        {"^RSSIREP=",      true,  Speakers::Huawei,     &Modem::AnswerRssiReports},
        {"^HSMSSS=",       true,  Speakers::Cdma,       &Modem::AnswerCdmaFormat},
        {"^HCMGS=",        true,  Speakers::Cdma,       &Modem::AnswerCdmaSendCommand},
        {"^HCMGL",         false, Speakers::Cdma,       &Modem::AnswerCdmaList},
        {"^HCMGL=",        true,  Speakers::Cdma,       &Modem::AnswerCdmaList},
        {"^HCMGR=",        true,  Speakers::Cdma,       &Modem::AnswerCdmaRead},
        {"+CPBS=",         true,  Speakers::All,        &Modem::AnswerSetPhoneBookStorage},
        {"+CPBS?",         false, Speakers::All,        &Modem::AnswerPhoneBookStorage},
        {"^CPBR=",         true,  Speakers::Cdma,       &Modem::AnswerPhoneBookRead},
        {"+CPBR=",         true,  Speakers::All,        &Modem::AnswerPhoneBookRead},
        {"^CPBW=",         true,  Speakers::Cdma,       &Modem::AnswerPhoneBookWrite},
        {"+CPBW=",         true,  Speakers::All,        &Modem::AnswerPhoneBookWrite},
        {"+CPIN?",         false, Speakers::Gsm,        &Modem::AnswerPinState},
        {"+CPIN=",         true,  Speakers::Gsm,        &Modem::AnswerEnterPin},
        {"^CPIN?",         false, Speakers::Huawei,     &Modem::AnswerPinCounter},
        {"+QTRPIN",        false, Speakers::Gsm,        &Modem::AnswerPinCounter},
        {"+CPINC",         false, Speakers::Gsm,        &Modem::AnswerPinCounter},
        {"+CSCS?",         false, Speakers::All,        &Modem::AnswerCharset},
        {"+CSCS=",         true,  Speakers::All,        &Modem::AnswerSetCharset},
        {"+CUSD=",         true,  Speakers::Gsm,        &Modem::AnswerUssd},
    };
    // clang-format on
    return kCommands;
}

bool Modem::Speaks(Speakers speakers) const
{
    const ModelInfo& model = *m_model;
    switch (speakers) {
    case Speakers::All:
        return true;
    case Speakers::Gsm:
        return !model.cdma;
    case Speakers::Cdma:
        return model.cdma;
    case Speakers::Huawei:
        return model.huawei;
    case Speakers::ModeConfig:
        return model.modeConfig;
    case Speakers::Atver:
        return model.atver;
    }
    return false;
}

void Modem::Answer(const std::string& cmd)
{
    for (const CommandRow& row : Commands()) {
        const bool matches = row.prefix ? StartsWith(cmd, row.pattern) : cmd == row.pattern;
        if (matches && Speaks(row.speakers)) {
            (this->*row.answer)(cmd, cmd.substr(std::char_traits<char>::length(row.pattern)));
            return;
        }
    }
    Unknown();
}

void Modem::AnswerOk(const std::string&, const std::string&)
{
    Ok();
}

void Modem::AnswerEcho(const std::string& cmd, const std::string&)
{
    m_echo = cmd == "E1";
    Ok();
}

void Modem::AnswerReset(const std::string&, const std::string&)
{
    m_echo = m_config.echo;
    m_cmee = 0;
    m_cmgf = 0;
    Ok();
}

void Modem::Identity(const char* key, const char* builtIn)
{
    auto it = m_config.identity.find(key);
    std::string text = it != m_config.identity.end() ? it->second : builtIn;
    std::size_t at = text.find("{IMEI}");
    if (at != std::string::npos)
        text.replace(at, 6, m_config.imei);
    Reply(text);
}

void Modem::AnswerAti(const std::string&, const std::string&)
{
    Identity("ati", m_model->ati);
}

void Modem::AnswerAti3(const std::string&, const std::string&)
{
    Identity("ati3", m_model->ati3);
}

void Modem::AnswerMaker(const std::string&, const std::string&)
{
    Identity("cgmi", m_model->cgmi);
}

void Modem::AnswerModel(const std::string&, const std::string&)
{
    Identity("cgmm", m_model->cgmm);
}

bool Modem::SetNumber(const std::string& args, int most, int& setting)
{
    int value;
    if (!ToInt(args, value) || value > most)
        return false;
    setting = value;
    Ok();
    return true;
}

void Modem::AnswerSetCmee(const std::string&, const std::string& args)
{
    if (!SetNumber(args, 2, m_cmee))
        CmeError(3);
}

void Modem::AnswerCmee(const std::string&, const std::string&)
{
    Info({"+CMEE: " + std::to_string(m_cmee)});
}

void Modem::AnswerSerialNumber(const std::string&, const std::string&)
{
    if (!m_model->cdma) {
        Info({m_config.imei});
    } else if (!m_config.esn.empty()) {
        Info({m_config.esn});
    } else {
        Unknown();
    }
}

void Modem::AnswerWmsn(const std::string&, const std::string&)
{
    if (m_config.serial.empty()) {
        Unknown();
    } else {
        Info({"Serial Number: " + m_config.serial});
    }
}

void Modem::AnswerCcid(const std::string&, const std::string&)
{
    if (NeedsSim())
        Info({"+CCID: \"" + m_config.iccid + "\""});
}

void Modem::AnswerHuaweiIccid(const std::string&, const std::string&)
{
    if (NeedsSim())
        Info({"^ICCID: " + m_config.iccid});
}

void Modem::AnswerCxxcid(const std::string&, const std::string&)
{
    if (NeedsSim())
        Info({"+CXXCID: " + m_config.iccid});
}

void Modem::AnswerSignal(const std::string&, const std::string&)
{
    if (NeedsSim())
        Info({"+CSQ: " + m_config.csq});
}

void Modem::AnswerOperator(const std::string&, const std::string&)
{
    if (!NeedsSim())
        return;
    // A locked SIM has not registered with any network.
    if (m_config.operatorName.empty() || SimLocked()) {
        Info({"+COPS: 0"});
    } else {
        std::string line = "+COPS: 0,0,\"" + m_config.operatorName + "\"";
        if (m_model->accessTechnology >= 0)
            line += "," + std::to_string(m_model->accessTechnology);
        Info({line});
    }
}

void Modem::AnswerServiceCentre(const std::string&, const std::string&)
{
    if (!NeedsReadySim())
        return;
    // In the set of AT+CSCS, as TS 27.005 has it for a string.
    const std::string& sca = m_config.serviceCentre;
    Info({"+CSCA: \"" + InCharset(sca, m_charset) + "\"," +
          (!sca.empty() && sca[0] == '+' ? "145" : "129")});
}

void Modem::AnswerSetServiceCentre(const std::string&, const std::string& args)
{
    if (!NeedsReadySim())
        return;
    m_config.serviceCentre = SplitArgs(args)[0];
    Ok();
}

void Modem::AnswerSetCmgf(const std::string&, const std::string& args)
{
    if (!SetNumber(args, 1, m_cmgf))
        CmsError(302);
}

void Modem::AnswerCmgf(const std::string&, const std::string&)
{
    Info({"+CMGF: " + std::to_string(m_cmgf)});
}

void Modem::AnswerModeConfig(const std::string&, const std::string&)
{
    Info({"^MODECONFIG: " + std::to_string(m_memory->modeConfig)});
}

void Modem::AnswerSetModeConfig(const std::string&, const std::string& args)
{
    int value;
    if (!ToInt(args, value)) {
        CmeError(50);
        return;
    }
    m_memory->modeConfig = value;
    m_state.Port(m_config.moduleCom)["modeconfig"] = value;
    m_state.Save();
    Json::Value e;
    e["event"] = "modeconfig";
    e["value"] = value;
    Log(e);
    Ok();
}

void Modem::AnswerCaretReports(const std::string&, const std::string& args)
{
    m_caretReports = args != "0";
    Ok();
}

void Modem::AnswerRssiReports(const std::string&, const std::string& args)
{
    m_rssiReports = args != "0";
    Ok();
}

}  // namespace modemsim
