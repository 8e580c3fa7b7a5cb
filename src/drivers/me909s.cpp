#include "drivers/me909s.h"

PHONE_TYPE_t CMe909s::GetDeviceType()
{
    return PHONE_TYPE_VELT_D;
}

std::vector<std::string> CMe909s::InitCommands()
{
    std::vector<std::string> commands = CPhoneCardBase::InitCommands();
    commands.push_back("AT^CURC=0\r\n");
    return commands;
}

std::string CMe909s::PinAttemptsCommand()
{
    return "AT^CPIN?\r\n";
}

PARSE_RESULT_t CMe909s::ParsePinAttempts(std::string reply)
{
    return ReadPinAttempts(reply, "^CPIN:", 3);
}

std::vector<std::string> CMe909s::IndicationCommands()
{
    return IndicationSettings(1, false, true);
}
