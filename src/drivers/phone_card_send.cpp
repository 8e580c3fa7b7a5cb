// The send pairs of PDU mode: one UCS-2 SMS-SUBMIT for a short text,
// concatenated parts for a long one. The reply parsers are in phone_card_base.cpp.

#include <cstdio>

#include "codec/charset_conv.h"
#include "codec/pdu.h"
#include "codec/phone_number.h"
#include "drivers/phone_card_base.h"

namespace {

constexpr std::size_t kMaxSingleUcs2Octets = 140;
// szText holds at most this many bytes of the internal text.
constexpr std::size_t kMaxSingleTextBytes = sizeof(SMS_PDU_PARAM_t::szText) - 1;

void SetDestination(SMS_PDU_PARAM_t& request, const std::string& number)
{
    // A leading "+" makes the number international (type 145) with the
    // digits after it; other numbers are classified by the region patterns,
    // so a number shown without "+" is answered as it always was.
    const bool plus = !number.empty() && number[0] == '+';
    const bool international = plus || ClassifyNumber(number);
    request.bNational = !international;
    // Numbers longer than the field are cut.
    StoreField(request.szNumber, plus ? number : NormalizeNumber(number, international));
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

bool CPhoneCardBase::PrepareSubmitRequest(SMS_PDU_PARAM_t& request, const std::string& number)
{
    // The codec skips a leading "+"; leaving it out here lets a 15-digit
    // number fit the field.
    std::string sca = m_strServiceCentre;
    if (!sca.empty() && sca[0] == '+') {
        sca.erase(0, 1);
    }
    if (sca.size() >= sizeof request.szSca) {
        // A cut number would hand the message to some other service centre.
        RefuseSend("Service centre number too long: " + m_strServiceCentre);
        return false;
    }
    StoreField(request.szSca, sca);
    SetDestination(request, number);
    request.byDcs = 8;
    return true;
}

void CPhoneCardBase::RefuseSend(const std::string& reason)
{
    m_strLastError = reason;
    m_bRetryableError = false;
}

std::vector<SendPair> CPhoneCardBase::BuildSendCommands(std::string number, std::string text)
{
    // A text whose internal form does not fit the single-PDU field (GB18030
    // takes four bytes for some characters) goes out as concatenated parts
    // rather than being cut.
    if (AnsiToUcs2(text).size() <= kMaxSingleUcs2Octets && text.size() <= kMaxSingleTextBytes) {
        return BuildPduSend(number, text);
    }
    return BuildLongPduSend(number, text);
}

std::vector<SendPair> CPhoneCardBase::BuildPduSend(std::string number, std::string text)
{
    SMS_PDU_PARAM_t request;
    if (!PrepareSubmitRequest(request, number)) {
        return {};
    }
    StoreField(request.szText, text);
    std::string command;
    const std::string body = BuildSubmitPdu(request, command);
    return {SendPair(command, body)};
}

std::vector<SendPair> CPhoneCardBase::BuildLongPduSend(std::string number, std::string text)
{
    SMS_PDU_PARAM_t request;
    if (!PrepareSubmitRequest(request, number)) {
        return {};
    }
    const std::string longText = text;
    request.pLongText = longText.c_str();

    std::vector<SendPair> pairs;
    for (const std::string& part : BuildConcatPdus(request)) {
        if (part.size() < 2) {
            continue;
        }
        const int scaOctets = HexDigit(part[0]) * 16 + HexDigit(part[1]);
        char command[32];
        std::snprintf(command, sizeof command, "AT+CMGS=%d\r",
                      static_cast<int>(part.size() / 2) - (scaOctets + 1));
        pairs.emplace_back(command, part + '\x1A');
    }
    if (pairs.empty()) {
        RefuseSend("Text cannot be sent as concatenated SMS");
    }
    return pairs;
}
