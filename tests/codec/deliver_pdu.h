#pragma once
// SMS-DELIVER PDU texts for the decoder tests: a fixed service centre,
// originator and time stamp around the fields a case varies.

#include <string>

inline const std::string kSca = "0891683108100005F0";
inline const std::string kNationalOriginator = "0B813119325476F8";  // 13912345678
inline const std::string kTimeStamp = "12304050607000";             // 21-03-04 05:06:07, zone 00

inline std::string Deliver(const std::string& firstOctet, const std::string& dcs,
                           const std::string& udl, const std::string& ud)
{
    return kSca + firstOctet + kNationalOriginator + "00" + dcs + kTimeStamp + udl + ud;
}

inline std::string Repeat(const std::string& piece, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += piece;
    }
    return out;
}
