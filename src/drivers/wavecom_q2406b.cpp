#include "drivers/wavecom_q2406b.h"

int CWavecomQ2406b::GetDeviceType()
{
    return PHONE_TYPE_VELT_F;
}
