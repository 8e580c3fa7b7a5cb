#include "app/arguments.h"

#include <algorithm>

#include "iconv/gb18030_text.h"

namespace {

constexpr std::size_t kMinNumberLength = 5;
constexpr std::size_t kMaxNumberLength = 29;

const char* const kHelpKeywords[] = {"help", "/?", "-help", "--help", "-h", "--h"};
const char* const kVersionKeywords[] = {"version", "-version", "--version", "v", "-v"};

// The full-width comma "，" in the internal code page.
const char kFullWidthComma[] = "\xA3\xAC";

const struct INBOX_WORD_t {
    const char* word;
    INBOX_OPERATION_t operation;
    bool compact;
} kInboxWords[] = {
    {"read", INBOX_OPERATION_READ, false},
    {"clear", INBOX_OPERATION_CLEAR, false},
    {"readclear", INBOX_OPERATION_READ_CLEAR, false},
    {"sread", INBOX_OPERATION_READ, true},
    {"sclear", INBOX_OPERATION_CLEAR, true},
    {"sreadclear", INBOX_OPERATION_READ_CLEAR, true},
    {"watch", INBOX_OPERATION_WATCH, true},
};

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
    bool compact = false;
    if (args.size() == 2 && IsPortsKeyword(args[1], compact)) {
        return ENTRY_MODE_PORTS;
    }
    if (args[1].size() == 3 && args.size() >= 3 && AsciiLower(args[1]) == "sms") {
        return ENTRY_MODE_INBOX;
    }
    // Every count of arguments after these words gave an error document
    // before they were commands; a count of their own that is wrong still
    // does.
    if (AsciiLower(args[1]) == "pin") {
        return ENTRY_MODE_PIN;
    }
    if (AsciiLower(args[1]) == "ussd") {
        return ENTRY_MODE_USSD;
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
    std::vector<std::string> items = SplitListItems(std::move(text), [](const std::string& item) {
        return IsAllDigits(item) ||
               (AsciiLower(item.substr(0, 3)) == "com" &&
                IsAllDigits(item.substr(std::min<std::size_t>(3, item.size()))));
    });
    for (std::string& item : items) {
        if (!IsAllDigits(item)) {
            item.erase(0, 3);
        }
    }
    return items;
}

std::vector<std::string> SplitListItems(std::string text, bool (*isValidItem)(const std::string&))
{
    std::string separated;
    separated.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Gb18030CharLength(text, i);
        if (text.compare(i, length, kFullWidthComma) == 0 || text[i] == ' ' || text[i] == ';') {
            separated += ',';
        } else {
            separated.append(text, i, length);
        }
        i += length;
    }
    text.swap(separated);
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
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        return text.substr(1, text.size() - 2);
    }
    return text;
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
    for (const INBOX_WORD_t& entry : kInboxWords) {
        if (word == entry.word) {
            return INBOX_REQUEST_t{entry.operation, entry.compact};
        }
    }
    return INBOX_REQUEST_t{};
}

std::vector<std::string> InboxWords()
{
    std::vector<std::string> words;
    for (const INBOX_WORD_t& entry : kInboxWords) {
        words.push_back(entry.word);
    }
    return words;
}

bool IsPortsKeyword(const std::string& word, bool& compact)
{
    compact = word == "sports";
    return compact || word == "ports";
}

bool IsReportOption(const std::string& word)
{
    return word == "--report" || word == "-r";
}

bool IsValidPin(const std::string& pin)
{
    return pin.size() >= 4 && pin.size() <= 8 && IsAllDigits(pin);
}

bool IsValidUssdCode(const std::string& code)
{
    return !code.empty() && code.size() <= 160 &&
           code.find_first_not_of("0123456789*#+") == std::string::npos;
}
