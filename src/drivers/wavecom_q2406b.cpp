#include "drivers/wavecom_q2406b.h"

PHONE_TYPE_t CWavecomQ2406b::GetDeviceType()
{
    return PHONE_TYPE_VELT_F;
}

std::string CWavecomQ2406b::PinAttemptsCommand()
{
    return "AT+CPINC\r\n";
}

PARSE_RESULT_t CWavecomQ2406b::ParsePinAttempts(std::string reply)
{
    return ReadPinAttempts(reply, "+CPINC:", 0);
}
