// Decoding checked against PDUs made by an independent SMS library (the
// source is named in each vector file), not by our own builders.
#include <gtest/gtest.h>
#include <json/json.h>

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

void CheckDecoded(const Json::Value& v)
{
    SCOPED_TRACE(v["name"].asString());
    const std::string kind = v["kind"].asString();
    ASSERT_TRUE(kind == "deliver" || kind == "submit") << kind;
    const SMS_PDU_t pdu = kind == "deliver" ? DecodeDeliverPdu(v["pdu"].asString())
                                            : DecodeSubmitPdu(v["pdu"].asString());
    if (kind == "deliver") {
        EXPECT_EQ(TimeText(pdu.strTime), v["time"].asString());
    }
    // These files record the digits only; the "+" of international numbers
    // is checked against the field table (pdus_field.json).
    EXPECT_EQ(WithoutPlus(pdu.strNumber), v["number"].asString());
    EXPECT_EQ(pdu.byDcs, v["dcs"].asUInt());
    if (v.isMember("text_utf8")) {
        EXPECT_EQ(AnsiToUtf8(pdu.strText), v["text_utf8"].asString());
    }
    if (v.isMember("sca")) {
        EXPECT_EQ(WithoutPlus(pdu.strServiceCentre), v["sca"].asString());
    }
    if (v.isMember("concat")) {
        const Json::Value& concat = v["concat"];
        EXPECT_TRUE(pdu.bConcat);
        EXPECT_EQ(pdu.nConcatRef, concat["ref"].asUInt());
        EXPECT_EQ(pdu.nConcatTotal, concat["total"].asUInt());
        EXPECT_EQ(pdu.nPartNo, concat["part"].asUInt());
        if (pdu.byDcs == 8) {
            EXPECT_EQ(AnsiToUtf8(Ucs2ToAnsiString(HexToBytes(pdu.strPartHex))),
                      v["part_text_utf8"].asString());
            EXPECT_EQ(pdu.byRefUcs2, concat["ref"].asUInt());
        }
        EXPECT_EQ(AnsiToUtf8(pdu.strText), v["part_text_utf8"].asString())
            << "the text leaves the header out";
    } else if (kind == "deliver") {
        EXPECT_FALSE(pdu.bConcat);
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

// Position of the reference octet of a concatenated part: after the common
// header, TP-UDL and "050003".
std::size_t RefPosition(const SMS_SUBMIT_REQUEST_t& request)
{
    return BuildConcatHeader(request).size() + 2 + 6;
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
        SMS_SUBMIT_REQUEST_t request;
        request.strServiceCentre = b["sca"].asString();
        request.strNumber = b["number"].asString();
        request.bNational = b["national"].asBool();
        request.strText = Utf8ToAnsi(b["text_utf8"].asString());
        const Json::Value& recorded = b["pdus"];

        std::vector<std::string> ours;
        if (b["builder"].asString() == "BuildSubmitPdu") {
            const SMS_SUBMIT_PDU_t built = BuildSubmitPdu(request);
            ASSERT_EQ(built.strError, "");
            ASSERT_EQ(built.strPdu.back(), '\x1A');
            ours.push_back(built.strPdu.substr(0, built.strPdu.size() - 1));
        } else {
            const SMS_CONCAT_PDUS_t built = BuildConcatPdus(request);
            ASSERT_EQ(built.strError, "");
            ours = built.vecPdus;
            const std::size_t at = RefPosition(request);
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
            EXPECT_EQ(number[0] == '+', !request.bNational) << "type 91 is international";
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
