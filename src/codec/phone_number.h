#pragma once
// International-number decision for mainland China, Hong Kong and Macau, and
// the service-centre number as a modem quotes it.

#include <string>

// True when the whole number matches one of the region patterns
// (ECMAScript grammar, the patterns exactly as the product defines them).
bool ClassifyNumber(const std::string& number);

// Drops a leading "00" from an international number longer than 2 characters.
std::string NormalizeNumber(const std::string& number, bool international);

// Whether `number` is an address as it goes into a PDU: an optional "+"
// and 1 to 20 decimal digits.
bool IsPlainNumber(const std::string& number);

// Whether a service-centre value that the modem quoted in AT+CSCA? must be
// read with the modem's character set (AT+CSCS?): it is no plain number,
// or it reads as the UCS2 hex of digits ("00380036...": "0031" groups).
bool ServiceCentreNeedsCharset(const std::string& quoted);

// The service-centre number in a value quoted in the character set
// `charset` (the value of +CSCS, any case): "UCS2" is hex of UCS-2 units,
// "HEX" hex of GSM default-alphabet codes, any other set the characters
// themselves; a plain number is taken as it is in any set (some modules
// quote the number so whatever the set). Empty when the value is no plain
// number: the PDU then leaves the centre to the modem.
std::string DecodeServiceCentre(const std::string& quoted, const std::string& charset);
