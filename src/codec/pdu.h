#pragma once
// SMS PDU codec: SMS-SUBMIT builders and SMS-DELIVER / SMS-SUBMIT /
// SMS-STATUS-REPORT decoders (3GPP TS 23.040, data coding of TS 23.038),
// over upper-case hexadecimal text. Requests and results are values.
//
// A PDU read from a modem is untrusted: every decoder stays inside its input
// for any text at all (truncated, odd length, lower case, non-hex, lengths
// that lie, over-long user data or addresses). Nothing is cut to fit: a
// field gets what the PDU holds, and a PDU that breaks the layout or a limit
// of the protocol is not readable (bReadable false), whatever some fields
// hold:
//   - a length that reaches past the text: what the text holds (a short or
//     empty field); an octet past the end reads as 0;
//   - an address (service centre, originator, destination, recipient) of
//     more than kMaxAddressDigits semi-octets.
// Lower-case digits are read as hexadecimal; other non-hex characters are
// read with HexToBytes' arithmetic (a wrong but defined value) and leave the
// PDU unreadable. A PDU text ends at its first NUL.

#include <cstddef>
#include <cstdint>
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

// The longest address of a PDU, in digits (semi-octets): 3GPP TS 23.040
// 9.1.2.5 gives an address field 12 octets at most, its length and type of
// address included. Also the limit of the service centre's field (TS 24.011
// 8.2.5.1).
inline constexpr std::size_t kMaxAddressDigits = 20;
// The longest service centre number the builders take, in characters after
// a leading "+": an E.164 number.
inline constexpr std::size_t kMaxServiceCentreChars = 15;

// What the builders make one SMS-SUBMIT, or the parts of a long one, from.
struct SMS_SUBMIT_REQUEST_t {
    // Digits with an optional leading "+"; empty: none (the field "0191").
    std::string strServiceCentre;
    // The PDU names no centre at all (the field "00"): the modem sends
    // through the centre it has set. strServiceCentre is then not used.
    bool bCentreFromModem = false;
    // The destination: digits with an optional leading "+".
    std::string strNumber;
    bool bNational = false;  // the destination is in national form (its address type)
    std::string strText;     // internal code page; sent as UCS-2
    // TP-SRR (3GPP TS 23.040 9.2.3.5): the network is asked for a status
    // report on the delivery of the message (of every part of a long one).
    bool bStatusReport = false;
};

// One SMS-SUBMIT PDU, or why it could not be built.
struct SMS_SUBMIT_PDU_t {
    std::string strPdu;      // the PDU text followed by Ctrl-Z (0x1A)
    std::string strCommand;  // "AT+CMGS=<octets after the service-centre field>\r"
    std::string strError;    // empty when built; otherwise both texts are empty
};

// The parts of a concatenated message, or why there are none.
struct SMS_CONCAT_PDUS_t {
    std::vector<std::string> vecPdus;  // PDU texts without Ctrl-Z, in part order
    std::string strError;              // empty when built; otherwise there are no parts
};

// A decoded PDU. A decoder fills the fields its message type has; the
// others keep their empty values.
struct SMS_PDU_t {
    std::uint8_t byMessageType = SMS_PDU_DELIVER;  // TP-MTI (SMS_PDU_TYPE_t)
    std::string strServiceCentre;                  // "+" before an international number
    // Originator (DELIVER), destination (SUBMIT) or recipient (STATUS-REPORT):
    // "+" before an international number; an alphanumeric one as text.
    std::string strNumber;
    std::uint8_t byPid = 0;                       // TP-PID
    std::uint8_t byDcs = 0;                       // TP-DCS
    std::uint8_t byAlphabet = SMS_ALPHABET_GSM7;  // SMS_ALPHABET_t of byDcs
    // DELIVER: the service centre time stamp; STATUS-REPORT: the discharge
    // time (TP-DT). 14 digits, two each for year, month, day, hour, minute,
    // second and time zone, when the PDU holds them.
    std::string strTime;
    std::uint8_t byReference = 0;  // SUBMIT and STATUS-REPORT: TP-MR
    std::uint8_t byStatus = 0;     // STATUS-REPORT: TP-ST
    // The text of this PDU alone (of a part: after its header), internal
    // code page; a status report's outcome in words.
    std::string strText;
    std::string strUrl;  // data coding 0xF5: the URL
    // The text in the form parts are joined in: UCS-2 units when
    // bUserTextUcs2 (default alphabet and UCS-2 codings, so a character split
    // between two parts joins whole), internal text otherwise (8-bit data as
    // it is, the push text, a status report's words).
    std::string strUserText;
    bool bUserTextUcs2 = false;
    // Every field the PDU announces is there (user data and header
    // included), within the limits of the protocol, and its text is in a
    // coding that can be read.
    bool bReadable = false;

