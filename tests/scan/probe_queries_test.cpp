#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/console.h"
#include "platform/port_map.h"
#include "scan/port_scan.h"
#include "scan/probe_queries.h"
#include "scan/probe_rules.h"
#include "support/fixture_text.h"

namespace {

// A modem that answers each command from a recorded dialogue (commands it
// does not know get "ERROR") and remembers what it was sent.
class CScriptedLine : public CProbeLine {
public:
    explicit CScriptedLine(std::map<std::string, std::string> replies)
        : m_replies(std::move(replies))
    {
    }

    void Send(const std::string& command) override
    {
        m_sent.push_back(command.substr(0, command.size() - 1));
        const auto it = m_replies.find(m_sent.back());
        m_pending += it != m_replies.end() ? it->second : "\r\nERROR\r\n";
    }

    std::string Receive() override
    {
        std::string reply = ReplyText(m_pending);
        m_pending.clear();
        return reply;
    }

    const std::vector<std::string>& Sent() const { return m_sent; }

private:
    std::map<std::string, std::string> m_replies;
    std::vector<std::string> m_sent;
    std::string m_pending;
};

// tests/data/scan/dialogue/<name>.txt: ">COMMAND" lines, each followed by the
// reply (escaped, may span lines); "#" lines are comments.
std::map<std::string, std::string> LoadDialogue(const std::string& name)
{
    std::map<std::string, std::string> replies;
    std::ifstream in(TestDataPath("scan/dialogue/" + name + ".txt"));
    EXPECT_TRUE(in) << name;
    std::string line;
    std::string command;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line[0] == '>') {
            command = line.substr(1);
            replies[command];
        } else {
            replies[command] += DecodeEscapes(line);
        }
    }
    return replies;
}

// Output of the console writer while `body` runs.
template <typename F>
std::string CaptureConsole(F body)
{
    testing::internal::CaptureStdout();
    body();
    ConsoleFlush();
    return testing::internal::GetCapturedStdout();
}

struct DIALOGUE_CASE_t {
    const char* dialogue;
    PHONE_TYPE_t nModel;
    std::string strModel;
    std::string strSerialNo;
    std::string strCardNo;
    std::string strSignal;
    int nRssi;
    int nBer;
    std::string strOperator;
    std::vector<std::string> commands;
    std::string strPinState = {};
};

void PrintTo(const DIALOGUE_CASE_t& c, std::ostream* os)
{
    *os << c.dialogue;
}

const std::vector<std::string> kStart = {"ATE0", "AT+CMEE=1", "ATI", "AT+CGMI"};

