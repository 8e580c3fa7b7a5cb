#include "codec/reply_text.h"

#include <algorithm>
#include <climits>
#include <string>

std::vector<std::string> SplitLines(std::string text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string::npos;
         end = text.find("\r\n", start)) {
        if (end > start) {
            lines.push_back(text.substr(start, end - start));
        }
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> SplitByChar(std::string text, char ch)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t end = text.find(ch); end != std::string::npos; end = text.find(ch, start)) {
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (start < text.size()) {
        pieces.push_back(text.substr(start));
    }
    return pieces;
}

std::string ReplaceChar(std::string text, char from, char to)
{
    for (char& c : text) {
        if (c == from) {
            c = to;
        }
    }
    return text;
}

std::string TrimCharOnce(std::string text, char ch)
{
    if (text.size() <= 2) {
        return text;
    }
    if (text.front() == ch) {
        text.erase(0, 1);
    }
    if (!text.empty() && text.back() == ch) {
        text.pop_back();
    }
    return text;
}

std::string TrimChar(std::string text, char ch)
{
    // The same steps as repeated TrimCharOnce calls, on indexes, so that a
    // long reply is not copied on every step.
    std::size_t begin = 0;
    std::size_t end = text.size();
    for (int applied = 0; applied <= 100 && end - begin > 2; ++applied) {
        bool changed = false;
        if (text[begin] == ch) {
            ++begin;
            changed = true;
        }
        if (end > begin && text[end - 1] == ch) {
            --end;
            changed = true;
        }
        if (!changed) {
            break;
        }
    }
    return text.substr(begin, end - begin);
}

std::string TrimCrLf(std::string text)
{
    for (char ch : {'\r', '\n', '\r', '\n'}) {
        text = TrimChar(text, ch);
    }
    return text;
}

OK_OR_ERROR_LINE_t FirstOkOrErrorLine(const std::string& reply)
{
    for (const std::string& line : SplitLines(reply)) {
        if (line.find("OK") != std::string::npos) {
            return {LINE_OK, line};
        }
        if (line.find("ERROR") != std::string::npos) {
            return {LINE_ERROR, line};
        }
    }
    return {};
}

bool ReadDecimal(const std::string& text, std::size_t& pos, int& value)
{
    std::size_t i = pos;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || text[i] < '0' || text[i] > '9') {
        return false;
    }
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (magnitude <= INT_MAX) {
            magnitude = magnitude * 10 + (text[i] - '0');
        }
    }
    if (negative) {
        value = magnitude > INT_MAX ? INT_MIN : static_cast<int>(-magnitude);
    } else {
        value = magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
    }
    pos = i;
    return true;
}

int LeadingInt(const std::string& text)
{
    std::size_t pos = 0;
    int value = 0;
    ReadDecimal(text, pos, value);
    return value;
}

namespace {

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

std::size_t FindNoCase(const std::string& text, const std::string& key, std::size_t from)
{
    if (key.empty()) {
        return from <= text.size() ? from : std::string::npos;
    }
    for (std::size_t at = from; at + key.size() <= text.size(); ++at) {
        std::size_t i = 0;
        while (i < key.size() && Upper(text[at + i]) == Upper(key[i])) {
            ++i;
        }
        if (i == key.size()) {
            return at;
        }
    }
    return std::string::npos;
}

bool HoldsNoCase(const std::string& text, const std::string& key)
{
    return FindNoCase(text, key) != std::string::npos;
}

std::size_t FindResult(const std::string& text, const std::string& prefix, std::size_t from,
                       std::size_t& valueAt)
{
    for (std::size_t at = FindNoCase(text, prefix, from); at != std::string::npos;
         at = FindNoCase(text, prefix, at + 1)) {
        std::size_t colon = at + prefix.size();
        while (colon < text.size() && IsBlank(text[colon])) {
            ++colon;
        }
        if (colon < text.size() && text[colon] == ':') {
            valueAt = colon + 1;
            return at;
        }
    }
    return std::string::npos;
}

bool HoldsResult(const std::string& text, const std::string& prefix)
{
    std::size_t valueAt = 0;
    return FindResult(text, prefix, 0, valueAt) != std::string::npos;
}

bool ResultFields(const std::string& line, const std::string& prefix,
                  std::vector<std::string>& fields)
{
    std::size_t valueAt = 0;
    if (FindResult(line, prefix, 0, valueAt) == std::string::npos) {
        return false;
    }
    fields.clear();
    std::string field;
    bool quoted = false;
    int depth = 0;
    const auto finish = [&]() {
        const std::size_t first = field.find_first_not_of(" \t");
        fields.push_back(first == std::string::npos
                             ? std::string()
                             : field.substr(first, field.find_last_not_of(" \t") - first + 1));
        field.clear();
    };
    for (std::size_t i = valueAt; i < line.size() && line[i] != '\r' && line[i] != '\n'; ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == '(') {
            ++depth;
        } else if (!quoted && c == ')' && depth > 0) {
            --depth;
        } else if (!quoted && depth == 0 && c == ',') {
            finish();
            continue;
        }
        field += c;
    }
    finish();
    return true;
}

