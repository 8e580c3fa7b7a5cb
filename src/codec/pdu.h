#pragma once
// SMS PDU codec: SMS-SUBMIT builders and SMS-DELIVER / SMS-SUBMIT decoders
// (3GPP TS 23.040, data coding of TS 23.038), over upper-case hexadecimal text.
//
// A PDU read from a modem is untrusted: every decoder stays inside its input
// and inside the fixed fields of SMS_PDU_PARAM_t for any text at all
// (truncated, odd length, lower case, non-hex, lengths that lie, over-long
// user data or originators). A field that does not fit is truncated; nothing
// is written or read out of bounds.

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

// One UCS-2 SMS-SUBMIT PDU for szSca, szNumber, bNational and szText.
// Returns the PDU text followed by Ctrl-Z (0x1A); `command` receives
// "AT+CMGS=<octets after the service-centre field>\r".
std::string BuildSubmitPdu(const SMS_PDU_PARAM_t& param, std::string& command);

// The header common to all parts of a concatenated message (service centre up
// to the validity period).
std::string BuildConcatHeader(const SMS_PDU_PARAM_t& param);

// The parts of a long text (pLongText, converted to UCS-2): 67 characters per
// part, each with the 8-bit-reference concatenation header. PDU texts without
// Ctrl-Z, in part order. Takes one reference from NextConcatRef. A text that
// would need more than 255 parts gives an empty list.
std::vector<std::string> BuildConcatPdus(const SMS_PDU_PARAM_t& param);

// The next concatenation reference, 1 to 255, process-wide; the first value
// derives from a millisecond tick count.
int NextConcatRef();

// Fill the fields named by the decoders from a PDU text (service-centre part
// included). Fields not named keep what they held.
void DecodeDeliverPdu(const std::string& pdu, SMS_PDU_PARAM_t& param);
void DecodeSubmitPdu(const std::string& pdu, SMS_PDU_PARAM_t& param);
