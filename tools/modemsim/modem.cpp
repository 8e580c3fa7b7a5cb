#include "modem.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "text_codec.h"

namespace modemsim {
namespace {

const std::size_t kMaxLine = 1024;
const std::size_t kMaxPduBody = 2 * 200;  // hex digits: SCA + the longest TPDU
const std::size_t kMaxCdmaBody = 2048;
const char kCtrlZ = 0x1A;
const char kEscape = 0x1B;
const int kVanishAfterPieceMs = 300;

// Upper case and no blanks outside double quotes: "at + cpms?" and
// "AT+CPMS?" are the same command to a module.
std::string Normalise(const std::string& raw)
{
    std::string out;
    bool quoted = false;
    for (char c : raw) {
        if (c == '"') {
            quoted = !quoted;
            out += c;
        } else if (quoted) {
            out += c;
        } else if (c != ' ' && c != '\t') {
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Arguments cut at commas outside quotes, quotes removed.
std::vector<std::string> SplitArgs(const std::string& args)
{
    std::vector<std::string> out(1);
    bool quoted = false;
    for (char c : args) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

bool ToInt(const std::string& text, int& value)
{
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    value = std::atoi(text.c_str());
    return true;
}

bool IsAscii(const std::string& text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
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

Modem::Modem(const PortConfig& config, EventLog& log, SimState& state)
    : m_config(config),
      m_model(FindModel(config.model)),
      m_log(log),
      m_state(state),
      m_echo(config.echo),
      m_modeConfig(config.modeConfig),
      m_messageReference(config.messageReference),
      m_noiseState(0x9E3779B9u ^ static_cast<std::uint32_t>(config.com))
{
    for (const auto& [name, messages] : config.storage) {
        auto& storage = m_storage[name];
        for (const StoredMessage& message : messages)
            storage[message.index] = message;
    }
    m_phoneBook["ME"] = config.phoneBook;
    if (m_state.HasPort(config.com)) {
        const Json::Value& saved = m_state.Port(config.com);
        if (saved["modeconfig"].isInt())
            m_modeConfig = saved["modeconfig"].asInt();
        const Json::Value& books = saved["phonebook"];
        if (books.isObject()) {
            m_phoneBook.clear();
            for (const std::string& storage : books.getMemberNames()) {
                auto& book = m_phoneBook[storage];
                for (const std::string& index : books[storage].getMemberNames()) {
                    const Json::Value& e = books[storage][index];
                    PhoneBookEntry entry;
                    entry.number = e["number"].asString();
                    entry.type = e["type"].isInt() ? e["type"].asInt() : 129;
                    entry.name = e["name"].asString();
                    book[std::atoi(index.c_str())] = entry;
                }
            }
        }
    }
}

std::vector<Outgoing> Modem::TakeOutput()
{
    std::vector<Outgoing> out;
    out.swap(m_out);
    return out;
}

std::string Modem::Noise(std::size_t count)
{
    // Bytes above 0x7F only, so noise never spells "OK" or "ERROR".
    std::string noise;
    for (std::size_t i = 0; i < count; ++i) {
        m_noiseState = m_noiseState * 1664525u + 1013904223u;
        noise += static_cast<char>(0x80 | (m_noiseState >> 25));
    }
    return noise;
}

std::string Modem::FloodChunk()
{
    std::string chunk;
    while (chunk.size() < 4096)
        chunk += "\r\n+FLOOD: 0123456789ABCDEF0123456789ABCDEF\r\n";
    return chunk;
}

void Modem::Log(Json::Value event)
{
    Json::Value line;
    line["com"] = m_config.com;
    for (const std::string& name : event.getMemberNames())
        line[name] = event[name];
    m_log.Write(line);
}

void Modem::OnInput(const std::string& bytes, int baud)
{
    if (m_vanished)
        return;
    const std::vector<int>& rates = m_config.bauds;
    if (std::find(rates.begin(), rates.end(), baud) == rates.end()) {
        // A module at another rate reads noise; what it answers is noise to
        // the program in turn.
        m_line.clear();
        m_mode = Mode::Command;
        Json::Value e;
        e["event"] = "wrong_baud";
        e["baud"] = baud;
        Log(e);
        if (m_config.garbageAtWrongBaud && !m_model->silent) {
            m_out.push_back({Noise(6), m_config.faults.delayMs});
        }
        return;
    }
    for (std::size_t i = 0; i < bytes.size() && !m_vanished; ++i) {
        if (m_mode == Mode::Command) {
            OnCommandByte(bytes[i], bytes, i);
        } else {
            OnBodyByte(bytes[i]);
        }
    }
}

void Modem::OnCommandByte(char c, const std::string& rest, std::size_t& i)
{
    if (c == '\r') {
        std::string echo = m_line + "\r";
        if (i + 1 < rest.size() && rest[i + 1] == '\n') {
            echo += '\n';
            ++i;
        }
        std::string raw;
        raw.swap(m_line);
        bool overflow = m_lineOverflow;
        m_lineOverflow = false;
        if (overflow)
            raw.clear();
        if (raw.find_first_not_of(" \t") == std::string::npos && !overflow) {
            if (m_echo && !m_silent && !m_model->silent)
                m_out.push_back({echo, 0});
            return;
        }
        // As V.250 asks, whatever precedes "AT" (noise, the rest of a
        // refused body) is not part of the command.
        for (std::size_t a = 0; a + 1 < raw.size(); ++a) {
            if (std::toupper(static_cast<unsigned char>(raw[a])) == 'A' &&
                std::toupper(static_cast<unsigned char>(raw[a + 1])) == 'T') {
                raw.erase(0, a);
                break;
            }
        }
        ++m_commands;
        Json::Value e;
        e["event"] = "command";
        e["text"] = overflow ? std::string("(line too long)") : PrintableAscii(raw);
        Log(e);
        const Faults& f = m_config.faults;
        if (m_model->silent || m_silent)
            return;
        if (f.vanishAfterCommands >= 0 && m_commands > f.vanishAfterCommands) {
            m_vanished = true;
            Json::Value v;
            v["event"] = "vanish";
            Log(v);
            return;
        }
        if (f.silentAfterCommands >= 0 && m_commands > f.silentAfterCommands) {
            m_silent = true;
            return;
        }
        if (StartsFault(raw)) {
            return;
        }
        if (m_echo)
            m_out.push_back({echo, 0});
        if (overflow) {
            Reply("\r\nERROR\r\n");
            return;
        }
        RunCommand(raw);
        if (f.flood)
            m_flooding = true;
        return;
    }
    if (c == '\n') {
        if (m_echo && !m_silent && !m_model->silent)
            m_out.push_back({"\n", 0});
        return;
    }
    if (c == '\b') {
        if (!m_line.empty())
            m_line.pop_back();
        return;
    }
    if (m_line.size() < kMaxLine) {
        m_line += c;
    } else {
        m_lineOverflow = true;
    }
}

bool Modem::Matches(const std::string& command, const std::string& prefix)
{
    return !prefix.empty() && StartsWith(Normalise(command), Normalise(prefix));
}

bool Modem::StartsFault(const std::string& raw)
{
    const Faults& f = m_config.faults;
    if (Matches(raw, f.silentFrom)) {
        m_silent = true;
        return true;
    }
    if (Matches(raw, f.trickleFrom)) {
        m_silent = true;
        m_trickling = true;
        return true;
    }
    return false;
}

void Modem::RunCommand(const std::string& raw)
{
    std::string cmd = Normalise(raw);
    if (!StartsWith(cmd, "AT"))
        return;
    const Faults& faults = m_config.faults;
    m_replyDelayMs = faults.delayMs;
    for (const DelayRule& rule : faults.delayCommands) {
        if (Matches(cmd, rule.prefix))
            m_replyDelayMs = rule.delayMs;
    }
    if (!m_vanishInReplyDone && Matches(cmd, faults.vanishInReply)) {
        m_vanishInReplyDone = true;
        m_cutReplyAt = faults.vanishInReplyBytes;
    }
    for (const ErrorRule& rule : m_config.faults.errorCommands) {
        if (StartsWith(cmd, Normalise(rule.prefix))) {
            Reply("\r\n" + rule.reply + "\r\n");
            return;
        }
    }
    Answer(cmd.substr(2));
}

void Modem::Reply(const std::string& text)
{
    const Faults& f = m_config.faults;
    std::string r = text;
    if (f.overlongReply > 0 && static_cast<std::size_t>(f.overlongReply) > r.size()) {
        std::size_t pad = static_cast<std::size_t>(f.overlongReply) - r.size();
        r = (pad >= 4 ? "\r\n" + std::string(pad - 4, '#') + "\r\n" : std::string(pad, ' ')) + r;
    }
    if (f.garbage > 0)
        r = Noise(static_cast<std::size_t>(f.garbage)) + r;
    if (f.nulBytes > 0)
        r += std::string(static_cast<std::size_t>(f.nulBytes), '\0');
    if (m_cutReplyAt >= 0) {
        // The module goes in the middle of this reply.
        r = r.substr(0, static_cast<std::size_t>(m_cutReplyAt));
        m_cutReplyAt = -1;
        m_silent = true;
        Json::Value v;
        v["event"] = "vanish";
        Log(v);
        m_out.push_back({r, m_replyDelayMs});
        // A hang-up drops what the program has not read yet: the line
        // closes once it has had time to take the piece.
        m_out.push_back({"", kVanishAfterPieceMs, true});
        return;
    }
    if (f.splitSize > 0) {
        for (std::size_t at = 0; at < r.size(); at += static_cast<std::size_t>(f.splitSize)) {
            m_out.push_back({r.substr(at, static_cast<std::size_t>(f.splitSize)),
                             at == 0 ? m_replyDelayMs : f.splitGapMs});
        }
    } else {
        m_out.push_back({r, m_replyDelayMs});
    }
    for (const std::string& line : f.unsolicited) {
        if (!m_caretReports && StartsWith(line, "^"))
            continue;
        if (!m_rssiReports && StartsWith(line, "^RSSI"))
            continue;
        m_out.push_back({"\r\n" + line + "\r\n", 0});
    }
}

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
    if (m_config.hasSim)
        return true;
    CmsError(310);
    return false;
}

std::map<int, StoredMessage>& Modem::Selected()
{
    return m_storage[m_mem1];
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
        {"+CNMI=",         true,  Speakers::All,        &Modem::AnswerOk},
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
    if (m_config.operatorName.empty()) {
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
    if (!NeedsSim())
        return;
    const std::string& sca = m_config.serviceCentre;
    Info({"+CSCA: \"" + sca + "\"," + (!sca.empty() && sca[0] == '+' ? "145" : "129")});
}

void Modem::AnswerSetServiceCentre(const std::string&, const std::string& args)
{
    if (!NeedsSim())
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
    Info({"^MODECONFIG: " + std::to_string(m_modeConfig)});
}

void Modem::AnswerSetModeConfig(const std::string&, const std::string& args)
{
    int value;
    if (!ToInt(args, value)) {
        CmeError(50);
        return;
    }
    m_modeConfig = value;
    m_state.Port(m_config.com)["modeconfig"] = value;
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

void Modem::AnswerSetPhoneBookStorage(const std::string&, const std::string& args)
{
    std::string storage = SplitArgs(args)[0];
    if (storage != "ME" && storage != "SM") {
        CmeError(3);
        return;
    }
    m_phoneBookStorage = storage;
    Ok();
}

void Modem::AnswerPhoneBookStorage(const std::string&, const std::string&)
{
    Info({"+CPBS: \"" + m_phoneBookStorage + "\"," +
          std::to_string(m_phoneBook[m_phoneBookStorage].size()) + ",250"});
}

void Modem::AnswerStorage(const std::string&, const std::string& args)
{
    auto counts = [&](const std::string& mem) {
        return std::to_string(m_storage[mem].size()) + "," + std::to_string(m_config.capacity[mem]);
    };
    if (args == "=?") {
        Info({"+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")"});
        return;
    }
    if (!NeedsSim())
        return;
    if (args == "?") {
        Info({"+CPMS: \"" + m_mem1 + "\"," + counts(m_mem1) + ",\"" + m_mem2 + "\"," +
              counts(m_mem2) + ",\"" + m_mem3 + "\"," + counts(m_mem3)});
        return;
    }
    if (!StartsWith(args, "=")) {
        Unknown();
        return;
    }
    std::vector<std::string> mems = SplitArgs(args.substr(1));
    if (mems.size() > 3) {
        CmsError(302);
        return;
    }
    for (const std::string& mem : mems) {
        if (mem != "SM" && mem != "ME") {
            CmsError(302);
            return;
        }
    }
    m_mem1 = mems[0];
    if (mems.size() > 1)
        m_mem2 = mems[1];
    if (mems.size() > 2)
        m_mem3 = mems[2];
    Info({"+CPMS: " + counts(m_mem1) + "," + counts(m_mem2) + "," + counts(m_mem3)});
}

void Modem::AnswerList(const std::string&, const std::string& args)
{
    int stat = 0;
    if (!NeedsSimForMessages())
        return;
    if (m_cmgf != 0 || (!args.empty() && (!ToInt(args, stat) || stat > 4))) {
        CmsError(302);
        return;
    }
    std::vector<std::string> lines;
    for (auto& [index, message] : Selected()) {
        if (stat != 4 && message.status != stat)
            continue;
        lines.push_back("+CMGL: " + std::to_string(index) + "," + std::to_string(message.status) +
                        ",," + std::to_string(TpduLength(message.pduHex)));
        lines.push_back(message.pduHex + m_config.faults.pduLineSuffix);
        if (message.status == 0)
            message.status = 1;
    }
    Info(lines);
}

void Modem::AnswerRead(const std::string&, const std::string& args)
{
    int index;
    if (!NeedsSimForMessages())
        return;
    if (m_cmgf != 0) {
        CmsError(302);
        return;
    }
    auto it = Selected().end();
    if (ToInt(args, index))
        it = Selected().find(index);
    if (it == Selected().end()) {
        CmsError(321);
        return;
    }
    StoredMessage& message = it->second;
    Info({"+CMGR: " + std::to_string(message.status) + ",," +
              std::to_string(TpduLength(message.pduHex)),
          message.pduHex + m_config.faults.pduLineSuffix});
    if (message.status == 0)
        message.status = 1;
}

void Modem::AnswerDelete(const std::string&, const std::string& args)
{
    if (!NeedsSimForMessages())
        return;
    auto& storage = Selected();
    if (args == "?") {
        std::string used;
        for (const auto& entry : storage)
            used += (used.empty() ? "" : ",") + std::to_string(entry.first);
        Info({"+CMGD: (" + used + "),(0-4)"});
        return;
    }
    std::vector<std::string> parts = SplitArgs(args);
    int index = 0;
    int flag = 0;
    if (parts.size() > 2 || !ToInt(parts[0], index) ||
        (parts.size() == 2 && !ToInt(parts[1], flag)) || flag > 4) {
        CmsError(302);
        return;
    }
    // TS 27.005 3.5.4: flag 1 read, 2 read and sent, 3 read, sent and unsent, 4 all.
    auto doomed = [&](const StoredMessage& m) {
        switch (flag) {
        case 0:
            return m.index == index;
        case 1:
            return m.status == 1;
        case 2:
            return m.status == 1 || m.status == 3;
        case 3:
            return m.status != 0;
        default:
            return true;
        }
    };
    if (flag == 0 && index > m_config.capacity[m_mem1]) {
        CmsError(321);
        return;
    }
    for (auto it = storage.begin(); it != storage.end();) {
        if (!doomed(it->second)) {
            ++it;
            continue;
        }
        Json::Value e;
        e["event"] = "delete";
        e["storage"] = m_mem1;
        e["index"] = it->first;
        Log(e);
        it = storage.erase(it);
    }
    Ok();
}

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
    if (submit.concat.present)
        sms["concat"] = ConcatJson(submit.concat);
    Log(sms);
    Deliver(submit);
    Reply("\r\n+CMGS: " + std::to_string(reference) + "\r\n\r\nOK\r\n");
}

bool Modem::RefusesBody() const
{
    const Faults& f = m_config.faults;
    return m_bodies <= f.cmsErrorBodies ||
           std::find(f.cmsErrorBodyNumbers.begin(), f.cmsErrorBodyNumbers.end(), m_bodies) !=
               f.cmsErrorBodyNumbers.end();
}

int Modem::NextReference()
{
    int reference = m_messageReference;
    m_messageReference = (m_messageReference + 1) % 256;
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
    auto& parts = m_parts[key];
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
    m_parts.erase(key);
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

void Modem::AnswerPhoneBookRead(const std::string& cmd, const std::string& text)
{
    std::vector<std::string> args = SplitArgs(text);
    int first;
    int last;
    if (!ToInt(args[0], first) || args.size() > 2) {
        CmeError(21);
        return;
    }
    last = first;
    if (args.size() == 2 && !ToInt(args[1], last)) {
        CmeError(21);
        return;
    }
    std::string prefix = cmd.substr(0, 5) + ": ";
    std::vector<std::string> lines;
    for (const auto& [index, entry] : m_phoneBook[m_phoneBookStorage]) {
        if (index < first || index > last)
            continue;
        lines.push_back(prefix + std::to_string(index) + ",\"" + entry.number + "\"," +
                        std::to_string(entry.type) + ",\"" + entry.name + "\"");
    }
    if (lines.empty()) {
        CmeError(22);
    } else {
        Info(lines);
    }
}

void Modem::AnswerPhoneBookWrite(const std::string&, const std::string& text)
{
    std::vector<std::string> args = SplitArgs(text);
    int index;
    if (!ToInt(args[0], index) || index < 1 || index > 250 || args.size() > 4) {
        CmeError(21);
        return;
    }
    auto& book = m_phoneBook[m_phoneBookStorage];
    Json::Value e;
    e["event"] = "phonebook";
    e["storage"] = m_phoneBookStorage;
    e["index"] = index;
    if (args.size() == 1) {
        book.erase(index);
        e["number"] = "";
    } else {
        PhoneBookEntry entry;
        entry.number = args[1];
        if (entry.number.empty() || entry.number.size() > 40 ||
            entry.number.find_first_not_of("+0123456789*#") != std::string::npos ||
            (args.size() > 2 && !args[2].empty() && !ToInt(args[2], entry.type))) {
            CmeError(3);
            return;
        }
        if (args.size() > 3)
            entry.name = args[3];
        book[index] = entry;
        e["number"] = entry.number;
        e["name"] = entry.name;
    }
    Log(e);
    SavePhoneBook();
    Ok();
}

void Modem::SavePhoneBook()
{
    Json::Value books(Json::objectValue);
    for (const auto& [storage, book] : m_phoneBook) {
        Json::Value entries(Json::objectValue);
        for (const auto& [index, entry] : book) {
            Json::Value e;
            e["number"] = entry.number;
            e["type"] = entry.type;
            e["name"] = entry.name;
            entries[std::to_string(index)] = e;
        }
        books[storage] = entries;
    }
    m_state.Port(m_config.com)["phonebook"] = books;
    m_state.Save();
}

}  // namespace modemsim
