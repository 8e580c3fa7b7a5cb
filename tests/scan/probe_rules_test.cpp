#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/probe_rules.h"

namespace {

using namespace std::string_literals;

TEST(ReplyText, NulEndsTheReplyAndReadsAreBounded)
{
    EXPECT_EQ(ReplyText("\r\nOK\r\n"s), "\r\nOK\r\n");
    EXPECT_EQ(ReplyText("\r\n\0OK\r\n"s), "\r\n");
    EXPECT_EQ(ReplyText("\0"s), "");
    EXPECT_EQ(ReplyText(std::string(300, 'x')), std::string(kProbeReplyBytes, 'x'));
    EXPECT_EQ(ReplyText(std::string(254, 'x') + "OK"), std::string(254, 'x') + "O");
}

struct COLON_CASE_t {
    const char* name;
    std::string reply;
    bool found;
    std::string value;
};

TEST(ValueAfterColon, CutsUpToTheFirstCrAfterTheColon)
{
    const std::vector<COLON_CASE_t> cases = {
        {"csq", "\r\n+CSQ: 23,99\r\n\r\nOK\r\n", true, " 23,99"},
        {"quoted ccid", "\r\n+CCID: \"89860012345678901234\"\r\n\r\nOK\r\n", true,
         " \"89860012345678901234\""},
        {"cr right after colon", "\r\n+CSQ:\r\n99,99\r\nOK\r\n", true, ":"},
        {"no cr runs to the end", "+CSQ: 7,0", true, " 7,0"},
        {"colon at the very end", "+CSQ:", true, ""},
        {"first colon wins", "A:1\r\nB:2\r\n", true, "1"},
        {"no colon", "\r\nERROR\r\n", false, "kept"},
        {"empty reply", "", false, "kept"},
    };
    for (const COLON_CASE_t& c : cases) {
        SCOPED_TRACE(c.name);
        std::string value = "kept";
        EXPECT_EQ(ValueAfterColon(c.reply, value), c.found);
        EXPECT_EQ(value, c.value);
    }
}

struct KEY_CASE_t {
    const char* name;
    std::string reply;
    std::string key;
    std::string value;
};

TEST(GetValueAfterKey, TrimmedTextBetweenColonAndCr)
{
    const std::vector<KEY_CASE_t> cases = {
        {"cops", "\r\n+COPS: 0,0,\"CHINA MOBILE\",7\r\n\r\nOK\r\n", "+COPS",
         "0,0,\"CHINA MOBILE\",7"},
        {"modeconfig", "\r\n^MODECONFIG: 22\r\n\r\nOK\r\n", "^MODECONFIG", "22"},
        {"blanks and tabs trimmed", "+COPS:\t  x y \t\r\n", "+COPS", "x y"},
        {"either case, no blank", "\r\n+cops:0,0,\"CMCC\"\r\n", "+COPS", "0,0,\"CMCC\""},
        {"key absent", "\r\n+CSQ: 1,2\r\n", "+COPS", ""},
        {"no colon after key", "+COPS 0,0\r\n", "+COPS", ""},
        {"colon before key is not used", ":+COPS 0\r\n", "+COPS", ""},
        {"no cr after colon", "+COPS: 0,0", "+COPS", ""},
        {"colon directly after cr", "+COPS:\r\n", "+COPS", ""},
        {"key as long as reply", "+COPS", "+COPS", ""},
        {"empty key", "+COPS: 1\r\n", "", ""},
        {"empty reply", "", "+COPS", ""},
        {"only blanks", "+COPS:   \r\n", "+COPS", ""},
    };
    for (const KEY_CASE_t& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetValueAfterKey(c.reply, c.key), c.value);
    }
}

struct ATI3_CASE_t {
    const char* name;
    std::string reply;
    bool matched;
    PHONE_TYPE_t nModel;
    std::string strModel;
};

