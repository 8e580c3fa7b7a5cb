#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/charset_conv.h"
#include "codec/gsm7bit.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string packed(reinterpret_cast<const char*>(data), size);
    const std::string text = UnpackGsm7Bit(packed);
    // n octets hold at most n + n/7 septets, each one character of the
    // alphabet (all in the BMP, none of them NUL); escape pairs only shorten
    // the text. Every character converts back without a replacement.
    const std::string ucs2 = AnsiToUcs2(text);
    FuzzRequire(ucs2.size() / 2 <= size + size / 7);
    FuzzRequire(text.find('\0') == std::string::npos);
    FuzzRequire(ucs2.find("\xFF\xFD") == std::string::npos);
    return 0;
}
