#include "codec/pdu_address.h"

#include "codec/charset_conv.h"
#include "codec/gsm7bit.h"
#include "iconv/gb18030_text.h"

namespace {

// Type of number, bits 6-4 of the type-of-address octet (3GPP TS 23.040
// 9.1.2.5).
const unsigned kInternational = 1;
const unsigned kAlphanumeric = 5;

unsigned TypeOfNumber(unsigned typeOctet)
{
    return (typeOctet >> 4) & 0x07;
}

// Semi-octet digits, each pair swapped, a final "F" filler dropped; the
// values 10 to 14 are "*", "#", "a", "b", "c" (3GPP TS 23.040 9.1.2.3).
std::string AddressDigitsOf(const std::string& swapped)
{
    std::string digits = DecodeSemiOctets(swapped);
    for (char& c : digits) {
        switch (c) {
        case 'A':
            c = '*';
            break;
        case 'B':
            c = '#';
            break;
        case 'C':
            c = 'a';
            break;
        case 'D':
            c = 'b';
            break;
        case 'E':
            c = 'c';
            break;
        default:
            break;
        }
    }
    return digits;
}

std::string WithPlus(const std::string& digits, unsigned typeOctet)
{
    return TypeOfNumber(typeOctet) == kInternational && !digits.empty() ? "+" + digits : digits;
}

}  // namespace

std::string ServiceCentreField(const SMS_PDU_PARAM_t& param)
{
    const std::string digits = EncodeSemiOctets(AddressDigits(param.szSca));
    return HexOctet(static_cast<unsigned>(digits.size() / 2 + 1)) + "91" + digits;
}

// 3GPP TS 24.011 8.2.5.1: length in octets (type octet included), type, then
// the digits as semi-octets. Length 0 is an empty field.
void ReadServiceCentre(PduReader& reader, SMS_PDU_PARAM_t& param)
{
    const unsigned length = reader.Octet();
    std::string number;
    if (length > 0) {
        const unsigned type = reader.Octet();
        number = WithPlus(AddressDigitsOf(reader.Take(2 * (length - 1))), type);
    }
    StoreField(param.szSca, number);
}

// 3GPP TS 23.040 9.1.2.5: length in semi-octets (digits), type octet, digits
// padded with "F" to whole octets. An alphanumeric address is packed
// default-alphabet text; its length counts the semi-octets it fills.
void ReadAddress(PduReader& reader, SMS_PDU_PARAM_t& param)
{
    const unsigned length = reader.Octet();
    const unsigned type = reader.Octet();
    const std::string value = reader.Take(length + (length & 1));
    std::string number;
    if (TypeOfNumber(type) == kAlphanumeric) {
        std::string septets = UnpackSeptets(HexToBytes(value));
        septets.resize(std::min<std::size_t>(septets.size(), length * 4 / 7));
        number = SeptetsToText(septets);
    } else {
        number = WithPlus(AddressDigitsOf(value), type);
    }
    StoreField(param.szNumber, CutToCharBoundary(number, sizeof param.szNumber - 1));
}
