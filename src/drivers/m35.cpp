#include "drivers/m35.h"

PHONE_TYPE_t CM35::GetDeviceType()
{
    return PHONE_TYPE_VELT_C;
}

std::string CM35::PinAttemptsCommand()
{
    return "AT+QTRPIN\r\n";
}

PARSE_RESULT_t CM35::ParsePinAttempts(std::string reply)
{
    return ReadPinAttempts(reply, "+QTRPIN:", 0);
}
