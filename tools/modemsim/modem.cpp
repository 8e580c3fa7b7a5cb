// The module's line handling: its state, the bytes of a command line, echo
// and the faults that decide whether a command is answered at all.
#include "modem.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "command_text.h"
#include "text_codec.h"

namespace modemsim {

namespace {

std::shared_ptr<ModuleMemory> NewMemory(const PortConfig& config, SimState& state)
{
    auto memory = std::make_shared<ModuleMemory>();
    memory->modeConfig = config.modeConfig;
    memory->messageReference = config.messageReference;
    for (const auto& [name, messages] : config.storage) {
        auto& storage = memory->storage[name];
        for (const StoredMessage& message : messages)
            storage[message.index] = message;
    }
    memory->phoneBook["ME"] = config.phoneBook;
    if (!config.pin.empty()) {
        memory->pin = config.pin;
        memory->pinLeft = config.pinAttempts;
        memory->simState = config.pinAttempts > 0 ? "SIM PIN" : "SIM PUK";
    }
    if (state.HasPort(config.moduleCom)) {
        const Json::Value& saved = state.Port(config.moduleCom);
        if (saved["modeconfig"].isInt())
            memory->modeConfig = saved["modeconfig"].asInt();
        const Json::Value& books = saved["phonebook"];
        if (books.isObject()) {
            memory->phoneBook.clear();
            for (const std::string& storage : books.getMemberNames()) {
                auto& book = memory->phoneBook[storage];
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
    return memory;
}

}  // namespace

Modem::Modem(const PortConfig& config, EventLog& log, SimState& state,
             std::shared_ptr<ModuleMemory>& memory)
    : m_config(config),
      m_model(FindModel(config.model)),
      m_log(log),
      m_state(state),
      m_echo(config.echo),
      m_charset(config.charset),
      m_noiseState(0x9E3779B9u ^ static_cast<std::uint32_t>(config.com))
{
    if (!memory)
        memory = NewMemory(config, state);
    m_memory = memory;
    const std::vector<std::string> cnmi = SplitArgs(config.cnmi);
    for (std::size_t i = 0; i < cnmi.size() && i < 5; ++i)
        ToInt(cnmi[i], m_cnmi[i]);
}

std::vector<Outgoing> Modem::TakeOutput()
{
    std::vector<Outgoing> out;
    out.swap(m_out);
    return out;
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

}  // namespace modemsim
