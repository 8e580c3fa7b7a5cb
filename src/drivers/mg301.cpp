#include "drivers/mg301.h"

int CMg301::GetDeviceType()
{
    return PHONE_TYPE_VELT_E;
}
