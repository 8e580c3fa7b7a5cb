#pragma once
// SMS PDU codec: SMS-SUBMIT builders and SMS-DELIVER / SMS-SUBMIT decoders
// (3GPP TS 23.040, data coding of TS 23.038), over upper-case hexadecimal text.
//
// A PDU read from a modem is untrusted: every decoder stays inside its input
// and inside the fixed fields of SMS_PDU_PARAM_t for any text at all
// (truncated, odd length, lower case, non-hex, lengths that lie, over-long
// user data or originators); every text field it writes ends with a NUL
// inside its size. What a field gets when the PDU does not fit it:
//   - a length that reaches past the text: what the text holds (a short or
//     empty field); an octet past the end reads as 0;
//   - szSca: the first 15 digits; szNumber: the first 31 characters;
//   - szText: 7-bit and 8-bit texts cut after 160 bytes; a UCS-2 text that
//     does not fit 160 bytes as in Ucs2ToAnsi (characters GBK lacks as "?",
//     else empty); the push text cut after 160 bytes at a character boundary;
//   - szUrl: the first 128 bytes; szPartHex: the first 535 characters.
// Non-hex or lower-case characters are read with HexToBytes' arithmetic: a
// wrong but defined value. A PDU text ends at its first NUL.

#include <cstdint>
#include <string>
#include <vector>

struct SMS_PDU_PARAM_t {
    std::uint16_t nPartNo = 0;      // decoding: part number of a concatenated part (1 = first)
    char szSca[16] = {};            // service centre, digits with optional leading "+"
    char szNumber[32] = {};         // destination (sending) / originator or destination (decoding)
    std::uint8_t byPid = 0;         // TP-PID
    std::uint8_t byDcs = 0;         // TP-DCS; sending: 8 (UCS-2)
    char szTime[15] = {};           // decoding a DELIVER: time stamp as 14 digits
    const char* pLongText = nullptr;  // sending a long text: NUL-terminated, owned by the caller
    char szText[161] = {};          // sending one PDU: the text; decoding: the decoded text
    char szUrl[129] = {};           // decoding data coding 0xF5: the URL
    std::uint8_t byRefUcs2 = 0;     // decoding: concatenation reference of a UCS-2 part
    bool bNational = false;         // sending: destination in national form
    char szPartHex[536] = {};       // decoding a part: user data after the 6-octet header, hex
    std::int32_t nPartHexLen = 0;   // characters in szPartHex
    bool bConcat = false;           // decoding: the PDU is a concatenated part
    std::uint16_t nConcatRef = 0;   // decoding: concatenation reference
    std::uint16_t nConcatTotal = 0; // decoding: number of parts
};

// The builders read the number fields up to their NUL or their size less
// one (szSca at most 15 characters: a longer service centre is cut there,
// szNumber at most 31), drop a leading "+" and leave out every character
// other than 0-9, so the PDU is always hexadecimal text. An empty szSca gives
// the field "0191".

// One UCS-2 SMS-SUBMIT PDU for szSca, szNumber, bNational and szText.
// Returns the PDU text followed by Ctrl-Z (0x1A); `command` receives
// "AT+CMGS=<octets after the service-centre field>\r". A text of more than
// 70 UCS-2 units (140 octets) does not fit one PDU: both results are empty.
std::string BuildSubmitPdu(const SMS_PDU_PARAM_t& param, std::string& command);

// The header common to all parts of a concatenated message (service centre up
// to the validity period).
std::string BuildConcatHeader(const SMS_PDU_PARAM_t& param);

// The parts of a long text (pLongText, converted to UCS-2): 67 UCS-2 units per
// part (66 where the 67th would be the first half of a surrogate pair: each
// part stays readable on its own), each with the 8-bit-reference
// concatenation header. PDU texts without Ctrl-Z, in part order. Takes one
// reference from NextConcatRef. An empty or missing text, or one that would
// need more than 255 parts, gives an empty list and takes no reference.
std::vector<std::string> BuildConcatPdus(const SMS_PDU_PARAM_t& param);

// The next concatenation reference, 1 to 255 and then 1 again, process-wide;
// the first value derives from a millisecond tick count. Safe to call from
// several threads.
int NextConcatRef();

// Fill the fields named by the decoders from a PDU text (service-centre part
// included). Fields not named keep what they held.
//
// DecodeDeliverPdu writes szSca, szNumber, byPid, byDcs, szTime, szText and
// bConcat; for a part with the 6-octet header (050003, first octet neither
// 0x04 nor 0x24) also nConcatRef, nConcatTotal, nPartNo, szPartHex and
// nPartHexLen, and byRefUcs2 for a UCS-2 part; szUrl for data coding 0xF5.
// The text of a part leaves the header out, for every coding (7-bit: the
// header and its fill bit are 7 septets). A 7-bit text ends after TP-UDL
// septets, before the escape pairs are mapped.
void DecodeDeliverPdu(const std::string& pdu, SMS_PDU_PARAM_t& param);

// DecodeSubmitPdu writes szSca, szNumber, byPid, byDcs and szText; the
// validity period is skipped by the length TP-VPF gives it (none, 1 or 7
// octets). No concatenation handling; 0xF5 is read as UCS-2.
void DecodeSubmitPdu(const std::string& pdu, SMS_PDU_PARAM_t& param);
