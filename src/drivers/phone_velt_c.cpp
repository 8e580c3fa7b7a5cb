#include "drivers/phone_velt_c.h"

std::string CPhone_VeltC::SampleIdentity()
{
    return "\r\nQuectel_Ltd\r\n"
           "Quectel_M35\r\n"
           "Revision: M35FBR02A03\r\n"
           "\r\nOK\r\n";
}

bool CPhone_VeltC::MatchIdentity(std::string reply) { return reply.find("M35") != std::string::npos; }

int CPhone_VeltC::GetDeviceType() { return PHONE_TYPE_VELT_C; }
