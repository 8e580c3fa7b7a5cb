#include "codec/pdu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/charset_conv.h"
#include "deliver_pdu.h"
#include "iconv/text_literal.h"

namespace {

TEST(DecodeDeliverPdu, ReadsTheFixedFields)
{
    const SMS_PDU_t param = DecodeDeliverPdu(Deliver("04", "08", "04", "4E2D6587"));
    EXPECT_EQ(param.strServiceCentre, "+8613800100500");
    EXPECT_EQ(param.strNumber, "13912345678");
    EXPECT_EQ(param.byPid, 0);
    EXPECT_EQ(param.byDcs, 8);
    EXPECT_EQ(param.strTime, "21030405060700");
    EXPECT_EQ(param.strText, GB("中文"));
    EXPECT_FALSE(param.bConcat);
}

TEST(DecodeDeliverPdu, ServiceCentreAndOriginatorForms)
{
    struct Case {
        const char* name;
        std::string pdu;
        const char* sca;
        const char* number;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"no service centre (length 0)",
         "00"
         "04" +
             kNationalOriginator + "0008" + kTimeStamp + "020041",
         "", "13912345678", "A"},
        {"service centre of the type octet only",
         "0191"
         "04" +
             kNationalOriginator + "0008" + kTimeStamp + "020041",
         "", "13912345678", "A"},
        {"international originator",
         kSca +
             "04"
             "0D91683119325476F8"
             "0008" +
             kTimeStamp + "020041",
         "+8613800100500", "+8613912345678", "A"},
        // Type 101: packed default-alphabet text (python3-gammu reads "Bali").
        {"alphanumeric originator",
         kSca +
             "04"
             "08D0C2303BAD"
             "0008" +
             kTimeStamp + "020041",
         "+8613800100500", "Bali", "A"},
        {"semi-octets A to E are * # a b c",
         kSca +
             "04"
             "0581BADCFE"
             "0008" +
             kTimeStamp + "020041",
         "+8613800100500", "*#ab\x63", "A"},
        {"international service centre without digits",
         "0191"
         "04"
         "039121F4"
         "0008" +
             kTimeStamp + "020041",
         "", "+124", "A"},
        {"empty originator",
         kSca +
             "04"
             "0081"
             "0008" +
             kTimeStamp + "020041",
         "+8613800100500", "", "A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SMS_PDU_t param = DecodeDeliverPdu(c.pdu);
        EXPECT_EQ(param.strServiceCentre, c.sca);
        EXPECT_EQ(param.strNumber, c.number);
        EXPECT_EQ(param.strText, c.text);
    }
}

TEST(DecodeDeliverPdu, ConcatenatedUcs2PartTakesTheHeaderApart)
{
    const SMS_PDU_t param = DecodeDeliverPdu(Deliver("44", "08", "0A", "050003A702014E2D6587"));
    EXPECT_TRUE(param.bConcat);
    EXPECT_EQ(param.nConcatRef, 0xA7);
    EXPECT_EQ(param.nConcatTotal, 2);
    EXPECT_EQ(param.nPartNo, 1);
    EXPECT_EQ(param.byRefUcs2, 0xA7);
    EXPECT_EQ(param.strText, GB("中文"));
    EXPECT_EQ(param.strPartHex, "4E2D6587");
}

TEST(DecodeDeliverPdu, ConcatenationRules)
{
    struct Case {
        const char* name;
        std::string pdu;
        bool concat;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"first octet 04 rules the header out", Deliver("04", "08", "0A", "050003A702014E2D6587"),
         false, Ucs2ToAnsi(HexToBytes("050003A702014E2D6587"))},
        {"first octet 24 rules the header out", Deliver("24", "08", "02", "0500030102"), false, ""},
        {"without the header bit there is no header", Deliver("00", "08", "08", "05000301020141"),
         false, Ucs2ToAnsi(HexToBytes("05000301020141"))},
        {"a header with nothing after it is a part", Deliver("44", "08", "06", "050003010201"),
         true, ""},
        {"16-bit reference", Deliver("44", "08", "0B", "0608040001020100410042"), true, "AB"},
        {"part number 0 is no part", Deliver("44", "08", "08", "0500030102000041"), false, "A"},
        {"part number above the count is no part", Deliver("44", "08", "08", "0500030102030041"),
         false, "A"},
        {"other elements skipped by their length",
         Deliver("44", "08", "0E", "0B0504123400000003A702020041"), true, "A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SMS_PDU_t param = DecodeDeliverPdu(c.pdu);
        EXPECT_EQ(param.bConcat, c.concat);
        if (!c.text.empty()) {
            EXPECT_EQ(BytesToHex(param.strText), BytesToHex(c.text));
        }
    }
}

TEST(DecodeDeliverPdu, SevenBitText)
{
    struct Case {
        const char* name;
        std::string pdu;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"hello", Deliver("04", "00", "05", "E8329BFD06"), "hello"},
        // Seven octets hold eight septets; TP-UDL 7 keeps seven.
        {"TP-UDL 7 gives 7 characters", Deliver("04", "00", "07", "41E130281C0605"), "ABCABCA"},
        {"TP-UDL 8 gives 8 characters", Deliver("04", "00", "08", "41E130281C0685"), "ABCABCAB"},
        {"escape pair", Deliver("04", "00", "03", "E10D0F"), "a["},
        // Seven septets in seven octets: the 7 spare bits form no eighth "@",
        // also when an escape pair makes the text shorter than TP-UDL.
        {"escape pair, spare bits not read", Deliver("04", "00", "07", "61F1985CDEF000"), "abcde["},
        {"TP-UDL beyond the data", Deliver("04", "00", "FF", "E8329BFD06"), "hello"},
        {"TP-UDL 0", Deliver("04", "00", "00", "E8329BFD06"), ""},
        {"255 characters, none cut", Deliver("04", "00", "FF", Repeat("C16030180C0683", 32)),
         std::string(255, 'A')},
        // Header of 6 octets plus one fill bit: 7 septets, then the text.
        {"concatenated part without its header", Deliver("44", "00", "0A", "050003010201C2E231"),
         "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SMS_PDU_t param = DecodeDeliverPdu(c.pdu);
        EXPECT_EQ(param.strText, c.text);
    }
}

TEST(DecodeDeliverPdu, EightBitAndOtherCodings)
{
    struct Case {
        const char* name;
        std::string pdu;
        std::string textHex;
    };
    const std::vector<Case> cases = {
        {"8-bit octets as they are", Deliver("04", "04", "03", "41FF42"), "41FF42"},
        {"8-bit zero octets are octets too", Deliver("04", "04", "03", "410042"), "410042"},
        {"8-bit part without its header", Deliver("44", "04", "08", "0500030102014142"), "4142"},
        {"8-bit, 200 octets, none cut", Deliver("04", "04", "C8", Repeat("41", 200)),
         Repeat("41", 200)},
        {"coding 0x11 is the default alphabet, class 1", Deliver("04", "11", "05", "E8329BFD06"),
         BytesToHex("hello")},
        {"coding 0x19 is UCS-2", Deliver("04", "19", "04", "4E2D6587"), BytesToHex(GB("中文"))},
        {"UCS-2 odd TP-UDL", Deliver("04", "08", "03", "00410042"), "41"},
        {"UCS-2 of 162 bytes, none cut", Deliver("04", "08", "A2", Repeat("4E2D", 81)),
         BytesToHex(Repeat(GB("中"), 81))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SMS_PDU_t param = DecodeDeliverPdu(c.pdu);
        EXPECT_EQ(BytesToHex(param.strText), c.textHex);
    }
}

TEST(DecodeDeliverPdu, FieldsItDoesNotFillStayEmpty)
{
    const SMS_PDU_t single = DecodeDeliverPdu(Deliver("04", "00", "05", "E8329BFD06"));
    EXPECT_EQ(single.strText, "hello");
    EXPECT_FALSE(single.bConcat);
    EXPECT_EQ(single.strUrl, "");
    EXPECT_EQ(single.strPartHex, "");
    EXPECT_EQ(single.nPartNo, 0);
    EXPECT_EQ(single.nConcatRef, 0);
    EXPECT_EQ(single.nConcatTotal, 0);
    EXPECT_EQ(single.byRefUcs2, 0);

    // A 7-bit part sets the concatenation fields but not byRefUcs2.
    const SMS_PDU_t part = DecodeDeliverPdu(Deliver("44", "00", "0A", "050003070201C2E231"));
    EXPECT_TRUE(part.bConcat);
    EXPECT_EQ(part.nConcatRef, 7);
    EXPECT_EQ(part.byRefUcs2, 0);
}

TEST(DecodeDeliverPdu, HeadersInTheDefaultAlphabetEndOnASeptet)
{
    struct Case {
        const char* name;
        std::string pdu;
        const char* text;
    };
    const std::vector<Case> cases = {
        // 7 header octets (16-bit reference): 56 bits, no fill, 8 septets.
        {"16-bit reference, no fill bits",
         Deliver("40", "00", "0B",
                 "060804012C0201"
                 "C3B018"),
         "Cab"},
        // 8-bit port addressing, 5 octets: 40 bits, 2 fill bits, 6 septets.
        {"port addressing, 2 fill bits",
         Deliver("40", "00", "09",
                 "0404020BE2"
                 "84C563"),
         "abc"},
        // Two elements, 12 octets: 96 bits, 2 fill bits, 14 septets.
        {"two elements, 2 fill bits",
         Deliver("40", "00", "11",
                 "0B0504123400000003A70202"
                 "E0F37A"),
         "xyz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SMS_PDU_t param = DecodeDeliverPdu(c.pdu);
        EXPECT_EQ(param.strText, c.text);
        EXPECT_TRUE(param.bReadable);
    }
}

// What makes a PDU unreadable: it is kept on the modem, so only a PDU that
// was read whole may count as readable.
TEST(DecodeDeliverPdu, ReadableOnlyWhenEveryAnnouncedFieldIsThere)
{
    struct Case {
        const char* name;
        std::string pdu;
        bool readable;
    };
    const std::vector<Case> cases = {
        {"whole", Deliver("04", "00", "05", "E8329BFD06"), true},
        {"lower-case digits",
         "0891683108100005f0040b813119325476f8000012304050607000"
         "05e8329bfd06",
         true},
        {"user data cut short", Deliver("04", "00", "05", "E8329B"), false},
        {"cut in the time stamp",
         kSca + "04" + kNationalOriginator +
             "0000"
             "123040",
         false},
        {"odd number of digits", Deliver("04", "00", "05", "E8329BFD06") + "0", false},
        {"non-hex character", Deliver("04", "00", "05", "E8329BFDG6"), false},
        {"header longer than the user data", Deliver("44", "08", "04", "0A000301"), false},
        {"element longer than the header", Deliver("44", "08", "08", "0300050102030041"), false},
        {"compressed", Deliver("04", "20", "02", "0041"), false},
        {"originator of 20 digits",
         kSca + "04" + "1481" + "21436587092143658709" + "0000" + kTimeStamp + "00", true},
        {"originator of 21 digits",
         kSca + "04" + "1581" + "21436587092143658709F1" + "0000" + kTimeStamp + "00", false},
        {"service centre of 20 digits",
         "0B91" + Repeat("21", 10) + "04" + kNationalOriginator + "0000" + kTimeStamp + "00", true},
        {"service centre of 22 digits",
         "0C91" + Repeat("21", 11) + "04" + kNationalOriginator + "0000" + kTimeStamp + "00",
         false},
        {"reserved coding group", Deliver("04", "80", "02", "0041"), false},
        {"empty", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SMS_PDU_t param = DecodeDeliverPdu(c.pdu);
        EXPECT_EQ(param.bReadable, c.readable);
    }
    const SMS_PDU_t compressed = DecodeDeliverPdu(Deliver("04", "20", "02", "0041"));
    EXPECT_EQ(compressed.strText, "") << "a compressed text is never shown as garbage";
    EXPECT_TRUE(compressed.strUserText.empty());
}

}  // namespace
