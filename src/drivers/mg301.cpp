#include "drivers/mg301.h"

std::string CMg301::SampleIdentity()
{
    return "\r\nManufacture: HUAWEI\r\n"
           "Model: MG301\r\n"
           "Revision: 11.310.21.03.00\r\n"
           "IMEI: 864031028486207\r\n"
           "+GCAP: +CGSM\r\n"
           "\r\nOK\r\n";
}

int CMg301::GetDeviceType()
{
    return PHONE_TYPE_VELT_E;
}
