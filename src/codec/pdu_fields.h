#pragma once
// Field-level helpers shared by the PDU builders and decoders (codec only).

#include <algorithm>
#include <cstring>
#include <string>

#include "codec/pdu.h"

// A read position over PDU hexadecimal text. Reads past the end give what is
// there (a short or empty text, the octet value 0) and never move beyond it,
// so a PDU whose lengths lie decodes to short or empty fields; Complete()
// then tells that some read found less than it asked for.
class PduReader {
public:
    // The PDU text ends at its first NUL, as a C string would; lower-case
    // digits are taken as upper-case ones.
    explicit PduReader(const std::string& pdu);

    // The octet at the position (HexToBytes arithmetic), 0 when fewer than two
    // characters remain; the position moves past it.
    unsigned Octet();

    // Up to `chars` characters from the position; the position moves past them.
    std::string Take(std::size_t chars);

    // Everything from the position to the end.
    std::string Rest() const { return m_text.substr(m_pos); }

    // Every read so far got all it asked for.
    bool Complete() const { return m_complete; }

    // The text is hexadecimal digits in pairs.
    bool WellFormed() const { return m_wellFormed; }

    // Marks the PDU as shorter than its own lengths say.
    void MarkShort() { m_complete = false; }

private:
    std::string m_text;
    std::size_t m_pos = 0;
    bool m_complete = true;
    bool m_wellFormed = true;
};

// "%02X" of the low octet of `value`.
std::string HexOctet(unsigned value);

// The octet that the first two characters of `hex` spell (HexToBytes
// arithmetic); 0 when fewer than two are there.
unsigned OctetValue(const std::string& hex);

// Writes `value` into a fixed field: zero-filled, at most N-1 bytes, always
// NUL-terminated.
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

// The longest number the builders read from a field.
const std::size_t kMaxAddressChars = 31;

// The digits of a number field for an address: a leading "+" dropped, at most
// N-1 (and kMaxAddressChars) characters read, every character other than 0-9
// left out (they have no place in a semi-octet address and would break the
// hexadecimal PDU).
template <std::size_t N>
std::string AddressDigits(const char (&field)[N])
{
    std::string text = FieldText(field).substr(0, std::min(N - 1, kMaxAddressChars));
    std::string digits;
    for (std::size_t i = (!text.empty() && text[0] == '+') ? 1 : 0; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            digits.push_back(text[i]);
        }
    }
    return digits;
}

// Service-centre address, 3GPP TS 23.040 9.1.2.5 / TS 24.011 8.2.5.1: length
// octet (type octet plus digit octets), type 0x91, semi-octet digits.
std::string ServiceCentreField(const SMS_PDU_PARAM_t& param);

// Reads the service-centre field into szSca (at most 15 digits kept).
void ReadServiceCentre(PduReader& reader, SMS_PDU_PARAM_t& param);

// Reads a TP-OA / TP-DA / TP-RA address (3GPP TS 23.040 9.1.2.5) into
// szNumber by its type of number: "+" before an international number,
// default-alphabet text for an alphanumeric one.
void ReadAddress(PduReader& reader, SMS_PDU_PARAM_t& param);

// The push format of data coding 0xF5: szUrl and szText from the user data.
void DecodePushUserData(const std::string& ud, SMS_PDU_PARAM_t& param);
