// The phone book: its storage, reading and writing entries, and keeping them
// across runs in the simulator's state.
#include "command_text.h"
#include "modem.h"

namespace modemsim {

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
          std::to_string(m_memory->phoneBook[m_phoneBookStorage].size()) + ",250"});
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
    for (const auto& [index, entry] : m_memory->phoneBook[m_phoneBookStorage]) {
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
    auto& book = m_memory->phoneBook[m_phoneBookStorage];
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
    for (const auto& [storage, book] : m_memory->phoneBook) {
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
    m_state.Port(m_config.moduleCom)["phonebook"] = books;
    m_state.Save();
}

}  // namespace modemsim
