#include "drivers/wavecom_q2406b.h"

std::string CPhone_VeltF::SampleIdentity()
{
    return "\r\n WAVECOM MODEM\r\n"
           "\r\n MULTIBAND  900E  1800 \r\n"
           "\r\nOK\r\n";
}

int CPhone_VeltF::GetDeviceType()
{
    return PHONE_TYPE_VELT_F;
}