std::string Unquoted(const std::string& field)
{
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
        return field.substr(1, field.size() - 2);
    }
    return field;
}

namespace {

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

bool StartsWith(const std::string& text, std::size_t from, std::size_t to, const char* prefix)
{
    const std::size_t n = std::char_traits<char>::length(prefix);
    return to - from >= n && text.compare(from, n, prefix) == 0;
}

// The final-line test on text[from, to), without copying it.
bool IsFinalResultRange(const std::string& text, std::size_t from, std::size_t to)
{
    while (from < to && (text[from] == ' ' || text[from] == '\t')) {
        ++from;
    }
    while (to > from && (text[to - 1] == ' ' || text[to - 1] == '\t')) {
        --to;
    }
    static const char* const kWhole[] = {"OK", "ERROR", "COMMAND NOT SUPPORT", "NO CARRIER"};
    for (const char* whole : kWhole) {
        if (to - from == std::char_traits<char>::length(whole) &&
            StartsWith(text, from, to, whole)) {
            return true;
        }
    }
    // The error number (or, after AT+CMEE=2, its text) must be there.
    static const char* const kPrefixes[] = {"+CMS ERROR:", "+CME ERROR:", "^HCMGSS:", "^HCMGSF:"};
    for (const char* prefix : kPrefixes) {
        if (StartsWith(text, from, to, prefix) &&
            to - from > std::char_traits<char>::length(prefix)) {
            return true;
        }
    }
    return false;
}

bool EndsWithPrompt(const std::string& reply)
{
    return reply.size() >= 2 && reply.compare(reply.size() - 2, 2, "> ") == 0;
}

}  // namespace

bool IsFinalResultLine(const std::string& line)
{
    return IsFinalResultRange(line, 0, line.size());
}

bool EndsWithFinalResult(const std::string& reply)
{
    if (EndsWithPrompt(reply)) {
        return true;
    }
    if (reply.size() < 2 || reply.compare(reply.size() - 2, 2, "\r\n") != 0) {
        return false;
    }
    std::size_t end = reply.size();
    while (end > 0 && IsLineEnd(reply[end - 1])) {
        --end;
    }
    std::size_t start = end;
    while (start > 0 && !IsLineEnd(reply[start - 1])) {
        --start;
    }
    return end > start && IsFinalResultRange(reply, start, end);
}

bool HoldsFinalResult(const std::string& reply)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        if (IsLineEnd(reply[i])) {
            if (i > start && IsFinalResultRange(reply, start, i)) {
                return true;
            }
            start = i + 1;
        }
    }
    return false;
}

int PlainIndex(const std::string& field)
{
    const std::size_t first = field.find_first_not_of(' ');
    if (first == std::string::npos) {
        return -1;
    }
    const std::size_t end = field.find_last_not_of(' ') + 1;
    if (end - first > 9) {
        return -1;
    }
    int index = 0;
    for (std::size_t i = first; i < end; ++i) {
        if (field[i] < '0' || field[i] > '9') {
            return -1;
        }
        index = index * 10 + (field[i] - '0');
    }
    return index;
}

std::vector<std::string> ReadStoragesOfReply(const std::string& reply)
{
    std::vector<std::string> storages;
    const std::size_t at = reply.find("+CPMS:");
    if (at == std::string::npos) {
        return storages;
    }
    std::size_t end = reply.find_first_of("\r\n", at);
    if (end == std::string::npos) {
        return storages;
    }
    std::size_t start = reply.find_first_not_of(" \t", at + 6);
    if (start >= end) {
        return storages;
    }
    if (reply[start] == '(') {
        start = reply.find_first_not_of("( \t", start);
        if (start >= end) {
            return storages;
        }
        end = std::min(end, reply.find(')', start));
    } else {
        end = std::min(end, reply.find(',', start));
    }
    for (std::string name : SplitByChar(reply.substr(start, end - start), ',')) {
        const std::size_t first = name.find_first_not_of(" \t\"");
        if (first == std::string::npos) {
            continue;
        }
        name = name.substr(first, name.find_last_not_of(" \t\"") + 1 - first);
        for (char& c : name) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        storages.push_back(name);
    }
    return storages;
}

int SendReferenceOfReply(const std::string& reply)
{
    static const std::string kKey = "+CMGS:";
    for (const std::string& line : SplitLines(reply)) {
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line.compare(first, kKey.size(), kKey) != 0) {
            continue;
        }
        std::size_t pos = first + kKey.size();
        int value = -1;
        if (!ReadDecimal(line, pos, value) || value < 0 || value > 255) {
            return -1;
        }
        const std::size_t next = line.find_first_not_of(" \t", pos);
        return next == std::string::npos || line[next] == ',' ? value : -1;
    }
    return -1;
}
