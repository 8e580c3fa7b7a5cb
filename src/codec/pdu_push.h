#pragma once
// The push format of data coding 0xF5 (codec only).

#include <string>

#include "codec/pdu.h"

// The push format of data coding 0xF5: strUrl and strText from the user
// data (hexadecimal text).
void DecodePushUserData(const std::string& ud, SMS_PDU_t& pdu);
