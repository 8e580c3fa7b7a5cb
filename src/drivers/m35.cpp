#include "drivers/m35.h"

PHONE_TYPE_t CM35::GetDeviceType()
{
    return PHONE_TYPE_VELT_C;
}
