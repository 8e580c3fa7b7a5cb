#pragma once
// Command texts that several model drivers share.

#include <string>

// Hang-up of the Yuga and Huawei GSM modules.
inline std::string ChupHangUpCommand()
{
    return "at+chup;\r\n";
}
