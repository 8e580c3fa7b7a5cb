// The interactive console driven through pipes: the keys and typed lines come
// from standard input, the screen is standard output. What needs a terminal
// (raw keys, colours) is covered by the tmux tests in tests/e2e.

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "support/modem_sim.h"
#include "support/process.h"

namespace {

const char kMenuLine[] = u8"回车键刷新 1发送短信 2接收短信 q退出\n";
const char kNumberPrompt[] = u8"请输入接收短信的号码: ";
const char kNumberRetry[] = u8"您输入的号码有误，请重新输入\n";
const char kPortPrompt[] = u8"请输入设备端口号(例:选择COM3,请输入3):";
const char kPortRetry[] = u8"您输入的设备端口号有误，请重新输入\n";
const char kGiveUp[] = u8"输入的错误次数过多，返回主界面\n\n\n";
const char kTextPrompt[] = u8"请输入短信内容:";
const char kCutLine[] = u8"输入的内容过长，只保留前 65536 字节，其余部分已丢弃\n";
const std::string kSeparator = std::string(50, '-') + "\n";

std::size_t Count(const std::string& text, const std::string& piece)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + 1)) {
        ++n;
    }
    return n;
}

ProcessResult RunConsole(const std::string& portsDir, const std::string& input)
{
    return RunProcess({TELLMAR_BINARY}, {{"TELLMAR_SERIALCOMM", portsDir}, {"LC_ALL", "C.UTF-8"}},
                      input, 120);
}

// Seconds of the reading-time line; -1 when the line is missing.
int ReadingSeconds(const std::string& out)
{
    std::smatch m;
    if (!std::regex_search(out, m, std::regex(u8"读取短信耗时: (\\d+) 秒\n"))) {
        return -1;
    }
    return std::stoi(m[1]);
}

// ---- no ports at all: scans are instant, the dialogues' own rules show ----

class ConsoleWithoutPorts : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/tellmar-noports-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        s_dir = pattern;
    }
    static void TearDownTestSuite() { ::rmdir(s_dir.c_str()); }
    static std::string s_dir;
};
std::string ConsoleWithoutPorts::s_dir;

struct PieceCount {
    std::string piece;
    std::size_t count;
};

struct MenuCase {
    const char* name;
    std::string input;
    std::vector<PieceCount> pieces;
};

void PrintTo(const MenuCase& c, std::ostream* os)
{
    *os << c.name;
}

class ConsoleKeysTest : public ConsoleWithoutPorts,
                        public ::testing::WithParamInterface<MenuCase> {};

TEST_P(ConsoleKeysTest, EndsAtTheEndOfInputWithStatusZero)
{
    const ProcessResult r = RunConsole(s_dir, GetParam().input);
    ASSERT_FALSE(r.timedOut) << "the menu did not end at the end of its input";
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << "colour codes on a pipe";
    for (const PieceCount& p : GetParam().pieces) {
        EXPECT_EQ(Count(r.out, p.piece), p.count) << "of: " << p.piece << "\nin:\n" << r.out;
    }
}

const MenuCase kMenuCases[] = {
    {"NothingTyped", "", {{kMenuLine, 1}}},
    {"QuitFirst", "q1", {{kMenuLine, 1}, {kNumberPrompt, 0}}},
    // An unlisted key swallows the next one, "q" included.
    {"UnlistedThenQ", "xq", {{kMenuLine, 2}}},
    {"CapitalQIsNoQuit", "Qxq", {{kMenuLine, 2}}},
    {"ArrowIsOneKey", "\x1b[Aq", {{kMenuLine, 2}}},
    {"Enter", "\nq", {{kMenuLine, 2}}},
    {"ThreeBadNumberEntries",
     "1abc\nCOM3\n12\nq",
     {{kNumberPrompt, 3}, {kNumberRetry, 3}, {kGiveUp, 1}, {kPortPrompt, 0}, {kMenuLine, 2}}},
    {"OneInvalidNumberRefusesTheList",
     "113800138000,12\n13800138000\n",
     {{kNumberPrompt, 2}, {kNumberRetry, 1}, {kPortPrompt, 1}}},
    // At the end of input the number question fails three times.
    {"NumbersAtEndOfInput", "1", {{kNumberPrompt, 3}, {kGiveUp, 1}, {kPortPrompt, 0}}},
    // The port question at the end of input is an empty answer: discovery
    // picks the devices itself (none here) and the text takes its default.
    {"SendWithPortsAtEndOfInput",
     "113800138000\n",
     {{kNumberPrompt, 1}, {kPortPrompt, 1}, {kPortRetry, 0}, {kTextPrompt, 1}, {kMenuLine, 2}}},
    {"HiddenPortCheckEmptyAnswer", "d\nq", {{kPortPrompt, 1}, {kPortRetry, 0}, {kMenuLine, 2}}},
    {"HiddenPortCheckThreeWrong",
     "dCOM3\n0\nabc\nq",
     {{kPortPrompt, 3}, {kPortRetry, 3}, {kGiveUp, 1}, {kMenuLine, 2}}},
    {"ReceivePortRetryThenEmptyAnswer", "2x\n\n", {{kPortPrompt, 2}, {kPortRetry, 1}}},
    // A typed line beyond the bound is cut, and the user is told at once.
    {"OverlongAnswerIsCutAndSaid",
     "1" + std::string(70000, '1') + "\n13800138000\n",
     {{kNumberPrompt, 2}, {kCutLine, 1}, {kNumberRetry, 1}, {kPortPrompt, 1}}},
};