TEST(ModelFromAti3, WismoqThenQ2406bThenTheTextAfterTheDot)
{
    const std::vector<ATI3_CASE_t> cases = {
        {"wismoq", "\r\nWISMOQ 1.2\r\n\r\nOK\r\n", true, PHONE_TYPE_WISMOQ, "WISMOQ"},
        {"q2406b before dot", "\r\n651_09gg.Q2406B 2120048\r\n\r\nOK\r\n", true, PHONE_TYPE_VELT_F,
         "Q2406B"},
        {"five bytes after first dot", "\r\nRev 1.23456.7\r\nOK\r\n", true, PHONE_TYPE_UN_KNOWN,
         "23456"},
        {"line ends count", "\r\nV1.2\r\nOK\r\n", true, PHONE_TYPE_UN_KNOWN, "2\r\nOK"},
        {"dot at the end", "abc.", true, PHONE_TYPE_UN_KNOWN, ""},
        {"fewer than five left", "x.ab", true, PHONE_TYPE_UN_KNOWN, "ab"},
        {"nothing", "\r\nQuectel_Ltd\r\nQuectel_M35\r\n\r\nOK\r\n", false, PHONE_TYPE_UN_KNOWN, ""},
        {"empty", "", false, PHONE_TYPE_UN_KNOWN, ""},
    };
    for (const ATI3_CASE_t& c : cases) {
        SCOPED_TRACE(c.name);
        PHONE_TYPE_t nModel = PHONE_TYPE_UN_KNOWN;
        std::string strModel;
        EXPECT_EQ(ModelFromAti3(c.reply, nModel, strModel), c.matched);
        EXPECT_EQ(nModel, c.nModel);
        EXPECT_EQ(strModel, c.strModel);
    }
}

TEST(ModeConfigFromReply, LeadingNumberOfTheValue)
{
    const std::vector<std::pair<std::string, int>> cases = {
        {"\r\n^MODECONFIG: 22\r\n\r\nOK\r\n", 22},
        {"\r\n^MODECONFIG: 2\r\n\r\nOK\r\n", 2},
        {"\r\n^MODECONFIG: -3x\r\n", -3},
        {"\r\n^MODECONFIG: abc\r\n", 0},
        {"\r\n^MODECONFIG: 99999999999999\r\n", 2147483647},
        {"\r\nERROR\r\n", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(ModeConfigFromReply(c.first), c.second);
    }
}

struct SERIAL_CASE_t {
    const char* name;
    std::string reply;
    std::string gsm;   // SerialFromCgsn
    std::string cdma;  // SerialFromCdmaCgsn
};

TEST(SerialFromCgsn, EchoAndLineEnds)
{
    const std::vector<SERIAL_CASE_t> cases = {
        {"plain", "\r\n866123456789012\r\n\r\nOK\r\n", "866123456789012", "866123456789012"},
        {"echo with cr", "AT+CGSN\r\r\n866123456789012\r\n\r\nOK\r\n", "", "866123456789012"},
        {"echo without cr", "AT+CGSN866123456789012 OK", "866123456789012", "866123456789012"},
        {"value on first line", "866123456789012\r\nOK\r\n", "", ""},
        {"second line kept for cdma", "\r\n0x80ABCDEF\r\nMEID\r\nOK\r\n", "0x80ABCDEF",
         "0x80ABCDEF\r\nMEID"},
        {"no cr at all", "  12345 OK", "12345", "12345"},
        {"only ok", "\r\nOK\r\n", "", ""},
        {"short reply with echo text", "AT+CGSN", "", ""},
    };
    for (const SERIAL_CASE_t& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SerialFromCgsn(c.reply), c.gsm);
        EXPECT_EQ(SerialFromCdmaCgsn(c.reply), c.cdma);
    }
}

TEST(SerialFromWmsn, TextAfterTheKeyUpToCr)
{
    struct CASE_t {
        const char* name;
        std::string reply;
        bool found;
        std::string serial;
    };
    const std::vector<CASE_t> cases = {
        {"module", "\r\nSerial Number: CL123456789\r\n\r\nOK\r\n", true, "CL123456789"},
        {"blank after key", "Serial Number  AB12 \r\n", true, "AB12"},
        {"no cr", "Serial Number: AB12", true, ""},
        {"reply ends at key", "Serial Number", true, ""},
        {"absent", "\r\nERROR\r\n", false, "kept"},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.name);
        std::string serial = "kept";
        EXPECT_EQ(SerialFromWmsn(c.reply, serial), c.found);
        EXPECT_EQ(serial, c.serial);
    }
}

