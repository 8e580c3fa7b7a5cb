#pragma once
// Address fields of a PDU (codec only): the service centre and the
// originating, destination or recipient address.

#include <string>

#include "codec/pdu.h"
#include "codec/pdu_fields.h"

// The digits of a number for an address: a leading "+" dropped, every
// character other than 0-9 left out (they have no place in a semi-octet
// address and would break the hexadecimal PDU).
std::string AddressDigits(const std::string& number);

// Why the builders cannot take the request's numbers (pdu.h); empty when
// they can.
std::string AddressError(const SMS_SUBMIT_REQUEST_t& request);

// Service-centre address, 3GPP TS 23.040 9.1.2.5 / TS 24.011 8.2.5.1: length
// octet (type octet plus digit octets), type 0x91, semi-octet digits; "00"
// (no centre: the modem's own) with `fromModem`.
std::string ServiceCentreField(const std::string& serviceCentre, bool fromModem = false);

// Reads the service-centre field; one of more than kMaxAddressDigits digits
// marks the reader beyond the limits.
std::string ReadServiceCentre(PduReader& reader);

// Reads a TP-OA / TP-DA / TP-RA address (3GPP TS 23.040 9.1.2.5) by its type
// of number: "+" before an international number, default-alphabet text for
// an alphanumeric one. One of more than kMaxAddressDigits semi-octets marks
// the reader beyond the limits.
std::string ReadAddress(PduReader& reader);
