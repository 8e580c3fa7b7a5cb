#include <algorithm>
#include <cstdio>
#include <string>

#include "codec/charset_conv.h"
#include "codec/gsm7bit.h"
#include "codec/pdu.h"
#include "codec/pdu_address.h"
#include "codec/pdu_fields.h"
#include "codec/pdu_push.h"
#include "iconv/gb18030_text.h"

namespace {

// TP-UDHI, bit 6 of the first octet (3GPP TS 23.040 9.2.3.23).
const unsigned kUserDataHeader = 0x40;

// Information elements of a concatenated part (3GPP TS 23.040 9.2.3.24.1,
// 9.2.3.24.8): reference, part count and part number.
const unsigned kConcat8 = 0x00;
const unsigned kConcat16 = 0x08;

// TP-VPF, bits 4-3 of the SMS-SUBMIT first octet (3GPP TS 23.040 9.2.3.3):
// none, enhanced (7 octets), relative (1 octet), absolute (7 octets).
std::size_t ValidityPeriodOctets(unsigned firstOctet)
{
    static const std::size_t kOctets[] = {0, 7, 1, 7};
    return kOctets[(firstOctet >> 3) & 0x03];
}

unsigned OctetAt(const std::string& bytes, std::size_t pos)
{
    return static_cast<unsigned char>(bytes[pos]);
}

// What the user-data header says. `octets` is the header's size with its
// length octet (0 without a header); `fits` is false when a length reaches
// past the user data or past the header.
struct UserDataHeader {
    std::size_t octets = 0;
    bool fits = true;
    bool concat = false;
    unsigned ref = 0;
    unsigned total = 0;
    unsigned part = 0;
};

// 3GPP TS 23.040 9.2.3.24: TP-UDHL, then information elements (IEI, IEDL,
// data), each skipped by its length. The last concatenation element counts.
UserDataHeader WalkHeader(const std::string& ud)
{
    UserDataHeader header;
    if (ud.empty()) {
        header.fits = false;
        return header;
    }
    header.octets = 1 + OctetAt(ud, 0);
    const std::size_t end = std::min(header.octets, ud.size());
    header.fits = header.octets <= ud.size();
    std::size_t pos = 1;
    while (pos < end) {
        if (pos + 2 > end || pos + 2 + OctetAt(ud, pos + 1) > end) {
            header.fits = false;
            break;
        }
        const unsigned iei = OctetAt(ud, pos);
        const unsigned length = OctetAt(ud, pos + 1);
        const std::size_t data = pos + 2;
        if (iei == kConcat8 && length == 3) {
            header.ref = OctetAt(ud, data);
            header.total = OctetAt(ud, data + 1);
            header.part = OctetAt(ud, data + 2);
            header.concat = true;
        } else if (iei == kConcat16 && length == 4) {
            header.ref = (OctetAt(ud, data) << 8) | OctetAt(ud, data + 1);
            header.total = OctetAt(ud, data + 2);
            header.part = OctetAt(ud, data + 3);
            header.concat = true;
        }
        pos = data + length;
    }
    // A part number outside 1..count belongs to no message.
    header.concat = header.concat && header.part >= 1 && header.part <= header.total;
    return header;
}

void StoreUcs2Text(const std::string& ucs2, SMS_PDU_t& pdu)
{
    // An odd last octet is kept: a character cut between two parts joins whole.
    pdu.strUserText = ucs2;
    pdu.bUserTextUcs2 = true;
    pdu.strText = Ucs2ToAnsiString(ucs2);
}

// The start every decoder shares: the message type set, the service centre
// read. Returns the first octet.
unsigned BeginDecode(PduReader& reader, SMS_PDU_TYPE_t type, SMS_PDU_t& pdu)
{
    pdu.byMessageType = type;
    pdu.strServiceCentre = ReadServiceCentre(reader);
    return reader.Octet();
}

// TP-UDL and TP-UD of a DELIVER or a SUBMIT: the header, the concatenation
// fields and the text by the alphabet of byDcs. TP-UDL counts septets for
// the default alphabet and octets otherwise, header included (3GPP TS
// 23.040 9.2.3.16).
void ReadUserData(PduReader& reader, unsigned firstOctet, bool push, SMS_PDU_t& pdu)
{
    const SMS_ALPHABET_t alphabet = AlphabetOfDcs(pdu.byDcs);
    pdu.byAlphabet = (alphabet == SMS_ALPHABET_PUSH && !push) ? SMS_ALPHABET_8BIT : alphabet;
    const unsigned udl = reader.Octet();
    const std::string udHex = reader.Rest();
    const bool septets = pdu.byAlphabet == SMS_ALPHABET_GSM7;
    const std::size_t udOctets = septets ? (7 * udl + 7) / 8 : udl;
    const std::string ud = HexToBytes(reader.Take(2 * udOctets));
    bool readable = reader.Readable();

    UserDataHeader header;
    if ((firstOctet & kUserDataHeader) != 0 && udl > 0) {
        header = WalkHeader(ud);
        readable = readable && header.fits;
    }
    const std::string text = ud.substr(std::min(header.octets, ud.size()));
    if (header.concat) {
        pdu.bConcat = true;
        pdu.nConcatRef = static_cast<std::uint16_t>(header.ref);
        pdu.nConcatTotal = static_cast<std::uint16_t>(header.total);
        pdu.nPartNo = static_cast<std::uint16_t>(header.part);
        pdu.strPartHex = BytesToHex(text);
        if (pdu.byAlphabet == SMS_ALPHABET_UCS2) {
            pdu.byRefUcs2 = static_cast<std::uint8_t>(header.ref & 0xFF);
        }
    }

    switch (pdu.byAlphabet) {
    case SMS_ALPHABET_GSM7: {
        std::string all = UnpackSeptets(ud);
        // TP-UDL ends the text before the packing's spare bits can form a septet.
        all.resize(std::min<std::size_t>(all.size(), udl));
        // The header and the fill bits after it take whole septets.
        const std::size_t skip = (8 * header.octets + 6) / 7;
        readable = readable && skip <= udl;
        pdu.strUserText = SeptetsToUcs2(all.substr(std::min(skip, all.size())));
        pdu.bUserTextUcs2 = true;
        pdu.strText = Ucs2ToAnsiString(pdu.strUserText);
        break;
    }
    case SMS_ALPHABET_UCS2:
        StoreUcs2Text(text, pdu);
        break;
    case SMS_ALPHABET_8BIT:
        pdu.strUserText = text;
        pdu.strText = text;
        break;
    case SMS_ALPHABET_PUSH:
        DecodePushUserData(udHex, pdu);
        pdu.strUserText = pdu.strText;
        break;
    default:
        // Compressed or reserved: there is no text that could be shown.
        readable = false;
        break;
    }
    pdu.bReadable = readable;
}

// Time stamps (3GPP TS 23.040 9.2.3.11): 7 octets, each digit pair swapped.
std::string ReadTimeStamp(PduReader& reader)
{
    return DecodeSemiOctets(reader.Take(14));
}

}  // namespace

