#include <string>

#include "codec/charset_conv.h"
#include "codec/gb18030_text.h"
#include "codec/gsm7bit.h"
#include "codec/pdu.h"
#include "codec/pdu_fields.h"

namespace {

// The user-data header the decoders recognise: UDHL 05, IEI 00, IEDL 03
// (3GPP TS 23.040 9.2.3.24.1), then reference, parts and part number.
const char kConcatHeader[] = "050003";
const std::size_t kConcatHeaderOctets = 6;
const std::size_t kConcatHeaderChars = 2 * kConcatHeaderOctets;

// 6 header octets and one fill bit are 49 bits: exactly 7 septets.
const std::size_t kConcatHeaderSeptets = 7;

const std::size_t kTextBytes = sizeof(SMS_PDU_PARAM_t::szText) - 1;

// TP-VPF, bits 4-3 of the SMS-SUBMIT first octet (3GPP TS 23.040 9.2.3.3):
// none, enhanced (7 octets), relative (1 octet), absolute (7 octets).
std::size_t ValidityPeriodOctets(unsigned firstOctet)
{
    static const std::size_t kOctets[] = {0, 7, 1, 7};
    return kOctets[(firstOctet >> 3) & 0x03];
}

std::string UserDataOctets(const std::string& ud, std::size_t first, std::size_t count)
{
    if (2 * first >= ud.size()) {
        return std::string();
    }
    return HexToBytes(ud.substr(2 * first, 2 * count));
}

}  // namespace

// TP-DCS (3GPP TS 23.038 4): 0x00 default alphabet, 0x04 8-bit data; every
// other value is taken as UCS-2. TP-UDL counts septets for the default
// alphabet and octets otherwise (TS 23.040 9.2.3.16).
void DecodeUserDataText(unsigned udl, const std::string& ud, std::size_t headerOctets,
                        SMS_PDU_PARAM_t& param)
{
    std::string text;
    if (param.byDcs == 0x00) {
        std::string septets = UnpackSeptets(UserDataOctets(ud, 0, (7 * udl + 7) / 8));
        // TP-UDL ends the text before the packing's spare bits can form a septet.
        septets.resize(std::min<std::size_t>(septets.size(), udl));
        const std::size_t skip = headerOctets > 0 ? kConcatHeaderSeptets : 0;
        text = SeptetsToText(septets.substr(std::min(skip, septets.size())));
        text.resize(std::min(text.size(), kTextBytes));
    } else {
        // TP-UDL counts the header octets too.
        const std::string octets =
            UserDataOctets(ud, headerOctets, udl > headerOctets ? udl - headerOctets : 0);
        text = param.byDcs == 0x04 ? octets.substr(0, kTextBytes) : Ucs2ToAnsi(octets, kTextBytes);
    }
    StoreField(param.szText, text);
}

// SMS-DELIVER, 3GPP TS 23.040 9.2.2.1: SCA, first octet, TP-OA, TP-PID,
// TP-DCS, TP-SCTS (7 semi-octet pairs, 9.2.3.11), TP-UDL, TP-UD.
void DecodeDeliverPdu(const std::string& pdu, SMS_PDU_PARAM_t& param)
{
    StoreField(param.szText, std::string());
    param.bConcat = false;

    PduReader reader(pdu);
    ReadServiceCentre(reader, param);
    const unsigned firstOctet = reader.Octet();
    ReadAddress(reader, param);
    param.byPid = static_cast<std::uint8_t>(reader.Octet());
    param.byDcs = static_cast<std::uint8_t>(reader.Octet());
    StoreField(param.szTime, DecodeSemiOctets(reader.Take(14)));
    const unsigned udl = reader.Octet();
    const std::string ud = reader.Rest();

    // The header is known by its first six characters; TP-UDHI is not read,
    // but first octets 0x04 and 0x24 (no header indicated) rule it out.
    const bool concat = firstOctet != 0x04 && firstOctet != 0x24 &&
                        ud.size() > kConcatHeaderChars && ud.compare(0, 6, kConcatHeader) == 0;
    if (concat) {
        const std::string header = HexToBytes(ud.substr(0, kConcatHeaderChars));
        param.bConcat = true;
        param.nConcatRef = static_cast<unsigned char>(header[3]);
        param.nConcatTotal = static_cast<unsigned char>(header[4]);
        param.nPartNo = static_cast<unsigned char>(header[5]);
        const std::size_t partChars =
            2 * udl > kConcatHeaderChars ? 2 * udl - kConcatHeaderChars : 0;
        StoreField(param.szPartHex, ud.substr(kConcatHeaderChars, partChars));
        param.nPartHexLen = static_cast<std::int32_t>(std::strlen(param.szPartHex));
    }

    if (param.byDcs == 0xF5) {
        DecodePushUserData(ud, param);
        return;
    }
    const bool ucs2 = param.byDcs != 0x00 && param.byDcs != 0x04;
    if (concat && ucs2) {
        param.byRefUcs2 = static_cast<std::uint8_t>(param.nConcatRef);
    }
    DecodeUserDataText(udl, ud, concat ? kConcatHeaderOctets : 0, param);
}

// SMS-SUBMIT as stored, 3GPP TS 23.040 9.2.2.2: SCA, first octet, TP-MR,
// TP-DA, TP-PID, TP-DCS, TP-VP (length by TP-VPF), TP-UDL, TP-UD.
void DecodeSubmitPdu(const std::string& pdu, SMS_PDU_PARAM_t& param)
{
    StoreField(param.szText, std::string());

    PduReader reader(pdu);
    ReadServiceCentre(reader, param);
    const unsigned firstOctet = reader.Octet();
    reader.Octet();
    ReadAddress(reader, param);
    param.byPid = static_cast<std::uint8_t>(reader.Octet());
    param.byDcs = static_cast<std::uint8_t>(reader.Octet());
    reader.Take(2 * ValidityPeriodOctets(firstOctet));
    const unsigned udl = reader.Octet();
    DecodeUserDataText(udl, reader.Rest(), 0, param);
}
