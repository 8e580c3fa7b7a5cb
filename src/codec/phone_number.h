#pragma once
// International-number decision for mainland China, Hong Kong and Macau.

#include <string>

// True when the whole number matches one of the region patterns
// (ECMAScript grammar, the patterns exactly as the product defines them).
bool ClassifyNumber(const std::string& number);

// Drops a leading "00" from an international number longer than 2 characters.
std::string NormalizeNumber(const std::string& number, bool international);
