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
    ENTRY_MODE_INBOX,    // "sms" in any case, then a word, then optionally ports
    ENTRY_MODE_PORTS,    // one ports keyword ("ports", or "sports" for one line)
    ENTRY_MODE_PIN,      // "pin" in any case, then ports and a PIN
    ENTRY_MODE_USSD,     // "ussd" in any case, then ports and a code
    ENTRY_MODE_SEND,     // anything else: ports, numbers and a text, after an optional "--report"
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

// The items of a list: blanks, ";" and the full-width comma "，" (the form
// the help text writes) count as ",", empty items are skipped, one item that
// fails `isValidItem` makes the whole result empty. Internal text: the
// full-width comma is found on character boundaries only.
std::vector<std::string> SplitListItems(std::string text, bool (*isValidItem)(const std::string&));

// A list of port numbers: each item digits only, or "COM" in any case and
// digits ("COM3", "com3"), as the port table names ports. The items are the
// digits as written ("03" stays "03", which is no name of COM3); empty when
// any item is neither.
std::vector<std::string> SplitPortList(std::string text);

// A list of phone numbers (IsValidNumber); empty when any item is not one.
std::vector<std::string> SplitNumberList(std::string text);

// Only ASCII digits, and at least one.
bool IsAllDigits(const std::string& text);

// 5 to 29 characters: digits, the first of which may be a "+".
bool IsValidNumber(const std::string& number);

// A text whose first and last characters are double quotes, without them
// (callers that wrap a text in literal quotes); any other text as it is, so
// that quotes inside a text, and a quote without its pair, are sent as typed.
std::string StripQuotes(const std::string& text);

// What the inbox command's word asks for.
enum INBOX_OPERATION_t : int {
    INBOX_OPERATION_NONE = 0,
    INBOX_OPERATION_READ = 1,
    INBOX_OPERATION_CLEAR = 2,
    INBOX_OPERATION_READ_CLEAR = 3,
    // Not a one-shot document: the watch's stream (RunWatchCommand).
    INBOX_OPERATION_WATCH = 4,
};

struct INBOX_REQUEST_t {
    INBOX_OPERATION_t nOperation = INBOX_OPERATION_NONE;
    bool bCompact = false;  // the one-line writer
};

// The sub-command of a (lower-cased) word; whole words only.
INBOX_REQUEST_t ParseInboxWord(const std::string& word);

// The inbox command's words, in the order they are tested.
std::vector<std::string> InboxWords();

// Whether the single argument asks for the ports document; `compact` is set
// for the one-line form.
bool IsPortsKeyword(const std::string& word, bool& compact);

// Whether an argument before the send forms asks for delivery reports:
// "--report" or "-r", as written.
bool IsReportOption(const std::string& word);

// The PIN the pin command takes: 4 to 8 ASCII digits.
bool IsValidPin(const std::string& pin);

// The code the ussd command takes: 1 to 160 characters of 0-9, "*", "#"
// and "+" (the service codes of 3GPP TS 22.030).
bool IsValidUssdCode(const std::string& code);

// Outcomes of the pin and ussd commands' argument checks, beside the send's
// (SEND_PARSE_OUTCOME_t, whose documents they share).
enum PORT_COMMAND_OUTCOME_t : int {
    PORT_COMMAND_NO_PORT = SEND_PARSE_NO_PORT,
    PORT_COMMAND_BAD_COUNT = SEND_PARSE_BAD_COUNT,
    PORT_COMMAND_BAD_PIN = 4,
    PORT_COMMAND_BAD_USSD_CODE = 5,
    PORT_COMMAND_DONE = 6,
};
