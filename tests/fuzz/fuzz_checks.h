#pragma once
// Invariants the fuzz entries hold the decoders to; a broken one aborts, so
// libFuzzer and the replay test both report it as a crash.

#include <cstdlib>
#include <string>

#include "codec/pdu.h"

inline void FuzzRequire(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// An address as a decoder writes it from hexadecimal text: an optional "+",
// then semi-octets (0-9, "*", "#", "a", "b", "c", and a filler "F" that is
// not the last).
inline bool IsAddress(const std::string& address)
{
    const std::size_t start = !address.empty() && address[0] == '+' ? 1 : 0;
    return address.find_first_not_of("0123456789*#abcF", start) == std::string::npos;
}

inline bool IsHexText(const std::string& text)
{
    return text.size() % 2 == 0 && text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

// What a PDU decoded from a text of `inputSize` characters may hold: no more
// octets than 255 of user data or than the text holds (the push format reads
// to its end), at most four bytes of internal text per octet or septet, a
// part numbered within its count with its data as hexadecimal text, and a
// readable PDU with a service centre of digits within the protocol's limit.
inline void RequireSoundPdu(const SMS_PDU_t& p, std::size_t inputSize)
{
    const std::size_t octets = inputSize / 2 > 255 ? inputSize / 2 : 255;
    FuzzRequire(p.byMessageType <= SMS_PDU_RESERVED && p.byAlphabet <= SMS_ALPHABET_NONE);
    FuzzRequire(p.strTime.size() <= 14);
    FuzzRequire(p.strText.size() <= 4 * octets && p.strUserText.size() <= 4 * octets &&
                p.strUrl.size() <= octets);
    FuzzRequire(IsHexText(p.strPartHex) && p.strPartHex.size() <= 2 * 255);
    FuzzRequire(p.bConcat ? p.nPartNo >= 1 && p.nPartNo <= p.nConcatTotal
                          : p.strPartHex.empty() && p.nPartNo == 0);
    if (p.bReadable) {
        FuzzRequire(p.byAlphabet != SMS_ALPHABET_NONE && IsAddress(p.strServiceCentre));
        const std::size_t plus = !p.strServiceCentre.empty() && p.strServiceCentre[0] == '+';
        FuzzRequire(p.strServiceCentre.size() - plus <= kMaxAddressDigits);
    }
}
