#pragma once
// GSM 7-bit default alphabet, for the codec's own use (UnpackGsm7Bit in
// charset_conv.h is both steps together).

#include <string>

// 3GPP TS 23.040 9.2.3.24 packing, least significant bits first: n octets
// give n septets plus one for every complete group of 7 octets.
std::string UnpackSeptets(const std::string& packed);

// Septets -> text: 0x00 -> "@", the 0x1B escape pairs of the table, every
// other septet unchanged.
std::string SeptetsToText(const std::string& septets);
