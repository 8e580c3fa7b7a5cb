#include "app/arguments.h"

namespace {

constexpr std::size_t kMinNumberLength = 5;
constexpr std::size_t kMaxNumberLength = 29;

const char* const kHelpKeywords[] = {"help", "/?", "-help", "--help", "-h", "--h"};
const char* const kVersionKeywords[] = {"version", "-version", "--version", "v", "-v"};

template <std::size_t N>
bool IsOneOf(const std::string& word, const char* const (&table)[N])
{
    for (const char* entry : table) {
        if (word == entry) {
            return true;
        }
    }
    return false;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

}  // namespace

ENTRY_MODE_t EntryModeOf(const std::vector<std::string>& args)
{
    if (args.size() <= 1) {
        return ENTRY_MODE_CONSOLE;
    }
    if (args.size() == 2 && IsOneOf(args[1], kHelpKeywords)) {
        return ENTRY_MODE_HELP;
    }
    if (args.size() == 2 && IsOneOf(args[1], kVersionKeywords)) {
        return ENTRY_MODE_VERSION;
    }
    if (args[1].size() == 3 && args.size() >= 3 && AsciiLower(args[1]) == "sms") {
        return ENTRY_MODE_INBOX;
    }
    return ENTRY_MODE_SEND;
}

std::string AsciiLower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

std::vector<std::string> SplitPortList(std::string text)
{
    return SplitListItems(std::move(text), IsAllDigits);
}

std::vector<std::string> SplitListItems(std::string text, bool (*isValidItem)(const std::string&))
{
    for (char& c : text) {
        if (c == ' ' || c == ';') {
            c = ',';
        }
    }
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string piece = text.substr(start, end - start);
        if (!piece.empty()) {
            if (!isValidItem(piece)) {
                return {};
            }
            items.push_back(std::move(piece));
        }
        start = end + 1;
    }
    return items;
}

bool IsAllDigits(const std::string& text)
{
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (!IsDigit(c)) {
            return false;
        }
    }
    return true;
}

std::string StripQuotes(const std::string& text)
{
    const std::size_t first = text.find('"');
    if (text.size() <= 5 || first == std::string::npos) {
        return text;
    }
    const std::size_t last = text.rfind('"');
    if (last == first) {
        return text.substr(first + 1);
    }
    return text.substr(first + 1, last - first - 1);
}

std::vector<std::string> SplitNumberList(std::string text)
{
    return SplitListItems(std::move(text), IsValidNumber);
}

bool IsValidNumber(const std::string& number)
{
    if (number.size() < kMinNumberLength || number.size() > kMaxNumberLength) {
        return false;
    }
    return (IsDigit(number[0]) || number[0] == '+') && IsAllDigits(number.substr(1));
}

INBOX_REQUEST_t ParseInboxWord(const std::string& word)
{
    static const struct {
        const char* word;
        INBOX_OPERATION_t operation;
        bool compact;
    } kWords[] = {
        {"read", INBOX_OPERATION_READ, false},
        {"clear", INBOX_OPERATION_CLEAR, false},
        {"readclear", INBOX_OPERATION_READ_CLEAR, false},
        {"sread", INBOX_OPERATION_READ, true},
        {"sclear", INBOX_OPERATION_CLEAR, true},
        {"sreadclear", INBOX_OPERATION_READ_CLEAR, true},
    };
    for (const auto& entry : kWords) {
        if (word == entry.word) {
            return INBOX_REQUEST_t{entry.operation, entry.compact};
        }
    }
    return INBOX_REQUEST_t{};
}