TEST(PhoneBook, EntryNameAndNumber)
{
    struct CASE_t {
        const char* name;
        std::string reply;
        std::string entryName;
        bool showsEntry;
        std::string number;
    };
    const std::vector<CASE_t> cases = {
        {"wmsn entry after cpbs ok",
         "\r\nOK\r\n\r\n^CPBR: 1,\"123456789012345\",129,\"WMSN\"\r\n\r\nOK\r\n", "WMSN", true,
         "123456789012345"},
        {"contact", "^CPBR: 1,\"13800138000\",129,\"Mum\"\r\nOK", "Mum", true, "13800138000"},
        {"without the blank", "^CPBR:1,\"123456789012345\",129,\"WMSN\"\r\nOK", "WMSN", true,
         "123456789012345"},
        {"contact without name", "^CPBR: 1,\"13800138000\",129,\"\"\r\nOK", "", true,
         "13800138000"},
        {"one quote", "abc\"def", "abc", false, ""},
        {"no quotes", "\r\nOK\r\n", "", false, ""},
        {"one comma", "^CPBR: 1,\"123\"", "123", true, ""},
        {"comma at the end", "x,", "", false, ""},
        {"adjacent commas", "1,\",", "1,", false, ""},
        {"empty", "", "", false, ""},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EntryName(c.reply), c.entryName);
        EXPECT_EQ(ShowsEntry(c.reply), c.showsEntry);
        EXPECT_EQ(PhoneBookNumber(c.reply), c.number);
    }
    EXPECT_EQ(PhoneBookWriteCommand("123"), "AT^CPBW=1,\"123\",129,\"WMSN\"\r");
}

// Entry 1 may be written only on proof that it is empty: a complete answer
// without any entry. Found by fuzzing: an entry after an ERROR line.
TEST(PhoneBook, EntryOneEmptyOnlyOnAProof)
{
    const std::pair<std::string, bool> cases[] = {
        {"\r\nOK\r\n", true},
        {"\r\nERROR\r\n", true},
        {"\r\n+CME ERROR: 22\r\n", true},
        {"\r\n+CME ERROR:22\r\n", true},
        {"\r\n+CME ERROR: 220\r\n", false},
        {"\r\n^CPBR: 1,\"13800138000\",129,\"Mum\"\r\n\r\nOK\r\n", false},
        {"\r\nERROR\r\n^CPBR: 1,\"13800138000\",129,\"Mum\"\r\n", false},
        {"\r\n+CME ERROR: 3\r\n", false},
        {"\r\nOK", false},
        {"", false},
    };
    for (const auto& [reply, empty] : cases) {
        SCOPED_TRACE(reply);
        EXPECT_EQ(ShowsEntryOneEmpty(reply), empty);
    }
}

TEST(CardNo, CommandByModelAndValueFromReply)
{
    EXPECT_EQ(CardNoCommand(PHONE_TYPE_VELT_E), "AT^ICCID?\r");
    EXPECT_EQ(CardNoCommand(PHONE_TYPE_VELT_D), "AT^ICCID?\r");
    EXPECT_EQ(CardNoCommand(PHONE_TYPE_SIEMENS), "AT+CXXCID\r");
    for (int code : std::initializer_list<int>{
             -1, PHONE_TYPE_UN_KNOWN, PHONE_TYPE_BASE, PHONE_TYPE_VELT_B, PHONE_TYPE_VELT_C,
             PHONE_TYPE_VELT_F, PHONE_TYPE_VELT_G, PHONE_TYPE_WISMOQ}) {
        EXPECT_EQ(CardNoCommand(static_cast<PHONE_TYPE_t>(code)), "AT+CCID\r") << code;
    }

    struct CASE_t {
        const char* name;
        std::string reply;
        bool taken;
        std::string cardNo;
    };
    const std::vector<CASE_t> cases = {
        {"quoted with leading blank", "\r\n+CCID: \"89860012345678901234\"\r\n\r\nOK\r\n", true,
         " \"89860012345678901234\""},
        {"huawei", "\r\n^ICCID: 98680012345678901234\r\n\r\nOK\r\n", true, " 98680012345678901234"},
        {"siemens", "\r\n+CXXCID: 8986001\r\nOK\r\n", true, " 8986001"},
        {"either case, no blank", "\r\n+ccid:89860012345678901234\r\n\r\nOK\r\n", true,
         "89860012345678901234"},
        {"no sim", "\r\n+CME ERROR: 10\r\n", false, ""},
        {"error with ccid", "+CCID: ERROR\r\n", false, ""},
        {"other reply", "\r\n+CSQ: 1,2\r\nOK\r\n", false, ""},
        {"ccid without colon", "\r\nCCID 8986\r\nOK\r\n", false, ""},
        {"colon then cr", "+CCID:\r\n", true, ":"},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.name);
        std::string cardNo;
        EXPECT_EQ(CardNoFromReply(c.reply, cardNo), c.taken);
        EXPECT_EQ(cardNo, c.cardNo);
    }
}