std::vector<std::string> Then(std::vector<std::string> head, const std::vector<std::string>& tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

const DIALOGUE_CASE_t kDialogues[] = {
    {"m35", PHONE_TYPE_UN_KNOWN, "", "866123450000001", " \"89860012345678901234\"", " 23,99", 23,
     99, "0,0,\"CHINA MOBILE\"",
     Then(kStart, {"ATI3", "ATI", "AT+WMSN", "AT+CGSN", "AT+CCID", "AT+CPIN?", "ATI", "AT+CSQ",
                   "AT+COPS?"}),
     "READY"},
    {"clm920_nc5", PHONE_TYPE_VELT_B, "CLM920_NC5", "YG20190512001", " 89860318000000000001",
     " 99,99", 99, 99, "0,0,\"CHINA TELECOM\",7",
     Then(kStart, {"AT+CGMM", "AT^MODECONFIG?", "AT+WMSN", "AT+CCID", "AT+CPIN?", "ATI", "AT+CSQ",
                   "AT+COPS?", "AT^MODECONFIG=2"}),
     "READY"},
    {"me909s", PHONE_TYPE_VELT_D, "HuaWeiME909s", "867223020000002", " 98681031000000000002",
     " 18,99", 18, 99, "0,0,\"CHINA UNICOM\",2",
     Then(kStart, {"AT+CGMM", "AT+CGSN", "AT^ICCID?", "AT+CPIN?", "ATI", "AT+CSQ", "AT+COPS?"}),
     "READY"},
    {"mg301", PHONE_TYPE_VELT_E, "HuaWeiMG301", "354321000000003", " 98600000000000000003", " 31,0",
     31, 0, "0,0,\"CHINA MOBILE\"",
     Then(kStart, {"AT+CGMM", "AT+CGSN", "AT^ICCID?", "AT+CPIN?", "ATI", "AT+CSQ", "AT+COPS?"}),
     "READY"},
    {"mc323", PHONE_TYPE_VELT_G, "HuaWeiMC323", "0x80A1B2C3", " 89860398000000000004", " 20,99", 20,
     99, "0,2,\"46003\"",
     Then(kStart, {"AT+CGMM", "AT+CGSN", "AT+CCID", "ATI", "AT+CSQ", "AT+COPS?"})},
    {"q2406b", PHONE_TYPE_VELT_F, "Q2406B", "351234560000005", " \"89860000000000000005\"", " 12,0",
     12, 0, "0,0,\"CHN-CUGSM\"",
     Then(kStart, {"ATI3", "AT+CGSN", "AT+CCID", "AT+CPIN?", "ATI", "AT+CSQ", "AT+COPS?"}),
     "READY"},
    {"wismoq", PHONE_TYPE_WISMOQ, "WISMOQ", "", " \"89860000000000000006\"", " 9,99", 9, 99, "0",
     Then(kStart, {"ATI3", "AT+CCID", "AT+CPIN?", "ATI", "AT+CSQ", "AT+COPS?"}), "READY"},
    {"siemens", PHONE_TYPE_SIEMENS, "", "350000000000007", " 89860000000000000007", " 15,99", 15,
     99, "0,0,\"CHINA MOBILE\"",
     Then(kStart, {"ATI3", "ATI", "AT+CGSN", "AT+CXXCID", "AT+CPIN?", "ATI", "AT+CSQ", "AT+COPS?"}),
     "READY"},
    {"huawei_other", PHONE_TYPE_UN_KNOWN, "", "", "", "", 99, 99, "",
     Then(kStart,
          {"AT+CGMM", "AT+CGMM", "ATI3", "ATI", "AT+WMSN", "AT+CGSN", "AT+CCID", "AT+CPIN?"})},
    // A locked SIM: its state is read, and with its card number the signal.
    {"me909s_locked", PHONE_TYPE_VELT_D, "HuaWeiME909s", "867223020000012", " 98681031000000000012",
     " 18,99", 18, 99, "0",
     Then(kStart, {"AT+CGMM", "AT+CGSN", "AT^ICCID?", "AT+CPIN?", "ATI", "AT+CSQ", "AT+COPS?"}),
     "SIM PIN"},
    {"dotted", PHONE_TYPE_UN_KNOWN, "1\r\n\r\n", "860000000000009", "", "", 99, 99, "",
     Then(kStart, {"ATI3", "AT+WMSN", "AT+CGSN", "AT+CCID", "AT+CPIN?"})},
};

class ProbeDialogue : public testing::TestWithParam<DIALOGUE_CASE_t> {};

TEST_P(ProbeDialogue, RecordAndCommandsFromRecordedReplies)
{
    const DIALOGUE_CASE_t& c = GetParam();
    CScriptedLine line(LoadDialogue(c.dialogue));
    COM_CHECK_RESULT_t record;
    record.port = PortNamed("COM3");
    CaptureConsole([&] { RunQuerySteps(record, line, true); });

    EXPECT_EQ(record.nModel, c.nModel);
    EXPECT_EQ(record.strModel, c.strModel);
    EXPECT_EQ(record.strSerialNo, c.strSerialNo);
    EXPECT_EQ(record.strCardNo, c.strCardNo);
    EXPECT_EQ(record.strSignal, c.strSignal);
    EXPECT_EQ(record.nRssi, c.nRssi);
    EXPECT_EQ(record.nBer, c.nBer);
    EXPECT_EQ(record.strOperator, c.strOperator);
    EXPECT_EQ(record.strPinState, c.strPinState);
    EXPECT_EQ(line.Sent(), c.commands);
    // strATI is the whole ATI reply (asked again with a card).
    EXPECT_EQ(record.strATI, LoadDialogue(c.dialogue)["ATI"]);
}

INSTANTIATE_TEST_SUITE_P(Models, ProbeDialogue, testing::ValuesIn(kDialogues),
                         [](const testing::TestParamInfo<DIALOGUE_CASE_t>& info) {
                             return std::string(info.param.dialogue);
                         });

TEST(ModeConfigLines, TraceFollowsVerboseAndSwitchLineIsAlwaysPrinted)
{
    const auto replies = LoadDialogue("clm920_nc5");
    for (bool verbose : {true, false}) {
        SCOPED_TRACE(verbose);
        CScriptedLine line(replies);
        COM_CHECK_RESULT_t record;
        record.port = PortNamed("COM7");
        const std::string out = CaptureConsole([&] { RunQuerySteps(record, line, verbose); });
        // The port as the system names it: its path on Windows, COM7 on Linux.
        const std::string port = PortNoteName(record.port);
        const std::string trace = verbose ? port + " > MODECONFIG = 22\n" : "";
        EXPECT_EQ(out, trace + port + " > setting MODECONFIG=2\n");
        EXPECT_EQ(record.nModeConfig, 22);
    }
}

TEST(AdjustModeConfig, OnlyTheClm920WithACard)
{
    struct CASE_t {
        const char* name;
        PHONE_TYPE_t nModel;
        std::string cardNo;
        std::vector<std::string> sent;
    };
    const std::vector<CASE_t> cases = {
        {"clm920 with card", PHONE_TYPE_VELT_B, "8986", {"AT^MODECONFIG=2"}},
        {"clm920 without card", PHONE_TYPE_VELT_B, "", {}},
        {"other model", PHONE_TYPE_VELT_D, "8986", {}},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.name);
        CScriptedLine line({});
        COM_CHECK_RESULT_t record;
        record.nModel = c.nModel;
        record.strCardNo = c.cardNo;
        record.nModeConfig = 0;
        CaptureConsole([&] { AdjustModeConfig(record, line); });
        EXPECT_EQ(line.Sent(), c.sent);
    }
}