INSTANTIATE_TEST_SUITE_P(Rows, ConsoleKeysTest, ::testing::ValuesIn(kMenuCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConsoleWithoutPorts, DialogueLayoutIsLineEndPromptAnswerLineEnd)
{
    const ProcessResult r = RunConsole(s_dir, "1abc\n");
    const std::string expected =
        std::string(kMenuLine) + "\n" + kNumberPrompt + "\n" + kNumberRetry;
    EXPECT_NE(r.out.find(expected), std::string::npos) << r.out;
}

TEST_F(ConsoleWithoutPorts, ReadingTimeIsAtLeastOneSecond)
{
    const ProcessResult r = RunConsole(s_dir, "2\n");
    EXPECT_GE(ReadingSeconds(r.out), 1) << r.out;
}

// ---- against the simulator --------------------------------------------------

// COM3: SIM readable, modem memory refused; COM5 answers nothing; COM6 has a
// SIM but refuses every storage selection with a modem error.
const char kReceiveConfig[] = R"({"ports":[
 {"com":3,"model":"M35","bauds":[9600],"imei":"866123456789013","serial":"SN0003",
  "iccid":"89860012345678901233","csq":"23,99",
  "storage":{"SM":[{"index":1,"status":1,"from":"+8613800138000","time":"24-05-31 09:15:02",
                    "text":"first","dcs":8},
                   {"index":2,"status":1,"from":"10086","time":"24-05-30 08:00:00",
                    "text":"x\u001b[2Jy","dcs":8}],
             "ME":[{"index":1,"status":1,"from":"10010","time":"24-05-29 08:00:00",
                    "text":"never shown","dcs":8}]},
  "faults":{"error_commands":["AT+CPMS=\"ME\""]}},
 {"com":5,"model":"silent"},
 {"com":6,"model":"M35","bauds":[9600],"imei":"866123456789016","serial":"SN0006",
  "iccid":"89860012345678901236","csq":"23,99",
  "faults":{"error_commands":[{"prefix":"AT+CPMS","reply":"+CMS ERROR: 302"}]}}
]})";

TEST(ConsoleReceive, SuccessCountsReadStoragesAndFailuresGiveTheirReason)
{
    ModemSim sim(kReceiveConfig);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const ProcessResult r = RunConsole(sim.Dir(), "23,5,6\n");
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    const std::string& out = r.out;

    // COM3: only the SIM counts and only its block is shown.
    const std::string com3 = std::string(u8"端口 COM3 接收短信成功 共 2 条短信\n") +
                             u8"SIM卡中的短信共 2 条\n" + kSeparator + u8" 第 1 条短信\n";
    EXPECT_NE(out.find(com3), std::string::npos) << out;
    EXPECT_EQ(out.find(u8"设备中的短信共"), std::string::npos);
    EXPECT_EQ(out.find("never shown"), std::string::npos);
    EXPECT_NE(out.find(u8"短信内容: x\\x1B[2Jy\n"), std::string::npos) << out;
    EXPECT_EQ(out.find('\x1b'), std::string::npos);

    // Reasons in their order: no SIM card first (with what was wrong with the
    // port); else the modem's own error.
    EXPECT_NE(
        out.find(std::string(u8"端口 COM5 接收短信失败\t 失败原因: 设备未插卡 (no answer)\n")),
        std::string::npos)
        << out;
    EXPECT_NE(out.find(std::string(u8"端口 COM6 接收短信失败\t 失败原因: +CMS ERROR: 302\n")),
              std::string::npos)
        << out;
    EXPECT_LT(out.find("COM3 "), out.find("COM5 "));
    EXPECT_LT(out.find("COM5 "), out.find("COM6 "));
    EXPECT_GE(ReadingSeconds(out), 1);
}

// The send dialogue at the end of input: numbers given, then the port
// question takes the empty answer and the text its default.
TEST(ConsoleSend, EndOfInputSendsTheDefaultTextThroughDiscoveredDevices)
{
    ModemSim sim(R"({"ports":[{"com":4,"model":"M35","bauds":[9600],"imei":"866123456789014",
        "serial":"SN0004","iccid":"89860012345678901234","csq":"23,99"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    const ProcessResult r = RunConsole(sim.Dir(), "113800138000;13900139000\n");
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    const std::vector<Json::Value> messages = sim.Events("message");
    ASSERT_EQ(messages.size(), 2u) << r.out;
    EXPECT_EQ(messages[0]["number"].asString(), "13800138000");
    EXPECT_EQ(messages[1]["number"].asString(), "13900139000");
    for (const Json::Value& m : messages) {
        EXPECT_EQ(m["text"].asString().rfind(u8" 北京Corvel短信为您服务 ", 0), 0u) << m;
    }
    EXPECT_EQ(Count(r.out, u8"的短信发送成功\n"), 2u) << r.out;
}

}  // namespace