SMS_REPORT_STATUS_t ReportStatusOf(unsigned tpSt)
{
    tpSt &= 0xFF;
    if (tpSt <= 0x1F) {
        return SMS_REPORT_DELIVERED;
    }
    if (tpSt <= 0x3F) {
        return SMS_REPORT_PENDING;
    }
    return SMS_REPORT_FAILED;
}

const char* ReportStatusName(SMS_REPORT_STATUS_t status)
{
    switch (status) {
    case SMS_REPORT_DELIVERED:
        return "delivered";
    case SMS_REPORT_PENDING:
        return "pending";
    case SMS_REPORT_FAILED:
        break;
    }
    return "failed";
}

SMS_ALPHABET_t AlphabetOfDcs(unsigned dcs)
{
    dcs &= 0xFF;
    const unsigned group = dcs >> 4;
    if (group <= 0x7) {
        // General data coding, with or without class, and marked for
        // automatic deletion (01xx): bit 5 compressed, bits 3-2 the alphabet.
        if ((dcs & 0x20) != 0) {
            return SMS_ALPHABET_NONE;
        }
        static const SMS_ALPHABET_t kAlphabets[] = {SMS_ALPHABET_GSM7, SMS_ALPHABET_8BIT,
                                                    SMS_ALPHABET_UCS2, SMS_ALPHABET_NONE};
        return kAlphabets[(dcs >> 2) & 0x03];
    }
    switch (group) {
    case 0xC:  // message waiting, discard message
    case 0xD:  // message waiting, store message
        return SMS_ALPHABET_GSM7;
    case 0xE:  // message waiting, store message, UCS-2
        return SMS_ALPHABET_UCS2;
    case 0xF:  // data coding / message class; bit 3 is reserved
        if (dcs == 0xF5) {
            return SMS_ALPHABET_PUSH;
        }
        if ((dcs & 0x08) != 0) {
            return SMS_ALPHABET_NONE;
        }
        return (dcs & 0x04) != 0 ? SMS_ALPHABET_8BIT : SMS_ALPHABET_GSM7;
    default:  // 1000-1011: reserved coding groups
        return SMS_ALPHABET_NONE;
    }
}

