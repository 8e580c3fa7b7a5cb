// The JSON documents: members, order, layouts and the UTF-8 of every string.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <json/reader.h>
#include <json/writer.h>

#include "app/json_documents.h"
#include "app/json_text.h"
#include "iconv/text_literal.h"
#include "platform/charset.h"

namespace {

SEND_RESULT_t Result(const char* port, const char* number, COM_CMD_OPERATE_RESULT_t code,
                     const std::string& message)
{
    SEND_RESULT_t result;
    result.port = PortNamed(port);
    result.strNumber = number;
    result.strTime = "2026-05-12 13:28:56";
    result.nResult = code;
    result.strMessage = message;
    return result;
}

Json::Value Parse(const std::string& text)
{
    Json::CharReaderBuilder builder;
    Json::Value value;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, &errors)) << errors;
    return value;
}

TEST(SendErrorDocumentTest, FixedDocumentsInTheStyledLayoutWithAnEmptyLineAfter)
{
    const struct {
        int outcome;
        const char* text;
    } cases[] = {
        {SEND_PARSE_NO_PORT,
         "{\n   \"code\" : 1,\n   \"message\" : \"com port error\",\n   \"result\" : []\n}\n\n"},
        {SEND_PARSE_BAD_NUMBER,
         "{\n   \"code\" : 2,\n   \"message\" : \"phone number error\",\n   \"result\" : "
         "[]\n}\n\n"},
        {SEND_PARSE_BAD_COUNT,
         "{\n   \"code\" : 3,\n   \"message\" : \"param count error\",\n   \"result\" : []\n}\n\n"},
        {PORT_COMMAND_BAD_PIN,
         "{\n   \"code\" : 4,\n   \"message\" : \"pin error\",\n   \"result\" : []\n}\n\n"},
        {PORT_COMMAND_BAD_USSD_CODE,
         "{\n   \"code\" : 5,\n   \"message\" : \"ussd code error\",\n   \"result\" : []\n}\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.outcome);
        EXPECT_EQ(StyledDocumentText(SendErrorDocument(c.outcome), DOCUMENT_ASCII), c.text);
    }
    EXPECT_TRUE(SendErrorDocument(SEND_PARSE_SENT).isNull());
}

TEST(SendResultDocumentTest, ElementsInOrderWithMessageRules)
{
    const std::vector<SEND_RESULT_t> results = {
        Result("COM3", "18300000000", CMD_RESULT_SUCCEED, "OK"),
        Result("COM3", "10086", CMD_RESULT_FAILED, "+CMS ERROR: 500"),
        Result("COM7", "18300000000", CMD_RESULT_NO_SIM, ""),
        Result("COM12", "10086", CMD_RESULT_FOREIGN_DEVICE, GB("设备不AT")),
        Result("COM4", "10086", CMD_RESULT_FAILED, GB("设备不AT")),
    };
    const std::string text = StyledDocumentText(SendResultDocument(results), DOCUMENT_ASCII);
    const Json::Value doc = Parse(text);
    EXPECT_EQ(doc["code"].asInt(), 0);
    EXPECT_EQ(doc["message"].asString(), "param is ok");
    ASSERT_EQ(doc["result"].size(), results.size());

    const struct {
        const char* com;
        const char* number;
        int code;
        std::string message;
    } expected[] = {
        {"COM3", "18300000000", 0, "Succeed"},
        {"COM3", "10086", 1, "+CMS ERROR: 500"},
        {"COM7", "18300000000", 4, "No SIM CARD In Device"},
        {"COM12", "10086", 3, ResultTextEn(3)},
        {"COM4", "10086", 1, u8"设备不AT"},
    };
    for (Json::ArrayIndex i = 0; i < doc["result"].size(); ++i) {
        SCOPED_TRACE(i);
        const Json::Value& element = doc["result"][i];
        EXPECT_EQ(element.getMemberNames(),
                  (std::vector<std::string>{"code", "com", "message", "number", "time"}));
        EXPECT_EQ(element["com"].asString(), expected[i].com);
        EXPECT_EQ(element["number"].asString(), expected[i].number);
        EXPECT_EQ(element["code"].asInt(), expected[i].code);
        EXPECT_EQ(element["message"].asString(), expected[i].message);
        EXPECT_EQ(element["time"].asString(), "2026-05-12 13:28:56");
    }
    // Chinese text leaves as \u escapes of its UTF-8, never as code-page bytes.
    EXPECT_NE(text.find("\"\\u8bbe\\u5907\\u4e0dAT\""), std::string::npos) << text;
    for (unsigned char c : text) {
        ASSERT_LT(c, 0x80) << text;
    }
}

TEST(SendResultDocumentTest, AnUnusableDeviceKeepsItsCodeAndMessageAndGainsItsError)
{
    std::vector<SEND_RESULT_t> results = {
        Result("COM7", "18300000000", CMD_RESULT_NO_SIM, ""),
        Result("COM9", "18300000000", CMD_RESULT_NO_SIM, ""),
        Result("COM12", "10086", CMD_RESULT_FOREIGN_DEVICE, GB("设备不AT")),
        Result("COM3", "10086", CMD_RESULT_FAILED, "+CMS ERROR: 500"),
        Result("COM3", "10086", CMD_RESULT_SUCCEED, ""),
        Result("COM8", "10086", CMD_RESULT_NO_SIM, ""),
    };
    results[0].strError = "Code:16   Device or resource busy";
    results[1].strError = "not found";
    results[2].strError = "unknown model";
    // Only a device that was not usable has an error beside its message.
    results[3].strError = "ignored";
    results[4].strError = "ignored";
    const Json::Value doc = Parse(StyledDocumentText(SendResultDocument(results), DOCUMENT_ASCII));
    const struct {
        int code;
        const char* message;
        const char* error;  // null: no member
    } expected[] = {
        {4, "No SIM CARD In Device", "Code:16   Device or resource busy"},
        {4, "No SIM CARD In Device", "not found"},
        {3, "Not Corvel Device", "unknown model"},
        {1, "+CMS ERROR: 500", nullptr},
        {0, "Succeed", nullptr},
        {4, "No SIM CARD In Device", nullptr},
    };
    ASSERT_EQ(doc["result"].size(), results.size());
    for (Json::ArrayIndex i = 0; i < doc["result"].size(); ++i) {
        SCOPED_TRACE(i);
        const Json::Value& element = doc["result"][i];
        EXPECT_EQ(element["code"].asInt(), expected[i].code);
        EXPECT_EQ(element["message"].asString(), expected[i].message);
        EXPECT_EQ(element.isMember("error"), expected[i].error != nullptr);
        if (expected[i].error != nullptr) {
            EXPECT_EQ(element["error"].asString(), expected[i].error);
        }
    }
}

TEST(SendResultDocumentTest, ExactLayoutOfOneResult)
{
    const std::string text = StyledDocumentText(
        SendResultDocument({Result("COM3", "18300000000", CMD_RESULT_SUCCEED, "")}),
        DOCUMENT_ASCII);
    EXPECT_EQ(text,
              "{\n"
              "   \"code\" : 0,\n"
              "   \"message\" : \"param is ok\",\n"
              "   \"result\" : [\n"
              "      {\n"
              "         \"code\" : 0,\n"
              "         \"com\" : \"COM3\",\n"
              "         \"message\" : \"Succeed\",\n"
              "         \"number\" : \"18300000000\",\n"
              "         \"time\" : \"2026-05-12 13:28:56\"\n"
              "      }\n"
              "   ]\n"
              "}\n\n");
}

TEST(SendResultDocumentTest, NoResultsNoResultMember)
{
    EXPECT_EQ(StyledDocumentText(SendResultDocument({}), DOCUMENT_ASCII),
              "{\n   \"code\" : 0,\n   \"message\" : \"param is ok\"\n}\n\n");
}

SmsMessage Message(const std::string& from, const std::string& time, const std::string& text)
{
    return SmsMessage{from, time, text};
}

INBOX_RESULT_t ReadClearResult()
{
    INBOX_RESULT_t result;
    result.strType = "readclear";
    result.bCheck = true;
    result.nSeconds = 7;
    INBOX_PORT_RESULT_t first;
    first.port = PortNamed("COM3");
    first.bRead = true;
    first.vecMe = {Message("10086", "26-05-12 08:00:01", "dev one")};
    first.vecSm = {Message("+8613800138000", "26-05-11 09:30:00", GB("北京欢迎你")),
                   Message("13900000000", "", "sim two")};
    first.bCleared = true;
    first.bClear = true;
    INBOX_PORT_RESULT_t second;
    second.port = PortNamed("COM10");
    second.bRead = true;
    second.bCleared = true;
    result.vecPorts = {first, second};
    return result;
}

TEST(InboxDocumentTest, ReadClearPortsWithSimMessagesFirst)
{
    const std::string text = StyledDocumentText(InboxDocument(ReadClearResult()), DOCUMENT_ASCII);
    const Json::Value doc = Parse(text);
    EXPECT_EQ(doc.getMemberNames(),
              (std::vector<std::string>{"check", "portcount", "ports", "seconds", "type"}));
    EXPECT_EQ(doc["check"].asInt(), 1);
    EXPECT_EQ(doc["portcount"].asInt(), 2);
    EXPECT_EQ(doc["seconds"].asInt(), 7);
    EXPECT_EQ(doc["type"].asString(), "readclear");

    const Json::Value& first = doc["ports"][0];
    EXPECT_EQ(first.getMemberNames(),
              (std::vector<std::string>{"clear", "msgcount", "msgs", "name"}));
    EXPECT_EQ(first["name"].asString(), "COM3");
    EXPECT_EQ(first["msgcount"].asInt(), 3);
    EXPECT_TRUE(first["clear"].asBool());
    ASSERT_EQ(first["msgs"].size(), 3u);
    const struct {
        const char* from;
        const char* storage;
        std::string text;
        const char* time;
    } expected[] = {
        {"+8613800138000", "SIM", u8"北京欢迎你", "26-05-11 09:30:00"},
        {"13900000000", "SIM", "sim two", ""},
        {"10086", "DEV", "dev one", "26-05-12 08:00:01"},
    };
    for (Json::ArrayIndex i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const Json::Value& message = first["msgs"][i];
        EXPECT_EQ(message.getMemberNames(),
                  (std::vector<std::string>{"from", "storage", "text", "time"}));
        EXPECT_EQ(message["from"].asString(), expected[i].from);
        EXPECT_EQ(message["storage"].asString(), expected[i].storage);
        EXPECT_EQ(message["text"].asString(), expected[i].text);
        EXPECT_EQ(message["time"].asString(), expected[i].time);
    }

    const Json::Value& second = doc["ports"][1];
    EXPECT_EQ(second.getMemberNames(), (std::vector<std::string>{"clear", "msgcount", "name"}));
    EXPECT_EQ(second["msgcount"].asInt(), 0);
    EXPECT_FALSE(second["clear"].asBool());
    EXPECT_EQ(text.substr(text.size() - 3), "}\n\n");
}

// Unreadable messages have a member of their own, so "msgcount" and
// "msgs" keep meaning the messages that were read.
TEST(InboxDocumentTest, UnreadableMessagesByStorageIndexApartFromTheMessages)
{
    INBOX_RESULT_t result = ReadClearResult();
    result.strType = "sreadclear";
    result.vecPorts[0].vecMeUnreadable = {SmsUnreadable{9, "07ZZ"}};
    result.vecPorts[0].vecSmUnreadable = {SmsUnreadable{4, ""}, SmsUnreadable{6, "0791\x1B"}};
    const Json::Value doc = Parse(CompactDocumentText(InboxDocument(result), DOCUMENT_ASCII));
    const Json::Value& first = doc["ports"][0];
    EXPECT_EQ(first.getMemberNames(),
              (std::vector<std::string>{"clear", "msgcount", "msgs", "name", "unreadable"}));
    EXPECT_EQ(first["msgcount"].asInt(), 3);
    EXPECT_EQ(first["msgs"].size(), 3u);
    EXPECT_EQ(Json::FastWriter().write(first["unreadable"]),
              "[{\"index\":4,\"pdu\":\"\",\"storage\":\"SIM\"},"
              "{\"index\":6,\"pdu\":\"0791\\u001b\",\"storage\":\"SIM\"},"
              "{\"index\":9,\"pdu\":\"07ZZ\",\"storage\":\"DEV\"}]\n");
    EXPECT_FALSE(doc["ports"][1].isMember("unreadable"));
}

TEST(InboxDocumentTest, AnIncompleteReadSaysWhyAndACompleteOneSaysNothing)
{
    INBOX_RESULT_t result = ReadClearResult();
    result.vecPorts[1].strError = "Code:5   Input/output error";
    const Json::Value doc = Parse(StyledDocumentText(InboxDocument(result), DOCUMENT_ASCII));
    EXPECT_FALSE(doc["ports"][0].isMember("error"));
    const Json::Value& failed = doc["ports"][1];
    EXPECT_EQ(failed.getMemberNames(),
              (std::vector<std::string>{"clear", "error", "msgcount", "name"}));
    EXPECT_EQ(failed["error"].asString(), "Code:5   Input/output error");
    EXPECT_EQ(failed["msgcount"].asInt(), 0);

    // The clear forms read nothing, so they carry no read error.
    result.vecPorts[1].bRead = false;
    EXPECT_FALSE(
        Parse(StyledDocumentText(InboxDocument(result), DOCUMENT_ASCII))["ports"][1].isMember(
            "error"));
}

TEST(InboxDocumentTest, CompactFormIsOneLineThenAnEmptyLine)
{
    INBOX_RESULT_t result = ReadClearResult();
    result.strType = "sreadclear";
    EXPECT_EQ(CompactDocumentText(InboxDocument(result), DOCUMENT_ASCII),
              "{\"check\":1,\"portcount\":2,\"ports\":[{\"clear\":true,\"msgcount\":3,\"msgs\":["
              "{\"from\":\"+8613800138000\",\"storage\":\"SIM\","
              "\"text\":\"\\u5317\\u4eac\\u6b22\\u8fce\\u4f60\",\"time\":\"26-05-11 09:30:00\"},"
              "{\"from\":\"13900000000\",\"storage\":\"SIM\",\"text\":\"sim two\",\"time\":\"\"},"
              "{\"from\":\"10086\",\"storage\":\"DEV\",\"text\":\"dev one\",\"time\":\"26-05-12 "
              "08:00:01\"}],"
              "\"name\":\"COM3\"},{\"clear\":false,\"msgcount\":0,\"name\":\"COM10\"}],"
              "\"seconds\":7,\"type\":\"sreadclear\"}\n\n");
}

TEST(InboxDocumentTest, ClearAndEmptyForms)
{
    INBOX_RESULT_t clear;
    clear.strType = "clear";
    clear.bCheck = true;
    INBOX_PORT_RESULT_t port;
    port.port = PortNamed("COM5");
    port.bCleared = true;
    port.bClear = true;
    clear.vecPorts = {port};
    EXPECT_EQ(StyledDocumentText(InboxDocument(clear), DOCUMENT_ASCII),
              "{\n"
              "   \"check\" : 1,\n"
              "   \"portcount\" : 1,\n"
              "   \"ports\" : [\n"
              "      {\n"
              "         \"clear\" : true,\n"
              "         \"name\" : \"COM5\"\n"
              "      }\n"
              "   ],\n"
              "   \"seconds\" : 0,\n"
              "   \"type\" : \"clear\"\n"
              "}\n\n");

    INBOX_RESULT_t none;
    none.strType = "read";
    none.bCheck = true;
    none.nSeconds = 3;
    EXPECT_EQ(StyledDocumentText(InboxDocument(none), DOCUMENT_ASCII),
              "{\n   \"check\" : 1,\n   \"portcount\" : 0,\n   \"seconds\" : 3,\n   \"type\" : "
              "\"read\"\n}\n\n");

    INBOX_RESULT_t unknown;
    unknown.strType = "foo\xB1\xB1";
    EXPECT_EQ(StyledDocumentText(InboxDocument(unknown), DOCUMENT_ASCII),
              "{\n   \"check\" : 0,\n   \"seconds\" : 0,\n   \"type\" : \"foo\\u5317\"\n}\n\n");
}

TEST(InboxDocumentTest, UnavailablePortsAndTheMessageOfARefusedCommand)
{
    INBOX_RESULT_t read;
    read.strType = "sread";
    read.bCheck = true;
    INBOX_PORT_RESULT_t port;
    port.port = PortNamed("COM3");
    port.bRead = true;
    read.vecPorts = {port};
    read.vecUnavailable = {{PortNamed("COM4"), "Code:16   Device or resource busy"},
                           {PortNamed("COM9"), "not found"}};
    EXPECT_EQ(
        CompactDocumentText(InboxDocument(read), DOCUMENT_ASCII),
        "{\"check\":1,\"portcount\":1,\"ports\":[{\"msgcount\":0,\"name\":\"COM3\"}],"
        "\"seconds\":0,\"type\":\"sread\",\"unavailable\":[{\"error\":\"Code:16   Device or "
        "resource busy\",\"name\":\"COM4\"},{\"error\":\"not found\",\"name\":\"COM9\"}]}\n\n");

    INBOX_RESULT_t unknown;
    unknown.strType = "list";
    unknown.strMessage = "unknown word";
    EXPECT_EQ(StyledDocumentText(InboxDocument(unknown), DOCUMENT_ASCII),
              "{\n   \"check\" : 0,\n   \"message\" : \"unknown word\",\n   \"seconds\" : 0,\n"
              "   \"type\" : \"list\"\n}\n\n");
}

TEST(PortsDocumentTest, EveryPortWithItsStateAndReason)
{
    PORT_VIEW_t usable;
    usable.port = PortNamed("COM3");
    usable.bOpen = usable.bAT = usable.bComplete = true;
    usable.strBaud = "115200";
    usable.strModel = "Quectel M35";
    usable.strImei = "866123450000001";
    usable.strIccid = "89860012345678901234";
    usable.strSignal = "23,99";
    usable.strOperator = GB("中国移动");
    usable.nState = PORT_STATE_USABLE;
    PORT_VIEW_t second = usable;
    second.port = PortNamed("COM4");
    second.nState = PORT_STATE_SAME_MODEM;
    second.strReason = "same modem as COM3";
    second.strSameModem = "COM3";
    const PORT_VIEW_t missing = MissingPortView(PortNamed("COM9"));

    const std::string text =
        StyledDocumentText(PortsDocument({usable, second, missing}), DOCUMENT_ASCII);
    const Json::Value doc = Parse(text);
    EXPECT_EQ(doc.getMemberNames(), (std::vector<std::string>{"portcount", "ports"}));
    EXPECT_EQ(doc["portcount"].asInt(), 3);
    ASSERT_EQ(doc["ports"].size(), 3u);
    const Json::Value& first = doc["ports"][0];
    EXPECT_EQ(first.getMemberNames(),
              (std::vector<std::string>{"baud", "com", "iccid", "imei", "model", "operator",
                                        "signal", "state"}));
    EXPECT_EQ(first["com"].asString(), "COM3");
    EXPECT_EQ(first["baud"].asInt(), 115200);
    EXPECT_EQ(first["model"].asString(), "Quectel M35");
    EXPECT_EQ(first["imei"].asString(), "866123450000001");
    EXPECT_EQ(first["iccid"].asString(), "89860012345678901234");
    EXPECT_EQ(first["signal"].asString(), "23,99");
    EXPECT_EQ(first["operator"].asString(), u8"中国移动");
    EXPECT_EQ(first["state"].asString(), "usable");
    EXPECT_EQ(doc["ports"][1]["state"].asString(), "same modem");
    EXPECT_EQ(doc["ports"][1]["samemodem"].asString(), "COM3");
    EXPECT_EQ(doc["ports"][1]["reason"].asString(), "same modem as COM3");
    const Json::Value& gone = doc["ports"][2];
    EXPECT_EQ(gone["state"].asString(), "not found");
    EXPECT_EQ(gone["reason"].asString(), "not found");
    EXPECT_EQ(gone["baud"].asInt(), 0);
    EXPECT_EQ(gone["imei"].asString(), "");

    EXPECT_EQ(StyledDocumentText(PortsDocument({}), DOCUMENT_ASCII),
              "{\n   \"portcount\" : 0,\n   \"ports\" : []\n}\n\n");
}

// A port with one SIM message of the given text (internal code page).
INBOX_RESULT_t OneMessage(const std::string& text)
{
    INBOX_RESULT_t result;
    result.strType = "read";
    result.bCheck = true;
    INBOX_PORT_RESULT_t port;
    port.port = PortNamed("COM3");
    port.bRead = true;
    port.vecSm = {Message("10086", "26-05-11 09:30:00", text)};
    result.vecPorts = {port};
    return result;
}

TEST(InboxDocumentTest, InvalidCodePageBytesStayVisibleAndTheDocumentStaysValid)
{
    INBOX_RESULT_t result =
        OneMessage(std::string("a\xFF"
                               "b\0c",
                               5));
    result.vecPorts[0].vecSm[0].strFrom = "1\x1b[2J";
    const std::string text = StyledDocumentText(InboxDocument(result), DOCUMENT_ASCII);
    for (unsigned char c : text) {
        ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x80)) << text;
    }
    const Json::Value doc = Parse(text);
    EXPECT_EQ(doc["ports"][0]["msgs"][0]["from"].asString(), "1\x1b[2J");
    const std::string decoded = doc["ports"][0]["msgs"][0]["text"].asString();
    EXPECT_EQ(decoded.substr(0, 1), "a");
    EXPECT_NE(decoded.find(u8"\uFFFD"), std::string::npos) << "replacement, not a dropped byte";
    EXPECT_EQ(decoded.substr(decoded.size() - 3), std::string("b\0c", 3));
}

