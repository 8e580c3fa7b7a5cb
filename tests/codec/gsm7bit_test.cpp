#include "codec/gsm7bit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/charset_conv.h"

namespace {

// GB("...") is internal text (GB18030); a plain or u8"" literal is UTF-8.
// Texts are compared as hexadecimal.
TEST(UnpackGsm7Bit, UnpacksSeptetsAndMapsTheAlphabetAndItsExtension)
{
    struct Case {
        const char* name;
        std::string packedHex;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"hello", "E8329BFD06", "hello"},
        {"seven octets give eight characters", "41E130281C0685", "ABCABCAB"},
        {"septet 0 is @", "00", "@"},
        {"escape pair [", "1B1E", "["},
        {"every escape pair", "1BC586B2416D529BD786B7E96D7C1B20", "\x0C^{}\\[~]|"},
        {"escape pair euro", "9B32", Utf8ToAnsi(u8"\u20AC")},
        // A pair the extension table leaves empty shows its second septet.
        {"escape before an unknown septet", "9B30", "a"},
        {"escape as the last septet is a space", "E10D", "a "},
        {"escape before escape: a space", "9B0D0F", " <"},
        {"letters that differ from ASCII", "010109B8FD02",
         Utf8ToAnsi(u8"\u00A3$\u00A4\u00A1\u00C4\u00A7")},
        {"empty", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BytesToHex(UnpackGsm7Bit(HexToBytes(c.packedHex))), BytesToHex(c.text));
    }
}

}  // namespace
