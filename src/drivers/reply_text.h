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

// Leading decimal number as atoi reads it: leading blanks, optional sign,
// digits; 0 when there are none. Never overflows (saturates).
int LeadingInt(const std::string& text);
