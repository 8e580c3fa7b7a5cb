#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/charset_conv.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string packed(reinterpret_cast<const char*>(data), size);
    const std::string text = UnpackGsm7Bit(packed);
    // n octets hold at most n + n/7 septets; escape pairs only shorten the text.
    FuzzRequire(text.size() <= size + size / 7);
    for (const char c : text) {
        FuzzRequire(static_cast<unsigned char>(c) < 0x80 && c != '\0');
    }
    return 0;
}
