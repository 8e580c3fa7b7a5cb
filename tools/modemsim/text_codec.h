#pragma once
// Byte-level text forms that the simulated modems speak: hexadecimal, UTF-8
// <-> UCS-2 (UTF-16 big-endian, through iconv) and the GSM 7-bit default
// alphabet. Written apart from the program's own codec so that the two check
// each other end to end.

#include <cstdint>
#include <string>
#include <vector>

namespace modemsim {

using Bytes = std::vector<std::uint8_t>;

// Upper-case hex digits of the bytes.
std::string ToHex(const Bytes& bytes);
// False when the text has an odd length or a character that is not a hex
// digit (either case); `out` is then unspecified.
bool FromHex(const std::string& hex, Bytes& out);

// UTF-8 -> UTF-16BE. False for text that is not valid UTF-8.
bool Utf8ToUcs2(const std::string& utf8, Bytes& out);
// UTF-16BE -> UTF-8. Never fails: an unpaired surrogate or a lone last byte
// becomes U+FFFD, so whatever a peer sends can be logged.
std::string Ucs2ToUtf8(const Bytes& ucs2);
// Latin-1 bytes -> UTF-8 (8-bit message data shown as text).
std::string Latin1ToUtf8(const std::string& bytes);

// GSM 7-bit default alphabet with its extension table (3GPP TS 23.038 6.2.1).
// UTF-8 -> septet values; false when a character has no GSM form.
bool Utf8ToGsmSeptets(const std::string& utf8, std::vector<std::uint8_t>& septets);
// Septet values -> UTF-8; an escape with no extension entry reads as a blank.
std::string GsmSeptetsToUtf8(const std::vector<std::uint8_t>& septets);

// Packs septets into octets, starting after `fillBits` zero bits
// (TS 23.040 9.2.3.24: the fill that aligns text after a user-data header).
Bytes PackSeptets(const std::vector<std::uint8_t>& septets, int fillBits);
// Unpacks `count` septets from the octets, skipping `fillBits` first. False
// when the octets are too short for them.
bool UnpackSeptets(const Bytes& octets, std::size_t offset, std::size_t count, int fillBits,
                   std::vector<std::uint8_t>& septets);

// Bytes that are not printable ASCII as \xHH, so any line can be logged.
std::string PrintableAscii(const std::string& bytes);

}  // namespace modemsim
