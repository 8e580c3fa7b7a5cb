#pragma once
// Conversions between the internal code page (GB18030, a superset of GBK),
// UCS-2, UTF-8, hexadecimal text and semi-octets (packed GSM 7-bit data:
// gsm7bit.h).
// Pure functions over byte strings; none keeps state, none throws.
//
// "UCS-2" is big-endian 16-bit units without byte-order mark; a character
// outside the BMP (GB18030 carries them) becomes a UTF-16 surrogate pair, as
// the Windows converters do.

#include <string>

// Internal text -> UCS-2 bytes (two per unit). Empty for an empty text.
// Each byte that starts no valid GB18030 character, and a character cut off
// at the end, becomes U+FFFD; the rest of the text is converted.
std::string AnsiToUcs2(const std::string& text);

// UCS-2 bytes -> internal text of at most `maxBytes` bytes (an odd last byte
// is ignored). A lone surrogate becomes "?"; U+0000 becomes a NUL byte.
// When the text does not fit, the characters that take four bytes in GB18030
// (those GBK lacks) become "?", one byte each, as the GBK code page writes
// them; if it still does not fit (more than 80 Chinese characters in 160
// bytes), the result is empty, as the Win32 conversion into a fixed field.
std::string Ucs2ToAnsi(const std::string& ucs2, std::size_t maxBytes = 160);

// The same conversion without a size limit (every character kept).
std::string Ucs2ToAnsiString(const std::string& ucs2);

// UTF-8 -> internal text. Each malformed sequence (a stray byte, a sequence
// cut off) becomes one "?"; the rest is converted.
std::string Utf8ToAnsi(const std::string& utf8);

// Internal text -> UTF-8 (for JSON documents). Invalid bytes become U+FFFD.
std::string AnsiToUtf8(const std::string& text);

// Bytes -> upper-case hexadecimal text, two digits per byte.
std::string BytesToHex(const std::string& bytes);

// Hexadecimal text -> bytes, one per complete pair (an odd last character is
// ignored). Only upper-case digits are understood: any other character gives
// the byte of the original converter's arithmetic (a digit is c - '0', any
// other character c - 55, the byte taken modulo 256; "4e2d" gives 6E 4D).
std::string HexToBytes(const std::string& hex);

// Swaps each pair of digits; an odd length is padded with "F"
// (13800138000 -> 3108108300F0).
std::string EncodeSemiOctets(const std::string& digits);

// Swaps each pair back and drops a final "F" (3108108300F0 -> 13800138000).
// An odd last character is ignored. Characters are not checked.
std::string DecodeSemiOctets(const std::string& swapped);
