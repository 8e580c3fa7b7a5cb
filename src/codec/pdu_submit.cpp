#include <string>

#include "codec/charset_conv.h"
#include "codec/pdu.h"
#include "codec/pdu_address.h"
#include "codec/pdu_fields.h"

namespace {

// TP-UD of one SMS-SUBMIT: 140 octets (3GPP TS 23.040 9.2.3.24).
const std::size_t kMaxUserData = 140;

}  // namespace

// SMS-SUBMIT, 3GPP TS 23.040 9.2.2.2: SCA, first octet 0x11 (TP-MTI submit,
// TP-VPF relative), TP-MR 0, TP-DA, TP-PID 0, TP-DCS 0x08 (UCS-2, TS 23.038
// 4), TP-VP 0xAA (4 days, 9.2.3.12.1), TP-UDL in octets, TP-UD.
std::string BuildSubmitPdu(const SMS_PDU_PARAM_t& param, std::string& command)
{
    const std::string ucs2 = AnsiToUcs2(FieldText(param.szText));
    if (ucs2.size() > kMaxUserData) {
        command.clear();
        return std::string();
    }
    const std::string sca = ServiceCentreField(param);
    const std::string digits = AddressDigits(param.szNumber);
    const std::string pdu = sca + "1100" + HexOctet(static_cast<unsigned>(digits.size())) +
                            (param.bNational ? "81" : "91") + EncodeSemiOctets(digits) + "0008" +
                            "AA" + HexOctet(static_cast<unsigned>(ucs2.size())) + BytesToHex(ucs2);
    command = "AT+CMGS=" + std::to_string((pdu.size() - sca.size()) / 2) + "\r";
    return pdu + '\x1A';
}

// The SMS-SUBMIT fields up to TP-VP for concatenated parts: first octet 0x51
// (TP-UDHI set, 9.2.3.23), national type 0xA1, TP-VP 0xA7 (24 hours).
std::string BuildConcatHeader(const SMS_PDU_PARAM_t& param)
{
    const std::string digits = AddressDigits(param.szNumber);
    return ServiceCentreField(param) + "5100" + HexOctet(static_cast<unsigned>(digits.size())) +
           (param.bNational ? "A1" : "91") + EncodeSemiOctets(digits) + HexOctet(param.byPid) +
           HexOctet(param.byDcs) + "A7";
}
