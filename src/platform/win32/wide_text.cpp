#include "platform/win32/wide_text.h"

#include "codec/charset_conv.h"

// The codec's UCS-2 conversions are the internal code page's own; the wide
// calls take the same units in the machine's byte order.

std::string WideToInternal(const std::wstring& wide)
{
    std::string ucs2;
    ucs2.reserve(wide.size() * 2);
    for (wchar_t unit : wide) {
        ucs2.push_back(static_cast<char>((unit >> 8) & 0xFF));
        ucs2.push_back(static_cast<char>(unit & 0xFF));
    }
    return Ucs2ToAnsiString(ucs2);
}

std::wstring InternalToWide(const std::string& internal)
{
    const std::string ucs2 = AnsiToUcs2(internal);
    std::wstring wide;
    wide.reserve(ucs2.size() / 2);
    for (std::size_t i = 0; i + 1 < ucs2.size(); i += 2) {
        wide.push_back(static_cast<wchar_t>((static_cast<unsigned char>(ucs2[i]) << 8) |
                                            static_cast<unsigned char>(ucs2[i + 1])));
    }
    return wide;
}
