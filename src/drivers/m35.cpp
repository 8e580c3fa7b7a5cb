#include "drivers/m35.h"

std::string CM35::SampleIdentity()
{
    return "\r\nQuectel_Ltd\r\n"
           "Quectel_M35\r\n"
           "Revision: M35FBR02A03\r\n"
           "\r\nOK\r\n";
}

int CM35::GetDeviceType()
{
    return PHONE_TYPE_VELT_C;
}
