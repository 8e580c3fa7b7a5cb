#pragma once
// The command line's argument rules, as the commands and the dialogues use
// them: which mode the arguments ask for, the lists of ports and numbers,
// the number rule, the quotes around a text, the inbox command's word, and
// the parameter errors of a send.

#include <string>
#include <vector>

// What the arguments (the program name first, as internal text) ask for.
enum ENTRY_MODE_t : int {
    ENTRY_MODE_CONSOLE,  // no argument: the interactive console
    ENTRY_MODE_HELP,     // one help keyword ("help", "/?", "-help", "--help", "-h", "--h")
    ENTRY_MODE_VERSION,  // one version keyword ("version", "-version", "--version", "v", "-v")
    ENTRY_MODE_INBOX,    // "sms" in any case, then a word
    ENTRY_MODE_SEND,     // anything else: ports, numbers and a text
};
ENTRY_MODE_t EntryModeOf(const std::vector<std::string>& args);

// ASCII letters in lower case; every other byte as it is.
std::string AsciiLower(std::string text);

// Outcomes of ParseSendArguments: the parameter errors, or the text sent.
enum SEND_PARSE_OUTCOME_t : int {
    SEND_PARSE_NO_PORT = 0,
    SEND_PARSE_BAD_NUMBER = 1,
    SEND_PARSE_BAD_COUNT = 2,
    SEND_PARSE_SENT = 3,
};

// The items of a list: blanks and ";" count as ",", empty items are skipped,
// one item that fails `isValidItem` makes the whole result empty.
std::vector<std::string> SplitListItems(std::string text, bool (*isValidItem)(const std::string&));

// A list of port numbers (items of digits only); empty when any item is not.
std::vector<std::string> SplitPortList(std::string text);

// A list of phone numbers (IsValidNumber); empty when any item is not one.
std::vector<std::string> SplitNumberList(std::string text);

// Only ASCII digits, and at least one.
bool IsAllDigits(const std::string& text);

// 5 to 29 characters: digits, the first of which may be a "+".
bool IsValidNumber(const std::string& number);

// The text between the first and the last double quote (to the end when
// there is only one); texts of at most 5 bytes, and texts without a quote,
// as they are.
std::string StripQuotes(const std::string& text);

// What the inbox command's word asks for.
enum INBOX_OPERATION_t : int {
    INBOX_OPERATION_NONE = 0,
    INBOX_OPERATION_READ = 1,
    INBOX_OPERATION_CLEAR = 2,
    INBOX_OPERATION_READ_CLEAR = 3,
};

struct INBOX_REQUEST_t {
    INBOX_OPERATION_t nOperation = INBOX_OPERATION_NONE;
    bool bCompact = false;  // the one-line writer
};

// The sub-command of a (lower-cased) word; whole words only.
INBOX_REQUEST_t ParseInboxWord(const std::string& word);