    // A part of a concatenated message (3GPP TS 23.040 9.2.3.24.1, .8).
    bool bConcat = false;
    std::uint16_t nConcatRef = 0;    // reference, 8 or 16 bits
    std::uint16_t nConcatTotal = 0;  // number of parts
    std::uint16_t nPartNo = 0;       // this part's number, 1 to nConcatTotal
    std::uint8_t byRefUcs2 = 0;      // the reference's low octet, for a UCS-2 part
    std::string strPartHex;          // the user data after the header, hexadecimal
};

// The builders drop a leading "+" of the numbers and leave out every
// character other than 0-9, so the PDU is always hexadecimal text. A
// request they cannot build gives no PDU and the reason in strError:
//   - a service centre of more than kMaxServiceCentreChars characters after
//     its "+": "Service centre number too long: <as given>";
//   - a destination of more than kMaxAddressDigits digits:
//     "Destination number too long: <as given>".

// One UCS-2 SMS-SUBMIT PDU. A text of more than 70 UCS-2 units (140
// octets) does not fit one PDU: "Text too long for one SMS".
SMS_SUBMIT_PDU_t BuildSubmitPdu(const SMS_SUBMIT_REQUEST_t& request);

// The header common to all parts of a concatenated message (service centre
// up to the validity period); empty for a request the builders refuse.
std::string BuildConcatHeader(const SMS_SUBMIT_REQUEST_t& request);

// The parts of a long text (converted to UCS-2): 67 UCS-2 units per part
// (66 where the 67th would be the first half of a surrogate pair: each part
// stays readable on its own), each with the 8-bit-reference concatenation
// header. Takes one reference from NextConcatRef. An empty text, or one that
// would need more than 255 parts, gives no parts ("Text cannot be sent as
// concatenated SMS") and takes no reference.
SMS_CONCAT_PDUS_t BuildConcatPdus(const SMS_SUBMIT_REQUEST_t& request);

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
// (strNumber), reference (0 is a reference like any other) and part count;
// their order in the input does not matter. A part number met a second time
// starts a second message of that key, so parts of different messages are
// never joined; a missing part leaves the others together. The text is
// decoded once for the whole message: runs of parts whose text is UCS-2
// units are joined as units (a character split between parts comes out
// whole), the other parts add their own text. A PDU that is no part is a
// message of its own. Messages come in the order of their first PDU in the
// input.
std::vector<SMS_JOINED_t> JoinConcatParts(const std::vector<const SMS_PDU_t*>& pdus);

// The decoders read a PDU text (service-centre part included).
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

// SMS-DELIVER (3GPP TS 23.040 9.2.2.1): the service centre, the originator,
// TP-PID, TP-DCS, the time stamp and the text; the concatenation fields of a
// part; the URL and text of data coding 0xF5.
SMS_PDU_t DecodeDeliverPdu(const std::string& pdu);

// SMS-SUBMIT as a modem stores it (9.2.2.2): the fields of DecodeDeliverPdu
// but the time stamp and the URL (0xF5 is read as 8-bit data), and TP-MR;
// the validity period is skipped by the length TP-VPF gives it (none, 1 or
// 7 octets).
SMS_PDU_t DecodeSubmitPdu(const std::string& pdu);

// SMS-STATUS-REPORT (9.2.2.3): the service centre, the recipient it reports
// on, the discharge time (TP-DT), TP-MR, TP-ST and the text: the outcome in
// words (ReportStatusName) with the TP-ST value, such as
// "Delivery report for message 7: delivered (TP-ST 0x00)".
SMS_PDU_t DecodeStatusReportPdu(const std::string& pdu);

// What a status report says of the message it reports on, by the ranges of
// TP-ST (3GPP TS 23.040 9.2.3.15).
enum SMS_REPORT_STATUS_t : std::uint8_t {
    SMS_REPORT_DELIVERED,  // 0x00-0x1F: the transaction is complete
    SMS_REPORT_PENDING,    // 0x20-0x3F: a temporary error, the centre keeps trying
    // 0x40-0x7F: a permanent error, or a temporary one after which the
    // centre tries no more. The values with bit 7 set are reserved; they
    // confirm no delivery and promise no further attempt, so they count as
    // failed too.
    SMS_REPORT_FAILED,
};
SMS_REPORT_STATUS_t ReportStatusOf(unsigned tpSt);
// "delivered", "pending" or "failed".
const char* ReportStatusName(SMS_REPORT_STATUS_t status);

// A stored PDU decoded by its own TP-MTI: DELIVER, SUBMIT or STATUS-REPORT.
// A reserved TP-MTI gives only byMessageType, and the PDU is unreadable.
SMS_PDU_t DecodeStoredPdu(const std::string& pdu);

// The alphabet of a TP-DCS value (3GPP TS 23.038 4): the general groups
// (with or without class, and marked for deletion) by bits 3-2 when bit 5
// (compressed) is clear, the message-waiting groups (discard and store:
// default alphabet; store UCS-2), the 0xF0 group by bit 2 (0xF5 is the push
// format). Compressed texts and reserved codings have no readable alphabet.
SMS_ALPHABET_t AlphabetOfDcs(unsigned dcs);
