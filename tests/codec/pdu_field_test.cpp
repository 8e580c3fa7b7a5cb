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
std::string MessageText(const SMS_PDU_PARAM_t& param)
{
    const std::vector<SMS_JOINED_t> joined = JoinConcatParts({&param});
    return joined.empty() ? std::string() : joined.front().strText;
}

TEST(PduFieldTable, StoredPdusFromOtherSoftwareDecodeAsTheirSourcesExpect)
{
    const Json::Value root = LoadFieldTable();
    ASSERT_TRUE(root["source"].isString());
    ASSERT_GE(root["cases"].size(), 50u);
    for (const Json::Value& c : root["cases"]) {
        SCOPED_TRACE(c["name"].asString() + " (" + c["expect_from"].asString() + ")");
        SMS_PDU_PARAM_t param;
        DecodeStoredPdu(c["pdu"].asString(), param);
        ASSERT_EQ(param.bReadable, c["readable"].asBool());
        if (!c["readable"].asBool()) {
            continue;
        }
        EXPECT_EQ(TypeName(param.byMessageType), c["type"].asString());
        EXPECT_EQ(AnsiToUtf8(param.szNumber), c["number"].asString());
        EXPECT_EQ(TimeText(param.szTime), c["time"].asString());
        if (c.isMember("text_utf8")) {
            EXPECT_EQ(AnsiToUtf8(MessageText(param)), c["text_utf8"].asString());
        }
        if (c.isMember("text_hex")) {
            EXPECT_EQ(BytesToHex(MessageText(param)), c["text_hex"].asString());
        }
        if (c.isMember("dcs")) {
            EXPECT_EQ(param.byDcs, c["dcs"].asUInt());
        }
        EXPECT_EQ(param.bConcat, c.isMember("concat"));
        if (c.isMember("concat")) {
            EXPECT_EQ(param.nConcatRef, c["concat"]["ref"].asUInt());
            EXPECT_EQ(param.nConcatTotal, c["concat"]["total"].asUInt());
            EXPECT_EQ(param.nPartNo, c["concat"]["part"].asUInt());
        }
    }
}

}  // namespace
