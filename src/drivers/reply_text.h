#pragma once
// Helpers that every reply parser uses. They take and return copies and never fail.

#include <string>
#include <vector>

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

// Leading decimal number as atoi reads it: leading blanks, optional sign,
// digits; 0 when there are none. Never overflows (saturates).
int LeadingInt(const std::string& text);
