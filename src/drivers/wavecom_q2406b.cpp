#include "drivers/wavecom_q2406b.h"

std::string CWavecomQ2406b::SampleIdentity()
{
    return "\r\n WAVECOM MODEM\r\n"
           "\r\n MULTIBAND  900E  1800 \r\n"
           "\r\nOK\r\n";
}

int CWavecomQ2406b::GetDeviceType()
{
    return PHONE_TYPE_VELT_F;
}
