#pragma once
// GSM 7-bit default alphabet, for the codec's own use (UnpackGsm7Bit in
// charset_conv.h is both steps together).

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
