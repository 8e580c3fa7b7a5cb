#include "codec/pdu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec/charset_conv.h"

namespace {

const std::string kSca = "0891683108100005F0";
const std::string kNationalOriginator = "0B813119325476F8";  // 13912345678
const std::string kTimeStamp = "12304050607000";              // 21-03-04 05:06:07, zone 00

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
    SMS_PDU_PARAM_t param;
    DecodeDeliverPdu(Deliver("04", "08", "04", "4E2D6587"), param);
    EXPECT_STREQ(param.szSca, "8613800100500");
    EXPECT_STREQ(param.szNumber, "13912345678");
    EXPECT_EQ(param.byPid, 0);
    EXPECT_EQ(param.byDcs, 8);
    EXPECT_STREQ(param.szTime, "21030405060700");
    EXPECT_STREQ(param.szText, "中文");
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
        {"no service centre (length 0)", "00" "04" + kNationalOriginator + "0008" + kTimeStamp + "020041",
         "", "13912345678", "A"},
        {"service centre of the type octet only", "0191" "04" + kNationalOriginator + "0008" + kTimeStamp +
         "020041", "", "13912345678", "A"},
        {"international originator", kSca + "04" "0D91683119325476F8" "0008" + kTimeStamp + "020041",
         "8613800100500", "8613912345678", "A"},
        // The type is not kept: an alphanumeric originator ("Bank", packed)
        // comes out as the swapped hexadecimal of its packed form.
        {"alphanumeric originator", kSca + "04" "08D0C2303BAD" "0008" + kTimeStamp + "020041",
         "8613800100500", "2C03B3DA", "A"},
        {"empty originator", kSca + "04" "0081" "0008" + kTimeStamp + "020041", "8613800100500", "", "A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SMS_PDU_PARAM_t param;
        DecodeDeliverPdu(c.pdu, param);
        EXPECT_STREQ(param.szSca, c.sca);
        EXPECT_STREQ(param.szNumber, c.number);
        EXPECT_STREQ(param.szText, c.text);
    }
}

