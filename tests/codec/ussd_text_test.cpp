// USSD results as modules give them: the +CUSD result read from a reply, and
// its text in each form (UCS-2 hex, packed septets, plain text in the modem's
// character set). The recorded results come from gammu's test tree
// (tests/data/codec/ussd_replies.json, each case naming its source).
#include <gtest/gtest.h>
#include <json/json.h>

#include <fstream>
#include <string>
#include <vector>

#include "codec/charset_conv.h"
#include "codec/ussd_text.h"
#include "iconv/text_literal.h"
#include "support/fixture_text.h"

namespace {

TEST(UssdReplies, RecordedResultsOfModulesReadAsTheirSourceDecodes)
{
    std::ifstream in(TestDataPath("codec/ussd_replies.json"));
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    ASSERT_TRUE(Json::parseFromStream(builder, in, &root, &errors)) << errors;
    ASSERT_GE(root["cases"].size(), 8u);
    for (const Json::Value& c : root["cases"]) {
        SCOPED_TRACE(c["name"].asString() + " (" + c["expect_from"].asString() + ")");
        const USSD_REPLY_t reply = FindUssdReply(c["reply"].asString());
        ASSERT_TRUE(reply.bFound);
        EXPECT_EQ(reply.nStatus, c["status"].asInt());
        EXPECT_EQ(reply.nDcs, c["dcs"].asInt());
        EXPECT_TRUE(reply.bHasText);
        EXPECT_EQ(AnsiToUtf8(UssdText(reply, c["charset"].asString())), c["text_utf8"].asString());
    }
}

TEST(FindUssdReply, TheResultAsModulesFrameIt)
{
    struct Case {
        const char* name;
        std::string reply;
        bool found;
        int status;
        std::string text;
        int dcs;
    };
    const std::vector<Case> cases = {
        {"OK first, the result after it", "\r\nOK\r\n\r\n+CUSD: 0,\"Balance 5\",15\r\n", true, 0,
         "Balance 5", 15},
        {"no blank after the colon", "+CUSD:0,\"x\",15\r\n", true, 0, "x", 15},
        {"blanks around the commas", "\r\n+CUSD: 1 , \"a\" , 72 \r\n", true, 1, "a", 72},
        {"status alone", "\r\n+CUSD: 4\r\n", true, 4, "", -1},
        {"a menu over several lines, a comma inside",
         "\r\n+CUSD: 1,\"Menu:\r\n1 Balance\n2, Bonus\",15\r\n\r\nOK\r\n", true, 1,
         "Menu:\r\n1 Balance\n2, Bonus", 15},
        {"quotes inside the text", "+CUSD: 0,\"He said \"hi\"\",15\r\n", true, 0, "He said \"hi\"",
         15},
        {"unquoted, no coding", "+CUSD: 0, 49B41C\r\n", true, 0, "49B41C", -1},
        {"unquoted with a coding", "+CUSD: 2,Sorry,0\r\n", true, 2, "Sorry", 0},
        {"a line that only mentions it first", "+CUSD: x\r\n+CUSD: 0,\"y\"\r\n", true, 0, "y", -1},
        {"text not closed yet", "\r\n+CUSD: 0,\"abc", false, -1, "", -1},
        {"the coding may still grow", "\r\n+CUSD: 0,\"abc\",1", false, -1, "", -1},
        {"status without its line end", "\r\n+CUSD: 2", false, -1, "", -1},
        {"nothing but OK", "\r\nOK\r\n", false, -1, "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const USSD_REPLY_t reply = FindUssdReply(c.reply);
        EXPECT_EQ(reply.bFound, c.found);
        if (!c.found) {
            continue;
        }
        EXPECT_EQ(reply.nStatus, c.status);
        EXPECT_EQ(reply.strText, c.text);
        EXPECT_EQ(reply.bHasText, !c.text.empty());
        EXPECT_EQ(reply.nDcs, c.dcs);
    }
}

TEST(UssdText, TheFormIsChosenByTheCodingTheTextAndTheCharacterSet)
{
    struct Case {
        const char* name;
        std::string text;
        int dcs;
        std::string charset;
        std::string expected;  // internal text
    };
    const std::vector<Case> cases = {
        {"plain text in IRA", "Your balance is 10", 15, "IRA", "Your balance is 10"},
        {"plain digits stay digits", "12345678", 15, "IRA", "12345678"},
        // Packed here by 3GPP TS 23.038 6.1.2.3; python3-gammu reads them back.
        {"packed septets of 'Balance 1.23'", "C2303BEC1E974131976C06", 15, "IRA", "Balance 1.23"},
        {"packed, lower-case hexadecimal", "c2303bec1e974131976c06", 15, "GSM", "Balance 1.23"},
        {"packed with its padding <CR> dropped", "C2303BEC1E971B", 15, "IRA", "Balance"},
        {"UCS-2 by the coding", "4F60597D", 72, "IRA", GB("你好")},
        {"UCS-2 by the coding, but plain", "abc", 72, "IRA", "abc"},
        {"the default alphabet in a UCS2 modem", "00410042", 15, "UCS2", "AB"},
        {"UCS-2 of an unknown character set", "4F60597D", -1, "", GB("你好")},
        {"UCS-2 after a language", "656E00480069", 0x11, "IRA", "Hi"},
        {"8-bit data", "48656C6C6F", 0x44, "IRA", "Hello"},
        {"a reserved coding is the default alphabet", "Hello", 0x30, "IRA", "Hello"},
        {"Latin-1 bytes in 8859-1", "caf\xE9", 15, "8859-1", GB("café")},
        {"septet values in GSM", "\x01 5", 15, "GSM", GB("£ 5")},
        {"UCS-2 ends at U+0000", "004100420000FFFF", 72, "IRA", "AB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        USSD_REPLY_t reply;
        reply.bFound = reply.bHasText = true;
        reply.nStatus = 0;
        reply.strText = c.text;
        reply.nDcs = c.dcs;
        EXPECT_EQ(UssdText(reply, c.charset), c.expected);
    }
}

TEST(UssdAlphabetOfDcs, CellBroadcastCodingGroups)
{
    const struct {
        int dcs;
        SMS_ALPHABET_t alphabet;
    } cases[] = {
        {-1, SMS_ALPHABET_GSM7},    {0x00, SMS_ALPHABET_GSM7}, {0x0F, SMS_ALPHABET_GSM7},
        {0x10, SMS_ALPHABET_GSM7},  {0x11, SMS_ALPHABET_UCS2}, {0x20, SMS_ALPHABET_GSM7},
        {0x3F, SMS_ALPHABET_GSM7},  {0x44, SMS_ALPHABET_8BIT}, {0x48, SMS_ALPHABET_UCS2},
        {0x4C, SMS_ALPHABET_GSM7},  {0x68, SMS_ALPHABET_NONE}, {0x98, SMS_ALPHABET_UCS2},
        {0xA0, SMS_ALPHABET_GSM7},  {0xF0, SMS_ALPHABET_GSM7}, {0xF4, SMS_ALPHABET_8BIT},
        {0x148, SMS_ALPHABET_GSM7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UssdAlphabetOfDcs(c.dcs), c.alphabet) << "DCS " << c.dcs;
    }
}

TEST(UssdStatusText, StatusesThatEndWithoutAnAnswer)
{
    EXPECT_EQ(UssdStatusText(0), "");
    EXPECT_EQ(UssdStatusText(1), "");
    EXPECT_EQ(UssdStatusText(2), "USSD terminated by the network");
    EXPECT_EQ(UssdStatusText(4), "USSD not supported by the network");
    EXPECT_EQ(UssdStatusText(5), "USSD network time-out");
    EXPECT_EQ(UssdStatusText(9), "USSD status 9");
}

TEST(CharsetOfReply, TheSetNamedByCscs)
{
    EXPECT_EQ(CharsetOfReply("\r\n+CSCS: \"UCS2\"\r\n\r\nOK\r\n"), "UCS2");
    EXPECT_EQ(CharsetOfReply("+CSCS:\"gsm\"\r\nOK\r\n"), "GSM");
    EXPECT_EQ(CharsetOfReply("+CSCS: IRA\r\n"), "IRA");
    EXPECT_EQ(CharsetOfReply("\r\n+cscs: \"hex\"\r\nOK\r\n"), "HEX");
    EXPECT_EQ(CharsetOfReply("\r\nOK\r\n"), "");
    EXPECT_EQ(CharsetOfReply("\r\n+CME ERROR: 3\r\n"), "");
}

}  // namespace