// The CDMA module's phone book, as the module keeps it between scans.
class CCdmaPhoneBook : public CProbeLine {
public:
    bool hasEntry = false;
    std::string entryNumber;
    std::string entryName;
    bool emptyIndexAnswersOk = false;
    std::string cgsnReply = "\r\n+CME ERROR: 100\r\n";
    std::string selectReply = "\r\nOK\r\n";
    // Replaces the answer to the read of entry 1 when set: a late, cut or
    // refused read.
    const char* readReply = nullptr;
    std::vector<std::string> sent;

    void Send(const std::string& command) override
    {
        sent.push_back(command);
        const std::string write = "AT^CPBW=1,\"";
        if (command == "AT+CGSN\r") {
            m_pending += cgsnReply;
        } else if (command == "AT+CPBS=\"ME\"\r") {
            m_pending += selectReply;
        } else if (command == "AT^CPBR=1\r" && readReply != nullptr) {
            m_pending += readReply;
        } else if (command == "AT^CPBR=1\r") {
            if (hasEntry) {
                m_pending +=
                    "\r\n^CPBR: 1,\"" + entryNumber + "\",129,\"" + entryName + "\"\r\n\r\nOK\r\n";
            } else {
                m_pending += emptyIndexAnswersOk ? "\r\nOK\r\n" : "\r\n+CME ERROR: 22\r\n";
            }
        } else if (command.compare(0, write.size(), write) == 0) {
            hasEntry = true;
            entryNumber =
                command.substr(write.size(), command.find('"', write.size()) - write.size());
            entryName = "WMSN";
            m_pending += "\r\nOK\r\n";
        } else {
            m_pending += "\r\nOK\r\n";
        }
    }

    std::string Receive() override
    {
        std::string reply = ReplyText(m_pending);
        m_pending.clear();
        return reply;
    }

private:
    std::string m_pending;
};

