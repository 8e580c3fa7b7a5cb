#include "codec/phone_number.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct NumberCase {
    std::string number;
    bool international;
    std::string normalised;
};

TEST(PhoneNumber, ClassifiesAndNormalisesByRegion)
{
    const std::vector<NumberCase> cases = {
        {"008613800138000", true, "8613800138000"},
        {"8613800138000", true, "8613800138000"},
        {"13800138000", false, "13800138000"},
        {"10086", false, "10086"},
        {"91234567", false, "91234567"},
        {"+8613800138000", false, "+8613800138000"},
        {"86138001380001", false, "86138001380001"},
        {"0086138001380001", false, "0086138001380001"},
        {"8623800138000", false, "8623800138000"},
        {"0085261234567", true, "85261234567"},
        {"85291234567", true, "85291234567"},
        {"85271234567", false, "85271234567"},
        {"008536612345", true, "8536612345"},
        {"853612345", true, "853612345"},
        {"0085366123456", false, "0085366123456"},
        // The classes of the patterns take "|" as a character of their own.
        {"852|1234567", true, "852|1234567"},
        {"008536|12345", true, "8536|12345"},
        {"853|12345", true, "853|12345"},
        {"85381234", false, "85381234"},
        {"", false, ""},
        {"00", false, "00"},
        {"x8613800138000", false, "x8613800138000"},
        {"8613800138000\n", false, "8613800138000\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        const bool international = ClassifyNumber(c.number);
        EXPECT_EQ(international, c.international);
        EXPECT_EQ(NormalizeNumber(c.number, international), c.normalised);
    }
}

TEST(PhoneNumber, NormalisingDropsZeroZeroOnlyForInternationalNumbers)
{
    EXPECT_EQ(NormalizeNumber("0013800", false), "0013800");
    EXPECT_EQ(NormalizeNumber("0013800", true), "13800");
    EXPECT_EQ(NormalizeNumber("00", true), "00") << "two characters are kept";
    EXPECT_EQ(NormalizeNumber("001", true), "1");
    EXPECT_EQ(NormalizeNumber("0861", true), "0861");
}

TEST(ServiceCentre, ReadInTheModemsCharacterSet)
{
    const struct {
        const char* source;
        std::string quoted;  // the +CSCA value without its quotes
        bool needsCharset;
        std::string charset;
        std::string centre;
    } cases[] = {
        {"gammu 1.42.0 tests/at-smsc/02.dump", "+79168999100", false, "GSM", "+79168999100"},
        {"gammu 1.42.0 tests/at-smsc/03.dump", "6281100000", false, "GSM", "6281100000"},
        {"gammu 1.42.0 tests/at-smsc/01.dump (unquoted)",
         "002B00390037003200350034003100320030003000330032", true, "UCS2", "+97254120032"},
        {"gammu 1.42.0 tests/at-smsc/05.dump",
         "002B003400340037003800300032003000390032003000330035", true, "UCS2", "+447802092035"},
        {"gammu 1.42.0 tests/at-parser.c, HEX set", "393731353535353135353135", true, "HEX",
         "971555515515"},
        {"gammu 1.42.0 tests/at-parser.c, HEX set", "2b393731353535353135353135", true, "HEX",
         "+971555515515"},
        // A plain number in a hex set is taken as it is, as that reader does.
        {"gammu 1.42.0 tests/at-parser.c, HEX set", "971555515515", false, "HEX", "971555515515"},
        {"", "002B0038003600310033003800300030003100300030003500300030", true, "ucs2",
         "+8613800100500"},
        {"", "00310032003300340035", true, "UCS2", "12345"},
        {"", "00310032003300340035", true, "GSM", "00310032003300340035"},
        // Not a number in the modem's set: left to the modem.
        {"", "002B0038003600310033003800300030003100300030003500300030", true, "GSM", ""},
        {"", "4E2D6587", true, "UCS2", ""},
        {"", "+86-138", true, "UCS2", ""},
        {"", "", false, "UCS2", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.quoted + " " + c.charset + " " + c.source);
        EXPECT_EQ(c.needsCharset, ServiceCentreNeedsCharset(c.quoted));
        EXPECT_EQ(c.centre, DecodeServiceCentre(c.quoted, c.charset));
    }
}

}  // namespace
