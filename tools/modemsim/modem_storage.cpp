// The message storages: selecting them, listing, reading and deleting what
// they hold.
#include "command_text.h"
#include "modem.h"

namespace modemsim {

std::map<int, StoredMessage>& Modem::Selected()
{
    return m_memory->storage[m_mem1];
}

void Modem::Arrive(const Arrival& arrival)
{
    auto& storage = m_memory->storage[arrival.storage];
    StoredMessage message = arrival.message;
    if (message.index <= 0) {
        message.index = 1;
        while (storage.count(message.index) != 0)
            ++message.index;
    }
    Json::Value event;
    event["event"] = "arrival";
    event["storage"] = arrival.storage;
    event["index"] = message.index;
    if (message.hasText)
        event["text"] = message.textUtf8;
    if (message.index > m_config.capacity[arrival.storage] || storage.count(message.index) != 0) {
        // A real module leaves it with the network until there is room.
        const bool full = message.index > m_config.capacity[arrival.storage];
        event["dropped"] = full ? "storage full" : "index in use";
        Log(event);
        if (full && arrival.message.index <= 0) {
            m_memory->waiting.push_back(arrival);
        }
        return;
    }
    storage[message.index] = message;
    Log(event);
    if (arrival.announce && m_cnmi[1] == 1 && Indicates()) {
        const std::string line =
            "\r\n+CMTI: \"" + arrival.storage + "\"," + std::to_string(message.index) + "\r\n";
        m_out.push_back({m_config.compactResults ? CompactResults(line) : line, 0});
    }
}

void Modem::AnswerStorage(const std::string&, const std::string& args)
{
    auto counts = [&](const std::string& mem) {
        return std::to_string(m_memory->storage[mem].size()) + "," +
               std::to_string(m_config.capacity[mem]);
    };
    if (args == "=?") {
        // Wavecom's nested form, with its storage of status reports for
        // reading (ofono drivers/atmodem/sms.c quotes the Q2's answer).
        Info({m_model->reportStorage ? "+CPMS: ((\"SM\",\"ME\",\"SR\"),(\"SM\",\"ME\"))"
                                     : "+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")"});
        return;
    }
    if (!NeedsReadySim())
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
    for (std::size_t i = 0; i < mems.size(); ++i) {
        // Status reports are read (and deleted) from "SR", never written there.
        const bool reports = i == 0 && mems[i] == "SR" && m_model->reportStorage;
        if (mems[i] != "SM" && mems[i] != "ME" && !reports) {
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
    // Room again: the network delivers what it kept.
    std::vector<Arrival> waiting;
    waiting.swap(m_memory->waiting);
    for (const Arrival& arrival : waiting) {
        Arrive(arrival);
    }
}

}  // namespace modemsim
