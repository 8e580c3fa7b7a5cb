#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/pdu.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string pdu(reinterpret_cast<const char*>(data), size);
    RequireSoundPdu(DecodeSubmitPdu(pdu), pdu.size());
    return 0;
}
