#pragma once
// GSM 7-bit default alphabet: packed septets to internal text. Pure
// functions over byte strings, like charset_conv.h.

#include <string>

// 3GPP TS 23.040 9.2.3.24 packing, least significant bits first: n octets
// give n septets plus one for every complete group of 7 octets.
std::string UnpackSeptets(const std::string& packed);

// Septets -> UCS-2 (big-endian units) by the default alphabet and its
// extension table (3GPP TS 23.038 6.2.1). An escape (0x1B) before a septet
// that the extension table leaves empty gives that septet's character of the
// default alphabet, as the standard has receivers show it; an escape with
// nothing after it is shown as a space. Every septet gives a character.
std::string SeptetsToUcs2(const std::string& septets);

// Septets -> internal text: SeptetsToUcs2, then to the internal code page.
std::string SeptetsToText(const std::string& septets);

// Unpacks GSM 7-bit septets (3GPP TS 23.040 9.2.3.24 packing; n octets give
// n + n/7 septets) and maps them by the default alphabet and its extension
// table (3GPP TS 23.038 6.2.1) into internal text: "@" for 0x00, "£" for
// 0x01, "€" for the pair 1B 65. An escape before a septet the extension
// table leaves empty gives that septet's own character; a last escape is a
// space.
std::string UnpackGsm7Bit(const std::string& packed);
