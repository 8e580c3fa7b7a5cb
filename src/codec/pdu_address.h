#pragma once
// Address fields of a PDU (codec only): the service centre and the
// originating, destination or recipient address.

#include <algorithm>
#include <string>

#include "codec/pdu.h"
#include "codec/pdu_fields.h"

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
