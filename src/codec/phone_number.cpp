#include "codec/phone_number.h"

#include <regex>
#include <vector>

namespace {

// The region patterns exactly as the product defines them. "[6|9]" and
// "[66|68]" are character classes (one of "6", "|", "9" / "6", "|", "8"),
// which is how the numbers have always been classified.
const char* const kInternationalPatterns[] = {
    "00861\\d{10}|861\\d{10}",
    "00852[6|9]\\d{7}|852[6|9]\\d{7}",
    "008536[66|68]\\d{5}|853[66|68]\\d{5}",
};

}  // namespace

bool ClassifyNumber(const std::string& number)
{
    // Compiled once, on first use: numbers are classified on several threads
    // at once, and compiling writes the locale's shared character tables.
    static const std::vector<std::regex> kPatterns = [] {
        std::vector<std::regex> patterns;
        for (const char* pattern : kInternationalPatterns) {
            patterns.emplace_back(pattern, std::regex::ECMAScript);
        }
        return patterns;
    }();
    for (const std::regex& re : kPatterns) {
        if (std::regex_match(number, re)) {
            return true;
        }
    }
    return false;
}

std::string NormalizeNumber(const std::string& number, bool international)
{
    if (international && number.size() > 2 && number.compare(0, 2, "00") == 0) {
        return number.substr(2);
    }
    return number;
}
