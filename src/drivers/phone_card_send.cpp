// The send pairs of PDU mode: one UCS-2 SMS-SUBMIT for a short text,
// concatenated parts for a long one. The reply parsers are in phone_card_base.cpp.

#include <cstdio>

#include "codec/charset_conv.h"
#include "codec/pdu.h"
#include "codec/phone_number.h"
#include "drivers/phone_card_base.h"

namespace {

constexpr std::size_t kMaxSingleUcs2Octets = 140;
// A text of more bytes than this in the internal code page (characters that
// take four bytes in GB18030) has always gone out as concatenated parts, even
// when its UCS-2 form fits one PDU; the modems keep seeing it so.
constexpr std::size_t kMaxSingleTextBytes = 160;

SMS_SUBMIT_REQUEST_t SubmitRequest(const std::string& serviceCentre, bool centreFromModem,
                                   const std::string& number, const std::string& text,
                                   bool statusReport)
{
    SMS_SUBMIT_REQUEST_t request;
    request.bStatusReport = statusReport;
    request.strServiceCentre = serviceCentre;
    request.bCentreFromModem = centreFromModem;
    // A leading "+" makes the number international (type 145) with the
    // digits after it; other numbers are classified by the region patterns,
    // so a number shown without "+" is answered as it always was.
    const bool plus = !number.empty() && number[0] == '+';
    const bool international = plus || ClassifyNumber(number);
    request.bNational = !international;
    request.strNumber = plus ? number : NormalizeNumber(number, international);
    request.strText = text;
    return request;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

}  // namespace

void CPhoneCardBase::RefuseSend(const std::string& reason)
{
    m_strLastError = reason;
    m_bRetryableError = false;
}

std::vector<SendPair> CPhoneCardBase::BuildSendCommands(std::string number, std::string text)
{
    if (AnsiToUcs2(text).size() <= kMaxSingleUcs2Octets && text.size() <= kMaxSingleTextBytes) {
        return BuildPduSend(number, text);
    }
    return BuildLongPduSend(number, text);
}

std::vector<SendPair> CPhoneCardBase::BuildPduSend(std::string number, std::string text)
{
    const SMS_SUBMIT_PDU_t pdu = BuildSubmitPdu(
        SubmitRequest(m_strServiceCentre, m_bCentreLeftToModem, number, text, m_bStatusReports));
    if (!pdu.strError.empty()) {
        RefuseSend(pdu.strError);
        return {};
    }
    return {SendPair(pdu.strCommand, pdu.strPdu)};
}

std::vector<SendPair> CPhoneCardBase::BuildLongPduSend(std::string number, std::string text)
{
    const SMS_CONCAT_PDUS_t parts = BuildConcatPdus(
        SubmitRequest(m_strServiceCentre, m_bCentreLeftToModem, number, text, m_bStatusReports));
    if (!parts.strError.empty()) {
        RefuseSend(parts.strError);
        return {};
    }
    std::vector<SendPair> pairs;
    for (const std::string& part : parts.vecPdus) {
        const int scaOctets = HexDigit(part[0]) * 16 + HexDigit(part[1]);
        char command[32];
        std::snprintf(command, sizeof command, "AT+CMGS=%d\r",
                      static_cast<int>(part.size() / 2) - (scaOctets + 1));
        pairs.emplace_back(command, part + '\x1A');
    }
    return pairs;
}
