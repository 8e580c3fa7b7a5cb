#pragma once
// Helpers that every reply parser uses. They take and return copies and never fail.

#include <cstddef>
#include <string>
#include <vector>

// What a parser makes of the reply gathered so far. Apart from the device
// codes of the documents (drivers/result_codes.h): a parser only decides
// whether the exchange is over and how it went.
enum PARSE_RESULT_t {
    PARSE_SUCCEED,     // the reply is complete and the command succeeded
    PARSE_FAILED,      // the reply is complete and the command failed
    PARSE_INCOMPLETE,  // not decided yet: read on
};

// The pieces that end at a "\r\n", without empty ones; an unterminated last
// line is not returned.
std::vector<std::string> SplitLines(std::string text);

// All pieces cut at `ch`, empty ones included; the piece after the last
// separator only when it is not empty.
std::vector<std::string> SplitByChar(std::string text, char ch);

std::string ReplaceChar(std::string text, char from, char to);

// Texts of at most 2 characters are returned unchanged; otherwise one leading
// and then one trailing `ch` is removed.
std::string TrimCharOnce(std::string text, char ch);

// TrimCharOnce until nothing changes (at most 100 more applications).
std::string TrimChar(std::string text, char ch);

// TrimChar with CR, LF, CR and LF in turn: the line ends around an error
// text. Two rounds only, so a text with more alternations keeps some.
std::string TrimCrLf(std::string text);

// The first complete line (SplitLines) of a reply that holds "OK" or
// "ERROR", as the general rule and the parsers built like it walk a reply:
// which of the two the line holds ("OK" is looked for first), and the line.
enum OK_OR_ERROR_t { LINE_NONE, LINE_OK, LINE_ERROR };
struct OK_OR_ERROR_LINE_t {
    OK_OR_ERROR_t kind = LINE_NONE;
    std::string strLine;
};
OK_OR_ERROR_LINE_t FirstOkOrErrorLine(const std::string& reply);

// Whether `line` (without its line end; blanks around it do not count) is
// the final result line of a command: OK, ERROR, +CMS ERROR: <n>,
// +CME ERROR: <n>, COMMAND NOT SUPPORT, NO CARRIER, or the CDMA module's
// send outcome ^HCMGSS:<n> / ^HCMGSF:<n>. Unsolicited lines (+CMTI, ^RSSI,
// RING, ^BOOT) and text or PDU lines that merely contain "OK" are not.
bool IsFinalResultLine(const std::string& line);

// Whether the reply ends with a complete final result line (its line end
// included; empty lines after it are line ends too) or with the send
// prompt "> ". Looks only at the reply's tail.
bool EndsWithFinalResult(const std::string& reply);

// Whether any complete line of the reply (ended by CR or LF) is a final
// result line.
bool HoldsFinalResult(const std::string& reply);

// One decimal number from `pos` as "%d" reads it: leading blanks, an
// optional sign, digits. False, with `pos` and `value` unchanged, when no
// digit follows; otherwise `value` (saturated at INT_MIN and INT_MAX, never
// overflowing) and `pos` just past the digits.
bool ReadDecimal(const std::string& text, std::size_t& pos, int& value);

// Result lines as real modules write them: the prefix ("+CMGL", "^HCMGL")
// in either case, blanks before and after the colon optional, blanks around
// the commas optional, an alphanumeric field empty or quoted:
// "+CMGL: 1,1,,23", "+CMGL:1,1,,23", "+cmgl: 1 , 1 , \"\" , 23".

// Where the result `prefix` stands in `text` from `from` on: the position of
// its first character, with `valueAt` just after its colon; npos when it is
// nowhere (a prefix followed by no colon, as in an echoed "AT+CMGL=4", is
// none).
std::size_t FindResult(const std::string& text, const std::string& prefix, std::size_t from,
                       std::size_t& valueAt);
// Whether `text` holds the result `prefix` anywhere.
bool HoldsResult(const std::string& text, const std::string& prefix);
// The fields of the first result `prefix` in `line` (up to the line's end):
// cut at the commas that stand outside double quotes and parentheses, each
// without the blanks around it, quotes and parentheses kept. False when the
// line holds no such result.
bool ResultFields(const std::string& line, const std::string& prefix,
                  std::vector<std::string>& fields);
// A field without the double quotes around it (one pair, when both are there).
std::string Unquoted(const std::string& field);
// Whether `text` holds `key`, letters compared without case.
bool HoldsNoCase(const std::string& text, const std::string& key);
// The position of `key` in `text` from `from` on, letters compared without
// case; npos when it is not there.
std::size_t FindNoCase(const std::string& text, const std::string& key, std::size_t from = 0);

// Leading decimal number as atoi reads it (ReadDecimal from the start); 0
// when there is none.
int LeadingInt(const std::string& text);

// A storage index as a listing writes it: plain decimal digits, at most 9,
// with spaces around them allowed; -1 for anything else. Messages are
// deleted by index, so a garbled header must not name a place (0, or
// another number) that the modem never listed.
int PlainIndex(const std::string& field);

// The storages a listing can be read from, as an "AT+CPMS=?" reply offers
// them: the names of its first list (`+CPMS: ("SM","ME","SR"),(...),(...)`,
// Wavecom's `+CPMS: (("SM","BM","SR"),("SM"))` alike; a reply without
// parentheses names one storage per list), without quotes and blanks, in
// upper case; empty without a complete +CPMS line.
std::vector<std::string> ReadStoragesOfReply(const std::string& reply);

// The message reference of a "+CMGS: <mr>" line (the answer to an accepted
// message body; the blank after the colon is optional, fields after the
// number are allowed): 0 to 255, -1 when the reply holds no complete such
// line or its number is out of range.
int SendReferenceOfReply(const std::string& reply);
