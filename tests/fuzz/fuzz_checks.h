#pragma once
// Invariants the fuzz entries hold the decoders to; a broken one aborts, so
// libFuzzer and the replay test both report it as a crash.

#include <cstdlib>
#include <cstring>

#include "codec/pdu.h"

inline void FuzzRequire(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

template <std::size_t N>
bool Terminated(const char (&field)[N])
{
    return std::memchr(field, 0, N) != nullptr;
}

// Every text field ends inside its size and the part length matches the part.
inline void RequireSoundFields(const SMS_PDU_PARAM_t& p)
{
    FuzzRequire(Terminated(p.szSca) && Terminated(p.szNumber) && Terminated(p.szTime) &&
                Terminated(p.szText) && Terminated(p.szUrl) && Terminated(p.szPartHex));
    FuzzRequire(p.nPartHexLen >= 0 &&
                static_cast<std::size_t>(p.nPartHexLen) == std::strlen(p.szPartHex));
}
