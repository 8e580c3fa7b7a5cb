#include "drivers/mg301.h"

PHONE_TYPE_t CMg301::GetDeviceType()
{
    return PHONE_TYPE_VELT_E;
}
