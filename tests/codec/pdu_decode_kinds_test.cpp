// The decoders of the other message kinds and formats: the push format, a
// stored SUBMIT, a status report, the choice by message type, and the
// alphabets of the data codings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/charset_conv.h"
#include "codec/pdu.h"
#include "deliver_pdu.h"
#include "iconv/text_literal.h"

namespace {

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
        {"a reserved value confirms nothing", "90",
         "Delivery report for message 7: failed (TP-ST 0x90)"},
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

TEST(ReportStatusOf, TheRangesOfTpSt)
{
    const struct {
        unsigned tpSt;
        SMS_REPORT_STATUS_t status;
        const char* name;
    } cases[] = {
        {0x00, SMS_REPORT_DELIVERED, "delivered"}, {0x01, SMS_REPORT_DELIVERED, "delivered"},
        {0x1F, SMS_REPORT_DELIVERED, "delivered"}, {0x20, SMS_REPORT_PENDING, "pending"},
        {0x25, SMS_REPORT_PENDING, "pending"},     {0x3F, SMS_REPORT_PENDING, "pending"},
        {0x40, SMS_REPORT_FAILED, "failed"},       {0x46, SMS_REPORT_FAILED, "failed"},
        {0x5F, SMS_REPORT_FAILED, "failed"},       {0x60, SMS_REPORT_FAILED, "failed"},
        {0x7F, SMS_REPORT_FAILED, "failed"},       {0x80, SMS_REPORT_FAILED, "failed"},
        {0xFF, SMS_REPORT_FAILED, "failed"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReportStatusOf(c.tpSt), c.status) << "TP-ST " << c.tpSt;
        EXPECT_STREQ(ReportStatusName(ReportStatusOf(c.tpSt)), c.name);
    }
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