TEST(DocumentCharsetTest, BothFormsKeepTheLayoutsOfTheStyledAndTheFastWriter)
{
    INBOX_RESULT_t unknown;
    unknown.strType = "foo";
    const Json::Value documents[] = {
        SendErrorDocument(SEND_PARSE_NO_PORT),
        SendResultDocument({}),
        SendResultDocument({Result("COM3", "18300000000", CMD_RESULT_SUCCEED, ""),
                            Result("COM12", "10086", CMD_RESULT_FAILED, "+CMS ERROR: 500")}),
        InboxDocument(ReadClearResult()),
        InboxDocument(OneMessage("ASCII only")),
        InboxDocument(unknown),
    };
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Json::StyledWriter styled;
    Json::FastWriter fast;
    for (const Json::Value& document : documents) {
        SCOPED_TRACE(fast.write(document));
        EXPECT_EQ(StyledDocumentText(document, DOCUMENT_ASCII), styled.write(document) + "\n");
        EXPECT_EQ(CompactDocumentText(document, DOCUMENT_ASCII), fast.write(document) + "\n");
        const std::string styledUtf8 =
            ConvertToCharset(StyledDocumentText(document, DOCUMENT_UTF8), "UTF-8");
        const std::string compactUtf8 =
            ConvertToCharset(CompactDocumentText(document, DOCUMENT_UTF8), "UTF-8");
        if (fast.write(document).find("\\u") == std::string::npos) {
            // Nothing beyond ASCII: the UTF-8 form is the same text.
            EXPECT_EQ(styledUtf8, styled.write(document) + "\n");
            EXPECT_EQ(compactUtf8, fast.write(document) + "\n");
        }
        // Otherwise the same document in the same lines.
        const std::string styledAscii = styled.write(document);
        EXPECT_EQ(Parse(styledUtf8), Parse(styledAscii));
        EXPECT_EQ(Parse(compactUtf8), Parse(styledAscii));
        EXPECT_EQ(std::count(styledUtf8.begin(), styledUtf8.end(), '\n'),
                  std::count(styledAscii.begin(), styledAscii.end(), '\n') + 1);
        EXPECT_EQ(std::count(compactUtf8.begin(), compactUtf8.end(), '\n'), 2);
    }
#pragma GCC diagnostic pop
}