TEST(DecodeDeliverPdu, ConcatenatedUcs2PartTakesTheHeaderApart)
{
    SMS_PDU_PARAM_t param;
    DecodeDeliverPdu(Deliver("44", "08", "0A", "050003A702014E2D6587"), param);
    EXPECT_TRUE(param.bConcat);
    EXPECT_EQ(param.nConcatRef, 0xA7);
    EXPECT_EQ(param.nConcatTotal, 2);
    EXPECT_EQ(param.nPartNo, 1);
    EXPECT_EQ(param.byRefUcs2, 0xA7);
    EXPECT_STREQ(param.szText, "中文");
    EXPECT_STREQ(param.szPartHex, "4E2D6587");
    EXPECT_EQ(param.nPartHexLen, 8);
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
        {"first octet 04 rules the header out", Deliver("04", "08", "0A", "050003A702014E2D6587"), false,
         Ucs2ToAnsi(HexToBytes("050003A702014E2D6587"))},
        {"first octet 24 rules the header out", Deliver("24", "08", "02", "0500030102"), false, ""},
        {"header bit not needed (first octet 00)", Deliver("00", "08", "08", "05000301020141"), true, ""},
        {"exactly 12 characters are no part", Deliver("44", "08", "06", "050003010201"), false, ""},
        {"16-bit reference is not recognised", Deliver("44", "08", "0A", "0608040001020100410042"), false,
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SMS_PDU_PARAM_t param;
        DecodeDeliverPdu(c.pdu, param);
        EXPECT_EQ(param.bConcat, c.concat);
        if (!c.text.empty()) {
            EXPECT_EQ(BytesToHex(param.szText), BytesToHex(c.text));
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
        {"160 characters of 255 fit the field", Deliver("04", "00", "FF", Repeat("C16030180C0683", 32)),
         Repeat("AAAAAAAA", 20)},
        // Header of 6 octets plus one fill bit: 7 septets, then the text.
        {"concatenated part without its header", Deliver("44", "00", "0A", "050003010201C2E231"), "abc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SMS_PDU_PARAM_t param;
        DecodeDeliverPdu(c.pdu, param);
        EXPECT_EQ(std::string(param.szText), c.text);
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
        {"8-bit text ends at a zero octet", Deliver("04", "04", "03", "410042"), "41"},
        {"8-bit part without its header", Deliver("44", "04", "08", "0500030102014142"), "4142"},
        {"8-bit, 200 octets cut to the field", Deliver("04", "04", "C8", Repeat("41", 200)), Repeat("41", 160)},
        {"coding 0x11 is UCS-2", Deliver("04", "11", "02", "0041"), "41"},
        {"coding 0x19 is UCS-2", Deliver("04", "19", "04", "4E2D6587"), BytesToHex("中文")},
        {"UCS-2 odd TP-UDL", Deliver("04", "08", "03", "00410042"), "41"},
        {"UCS-2 over 160 bytes is empty", Deliver("04", "08", "A2", Repeat("4E2D", 81)), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SMS_PDU_PARAM_t param;
        DecodeDeliverPdu(c.pdu, param);
        EXPECT_EQ(BytesToHex(param.szText), c.textHex);
    }
}

TEST(DecodeDeliverPdu, WritesOnlyItsFields)
{
    SMS_PDU_PARAM_t param;
    std::strcpy(param.szText, "old text");
    std::strcpy(param.szUrl, "old url");
    std::strcpy(param.szPartHex, "ABCD");
    param.bConcat = true;
    param.nPartNo = 9;
    param.nConcatRef = 9;
    param.nConcatTotal = 9;
    param.nPartHexLen = 4;
    param.byRefUcs2 = 9;
    DecodeDeliverPdu(Deliver("04", "00", "05", "E8329BFD06"), param);
    EXPECT_STREQ(param.szText, "hello");
    EXPECT_FALSE(param.bConcat);
    EXPECT_STREQ(param.szUrl, "old url");
    EXPECT_STREQ(param.szPartHex, "ABCD");
    EXPECT_EQ(param.nPartNo, 9);
    EXPECT_EQ(param.nConcatRef, 9);
    EXPECT_EQ(param.nConcatTotal, 9);
    EXPECT_EQ(param.nPartHexLen, 4);
    EXPECT_EQ(param.byRefUcs2, 9);

    // A 7-bit part sets the concatenation fields but not byRefUcs2.
    DecodeDeliverPdu(Deliver("44", "00", "0A", "050003070201C2E231"), param);
    EXPECT_TRUE(param.bConcat);
    EXPECT_EQ(param.nConcatRef, 7);
    EXPECT_EQ(param.byRefUcs2, 9);
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
        {"type 5, then 1", lead + "05" + std::string(14, '0') + url + "00" "01" "00" + text,
         "http://a.cn", "推送"},
        {"type 5, then 7 and 7", lead + "05" + std::string(14, '0') + url + "00" "03" "00" "07" +
         std::string(18, '0') + "07" + std::string(14, '0') + "0000" + text, "http://a.cn", "推送"},
        {"type 5, then 7 and other", lead + "05" + std::string(14, '0') + url + "00" "03" "00" "07" +
         std::string(18, '0') + "02" + std::string(8, '0') + "0000" + text, "http://a.cn", "推送"},
        {"type 5, then other", lead + "05" + std::string(14, '0') + url + "00" "03" "00" "02" +
         std::string(8, '0') + "0000" + text, "http://a.cn", "推送"},
        {"text ends at a zero byte", lead + "05" + std::string(14, '0') + url + "00" "01" "00" + text +
         "00" "41", "http://a.cn", "推送"},
        {"URL without its zero octet", lead + "03" + std::string(54, '0') + url, "http://a.c", ""},
        // No skip fits: the octets at the start are taken as they come.
        {"user data too short for the offsets", "0568", "\x05", "h"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SMS_PDU_PARAM_t param;
        DecodeDeliverPdu(Deliver("44", "F5", "8C", c.ud), param);
        EXPECT_EQ(std::string(param.szUrl), c.url);
        EXPECT_EQ(std::string(param.szText), c.text);
        EXPECT_EQ(param.byDcs, 0xF5);
    }

    SMS_PDU_PARAM_t param;
    std::strcpy(param.szUrl, "kept");
    DecodeDeliverPdu(Deliver("44", "F5", "8C", lead + "03" + std::string(54, '0') + "00" + url), param);
    EXPECT_STREQ(param.szUrl, "kept") << "a zero octet where the URL starts writes nothing";

    DecodeDeliverPdu(Deliver("44", "F5", "8C", lead + "03" + std::string(54, '0') + Repeat("41", 200) + "00"),
                     param);
    EXPECT_EQ(std::string(param.szUrl), std::string(128, 'A')) << "cut to the field";
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
        {"relative validity", "0891683108100005F011000B813108108300F00008AA0400410042", "13800138000", 8,
         "AB"},
        {"7-bit", "0891683108100005F011000D91683108108300F000000005E8329BFD06", "8613800138000", 0,
         "hello"},
        {"8-bit", "0011000B813108108300F00004AA024142", "13800138000", 4, "AB"},
        {"0xF5 taken as UCS-2", "0011000B813108108300F000F5AA020041", "13800138000", 0xF5, "A"},
        // TP-VPF decides how many validity octets follow TP-DCS.
        {"no validity period", "0001000B813108108300F000080400410042", "13800138000", 8, "AB"},
        {"absolute validity period", "0019000B813108108300F0000812304050607000" "0400410042",
         "13800138000", 8, "AB"},
        {"enhanced validity period", "0009000B813108108300F00008" "01000000000000" "0400410042",
         "13800138000", 8, "AB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SMS_PDU_PARAM_t param;
        std::strcpy(param.szTime, "kept");
        param.bConcat = true;
        DecodeSubmitPdu(c.pdu, param);
        EXPECT_STREQ(param.szNumber, c.number);
        EXPECT_EQ(param.byDcs, c.dcs);
        EXPECT_EQ(std::string(param.szText), c.text);
        EXPECT_STREQ(param.szTime, "kept");
        EXPECT_TRUE(param.bConcat) << "no concatenation handling";
    }
}

}  // namespace
