// Stored PDUs written by others (gammu's recorded modem replies, ofono's unit
// tests), with the values their sources expect; see the file's "source" and
// each case's "expect_from".
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <string>
#include <vector>

#include "codec/charset_conv.h"
#include "codec/pdu.h"
#include "support/fixture_text.h"

namespace {

Json::Value LoadFieldTable()
{
    std::ifstream in(TestDataPath("codec/pdus_field.json"));
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    EXPECT_TRUE(Json::parseFromStream(builder, in, &root, &errors)) << errors;
    return root;
}

const char* TypeName(unsigned type)
{
    static const char* const kNames[] = {"deliver", "submit", "status-report", "reserved"};
    return kNames[type & 3];
}

std::string TimeText(const std::string& digits)
{
    if (digits.size() < 12) {
        return std::string();
    }
    return digits.substr(0, 2) + "-" + digits.substr(2, 2) + "-" + digits.substr(4, 2) + " " +
           digits.substr(6, 2) + ":" + digits.substr(8, 2) + ":" + digits.substr(10, 2);
}

// The text a message of this one PDU has.
std::string MessageText(const SMS_PDU_t& pdu)
{
    const std::vector<SMS_JOINED_t> joined = JoinConcatParts({&pdu});
    return joined.empty() ? std::string() : joined.front().strText;
}

TEST(PduFieldTable, StoredPdusFromOtherSoftwareDecodeAsTheirSourcesExpect)
{
    const Json::Value root = LoadFieldTable();
    ASSERT_TRUE(root["source"].isString());
    ASSERT_GE(root["cases"].size(), 50u);
    for (const Json::Value& c : root["cases"]) {
        SCOPED_TRACE(c["name"].asString() + " (" + c["expect_from"].asString() + ")");
        const SMS_PDU_t pdu = DecodeStoredPdu(c["pdu"].asString());
        ASSERT_EQ(pdu.bReadable, c["readable"].asBool());
        if (!c["readable"].asBool()) {
            continue;
        }
        EXPECT_EQ(TypeName(pdu.byMessageType), c["type"].asString());
        EXPECT_EQ(AnsiToUtf8(pdu.strNumber), c["number"].asString());
        EXPECT_EQ(TimeText(pdu.strTime), c["time"].asString());
        if (c.isMember("text_utf8")) {
            EXPECT_EQ(AnsiToUtf8(MessageText(pdu)), c["text_utf8"].asString());
        }
        if (c.isMember("text_hex")) {
            EXPECT_EQ(BytesToHex(MessageText(pdu)), c["text_hex"].asString());
        }
        if (c.isMember("dcs")) {
            EXPECT_EQ(pdu.byDcs, c["dcs"].asUInt());
        }
        EXPECT_EQ(pdu.bConcat, c.isMember("concat"));
        if (c.isMember("concat")) {
            EXPECT_EQ(pdu.nConcatRef, c["concat"]["ref"].asUInt());
            EXPECT_EQ(pdu.nConcatTotal, c["concat"]["total"].asUInt());
            EXPECT_EQ(pdu.nPartNo, c["concat"]["part"].asUInt());
        }
        ASSERT_EQ(c.isMember("report"), pdu.byMessageType == SMS_PDU_STATUS_REPORT);
        if (c.isMember("report")) {
            const Json::Value& report = c["report"];
            EXPECT_EQ(pdu.byReference, report["reference"].asUInt());
            EXPECT_EQ(pdu.byStatus, report["tp_st"].asUInt());
            EXPECT_STREQ(ReportStatusName(ReportStatusOf(pdu.byStatus)),
                         report["status"].asCString());
            EXPECT_EQ(TimeText(pdu.strTime), report["discharged"].asString());
        }
    }
}

}  // namespace
