#pragma once
// The text of AT command lines as the simulated modules read it: shared by
// the parts of the module (modem*.cpp).

#include <cstddef>
#include <string>
#include <vector>

namespace modemsim {

// The longest command line a module keeps (also the longest text-mode body).
const std::size_t kMaxLine = 1024;

// Upper case and no blanks outside double quotes: "at + cpms?" and
// "AT+CPMS?" are the same command to a module.
std::string Normalise(const std::string& raw);

bool StartsWith(const std::string& text, const std::string& prefix);

// Arguments cut at commas outside quotes, quotes removed.
std::vector<std::string> SplitArgs(const std::string& args);

// A decimal of 1 to 9 digits; false for anything else.
bool ToInt(const std::string& text, int& value);

// Whether `name` is a character set of AT+CSCS that the modules speak: IRA,
// GSM, UCS2 or HEX.
bool IsCharset(const std::string& name);

// An ASCII text in a character set of AT+CSCS: UCS2 as hex of UCS-2 units
// ("+8" is "002B0038"), HEX as hex of GSM codes ("2B38"), IRA and GSM as it
// is (digits and "+" are the same in all of them).
std::string InCharset(const std::string& text, const std::string& charset);

// Every result line of a reply ("+CMGL: 1,..." at a line's start, all of it
// printable ASCII) without the blank after its colon.
std::string CompactResults(const std::string& reply);

}  // namespace modemsim