// SMS-DELIVER, 3GPP TS 23.040 9.2.2.1: SCA, first octet, TP-OA, TP-PID,
// TP-DCS, TP-SCTS (7 semi-octet pairs, 9.2.3.11), TP-UDL, TP-UD.
SMS_PDU_t DecodeDeliverPdu(const std::string& text)
{
    SMS_PDU_t pdu;
    PduReader reader(text);
    const unsigned firstOctet = BeginDecode(reader, SMS_PDU_DELIVER, pdu);
    pdu.strNumber = ReadAddress(reader);
    pdu.byPid = static_cast<std::uint8_t>(reader.Octet());
    pdu.byDcs = static_cast<std::uint8_t>(reader.Octet());
    pdu.strTime = ReadTimeStamp(reader);
    ReadUserData(reader, firstOctet, true, pdu);
    return pdu;
}

// SMS-SUBMIT as stored, 3GPP TS 23.040 9.2.2.2: SCA, first octet, TP-MR,
// TP-DA, TP-PID, TP-DCS, TP-VP (length by TP-VPF), TP-UDL, TP-UD.
SMS_PDU_t DecodeSubmitPdu(const std::string& text)
{
    SMS_PDU_t pdu;
    PduReader reader(text);
    const unsigned firstOctet = BeginDecode(reader, SMS_PDU_SUBMIT, pdu);
    pdu.byReference = static_cast<std::uint8_t>(reader.Octet());
    pdu.strNumber = ReadAddress(reader);
    pdu.byPid = static_cast<std::uint8_t>(reader.Octet());
    pdu.byDcs = static_cast<std::uint8_t>(reader.Octet());
    reader.Take(2 * ValidityPeriodOctets(firstOctet));
    ReadUserData(reader, firstOctet, false, pdu);
    return pdu;
}

// SMS-STATUS-REPORT, 3GPP TS 23.040 9.2.2.3: SCA, first octet, TP-MR,
// TP-RA, TP-SCTS, TP-DT, TP-ST; the optional fields after it are not read.
SMS_PDU_t DecodeStatusReportPdu(const std::string& text)
{
    SMS_PDU_t pdu;
    PduReader reader(text);
    BeginDecode(reader, SMS_PDU_STATUS_REPORT, pdu);
    pdu.byReference = static_cast<std::uint8_t>(reader.Octet());
    pdu.strNumber = ReadAddress(reader);
    ReadTimeStamp(reader);  // the service centre time stamp
    pdu.strTime = ReadTimeStamp(reader);
    pdu.byStatus = static_cast<std::uint8_t>(reader.Octet());
    char words[96];
    std::snprintf(words, sizeof words, "Delivery report for message %u: %s (TP-ST 0x%02X)",
                  static_cast<unsigned>(pdu.byReference),
                  ReportStatusName(ReportStatusOf(pdu.byStatus)),
                  static_cast<unsigned>(pdu.byStatus));
    pdu.strUserText = words;
    pdu.strText = pdu.strUserText;
    pdu.bReadable = reader.Readable();
    return pdu;
}

SMS_PDU_t DecodeStoredPdu(const std::string& text)
{
    PduReader reader(text);
    reader.Take(2 * reader.Octet());
    switch (reader.Octet() & 0x03) {
    case SMS_PDU_DELIVER:
        return DecodeDeliverPdu(text);
    case SMS_PDU_SUBMIT:
        return DecodeSubmitPdu(text);
    case SMS_PDU_STATUS_REPORT:
        return DecodeStatusReportPdu(text);
    default: {
        SMS_PDU_t pdu;
        pdu.byMessageType = SMS_PDU_RESERVED;
        return pdu;
    }
    }
}
