#include "command_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
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

bool IsCharset(const std::string& name)
{
    return name == "IRA" || name == "GSM" || name == "UCS2" || name == "HEX";
}

std::string InCharset(const std::string& text, const std::string& charset)
{
    if (charset != "UCS2" && charset != "HEX")
        return text;
    std::string coded;
    for (unsigned char c : text) {
        char unit[8];
        std::snprintf(unit, sizeof unit, charset == "UCS2" ? "%04X" : "%02X", c);
        coded += unit;
    }
    return coded;
}

std::string CompactResults(const std::string& reply)
{
    std::string out;
    std::size_t start = 0;
    while (start < reply.size()) {
        std::size_t end = reply.find('\n', start);
        end = end == std::string::npos ? reply.size() : end + 1;
        std::string line = reply.substr(start, end - start);
        const bool printable = std::all_of(line.begin(), line.end(), [](char c) {
            return c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F);
        });
        if (printable && !line.empty() && (line[0] == '+' || line[0] == '^')) {
            const std::size_t colon = line.find(": ");
            if (colon != std::string::npos)
                line.erase(colon + 1, 1);
        }
        out += line;
        start = end;
    }
    return out;
}

}  // namespace modemsim
