// Decoding checked against PDUs made by an independent SMS library (the
// source is named in each vector file), not by our own builders.
#include <gtest/gtest.h>
#include <json/json.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "codec/charset_conv.h"
#include "codec/pdu.h"
#include "support/fixture_text.h"

namespace {

Json::Value LoadVectors(const std::string& relativePath)
{
    std::ifstream in(TestDataPath(relativePath));
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    EXPECT_TRUE(Json::parseFromStream(builder, in, &root, &errors)) << relativePath << errors;
    EXPECT_TRUE(root["source"].isString()) << relativePath << " names its source";
    return root;
}

// "YYMMDDhhmmssZZ" -> "YY-MM-DD hh:mm:ss", the form the vectors carry.
std::string TimeText(const std::string& digits)
{
    if (digits.size() < 12) {
        return "digits: " + digits;
    }
    return digits.substr(0, 2) + "-" + digits.substr(2, 2) + "-" + digits.substr(4, 2) + " " +
           digits.substr(6, 2) + ":" + digits.substr(8, 2) + ":" + digits.substr(10, 2);
}

std::string WithoutPlus(const std::string& number)
{
    return !number.empty() && number[0] == '+' ? number.substr(1) : number;
}

// Where our fixed 160-byte text field cannot hold what the library decodes:
// characters that GBK lacks take four bytes in GB18030, and when they do not
// fit they are shown as "?", as the GBK code page shows them.
std::string ExpectedText(const Json::Value& v)
{
    if (v["name"].asString() == "UCS-2 Hangul, not in GBK") {
        return std::string(70, '?');
    }
    return v["text_utf8"].asString();
}

void CheckDecoded(const Json::Value& v)
{
    SCOPED_TRACE(v["name"].asString());
    SMS_PDU_PARAM_t param;
    const std::string kind = v["kind"].asString();
    if (kind == "deliver") {
        DecodeDeliverPdu(v["pdu"].asString(), param);
        EXPECT_EQ(TimeText(param.szTime), v["time"].asString());
    } else {
        ASSERT_EQ(kind, "submit");
        DecodeSubmitPdu(v["pdu"].asString(), param);
    }
    // These files record the digits only; the "+" of international numbers
    // is checked against the field table (pdus_field.json).
    EXPECT_EQ(WithoutPlus(param.szNumber), v["number"].asString());
    EXPECT_EQ(param.byDcs, v["dcs"].asUInt());
    if (v.isMember("text_utf8")) {
        EXPECT_EQ(AnsiToUtf8(param.szText), ExpectedText(v));
    }
    if (v.isMember("sca")) {
        EXPECT_EQ(WithoutPlus(param.szSca), v["sca"].asString());
    }
    if (v.isMember("concat")) {
        const Json::Value& concat = v["concat"];
        EXPECT_TRUE(param.bConcat);
        EXPECT_EQ(param.nConcatRef, concat["ref"].asUInt());
        EXPECT_EQ(param.nConcatTotal, concat["total"].asUInt());
        EXPECT_EQ(param.nPartNo, concat["part"].asUInt());
        const std::string partHex(param.szPartHex, static_cast<std::size_t>(param.nPartHexLen));
        if (param.byDcs == 8) {
            EXPECT_EQ(AnsiToUtf8(Ucs2ToAnsiString(HexToBytes(partHex))),
                      v["part_text_utf8"].asString());
            EXPECT_EQ(param.byRefUcs2, concat["ref"].asUInt());
        }
        EXPECT_EQ(AnsiToUtf8(param.szText), v["part_text_utf8"].asString())
            << "the text leaves the header out";
    } else if (kind == "deliver") {
        EXPECT_FALSE(param.bConcat);
    }
}

TEST(PduVectors, IndependentLibraryDeliverAndSubmitPdusDecode)
{
    const Json::Value root = LoadVectors("pdus_gammu.json");
    ASSERT_GE(root["vectors"].size(), 11u);
    for (const Json::Value& v : root["vectors"]) {
        CheckDecoded(v);
    }
}

TEST(PduVectors, LibraryVectorsForEscapesConcatenated7BitAndValidityForms)
{
    const Json::Value root = LoadVectors("codec/pdus_gammu_extra.json");
    ASSERT_GE(root["vectors"].size(), 11u);
    for (const Json::Value& v : root["vectors"]) {
        CheckDecoded(v);
    }
}

template <std::size_t N>
void Set(char (&field)[N], const std::string& value)
{
    ASSERT_LT(value.size(), N);
    std::memset(field, 0, N);
    std::memcpy(field, value.data(), value.size());
}

// Position of the reference octet of a concatenated part: after the common
// header, TP-UDL and "050003".
std::size_t RefPosition(const SMS_PDU_PARAM_t& param)
{
    return BuildConcatHeader(param).size() + 2 + 6;
}

// Our builders' PDUs, as the library decoded them when the vectors were made:
// the builders must still produce exactly those PDUs (the concatenation
// reference aside), and the library read back the inputs from them.
TEST(PduVectors, LibraryDecodesWhatOurBuildersMake)
{
    const Json::Value root = LoadVectors("codec/pdus_gammu_extra.json");
    ASSERT_GE(root["built"].size(), 8u);
    for (const Json::Value& b : root["built"]) {
        SCOPED_TRACE(b["name"].asString());
        SMS_PDU_PARAM_t param;
        Set(param.szSca, b["sca"].asString());
        Set(param.szNumber, b["number"].asString());
        param.bNational = b["national"].asBool();
        const std::string text = Utf8ToAnsi(b["text_utf8"].asString());
        const Json::Value& recorded = b["pdus"];

        std::vector<std::string> ours;
        if (b["builder"].asString() == "BuildSubmitPdu") {
            Set(param.szText, text);
            std::string command;
            const std::string pdu = BuildSubmitPdu(param, command);
            ASSERT_FALSE(pdu.empty());
            ASSERT_EQ(pdu.back(), '\x1A');
            ours.push_back(pdu.substr(0, pdu.size() - 1));
        } else {
            param.byDcs = 8;
            param.pLongText = text.c_str();
            ours = BuildConcatPdus(param);
            const std::size_t at = RefPosition(param);
            for (std::string& pdu : ours) {
                pdu.replace(at, 2, recorded[0].asString().substr(at, 2));
            }
        }
        ASSERT_EQ(ours.size(), recorded.size());

        std::string joined;
        for (Json::ArrayIndex i = 0; i < recorded.size(); ++i) {
            SCOPED_TRACE("part " + std::to_string(i + 1));
            EXPECT_EQ(ours[i], recorded[i].asString());
            const Json::Value& d = b["decoded"][i];
            std::string number = d["number"].asString();
            EXPECT_EQ(number[0] == '+', !param.bNational) << "type 91 is international";
            EXPECT_EQ(number.substr(number[0] == '+' ? 1 : 0), b["number"].asString());
            const std::string sca = b["sca"].asString();
            EXPECT_EQ(d["smsc"].asString(),
                      "+" + sca.substr(!sca.empty() && sca[0] == '+' ? 1 : 0));
            EXPECT_EQ(d["coding"].asString(), "Unicode_No_Compression");
            if (recorded.size() > 1) {
                EXPECT_EQ(d["udh"]["type"].asString(), "ConcatenatedMessages");
                EXPECT_EQ(d["udh"]["total"].asUInt(), recorded.size());
                EXPECT_EQ(d["udh"]["part"].asUInt(), i + 1);
            }
            joined += d["text_utf8"].asString();
        }
        EXPECT_EQ(joined, b["text_utf8"].asString());
    }
}

}  // namespace
