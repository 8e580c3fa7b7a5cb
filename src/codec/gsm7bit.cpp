#include "codec/gsm7bit.h"

#include "codec/charset_conv.h"

namespace {

// 3GPP TS 23.038 6.2.1.1, the default alphabet extension table, as far as the
// product translates it: septet after 0x1B, character.
const struct {
    unsigned septet;
    char character;
} kEscapes[] = {
    {0x0A, '\x0C'}, {0x14, '^'}, {0x28, '{'}, {0x29, '}'}, {0x2F, '\\'},
    {0x3C, '['},    {0x3D, '~'}, {0x3E, ']'}, {0x40, '|'},
};

// The character of an escape pair, 0 when the septet forms none.
char EscapedChar(unsigned septet)
{
    for (const auto& e : kEscapes) {
        if (e.septet == septet) {
            return e.character;
        }
    }
    return 0;
}

}  // namespace

// 3GPP TS 23.040 9.2.3.24: septet i starts at bit 7*i of the user data,
// least significant bit first.
std::string UnpackSeptets(const std::string& packed)
{
    std::string septets;
    septets.reserve(packed.size() + packed.size() / 7);
    unsigned carry = 0;
    int k = 0;
    for (const char c : packed) {
        const unsigned octet = static_cast<unsigned char>(c);
        septets.push_back(static_cast<char>(((octet << k) | carry) & 0x7F));
        carry = octet >> (7 - k);
        if (k == 6) {
            septets.push_back(static_cast<char>(carry & 0x7F));
            carry = 0;
            k = 0;
        } else {
            ++k;
        }
    }
    return septets;
}

std::string SeptetsToText(const std::string& septets)
{
    std::string text;
    text.reserve(septets.size());
    for (std::size_t i = 0; i < septets.size(); ++i) {
        const unsigned septet = static_cast<unsigned char>(septets[i]);
        if (septet == 0x1B && i + 1 < septets.size()) {
            const char escaped = EscapedChar(static_cast<unsigned char>(septets[i + 1]));
            if (escaped != 0) {
                text.push_back(escaped);
                ++i;
                continue;
            }
        }
        text.push_back(septet == 0x00 ? '@' : static_cast<char>(septet));
    }
    return text;
}

std::string UnpackGsm7Bit(const std::string& packed)
{
    return SeptetsToText(UnpackSeptets(packed));
}
