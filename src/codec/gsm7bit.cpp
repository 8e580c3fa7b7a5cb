#include "codec/gsm7bit.h"

#include "codec/charset_conv.h"

namespace {

// 3GPP TS 23.038 6.2.1, the default alphabet: septet -> Unicode.
const char16_t kDefaultAlphabet[128] = {
    u'@',      u'\u00A3', u'$',      u'\u00A5', u'\u00E8', u'\u00E9', u'\u00F9', u'\u00EC',
    u'\u00F2', u'\u00C7', u'\n',     u'\u00D8', u'\u00F8', u'\r',     u'\u00C5', u'\u00E5',
    u'\u0394', u'_',      u'\u03A6', u'\u0393', u'\u039B', u'\u03A9', u'\u03A0', u'\u03A8',
    u'\u03A3', u'\u0398', u'\u039E', u' ',      u'\u00C6', u'\u00E6', u'\u00DF', u'\u00C9',
    u' ',      u'!',      u'"',      u'#',      u'\u00A4', u'%',      u'&',      u'\'',
    u'(',      u')',      u'*',      u'+',      u',',      u'-',      u'.',      u'/',
    u'0',      u'1',      u'2',      u'3',      u'4',      u'5',      u'6',      u'7',
    u'8',      u'9',      u':',      u';',      u'<',      u'=',      u'>',      u'?',
    u'\u00A1', u'A',      u'B',      u'C',      u'D',      u'E',      u'F',      u'G',
    u'H',      u'I',      u'J',      u'K',      u'L',      u'M',      u'N',      u'O',
    u'P',      u'Q',      u'R',      u'S',      u'T',      u'U',      u'V',      u'W',
    u'X',      u'Y',      u'Z',      u'\u00C4', u'\u00D6', u'\u00D1', u'\u00DC', u'\u00A7',
    u'\u00BF', u'a',      u'b',      u'c',      u'd',      u'e',      u'f',      u'g',
    u'h',      u'i',      u'j',      u'k',      u'l',      u'm',      u'n',      u'o',
    u'p',      u'q',      u'r',      u's',      u't',      u'u',      u'v',      u'w',
    u'x',      u'y',      u'z',      u'\u00E4', u'\u00F6', u'\u00F1', u'\u00FC', u'\u00E0',
};

// 3GPP TS 23.038 6.2.1.1, the extension table: septet after 0x1B, character.
const struct {
    unsigned septet;
    char16_t character;
} kExtension[] = {
    {0x0A, u'\f'}, {0x14, u'^'}, {0x28, u'{'}, {0x29, u'}'}, {0x2F, u'\\'},
    {0x3C, u'['},  {0x3D, u'~'}, {0x3E, u']'}, {0x40, u'|'}, {0x65, u'\u20AC'},
};

const unsigned kEscape = 0x1B;

// The character of an escape pair, 0 when the extension table has none.
char16_t ExtensionChar(unsigned septet)
{
    for (const auto& e : kExtension) {
        if (e.septet == septet) {
            return e.character;
        }
    }
    return 0;
}

void AppendUnit(std::string& ucs2, char16_t unit)
{
    ucs2.push_back(static_cast<char>(unit >> 8));
    ucs2.push_back(static_cast<char>(unit & 0xFF));
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

std::string SeptetsToUcs2(const std::string& septets)
{
    std::string ucs2;
    ucs2.reserve(2 * septets.size());
    for (std::size_t i = 0; i < septets.size(); ++i) {
        const unsigned septet = static_cast<unsigned char>(septets[i]) & 0x7F;
        if (septet != kEscape) {
            AppendUnit(ucs2, kDefaultAlphabet[septet]);
            continue;
        }
        if (i + 1 >= septets.size()) {
            AppendUnit(ucs2, u' ');
            continue;
        }
        const unsigned next = static_cast<unsigned char>(septets[++i]) & 0x7F;
        const char16_t extended = ExtensionChar(next);
        AppendUnit(ucs2, extended != 0 ? extended : kDefaultAlphabet[next]);
    }
    return ucs2;
}

std::string SeptetsToText(const std::string& septets)
{
    return Ucs2ToAnsiString(SeptetsToUcs2(septets));
}

std::string UnpackGsm7Bit(const std::string& packed)
{
    return SeptetsToText(UnpackSeptets(packed));
}
