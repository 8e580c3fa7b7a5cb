#pragma once
// The push format of data coding 0xF5 (codec only).

#include <string>

#include "codec/pdu.h"

// The push format of data coding 0xF5: szUrl and szText from the user data.
void DecodePushUserData(const std::string& ud, SMS_PDU_PARAM_t& param);
