#include "drivers/me909s.h"

#include "codec/reply_text.h"
#include "drivers/model_common.h"

std::string CMe909s::SampleIdentity()
{
    return "\r\nManufacturer: Huawei Technologies Co., Ltd.\r\n"
           "Model: ME909s-821\r\n"
           "Revision: 11.617.05.00.00\r\n"
           "IMEI: 867012038481344\r\n"
           "+GCAP: +CGSM,+DS,+ES\r\n"
           "\r\nOK\r\n";
}

bool CMe909s::ParseDial(std::string reply)
{
    return NonEmptyTest(reply);
}

std::string CMe909s::HangUpCommand()
{
    return ChupHangUpCommand();
}

bool CMe909s::ParseHangUp(std::string reply)
{
    return NonEmptyTest(reply);
}

std::string CMe909s::IccidCommand()
{
    return "AT^ICCID?\r\n";
}

PARSE_RESULT_t CMe909s::ParseIccid(std::string reply)
{
    static const char kKey[] = "^ICCID: ";
    if (reply.empty()) {
        return PARSE_INCOMPLETE;
    }
    for (const std::string& line : SplitLines(reply)) {
        const std::size_t at = line.find(kKey);
        if (at == std::string::npos) {
            continue;
        }
        // The key is expected at the start of the line; the number is what
        // follows the key wherever it stands.
        std::string number = line.substr(at + sizeof kKey - 1);
        for (char ch : {' ', '\r', '\n', ' ', '\r', '\n'}) {
            number = TrimChar(number, ch);
        }
        m_strIccid = number;
        return PARSE_SUCCEED;
    }
    return PARSE_FAILED;
}

int CMe909s::GetDeviceType()
{
    return PHONE_TYPE_VELT_D;
}

std::vector<std::string> CMe909s::InitCommands()
{
    std::vector<std::string> commands = CPhoneCardBase::InitCommands();
    commands.push_back("AT^CURC=0\r\n");
    return commands;
}
