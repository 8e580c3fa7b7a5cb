#include "codec/pdu_address.h"

#include <algorithm>

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

std::string AddressDigits(const std::string& number)
{
    std::string digits;
    for (std::size_t i = (!number.empty() && number[0] == '+') ? 1 : 0; i < number.size(); ++i) {
        if (number[i] >= '0' && number[i] <= '9') {
            digits.push_back(number[i]);
        }
    }
    return digits;
}

std::string AddressError(const SMS_SUBMIT_REQUEST_t& request)
{
    const std::string& centre = request.bCentreFromModem ? std::string() : request.strServiceCentre;
    const std::size_t plus = (!centre.empty() && centre[0] == '+') ? 1 : 0;
    // A cut number would hand the message to some other service centre or
    // recipient.
    if (centre.size() - plus > kMaxServiceCentreChars) {
        return "Service centre number too long: " + centre;
    }
    if (AddressDigits(request.strNumber).size() > kMaxAddressDigits) {
        return "Destination number too long: " + request.strNumber;
    }
    return std::string();
}

std::string ServiceCentreField(const std::string& serviceCentre, bool fromModem)
{
    if (fromModem) {
        return "00";
    }
    const std::string digits = EncodeSemiOctets(AddressDigits(serviceCentre));
    return HexOctet(static_cast<unsigned>(digits.size() / 2 + 1)) + "91" + digits;
}

// 3GPP TS 24.011 8.2.5.1: length in octets (type octet included), type, then
// the digits as semi-octets. Length 0 is an empty field.
std::string ReadServiceCentre(PduReader& reader)
{
    const unsigned length = reader.Octet();
    if (length == 0) {
        return std::string();
    }
    if (2 * (length - 1) > kMaxAddressDigits) {
        reader.MarkBeyondLimits();
    }
    const unsigned type = reader.Octet();
    return WithPlus(AddressDigitsOf(reader.Take(2 * (length - 1))), type);
}

// 3GPP TS 23.040 9.1.2.5: length in semi-octets (digits), type octet, digits
// padded with "F" to whole octets. An alphanumeric address is packed
// default-alphabet text; its length counts the semi-octets it fills.
std::string ReadAddress(PduReader& reader)
{
    const unsigned length = reader.Octet();
    if (length > kMaxAddressDigits) {
        reader.MarkBeyondLimits();
    }
    const unsigned type = reader.Octet();
    const std::string value = reader.Take(length + (length & 1));
    if (TypeOfNumber(type) == kAlphanumeric) {
        std::string septets = UnpackSeptets(HexToBytes(value));
        septets.resize(std::min<std::size_t>(septets.size(), length * 4 / 7));
        return SeptetsToText(septets);
    }
    return WithPlus(AddressDigitsOf(value), type);
}
