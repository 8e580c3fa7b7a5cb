#include "drivers/mg301.h"

PHONE_TYPE_t CMg301::GetDeviceType()
{
    return PHONE_TYPE_VELT_E;
}

std::string CMg301::PinAttemptsCommand()
{
    return "AT^CPIN?\r\n";
}

PARSE_RESULT_t CMg301::ParsePinAttempts(std::string reply)
{
    return ReadPinAttempts(reply, "^CPIN:", 3);
}

std::vector<std::string> CMg301::IndicationCommands()
{
    return IndicationSettings(1, false, true);
}