TEST(ParseSignal, TwoNumbersAsPercentDCommaPercentD)
{
    struct CASE_t {
        std::string signal;
        int rssi;
        int ber;
    };
    // Outputs start at -7 so that an untouched field shows.
    const std::vector<CASE_t> cases = {
        {" 23,99", 23, 99},
        {"31,0", 31, 0},
        {"\t 5, 7", 5, 7},
        {"5 ,7", 5, -7},
        {"5,", 5, -7},
        {"5", 5, -7},
        {"x,3", -7, -7},
        {"", -7, -7},
        {":", -7, -7},
        {"-1,+2", -1, 2},
        {"99999999999999999999,1", 2147483647, 1},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.signal);
        int rssi = -7;
        int ber = -7;
        ParseSignal(c.signal, rssi, ber);
        EXPECT_EQ(rssi, c.rssi);
        EXPECT_EQ(ber, c.ber);
    }
}

TEST(ModeAdjustment, SwitchesBetweenModes2And22)
{
    struct CASE_t {
        const char* name;
        int mode;
        int rssi;
        std::string op;
        std::string command;
        std::string line;
    };
    const std::string to2 = "AT^MODECONFIG=2\r";
    const std::string to22 = "AT^MODECONFIG=22\r";
    const std::string line2 = " > setting MODECONFIG=2";
    const std::string line22 = " > setting MODECONFIG=22";
    const std::vector<CASE_t> cases = {
        {"22 without signal", 22, 99, "", to2, line2},
        {"22 above 99", 22, 199, "", to2, line2},
        {"22 with signal stays", 22, 98, "0,0,\"CHINA MOBILE\",7", "", ""},
        {"2 with signal on CT", 2, 20, "0,0,\"CT\",7", to22, line22},
        {"2 with signal on TELECOM", 2, 0, "0,0,\"CHINA TELECOM\",7", to22, line22},
        {"2 on CT without closing quote", 2, 20, "0,0,CT", "", ""},
        {"2 on other operator", 2, 20, "0,0,\"CHINA MOBILE\",7", "", ""},
        {"2 without signal", 2, 99, "0,0,\"CT\",7", "", ""},
        {"2 with negative rssi", 2, -1, "0,0,\"CT\",7", "", ""},
        {"other mode", 0, 20, "", to2, line2},
        {"other mode 13", 13, 99, "0,0,\"CT\",7", to2, line2},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.name);
        const MODE_ADJUSTMENT_t a = ModeAdjustment(c.mode, c.rssi, c.op);
        EXPECT_EQ(a.strCommand, c.command);
        EXPECT_EQ(a.strLine, c.line);
    }
}

TEST(TrimBlank, AllSixBlanksBothEnds)
{
    EXPECT_EQ(TrimBlank(" \t\n\v\f\rab c\r\n \v"), "ab c");
    EXPECT_EQ(TrimBlank(" \r\n"), "");
    EXPECT_EQ(TrimBlank(""), "");
}

}  // namespace