COM_CHECK_RESULT_t CdmaRecord()
{
    COM_CHECK_RESULT_t record;
    record.nModel = PHONE_TYPE_VELT_G;
    return record;
}

TEST(CdmaSerialNo, WrittenOnTheFirstScanAndReadBackOnTheNext)
{
    CCdmaPhoneBook module;
    COM_CHECK_RESULT_t first = CdmaRecord();
    EXPECT_FALSE(QuerySerialNo(first, module));
    EXPECT_EQ(first.strSerialNo, "");
    ASSERT_EQ(module.entryName, "WMSN");
    ASSERT_EQ(module.entryNumber.size(), 15u);
    EXPECT_EQ(module.entryNumber.find_first_not_of("0123456789"), std::string::npos);

    const std::string stored = module.entryNumber;
    module.sent.clear();
    COM_CHECK_RESULT_t second = CdmaRecord();
    EXPECT_TRUE(QuerySerialNo(second, module));
    EXPECT_EQ(second.strSerialNo, stored);
    EXPECT_EQ(module.entryNumber, stored);
    const std::vector<std::string> expected = {"AT+CGSN\r", "AT+CPBS=\"ME\"\r", "AT^CPBR=1\r",
                                               "AT^RSSIREP=0\r"};
    EXPECT_EQ(module.sent, expected);
}

TEST(CdmaSerialNo, AModuleListingNothingGetsTheNumberInTheSameScan)
{
    CCdmaPhoneBook module;
    module.emptyIndexAnswersOk = true;
    COM_CHECK_RESULT_t record = CdmaRecord();
    EXPECT_TRUE(QuerySerialNo(record, module));
    EXPECT_EQ(record.strSerialNo, module.entryNumber);
    EXPECT_EQ(record.strSerialNo.size(), 15u);
}

TEST(CdmaSerialNo, AContactInEntryOneIsNeverOverwritten)
{
    for (const std::string name : {"Mum", ""}) {
        SCOPED_TRACE(name);
        CCdmaPhoneBook module;
        module.hasEntry = true;
        module.entryNumber = "13800138000";
        module.entryName = name;
        COM_CHECK_RESULT_t record = CdmaRecord();
        EXPECT_FALSE(QuerySerialNo(record, module));
        EXPECT_EQ(record.strSerialNo, "");
        EXPECT_EQ(module.entryName, name);
        EXPECT_EQ(module.entryNumber, "13800138000");
        for (const std::string& command : module.sent) {
            EXPECT_EQ(command.find("CPBW"), std::string::npos) << command;
        }
    }
}

