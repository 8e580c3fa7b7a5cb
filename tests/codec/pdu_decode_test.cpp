#include "codec/pdu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/charset_conv.h"
#include "iconv/text_literal.h"

namespace {

const std::string kSca = "0891683108100005F0";
const std::string kNationalOriginator = "0B813119325476F8";  // 13912345678
const std::string kTimeStamp = "12304050607000";             // 21-03-04 05:06:07, zone 00

std::string Deliver(const std::string& firstOctet, const std::string& dcs, const std::string& udl,
                    const std::string& ud)
{
    return kSca + firstOctet + kNationalOriginator + "00" + dcs + kTimeStamp + udl + ud;
}

std::string Repeat(const std::string& piece, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += piece;
    }
    return out;
}

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

// Data coding 0xF5: fixed offsets to the URL, then a UTF-8 text.
TEST(DecodeDeliverPdu, PushFormat)
{
    const std::string url = BytesToHex("http://a.cn");
    const std::string text = BytesToHex(u8"推送");
    const std::string lead = std::string(34, '0');
    struct Case {
        const char* name;
        std::string ud;
        std::string url;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"type other than 5: URL only", lead + "03" + std::string(54, '0') + url + "00" + text,
         "http://a.cn", ""},
        {"type 5, then 1",
         lead + "05" + std::string(14, '0') + url +
             "00"
             "01"
             "00" +
             text,
         "http://a.cn", GB("推送")},
        {"type 5, then 7 and 7",
         lead + "05" + std::string(14, '0') + url +
             "00"
             "03"
             "00"
             "07" +
             std::string(18, '0') + "07" + std::string(14, '0') + "0000" + text,
         "http://a.cn", GB("推送")},
        {"type 5, then 7 and other",
         lead + "05" + std::string(14, '0') + url +
             "00"
             "03"
             "00"
             "07" +
             std::string(18, '0') + "02" + std::string(8, '0') + "0000" + text,
         "http://a.cn", GB("推送")},
        {"type 5, then other",
         lead + "05" + std::string(14, '0') + url +
             "00"
             "03"
             "00"
             "02" +
             std::string(8, '0') + "0000" + text,
         "http://a.cn", GB("推送")},
        {"text ends at a zero byte",
         lead + "05" + std::string(14, '0') + url +
             "00"
             "01"
             "00" +
             text +
             "00"
             "41",
         "http://a.cn", GB("推送")},
        {"URL without its zero octet", lead + "03" + std::string(54, '0') + url, "http://a.c", ""},
        // No skip fits: the octets at the start are taken as they come.
        {"user data too short for the offsets", "0568", "\x05", "h"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SMS_PDU_t param = DecodeDeliverPdu(Deliver("44", "F5", "8C", c.ud));
        EXPECT_EQ(param.strUrl, c.url);
        EXPECT_EQ(param.strText, c.text);
        EXPECT_EQ(param.byDcs, 0xF5);
    }

    EXPECT_EQ(
        DecodeDeliverPdu(Deliver("44", "F5", "8C", lead + "03" + std::string(54, '0') + "00" + url))
            .strUrl,
        "")
        << "a zero octet where the URL starts gives no URL";
    EXPECT_EQ(
        DecodeDeliverPdu(Deliver("44", "F5", "8C",
                                 lead + "03" + std::string(54, '0') + Repeat("41", 200) + "00"))
            .strUrl,
        std::string(200, 'A'))
        << "kept whole";
}

TEST(DecodeSubmitPdu, ReadsStoredOutgoingMessages)
{
    struct Case {
        const char* name;
        std::string pdu;
        const char* number;
        unsigned dcs;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"relative validity", "0891683108100005F011000B813108108300F00008AA0400410042",
         "13800138000", 8, "AB"},
        {"7-bit", "0891683108100005F011000D91683108108300F000000005E8329BFD06", "+8613800138000", 0,
         "hello"},
        {"8-bit", "0011000B813108108300F00004AA024142", "13800138000", 4, "AB"},
        {"0xF5 is 8-bit data in a SUBMIT", "0011000B813108108300F000F5AA024142", "13800138000",
         0xF5, "AB"},
        // TP-VPF decides how many validity octets follow TP-DCS.
        {"no validity period", "0001000B813108108300F000080400410042", "13800138000", 8, "AB"},
        {"absolute validity period",
         "0019000B813108108300F0000812304050607000"
         "0400410042",
         "13800138000", 8, "AB"},
        {"enhanced validity period",
         "0009000B813108108300F00008"
         "01000000000000"
         "0400410042",
         "13800138000", 8, "AB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SMS_PDU_t param = DecodeSubmitPdu(c.pdu);
        EXPECT_EQ(param.strNumber, c.number);
        EXPECT_EQ(param.byDcs, c.dcs);
        EXPECT_EQ(param.strText, c.text);
        EXPECT_EQ(param.strTime, "") << "a SUBMIT has no time stamp";
        EXPECT_FALSE(param.bConcat) << "no header, no part";
        EXPECT_TRUE(param.bReadable);
        EXPECT_EQ(param.byMessageType, SMS_PDU_SUBMIT);
    }

    // A stored part of a long outgoing message: header walked, text after it.
    const SMS_PDU_t part = DecodeSubmitPdu(
        "0051000B813108108300F00008A70A050003070201"
        "00410042");
    EXPECT_TRUE(part.bConcat);
    EXPECT_EQ(part.nConcatRef, 7);
    EXPECT_EQ(part.nPartNo, 1);
    EXPECT_EQ(part.strText, "AB");
}

