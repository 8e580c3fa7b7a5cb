#include "codec/pdu_fields.h"

#include <cctype>

#include "codec/charset_conv.h"

PduReader::PduReader(const std::string& pdu) : m_text(pdu.substr(0, pdu.find('\0')))
{
    for (char& c : m_text) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            m_wellFormed = false;
        }
    }
    if (m_text.size() % 2 != 0) {
        m_wellFormed = false;
    }
}

unsigned PduReader::Octet()
{
    return OctetValue(Take(2));
}

std::string PduReader::Take(std::size_t chars)
{
    const std::string piece = m_text.substr(m_pos, chars);
    m_pos += piece.size();
    if (piece.size() < chars) {
        m_complete = false;
    }
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
