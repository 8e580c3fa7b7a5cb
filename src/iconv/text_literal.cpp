#include "iconv/text_literal.h"

#include "iconv/iconv_text.h"

std::string InternalFromUtf8(const std::string& utf8)
{
    CIconv cd("GB18030", "UTF-8");
    if (!cd.ok()) {
        // Only a C library without these charsets gets here: the ASCII
        // bytes stay readable, the rest is visibly lost.
        std::string out = utf8;
        for (char& c : out) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                c = '?';
            }
        }
        return out;
    }
    return cd.Run(utf8, [](std::string& out, std::size_t, int) {
        out += '?';
        return std::size_t{1};
    });
}
