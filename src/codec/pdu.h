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
//   - szSca: the first 15 characters; szNumber: the first 47 bytes, cut
//     at a character boundary;
//   - szText: UCS-2 texts that do not fit 160 bytes as in Ucs2ToAnsi
//     (characters GBK lacks as "?", else empty); default-alphabet and push
//     texts cut after 160 bytes at a character boundary, 8-bit texts after
//     160 bytes (strUserText keeps the whole text);
//   - szUrl: the first 128 bytes; szPartHex: the first 535 characters.
// Lower-case digits are read as hexadecimal; other non-hex characters are
// read with HexToBytes' arithmetic (a wrong but defined value) and leave the
// PDU unreadable (bReadable false). A PDU text ends at its first NUL.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// TP-MTI of a stored PDU (3GPP TS 23.040 9.2.3.1): what a modem keeps in
// its storages.
enum SMS_PDU_TYPE_t : std::uint8_t {
    SMS_PDU_DELIVER = 0,        // a received message
    SMS_PDU_SUBMIT = 1,         // a stored outgoing message
    SMS_PDU_STATUS_REPORT = 2,  // a report on the delivery of a sent message
    SMS_PDU_RESERVED = 3,
};

// The alphabet that TP-DCS gives the user data (3GPP TS 23.038 4).
enum SMS_ALPHABET_t : std::uint8_t {
    SMS_ALPHABET_GSM7 = 0,  // default alphabet, septets
    SMS_ALPHABET_8BIT = 1,  // 8-bit data
    SMS_ALPHABET_UCS2 = 2,
    SMS_ALPHABET_PUSH = 3,  // 0xF5: the push format (URL and UTF-8 text)
    SMS_ALPHABET_NONE = 4,  // compressed text or a reserved coding: no text to read
};

struct SMS_PDU_PARAM_t {
    std::uint16_t nPartNo = 0;  // decoding: part number of a concatenated part (1 = first)
    char szSca[16] = {};        // service centre, digits with optional leading "+"
    // Sending: the destination (at most 31 characters are read); decoding:
    // originator, destination or recipient (an alphanumeric one of 11
    // letters takes up to 44 bytes).
    char szNumber[48] = {};
    std::uint8_t byPid = 0;           // TP-PID
    std::uint8_t byDcs = 0;           // TP-DCS; sending: 8 (UCS-2)
    char szTime[15] = {};             // decoding: time stamp as 14 digits (a status report's TP-DT)
    const char* pLongText = nullptr;  // sending a long text: NUL-terminated, owned by the caller
    char szText[161] = {};            // sending one PDU: the text; decoding: the decoded text
    char szUrl[129] = {};             // decoding data coding 0xF5: the URL
    std::uint8_t byRefUcs2 = 0;       // decoding: concatenation reference of a UCS-2 part
    bool bNational = false;           // sending: destination in national form
    char szPartHex[536] = {};         // decoding a part: user data after the user-data header, hex
    std::int32_t nPartHexLen = 0;     // characters in szPartHex
    bool bConcat = false;             // decoding: the PDU is a concatenated part
    std::uint16_t nConcatRef = 0;     // decoding: concatenation reference (8 or 16 bits)
    std::uint16_t nConcatTotal = 0;   // decoding: number of parts

    std::uint8_t byMessageType = SMS_PDU_DELIVER;  // decoding: TP-MTI (SMS_PDU_TYPE_t)
    std::uint8_t byAlphabet = SMS_ALPHABET_GSM7;   // decoding: SMS_ALPHABET_t of byDcs
    std::uint8_t byReference = 0;                  // decoding a SUBMIT or a status report: TP-MR
    std::uint8_t byStatus = 0;                     // decoding a status report: TP-ST
    // Decoding: every field the PDU announces is there (user data and header
    // included) and its text is in a coding that can be read. A PDU that is
    // not readable may still have filled some fields.
    bool bReadable = false;
    // Decoding: the whole text (of a part: after its header), without the
    // 160-byte bound of szText, in the form parts are joined in: UCS-2 units
    // when bUserTextUcs2 (default alphabet and UCS-2 codings, so a character
    // split between two parts joins whole), internal text otherwise (8-bit
    // data as it is, the push text, a status report's words).
    std::string strUserText;
    bool bUserTextUcs2 = false;
};

// Writes `value` into a fixed field of SMS_PDU_PARAM_t: zero-filled, at
// most N-1 bytes, always NUL-terminated.
template <std::size_t N>
void StoreField(char (&field)[N], const std::string& value)
{
    std::memset(field, 0, N);
    std::memcpy(field, value.data(), value.size() < N ? value.size() : N - 1);
}

