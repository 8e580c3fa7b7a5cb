#include "codec/charset_conv.h"
#include "codec/pdu_fields.h"

unsigned PduReader::Octet()
{
    return OctetValue(Take(2));
}

std::string PduReader::Take(std::size_t chars)
{
    const std::string piece = m_text.substr(m_pos, chars);
    m_pos += piece.size();
    return piece;
}

std::string HexOctet(unsigned value)
{
    return BytesToHex(std::string(1, static_cast<char>(value & 0xFF)));
}

unsigned OctetValue(const std::string& hex)
{
    const std::string bytes = HexToBytes(hex.substr(0, 2));
    return bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]);
}

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
    std::string digits;
    if (length > 0) {
        reader.Take(2);
        digits = DecodeSemiOctets(reader.Take(2 * (length - 1)));
    }
    StoreField(param.szSca, digits);
}

// 3GPP TS 23.040 9.1.2.5: length in semi-octets (digits), type octet, digits
// padded with "F" to whole octets.
void ReadAddress(PduReader& reader, SMS_PDU_PARAM_t& param)
{
    const unsigned digits = reader.Octet();
    reader.Take(2);
    StoreField(param.szNumber, DecodeSemiOctets(reader.Take(digits + (digits & 1))));
}
