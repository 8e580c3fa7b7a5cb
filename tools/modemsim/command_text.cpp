#include "command_text.h"

#include <cctype>
#include <cstdlib>

namespace modemsim {

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

}  // namespace modemsim
