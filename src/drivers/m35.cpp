#include "drivers/m35.h"

int CM35::GetDeviceType()
{
    return PHONE_TYPE_VELT_C;
}