// TP-DCS groups of 3GPP TS 23.038 4, one value or more of each.
TEST(AlphabetOfDcs, EveryCodingGroup)
{
    struct Case {
        unsigned dcs;
        SMS_ALPHABET_t alphabet;
    };
    const std::vector<Case> cases = {
        {0x00, SMS_ALPHABET_GSM7}, {0x03, SMS_ALPHABET_GSM7},  // general, no class bit
        {0x04, SMS_ALPHABET_8BIT}, {0x08, SMS_ALPHABET_UCS2},
        {0x0C, SMS_ALPHABET_NONE}, {0x10, SMS_ALPHABET_GSM7},
        {0x11, SMS_ALPHABET_GSM7}, {0x13, SMS_ALPHABET_GSM7},  // class 0-3
        {0x15, SMS_ALPHABET_8BIT}, {0x18, SMS_ALPHABET_UCS2},
        {0x19, SMS_ALPHABET_UCS2}, {0x20, SMS_ALPHABET_NONE},
        {0x38, SMS_ALPHABET_NONE},  // compressed
        {0x40, SMS_ALPHABET_GSM7}, {0x48, SMS_ALPHABET_UCS2},
        {0x53, SMS_ALPHABET_GSM7},  // auto-delete
        {0x60, SMS_ALPHABET_NONE}, {0x80, SMS_ALPHABET_NONE},
        {0xBF, SMS_ALPHABET_NONE},                             // reserved groups
        {0xC0, SMS_ALPHABET_GSM7}, {0xC8, SMS_ALPHABET_GSM7},  // message waiting, discard
        {0xD0, SMS_ALPHABET_GSM7}, {0xDB, SMS_ALPHABET_GSM7},  // message waiting, store
        {0xE0, SMS_ALPHABET_UCS2}, {0xEB, SMS_ALPHABET_UCS2},  // message waiting, store, UCS-2
        {0xF0, SMS_ALPHABET_GSM7}, {0xF1, SMS_ALPHABET_GSM7},
        {0xF3, SMS_ALPHABET_GSM7}, {0xF4, SMS_ALPHABET_8BIT},
        {0xF6, SMS_ALPHABET_8BIT}, {0xF5, SMS_ALPHABET_PUSH},
        {0xF9, SMS_ALPHABET_NONE},  // bit 3 of the 0xF0 group is reserved
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AlphabetOfDcs(c.dcs), c.alphabet) << "TP-DCS " << std::hex << c.dcs;
    }
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

TEST(DecodeStatusReportPdu, RecipientDischargeTimeAndOutcome)
{
    struct Case {
        const char* name;
        std::string st;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"delivered", "00", "Delivery report for message 7: delivered (TP-ST 0x00)"},
        {"replaced counts as delivered", "02",
         "Delivery report for message 7: delivered (TP-ST 0x02)"},
        {"pending", "30", "Delivery report for message 7: pending (TP-ST 0x30)"},
        {"failed", "41", "Delivery report for message 7: failed (TP-ST 0x41)"},
        {"failed, no more attempts", "62", "Delivery report for message 7: failed (TP-ST 0x62)"},
        {"reserved value", "90", "Delivery report for message 7: status unknown (TP-ST 0x90)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SMS_PDU_t param = DecodeStoredPdu(kSca +
                                                "06"
                                                "07"
                                                "0D91683108108300F0"
                                                "42403031001500"
                                                "42403031002500" +
                                                c.st);
        EXPECT_EQ(param.byMessageType, SMS_PDU_STATUS_REPORT);
        EXPECT_EQ(param.strNumber, "+8613800138000");
        EXPECT_EQ(param.strTime, "24040313005200") << "the discharge time";
        EXPECT_EQ(param.strText, c.text);
        EXPECT_TRUE(param.bReadable);
        EXPECT_FALSE(param.bConcat);
    }
    const SMS_PDU_t cut = DecodeStoredPdu(kSca +
                                          "06"
                                          "07"
                                          "0D91683108108300F0"
                                          "42403031001500"
                                          "424030");
    EXPECT_FALSE(cut.bReadable);
}

TEST(DecodeStoredPdu, TheMessageTypeDecides)
{
    const SMS_PDU_t deliver = DecodeStoredPdu(Deliver("04", "00", "05", "E8329BFD06"));
    EXPECT_EQ(deliver.byMessageType, SMS_PDU_DELIVER);
    EXPECT_EQ(deliver.strText, "hello");
    EXPECT_EQ(deliver.strTime, "21030405060700");

    const SMS_PDU_t submit = DecodeStoredPdu("0011000B813108108300F00000AA05E8329BFD06");
    EXPECT_EQ(submit.byMessageType, SMS_PDU_SUBMIT);
    EXPECT_EQ(submit.strNumber, "13800138000");
    EXPECT_EQ(submit.strText, "hello");
    EXPECT_EQ(submit.strTime, "");

    const SMS_PDU_t reserved = DecodeStoredPdu("0003");
    EXPECT_EQ(reserved.byMessageType, SMS_PDU_RESERVED);
    EXPECT_FALSE(reserved.bReadable);
}

}  // namespace