// The text of a fixed field up to its first NUL, never beyond the field.
template <std::size_t N>
std::string FieldText(const char (&field)[N])
{
    const void* nul = std::memchr(field, 0, N);
    return std::string(field, nul ? static_cast<const char*>(nul) - field : N);
}

// The builders read the number fields up to their NUL or their size less
// one (szSca at most 15 characters: a longer service centre is cut there;
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

// One message made of decoded PDUs: a single PDU, or the parts of a
// concatenated message.
struct SMS_JOINED_t {
    std::vector<std::size_t> vecParts;  // positions in the input, in part order
    std::string strText;                // the whole text, internal code page
};

// Joins decoded PDUs into messages (3GPP TS 23.040 9.2.3.24.1, .8). Parts
// belong to one message when they have the same message type, number
// (szNumber), reference (0 is a reference like any other) and part count;
// their order in the input does not matter. A part number met a second time
// starts a second message of that key, so parts of different messages are
// never joined; a missing part leaves the others together. The text is
// decoded once for the whole message: runs of parts whose text is UCS-2
// units are joined as units (a character split between parts comes out
// whole), the other parts add their own text. A PDU that is no part is a
// message of its own. Messages come in the order of their first PDU in the
// input.
std::vector<SMS_JOINED_t> JoinConcatParts(const std::vector<const SMS_PDU_PARAM_t*>& pdus);

// Fill the fields named by the decoders from a PDU text (service-centre part
// included). Fields not named keep what they held. Lower-case hexadecimal
// digits are read as upper-case ones.
//
// Addresses are read by their type of number (3GPP TS 23.040 9.1.2.5):
// international numbers (and service centres) get a leading "+",
// alphanumeric ones (type 101) are default-alphabet text, the semi-octets
// A to E are "*", "#", "a", "b", "c".
//
// The user-data header (TP-UDHI set) is walked element by element by its
// lengths; a concatenation element with an 8-bit (IEI 00) or a 16-bit
// (IEI 08) reference makes the PDU a part (part number 1 to the part
// count). The header is never part of the text; in the default alphabet
// the text starts at the septet after the header and its fill bits. A
// header whose lengths reach past the user data leaves the text that fits
// after it and makes the PDU unreadable.
//
// DecodeDeliverPdu writes szSca, szNumber, byPid, byDcs, szTime, szText,
// byMessageType, byAlphabet, bReadable, strUserText, bUserTextUcs2 and
// bConcat; for a part also nConcatRef, nConcatTotal, nPartNo, szPartHex and
// nPartHexLen, and byRefUcs2 (the reference's low octet) for a UCS-2 part;
// szUrl for data coding 0xF5.
void DecodeDeliverPdu(const std::string& pdu, SMS_PDU_PARAM_t& param);

// DecodeSubmitPdu writes the fields of DecodeDeliverPdu but szTime and szUrl
// (0xF5 is read as 8-bit data), and byReference; the validity period is
// skipped by the length TP-VPF gives it (none, 1 or 7 octets).
void DecodeSubmitPdu(const std::string& pdu, SMS_PDU_PARAM_t& param);

// SMS-STATUS-REPORT (3GPP TS 23.040 9.2.2.3). Writes szSca, szNumber (the
// recipient it reports on), szTime (the discharge time TP-DT), byReference,
// byStatus, byMessageType, bReadable, bConcat (false) and the text: the
// outcome in words with the TP-ST value, such as
// "Delivery report for message 7: delivered (TP-ST 0x00)".
void DecodeStatusReportPdu(const std::string& pdu, SMS_PDU_PARAM_t& param);

// A stored PDU decoded by its own TP-MTI: DELIVER, SUBMIT or STATUS-REPORT.
// A reserved TP-MTI writes byMessageType and leaves the PDU unreadable.
void DecodeStoredPdu(const std::string& pdu, SMS_PDU_PARAM_t& param);

// The alphabet of a TP-DCS value (3GPP TS 23.038 4): the general groups
// (with or without class, and marked for deletion) by bits 3-2 when bit 5
// (compressed) is clear, the message-waiting groups (discard and store:
// default alphabet; store UCS-2), the 0xF0 group by bit 2 (0xF5 is the push
// format). Compressed texts and reserved codings have no readable alphabet.
SMS_ALPHABET_t AlphabetOfDcs(unsigned dcs);
