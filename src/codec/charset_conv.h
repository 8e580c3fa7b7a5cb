#pragma once
// Conversions between the internal code page (GB18030, a superset of GBK),
// UCS-2, UTF-8, hexadecimal text, semi-octets and packed GSM 7-bit data.
// Pure functions over byte strings; none keeps state, none throws.
//
// "UCS-2" is big-endian 16-bit units without byte-order mark; a character
// outside the BMP (GB18030 carries them) becomes a UTF-16 surrogate pair, as
// the Windows converters do.

#include <string>

// Internal text -> UCS-2 bytes (two per unit). Empty for an empty text.
// A byte sequence that is not valid GB18030 becomes U+FFFD.
std::string AnsiToUcs2(const std::string& text);

// UCS-2 bytes -> internal text of at most `maxBytes` bytes (an odd last byte
// is ignored). When the result would not fit, the result is empty, as the
// Win32 conversion with a fixed field fails. Invalid units become "?".
std::string Ucs2ToAnsi(const std::string& ucs2, std::size_t maxBytes = 160);

// The same conversion without a size limit.
std::string Ucs2ToAnsiString(const std::string& ucs2);

// UTF-8 -> internal text. Invalid UTF-8 bytes become "?".
std::string Utf8ToAnsi(const std::string& utf8);

// Internal text -> UTF-8 (for JSON documents). Invalid bytes become U+FFFD.
std::string AnsiToUtf8(const std::string& text);

// Bytes -> upper-case hexadecimal text, two digits per byte.
std::string BytesToHex(const std::string& bytes);

// Hexadecimal text -> bytes, one per complete pair (an odd last character is
// ignored). Only upper-case digits are understood: other characters give the
// byte that the arithmetic of the original converter gives (never a crash).
std::string HexToBytes(const std::string& hex);

// Swaps each pair of digits; an odd length is padded with "F"
// (13800138000 -> 3108108300F0).
std::string EncodeSemiOctets(const std::string& digits);

// Swaps each pair back and drops a final "F" (3108108300F0 -> 13800138000).
// An odd last character is ignored.
std::string DecodeSemiOctets(const std::string& swapped);

// Unpacks GSM 7-bit septets (3GPP TS 23.040 9.2.3.24 packing) and maps them:
// 0x00 -> "@", the escape table for 0x1B pairs, every other septet unchanged.
std::string UnpackGsm7Bit(const std::string& packed);