TEST(DocumentCharsetTest, Utf8FormWritesCharactersAsTheyAreAndControlsAsEscapes)
{
    // Internal text: Chinese, a character beyond the BMP, ESC, DEL and C1 CSI.
    const std::string text = std::string(GB("北京 😀 ")) + "\x1b[2J\x7f" + GB("\u009b") + "\t";
    const INBOX_RESULT_t result = OneMessage(text);
    const struct {
        DOCUMENT_CHARSET_t charset;
        std::string utf8Value;  // the "text" member as written, in UTF-8
    } cases[] = {
        {DOCUMENT_ASCII, R"("\u5317\u4eac \ud83d\ude00 \u001b[2J\u007f\u009b\t")"},
        {DOCUMENT_UTF8, u8"\"北京 😀 \\u001b[2J\\u007f\\u009b\\t\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.charset);
        // The texts are internal text; the console writes them as UTF-8.
        const std::string styledUtf8 =
            ConvertToCharset(StyledDocumentText(InboxDocument(result), c.charset), "UTF-8");
        const std::string compactUtf8 =
            ConvertToCharset(CompactDocumentText(InboxDocument(result), c.charset), "UTF-8");
        EXPECT_NE(styledUtf8.find("\"text\" : " + c.utf8Value + ",\n"), std::string::npos)
            << styledUtf8;
        EXPECT_NE(compactUtf8.find("\"text\":" + c.utf8Value + ","), std::string::npos)
            << compactUtf8;
        for (const std::string& written : {styledUtf8, compactUtf8}) {
            const Json::Value doc = Parse(written);
            EXPECT_EQ(doc["ports"][0]["msgs"][0]["text"].asString(),
                      u8"北京 😀 \x1b[2J\x7f\u009b\t");
            for (unsigned char b : written) {
                ASSERT_TRUE(b == '\n' || b >= 0x20) << "no raw control byte: " << written;
                ASSERT_NE(b, 0x7F) << written;
            }
            EXPECT_EQ(written.find("\xC2\x9B"), std::string::npos) << "no raw C1";
        }
    }
}

// With --report every element lists the references of its accepted parts
// (null where the modem gave none); without it nothing changes.
TEST(SendResultDocumentTest, ReferencesOnlyWhenReportsWereAskedFor)
{
    SEND_RESULT_t sent = Result("COM3", "13800138000", CMD_RESULT_SUCCEED, "");
    sent.vecReferences = {41, 42, -1};
    EXPECT_FALSE(SendResultElement(sent).isMember("references")) << "not asked for";
    sent.bReferences = true;
    EXPECT_EQ(CompactDocumentText(SendResultElement(sent)["references"], DOCUMENT_ASCII),
              "[41,42,null]\n\n");
    SEND_RESULT_t failed = Result("COM4", "13800138000", CMD_RESULT_NO_SIM, "");
    failed.bReferences = true;
    const Json::Value element = SendResultElement(failed);
    EXPECT_TRUE(element["references"].isArray() && element["references"].empty());
    EXPECT_EQ(StyledDocumentText(SendResultDocument({sent}), DOCUMENT_ASCII),
              "{\n   \"code\" : 0,\n   \"message\" : \"param is ok\",\n   \"result\" : [\n"
              "      {\n         \"code\" : 0,\n         \"com\" : \"COM3\",\n"
              "         \"message\" : \"Succeed\",\n         \"number\" : \"13800138000\",\n"
              "         \"references\" : [ 41, 42, null ],\n"
              "         \"time\" : \"2026-05-12 13:28:56\"\n      }\n   ]\n}\n\n");
}

TEST(InboxDocumentTest, AStatusReportCarriesItsReportAndTheReportStorageComesLast)
{
    SmsMessage report = Message("+8613800138000", "26-05-11 09:30:05",
                                "Delivery report for message 41: delivered (TP-ST 0x00)");
    report.bReport = true;
    report.report = SmsReport{41, 0, "26-05-11 09:30:05"};
    SmsMessage failed = report;
    failed.report = SmsReport{42, 0x46, "26-05-11 09:31:00"};
    SmsMessage pending = report;
    pending.report = SmsReport{43, 0x21, ""};
    INBOX_RESULT_t result;
    result.strType = "read";
    result.bCheck = true;
    result.vecPorts.resize(1);
    result.vecPorts[0].port = PortNamed("COM6");
    result.vecPorts[0].bRead = true;
    result.vecPorts[0].vecSm = {Message("10086", "26-05-11 09:00:00", "hello")};
    result.vecPorts[0].vecSr = {report, failed, pending};
    const Json::Value document = InboxDocument(result);
    const Json::Value& msgs = document["ports"][0]["msgs"];
    ASSERT_EQ(msgs.size(), 4u);
    EXPECT_FALSE(msgs[0].isMember("report"));
    EXPECT_EQ(msgs[1]["storage"].asString(), "SR");
    EXPECT_EQ(msgs[1].getMemberNames(),
              (std::vector<std::string>{"from", "report", "storage", "text", "time"}));
    EXPECT_EQ(CompactDocumentText(msgs[1]["report"], DOCUMENT_ASCII),
              "{\"discharged\":\"26-05-11 09:30:05\",\"reference\":41,\"status\":\"delivered\","
              "\"tp_st\":0}\n\n");
    EXPECT_EQ(msgs[2]["report"]["status"].asString(), "failed");
    EXPECT_EQ(msgs[2]["report"]["tp_st"].asInt(), 0x46);
    EXPECT_EQ(msgs[3]["report"]["status"].asString(), "pending");
    EXPECT_EQ(document["ports"][0]["msgcount"].asInt(), 4);
}

TEST(PortCommandDocumentTest, ShapedLikeTheSendsWithTheMembersOfEachCommand)
{
    std::vector<PORT_COMMAND_RESULT_t> results(5);
    const char* const ports[] = {"COM3", "COM4", "COM5", "COM6", "COM7"};
    for (std::size_t i = 0; i < results.size(); ++i) {
        results[i].port = PortNamed(ports[i]);
        results[i].strTime = "2026-05-12 13:28:56";
    }
    results[0].nResult = CMD_RESULT_SUCCEED;
    results[1].nResult = CMD_RESULT_FAILED;
    results[1].strMessage = "+CME ERROR: 16";
    results[1].nAttempts = 2;
    results[2].nResult = CMD_RESULT_SIM_PUK;
    results[2].strError = "SIM PUK required";
    results[3].nResult = CMD_RESULT_SUCCEED;
    results[3].bReply = true;
    results[3].strReply = GB("余额5元");
    results[3].bMore = true;
    results[4].nResult = CMD_RESULT_NO_USSD;
    const Json::Value document = PortCommandDocument(results);
    EXPECT_EQ(document["code"].asInt(), 0);
    EXPECT_EQ(document["message"].asString(), "param is ok");
    const Json::Value& r = document["result"];
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[0].getMemberNames(), (std::vector<std::string>{"code", "com", "message", "time"}));
    EXPECT_EQ(r[0]["message"].asString(), "Succeed");
    EXPECT_EQ(r[1]["message"].asString(), "+CME ERROR: 16");
    EXPECT_EQ(r[1]["attempts"].asInt(), 2);
    EXPECT_EQ(r[2]["code"].asInt(), 9);
    EXPECT_EQ(r[2]["message"].asString(), "SIM PUK required");
    EXPECT_EQ(r[2]["error"].asString(), "SIM PUK required");
    EXPECT_EQ(r[3]["reply"].asString(), u8"余额5元");
    EXPECT_TRUE(r[3]["more"].asBool());
    EXPECT_EQ(r[4]["code"].asInt(), 11);
    EXPECT_EQ(r[4]["message"].asString(), "USSD not supported by the CDMA model");
    EXPECT_FALSE(r[4].isMember("reply"));
}

}  // namespace

