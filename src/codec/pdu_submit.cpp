#include <string>

#include "codec/charset_conv.h"
#include "codec/pdu.h"
#include "codec/pdu_address.h"
#include "codec/pdu_fields.h"

namespace {

// TP-UD of one SMS-SUBMIT: 140 octets (3GPP TS 23.040 9.2.3.24).
const std::size_t kMaxUserData = 140;

// TP-SRR, bit 5 of the SMS-SUBMIT first octet (3GPP TS 23.040 9.2.3.5).
const unsigned kStatusReportRequest = 0x20;

// The first octet: `base` with TP-SRR when the request asks for a report.
std::string FirstOctet(unsigned base, const SMS_SUBMIT_REQUEST_t& request)
{
    return HexOctet(request.bStatusReport ? base | kStatusReportRequest : base);
}

}  // namespace

// SMS-SUBMIT, 3GPP TS 23.040 9.2.2.2: SCA, first octet 0x11 (TP-MTI submit,
// TP-VPF relative; 0x31 with TP-SRR), TP-MR 0, TP-DA, TP-PID 0, TP-DCS 0x08 (UCS-2, TS 23.038
// 4), TP-VP 0xAA (4 days, 9.2.3.12.1), TP-UDL in octets, TP-UD.
SMS_SUBMIT_PDU_t BuildSubmitPdu(const SMS_SUBMIT_REQUEST_t& request)
{
    SMS_SUBMIT_PDU_t built;
    built.strError = AddressError(request);
    if (!built.strError.empty()) {
        return built;
    }
    const std::string ucs2 = AnsiToUcs2(request.strText);
    if (ucs2.size() > kMaxUserData) {
        built.strError = "Text too long for one SMS";
        return built;
    }
    const std::string sca = ServiceCentreField(request.strServiceCentre, request.bCentreFromModem);
    const std::string digits = AddressDigits(request.strNumber);
    const std::string pdu = sca + FirstOctet(0x11, request) + "00" +
                            HexOctet(static_cast<unsigned>(digits.size())) +
                            (request.bNational ? "81" : "91") + EncodeSemiOctets(digits) + "0008" +
                            "AA" + HexOctet(static_cast<unsigned>(ucs2.size())) + BytesToHex(ucs2);
    built.strCommand = "AT+CMGS=" + std::to_string((pdu.size() - sca.size()) / 2) + "\r";
    built.strPdu = pdu + '\x1A';
    return built;
}

// The SMS-SUBMIT fields up to TP-VP for concatenated parts: first octet 0x51
// (TP-UDHI set, 9.2.3.23; 0x71 with TP-SRR), national type 0xA1, TP-PID 0, TP-DCS 0x08, TP-VP
// 0xA7 (24 hours).
std::string BuildConcatHeader(const SMS_SUBMIT_REQUEST_t& request)
{
    if (!AddressError(request).empty()) {
        return std::string();
    }
    const std::string digits = AddressDigits(request.strNumber);
    return ServiceCentreField(request.strServiceCentre, request.bCentreFromModem) +
           FirstOctet(0x51, request) + "00" + HexOctet(static_cast<unsigned>(digits.size())) +
           (request.bNational ? "A1" : "91") + EncodeSemiOctets(digits) + "0008" + "A7";
}
