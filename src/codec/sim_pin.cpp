#include "codec/sim_pin.h"

#include <vector>

#include "codec/reply_text.h"

namespace {

std::string Trimmed(const std::string& text, const char* blanks)
{
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(blanks) + 1 - first);
}

// The complete lines of a reply, cut at CR or LF, blanks around them
// removed, empty ones left out.
std::vector<std::string> CompleteLines(const std::string& reply)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        if (reply[i] == '\r' || reply[i] == '\n') {
            const std::string line = Trimmed(reply.substr(start, i - start), " \t");
            if (!line.empty()) {
                lines.push_back(line);
            }
            start = i + 1;
        }
    }
    return lines;
}

}  // namespace

std::string PinStateOfReply(const std::string& reply)
{
    static const std::string kKey = "+CPIN:";
    for (const std::string& line : CompleteLines(reply)) {
        if (line.compare(0, kKey.size(), kKey) != 0) {
            continue;
        }
        std::string state = Trimmed(line.substr(kKey.size()), " \t\"");
        for (char& c : state) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        return state;
    }
    return std::string();
}

SIM_LOCK_t SimLockOf(const std::string& state)
{
    if (state.empty()) {
        return SIM_LOCK_UNKNOWN;
    }
    if (state == "READY") {
        return SIM_LOCK_READY;
    }
    if (state == "SIM PIN") {
        return SIM_LOCK_PIN;
    }
    if (state == "SIM PUK") {
        return SIM_LOCK_PUK;
    }
    return SIM_LOCK_OTHER;
}

int AttemptsOfReply(const std::string& reply, const std::string& key, std::size_t field)
{
    for (const std::string& line : CompleteLines(reply)) {
        if (line.compare(0, key.size(), key) != 0) {
            continue;
        }
        const std::vector<std::string> fields = SplitByChar(line.substr(key.size()), ',');
        if (field >= fields.size()) {
            return -1;
        }
        const std::string value = Trimmed(fields[field], " \t");
        if (value.empty() || value.size() > 4 ||
            value.find_first_not_of("0123456789") != std::string::npos) {
            return -1;
        }
        return LeadingInt(value);
    }
    return -1;
}