namespace {

// An incomplete long message names its missing parts in every inbox form;
// "held" marks the one a read-then-clear left on the modem for its other
// parts, judged at the command's time.
TEST(InboxDocumentTest, AnIncompleteMessageNamesItsMissingPartsAndWhetherItWasLeft)
{
    constexpr std::int64_t kNow = 1796956045;
    SmsMessage young = Message("10086", "26-12-11 10:27:25", "part one");
    young.nParts = 3;
    young.vecMissing = {2, 3};
    young.nNewestPartUtc = kNow - 60;
    SmsMessage old = young;
    old.nNewestPartUtc = kNow - 11 * 60;
    SmsMessage whole = Message("10086", "26-12-11 10:27:25", "one two");
    whole.nParts = 2;
    whole.nNewestPartUtc = kNow;
    const struct {
        const char* name;
        bool holds;
        std::vector<std::string> keys[3];  // of young, old, whole
    } cases[] = {
        {"read",
         false,
         {{"from", "missing", "storage", "text", "time"},
          {"from", "missing", "storage", "text", "time"},
          {"from", "storage", "text", "time"}}},
        {"readclear",
         true,
         {{"from", "held", "missing", "storage", "text", "time"},
          {"from", "missing", "storage", "text", "time"},
          {"from", "storage", "text", "time"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        INBOX_RESULT_t result;
        result.strType = c.name;
        result.bCheck = true;
        result.vecPorts.resize(1);
        INBOX_PORT_RESULT_t& port = result.vecPorts[0];
        port.port = PortNamed("COM3");
        port.bRead = true;
        port.bHolds = c.holds;
        port.nNowUtc = kNow;
        port.vecMe = {young, old, whole};
        const Json::Value msgs = InboxDocument(result)["ports"][0]["msgs"];
        ASSERT_EQ(msgs.size(), 3u);
        for (Json::ArrayIndex i = 0; i < 3; ++i) {
            EXPECT_EQ(msgs[i].getMemberNames(), c.keys[i]) << i;
        }
        EXPECT_EQ(CompactDocumentText(msgs[0]["missing"], DOCUMENT_ASCII), "[2,3]\n\n");
        EXPECT_EQ(msgs[0]["text"].asString(), "part one");
    }
}

}  // namespace