TEST(CdmaSerialNo, EntryOneIsWrittenOnlyAfterAReadThatShowsItEmpty)
{
    const struct {
        const char* what;
        const char* select;
        const char* read;  // nullptr: the module's own answer (entry 1 empty)
    } cases[] = {
        {"the select is refused", "\r\nERROR\r\n", nullptr},
        {"the select is refused with a number", "\r\n+CME ERROR: 3\r\n", nullptr},
        {"the select's answer has not come", "", nullptr},
        {"the read's answer has not come", "\r\nOK\r\n", ""},
        {"the read's answer is cut", "\r\nOK\r\n", "\r\n^CPBR: 1,\"1380013"},
        {"the read is refused for another reason", "\r\nOK\r\n", "\r\n+CME ERROR: 14\r\n"},
        {"the module does not know the read", "\r\nOK\r\n", "\r\nCOMMAND NOT SUPPORT\r\n"},
        {"an unsolicited line only", "\r\nOK\r\n", "\r\n^RSSI:17\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CCdmaPhoneBook module;
        module.selectReply = c.select;
        module.readReply = c.read;
        COM_CHECK_RESULT_t record = CdmaRecord();
        EXPECT_FALSE(QuerySerialNo(record, module));
        EXPECT_EQ(record.strSerialNo, "");
        EXPECT_FALSE(module.hasEntry);
        for (const std::string& command : module.sent) {
            EXPECT_EQ(command.find("CPBW"), std::string::npos) << command;
        }
    }
}

TEST(CdmaSerialNo, AStoredNumberIsReadEvenWhenTheSelectIsRefused)
{
    CCdmaPhoneBook module;
    module.hasEntry = true;
    module.entryNumber = "805021234567890";
    module.entryName = "WMSN";
    module.selectReply = "\r\nERROR\r\n";
    COM_CHECK_RESULT_t record = CdmaRecord();
    EXPECT_TRUE(QuerySerialNo(record, module));
    EXPECT_EQ(record.strSerialNo, "805021234567890");
    EXPECT_EQ(module.entryNumber, "805021234567890");
}

TEST(CdmaSerialNo, AnEsnFromCgsnSkipsThePhoneBook)
{
    CCdmaPhoneBook module;
    module.cgsnReply = "\r\n0x80A1B2C3\r\n\r\nOK\r\n";
    COM_CHECK_RESULT_t record = CdmaRecord();
    EXPECT_TRUE(QuerySerialNo(record, module));
    EXPECT_EQ(record.strSerialNo, "0x80A1B2C3");
    EXPECT_EQ(module.sent, std::vector<std::string>{"AT+CGSN\r"});
}

TEST(MakeRandomDigits, FifteenDigitsThatDifferBetweenThreads)
{
    std::string a;
    std::string b;
    std::thread ta([&] { a = MakeRandomDigits(); });
    std::thread tb([&] { b = MakeRandomDigits(); });
    ta.join();
    tb.join();
    for (const std::string& digits : {a, b, MakeRandomDigits()}) {
        EXPECT_EQ(digits.size(), 15u);
        EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << digits;
    }
    EXPECT_NE(a, b);
    EXPECT_NE(MakeRandomDigits(), MakeRandomDigits());
}

// Replies a modem at a wrong baud rate, a broken module or an attacker could
// send, given to every command of the probe.
TEST(HostileReplies, EveryStepEndsWithDefinedFields)
{
    struct CASE_t {
        const char* name;
        std::string reply;
        std::string strCardNo;
        std::string strSignal;
    };
    std::string noise;
    for (int i = 0; i < 600; ++i) {
        noise += static_cast<char>((i * 37 + 11) % 256 == 0 ? 1 : (i * 37 + 11) % 256);
    }
    const std::string noColonNoise = [&] {
        std::string s = noise;
        for (char& c : s) {
            if (c == ':' || c == '\r')
                c = '~';
        }
        return s;
    }();
    const std::vector<CASE_t> cases = {
        {"silence", "", "", ""},
        {"noise without colon or cr", noColonNoise, "", ""},
        {"ccid without cr", "+CCID: 8986", " 8986", " 8986"},
        {"colon as last byte", "OK CCID:", "", ""},
        {"colon then cr", "OK CCID:\r", ":", ":"},
        {"escape sequence", "+CCID: \x1b[2J\x1b]0;owned\x07\r\nOK", " \x1b[2J\x1b]0;owned\x07",
         " \x1b[2J\x1b]0;owned\x07"},
        {"nul before the value", std::string("+CCID\0: 8986\r\nOK", 17), "", ""},
        {"quotes and dots", "\"\".\"\",,,\"CPBR:\"\r", "", ""},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.name);
        std::map<std::string, std::string> replies;
        for (const char* command : {"ATE0", "AT+CMEE=1", "ATI", "AT+CGMI", "AT+CGMM", "ATI3",
                                    "AT^MODECONFIG?", "AT+WMSN", "AT+CGSN", "AT+CCID", "AT+CSQ",
                                    "AT+COPS?", "AT+CPBS=\"ME\"", "AT^CPBR=1", "AT^RSSIREP=0"}) {
            replies[command] = c.reply;
        }
        CScriptedLine line(replies);
        COM_CHECK_RESULT_t record;
        record.port = PortNamed("COM1");
        CaptureConsole([&] { RunQuerySteps(record, line, true); });
        EXPECT_EQ(record.strCardNo, c.strCardNo);
        EXPECT_EQ(record.strSignal, c.strSignal);
        EXPECT_LE(record.strATI.size(), kProbeReplyBytes);
        EXPECT_LE(record.strModel.size(), 5u);
    }
}

}  // namespace
