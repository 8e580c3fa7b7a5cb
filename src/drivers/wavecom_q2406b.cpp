#include "drivers/wavecom_q2406b.h"

PHONE_TYPE_t CWavecomQ2406b::GetDeviceType()
{
    return PHONE_TYPE_VELT_F;
}
