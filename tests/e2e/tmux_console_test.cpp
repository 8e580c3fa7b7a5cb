// The interactive console in a real terminal: tmux runs `tellmar` in a pane
// against the modem simulator, send-keys types, capture-pane reads the screen.

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "support/modem_sim.h"
#include "support/process.h"

namespace {

const char kMenuLine[] = u8"回车键刷新 1发送短信 2接收短信 q退出";
const char kGreen[] = "\x1b[92m";
const char kRed[] = "\x1b[91m";
const char kExitMark[] = "[program exit ";
// Scans take seconds; this only stops a broken case from hanging.
const int kWaitMs = 60000;

// The last colour code before the first `piece` in a capture with colours:
// tmux writes a code only where the colour changes.
std::string ColourOf(const std::string& coloured, const std::string& piece)
{
    const std::size_t at = coloured.find(piece);
    if (at == std::string::npos) {
        return "(no " + piece + ")";
    }
    const std::size_t code = coloured.rfind("\x1b[", at);
    if (code == std::string::npos) {
        return "";
    }
    return coloured.substr(code, coloured.find('m', code) + 1 - code);
}

std::size_t Count(const std::string& text, const std::string& piece)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + 1)) {
        ++n;
    }
    return n;
}

// The tmux program, looked up in PATH (the process runner takes a path).
std::string TmuxPath()
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        const std::string candidate = dirs.substr(start, end - start) + "/tmux";
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return "";
}

// One tmux server of its own (its socket name is unique) with one pane
// running the program; the server is killed when this goes.
class TmuxConsole {
public:
    // `redirect` is appended to the command line (e.g. "< /dev/null");
    // `columns` is the width of the pane.
    TmuxConsole(const std::string& portsDir, const std::string& redirect = "", int columns = 160)
    {
        m_tmux = TmuxPath();
        if (m_tmux.empty()) {
            ADD_FAILURE() << "tmux is not installed";
            return;
        }
        static std::atomic<int> counter{0};
        m_socket = "tellmar-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        char pattern[] = "/tmp/tellmar-tmux-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            ADD_FAILURE() << "mkdtemp";
            return;
        }
        m_confDir = pattern;
        const std::string conf = m_confDir + "/tmux.conf";
        FILE* f = std::fopen(conf.c_str(), "w");
        // The pane stays after the program ends so that its status can be read.
        std::fputs("set -g remain-on-exit on\nset -g history-limit 50000\nset -g status off\n", f);
        std::fclose(f);
        m_conf = conf;
        // The shell writes the exit status into the pane: tmux's own record of
        // it is lost when the terminal closes before the process is reaped.
        const std::string command = "env -u NO_COLOR TELLMAR_SERIALCOMM='" + portsDir +
                                    "' LC_ALL=C.UTF-8 '" TELLMAR_BINARY "' " + redirect +
                                    "; echo \"" + kExitMark + "$?]\"";
        const ProcessResult r = Tmux(
            {"new-session", "-d", "-x", std::to_string(columns), "-y", "50", "-s", "t", command});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        m_started = r.exitCode == 0;
    }

    bool Started() const { return m_started; }

    ~TmuxConsole()
    {
        if (m_started) {
            Tmux({"kill-server"});
        }
        if (!m_conf.empty()) {
            ::unlink(m_conf.c_str());
        }
        if (!m_confDir.empty()) {
            ::rmdir(m_confDir.c_str());
        }
    }

    TmuxConsole(const TmuxConsole&) = delete;
    TmuxConsole& operator=(const TmuxConsole&) = delete;

    // Types the text as it is.
    void Type(const std::string& text) { Tmux({"send-keys", "-t", "t", "-l", text}); }
    // Presses a key by its tmux name ("Enter", "Up").
    void Press(const std::string& key) { Tmux({"send-keys", "-t", "t", key}); }
    void TypeLine(const std::string& text)
    {
        Type(text);
        Press("Enter");
    }

    // The whole pane with its history; with `colours` the SGR codes as tmux
    // renders them.
    std::string Screen(bool colours = false) const
    {
        std::vector<std::string> args = {"capture-pane", "-p", "-J", "-S", "-",
                                         "-E",           "-",  "-t", "t"};
        if (colours) {
            args.push_back("-e");
        }
        return Tmux(args).out;
    }

    // The pane's rows as the terminal shows them: a line longer than the
    // pane is more than one row here.
    std::vector<std::string> Rows() const
    {
        const std::string text = Tmux({"capture-pane", "-p", "-S", "-", "-E", "-", "-t", "t"}).out;
        std::vector<std::string> rows;
        std::size_t start = 0;
        for (std::size_t end = text.find('\n'); end != std::string::npos;
             end = text.find('\n', start)) {
            rows.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return rows;
    }

    std::string Format(const std::string& format) const
    {
        std::string out = Tmux({"display-message", "-p", "-t", "t", format}).out;
        while (!out.empty() && out.back() == '\n') {
            out.pop_back();
        }
        return out;
    }

    bool Ended() const { return Screen().find(kExitMark) != std::string::npos; }

    // The program's exit status as the shell saw it; empty while it runs.
    std::string ExitStatus() const
    {
        const std::string screen = Screen();
        const std::size_t at = screen.find(kExitMark);
        if (at == std::string::npos) {
            return "";
        }
        const std::size_t start = at + std::string(kExitMark).size();
        return screen.substr(start, screen.find(']', start) - start);
    }

    bool WaitUntil(const std::function<bool()>& done) const
    {
        const std::int64_t end = MonotonicMs() + kWaitMs;
        while (MonotonicMs() < end) {
            if (done()) {
                return true;
            }
            SleepMs(100);
        }
        return done();
    }

    bool WaitForCount(const std::string& piece, std::size_t count) const
    {
        return WaitUntil([&] { return Count(Screen(), piece) >= count; });
    }

    bool WaitForEnd() const
    {
        return WaitUntil([&] { return Ended(); });
    }

private:
    ProcessResult Tmux(std::vector<std::string> args) const
    {
        std::vector<std::string> argv = {m_tmux, "-u", "-L", m_socket};
        if (!m_conf.empty()) {
            argv.push_back("-f");
            argv.push_back(m_conf);
        }
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProcess(argv, {{"LC_ALL", "C.UTF-8"}}, "", 20);
    }

    std::string m_tmux;
    std::string m_socket;
    bool m_started = false;
    std::string m_confDir;
    std::string m_conf;
};

// One complete M35 on COM3 with a message on the SIM and one in the modem
// memory, whose text carries terminal controls; COM5 answers nothing.
const char kConfig[] = R"({"ports":[
 {"com":3,"model":"M35","bauds":[9600],"imei":"866123456789013","serial":"SN0003",
  "iccid":"89860012345678901233","csq":"23,99","operator":"CHINA MOBILE",
  "storage":{"SM":[{"index":1,"status":1,"from":"+8613800138000","time":"24-05-31 09:15:02",
                    "text":"on the sim","dcs":8}],
             "ME":[{"index":4,"status":1,"from":"10086","time":"24-05-30 08:00:00",
                    "text":"a\u001b]0;owned\u0007b\u001b[2Jc\u001b[31md","dcs":8}]}},
 {"com":5,"model":"silent"}
]})";

class TmuxConsoleTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_sim.Start()) << m_sim.LastError(); }

    // One probe sends AT+CCID once: the number of scans of COM3 so far.
    std::size_t Scans() const
    {
        std::size_t n = 0;
        for (const std::string& command : m_sim.Commands(3)) {
            n += command == "AT+CCID" ? 1 : 0;
        }
        return n;
    }

    ModemSim m_sim{kConfig};
};

TEST_F(TmuxConsoleTest, TableAndMenuThenQAsFirstKeyQuitsWithoutAnotherScan)
{
    TmuxConsole pane(m_sim.Dir());
    ASSERT_TRUE(pane.Started());
    ASSERT_TRUE(pane.WaitForCount(kMenuLine, 1)) << pane.Screen();
    const std::string screen = pane.Screen();
    EXPECT_NE(
        screen.find("COM3      9600      OK             89860012345678901233     23,99     SN0003"),
        std::string::npos)
        << screen;
    EXPECT_NE(screen.find("COM5 "), std::string::npos);
    EXPECT_NE(screen.find("cost time "), std::string::npos);
    EXPECT_LT(screen.find("cost time "), screen.find(kMenuLine));

    pane.Type("q");
    ASSERT_TRUE(pane.WaitForEnd()) << pane.Screen();
    EXPECT_EQ(pane.ExitStatus(), "0");
    EXPECT_EQ(Count(pane.Screen(), kMenuLine), 1u);
    EXPECT_EQ(Scans(), 1u);
}

TEST_F(TmuxConsoleTest, EnterScansTwiceAndUnlistedKeysDoNotQuit)
{
    TmuxConsole pane(m_sim.Dir());
    ASSERT_TRUE(pane.Started());
    ASSERT_TRUE(pane.WaitForCount(kMenuLine, 1));
    EXPECT_EQ(Scans(), 1u);

    pane.Press("Enter");
    ASSERT_TRUE(pane.WaitForCount(kMenuLine, 2)) << pane.Screen();
    EXPECT_EQ(Scans(), 3u) << "Enter: a refresh, then the next table's own scan";

    // "x" is unlisted and swallows the "q" that follows it.
    pane.Type("x");
    pane.Type("q");
    ASSERT_TRUE(pane.WaitForCount(kMenuLine, 3)) << pane.Screen();
    EXPECT_FALSE(pane.Ended());
    EXPECT_EQ(Scans(), 4u);

    // An arrow key is one key press of two codes: nothing happens, one new table.
    pane.Press("Up");
    ASSERT_TRUE(pane.WaitForCount(kMenuLine, 4)) << pane.Screen();
    EXPECT_FALSE(pane.Ended());
    EXPECT_EQ(Scans(), 5u);
    EXPECT_EQ(pane.Screen().find("[A"), std::string::npos) << "the arrow key was echoed";

    pane.Type("q");
    ASSERT_TRUE(pane.WaitForEnd());
    EXPECT_EQ(pane.ExitStatus(), "0");
    EXPECT_EQ(Scans(), 5u);
}

TEST_F(TmuxConsoleTest, SendDialogDeliversTheTypedTextToEachNumber)
{
    TmuxConsole pane(m_sim.Dir());
    ASSERT_TRUE(pane.Started());
    ASSERT_TRUE(pane.WaitForCount(kMenuLine, 1));
    pane.Type("1");
    ASSERT_TRUE(pane.WaitForCount(u8"请输入接收短信的号码: ", 1)) << pane.Screen();
    pane.TypeLine("13800138000;13900139000");
    ASSERT_TRUE(pane.WaitForCount(u8"请输入设备端口号(例:选择COM3,请输入3):", 1)) << pane.Screen();
    pane.TypeLine("3");
    ASSERT_TRUE(pane.WaitForCount(u8"请输入短信内容:", 1)) << pane.Screen();
    pane.TypeLine(u8"你好 tmux");
    ASSERT_TRUE(pane.WaitForCount(kMenuLine, 2)) << pane.Screen();

    const std::vector<Json::Value> messages = m_sim.Events("message");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0]["number"].asString(), "13800138000");
    EXPECT_EQ(messages[1]["number"].asString(), "13900139000");
    for (const Json::Value& m : messages) {
        EXPECT_EQ(m["com"].asInt(), 3);
        EXPECT_EQ(m["text"].asString().rfind(u8"你好 tmux ", 0), 0u) << m;
    }
    const std::string coloured = pane.Screen(true);
    EXPECT_EQ(ColourOf(coloured, u8"请输入接收短信的号码: "), kGreen);
    EXPECT_EQ(ColourOf(coloured, u8"端口 COM3 发送到 13800138000 的短信发送成功"), kGreen);
    EXPECT_EQ(ColourOf(coloured, u8"端口 COM3 发送到 13900139000 的短信发送成功"), kGreen);
    EXPECT_NE(ColourOf(coloured, kMenuLine), kGreen);
    pane.Type("q");
    ASSERT_TRUE(pane.WaitForEnd());
    EXPECT_EQ(pane.ExitStatus(), "0");
}

TEST_F(TmuxConsoleTest, ReceiveShowsTheSimBlockFirstAndControlsNeutralised)
{
    TmuxConsole pane(m_sim.Dir());
    ASSERT_TRUE(pane.Started());
    ASSERT_TRUE(pane.WaitForCount(kMenuLine, 1));
    pane.Type("2");
    ASSERT_TRUE(pane.WaitForCount(u8"请输入设备端口号(例:选择COM3,请输入3):", 1));
    pane.TypeLine("3");
    ASSERT_TRUE(pane.WaitForCount(u8"读取短信耗时: ", 1)) << pane.Screen();

    const std::string separator(50, '-');
    const std::string screen = pane.Screen();
    const std::string block = std::string(u8"端口 COM3 接收短信成功 共 2 条短信\n") +
                              u8"SIM卡中的短信共 1 条\n" + separator + "\n" + u8" 第 1 条短信\n" +
                              u8"发送号码: +8613800138000\n" + u8"发送时间: 24-05-31 09:15:02\n" +
                              u8"短信内容: on the sim\n" + separator + "\n" +
                              u8"设备中的短信共 1 条\n" + separator + "\n" + u8" 第 1 条短信\n" +
                              u8"发送号码: 10086\n" + u8"发送时间: 24-05-30 08:00:00\n" +
                              u8"短信内容: a\\x1B]0;owned\\x07b\\x1B[2Jc\\x1B[31md\n" + separator +
                              "\n" + u8"读取短信耗时: ";
    EXPECT_NE(screen.find(block), std::string::npos) << screen;
    // Had the controls reached the terminal, the pane would be retitled and red.
    EXPECT_NE(pane.Format("#{pane_title}"), "owned");
    const std::string coloured = pane.Screen(true);
    EXPECT_EQ(coloured.find("\x1b[31m"), std::string::npos);
    EXPECT_EQ(ColourOf(coloured, u8"端口 COM3 接收短信成功 共 2 条短信"), kGreen);
    EXPECT_EQ(ColourOf(coloured, u8"SIM卡中的短信共 1 条"), kGreen);
    EXPECT_NE(ColourOf(coloured, u8" 第 1 条短信"), kGreen);
    ASSERT_TRUE(pane.WaitForCount(kMenuLine, 2));
    pane.Type("q");
    ASSERT_TRUE(pane.WaitForEnd());
    EXPECT_EQ(pane.ExitStatus(), "0");
}

TEST_F(TmuxConsoleTest, HiddenPortCheckGivesUpAfterThreeWrongEntries)
{
    TmuxConsole pane(m_sim.Dir());
    ASSERT_TRUE(pane.Started());
    ASSERT_TRUE(pane.WaitForCount(kMenuLine, 1));
    pane.Type("d");
    const std::string prompt = u8"请输入设备端口号(例:选择COM3,请输入3):";
    const char* const answers[] = {"COMX3", "9", "abc"};
    for (std::size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(answers[k]);
        ASSERT_TRUE(pane.WaitForCount(prompt, k + 1)) << pane.Screen();
        pane.TypeLine(answers[k]);
    }
    ASSERT_TRUE(pane.WaitForCount(kMenuLine, 2)) << pane.Screen();
    const std::string screen = pane.Screen();
    EXPECT_EQ(Count(screen, prompt), 3u);
    EXPECT_EQ(Count(screen, u8"您输入的设备端口号有误，请重新输入"), 3u);
    EXPECT_NE(screen.find(u8"输入的错误次数过多，返回主界面\n\n\n"), std::string::npos) << screen;
    EXPECT_EQ(ColourOf(pane.Screen(true), u8"输入的错误次数过多，返回主界面"), kRed);
    EXPECT_FALSE(pane.Ended());
    pane.Type("q");
    ASSERT_TRUE(pane.WaitForEnd());
    EXPECT_EQ(pane.ExitStatus(), "0");
}

// The common 80-column terminal: the table is drawn to its width, each port
// on one row; a second port of a modem says which port it is used through.
TEST(TmuxConsoleNarrow, TheTableFitsAnEightyColumnTerminal)
{
    ModemSim sim(R"({"ports":[
     {"com":3,"model":"M35","bauds":[9600],"imei":"866123456789013","iccid":"89860012345678901233",
      "csq":"23,99"},
     {"com":4,"same_modem_as":3,"bauds":[115200]},
     {"com":101,"model":"silent"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    TmuxConsole pane(sim.Dir(), "", 80);
    ASSERT_TRUE(pane.Started());
    ASSERT_TRUE(pane.WaitForCount(kMenuLine, 1)) << pane.Screen();
    const std::vector<std::string> rows = pane.Rows();

    // The frame is exactly as wide as the terminal, so no rule wraps.
    const std::string frame(80, '=');
    const auto top = std::find(rows.begin(), rows.end(), frame);
    ASSERT_NE(top, rows.end()) << pane.Screen();
    ASSERT_LT(top + 2, rows.end());
    EXPECT_EQ((top + 1)->rfind(u8"端口号", 0), 0u) << *(top + 1);
    EXPECT_EQ(*(top + 2), std::string(80, '-'));
    // Each port on one row, all its values on it.
    const struct {
        const char* port;
        std::vector<std::string> values;
    } expected[] = {
        {"COM3 ", {"9600", "OK", "89860012345678901233", "23,99", "866123456789013"}},
        {"COM4 ", {"115200", u8"同COM3设备", "89860012345678901233", "23,99", "866123456789013"}},
        {"COM101 ", {"115200", u8"不AT", u8"未读卡", u8"无信号", u8"无效序列号"}},
    };
    for (const auto& port : expected) {
        SCOPED_TRACE(port.port);
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const std::string& r) {
            return r.rfind(port.port, 0) == 0;
        });
        ASSERT_NE(row, rows.end()) << pane.Screen();
        std::size_t at = 0;
        for (const std::string& value : port.values) {
            at = row->find(value, at);
            EXPECT_NE(at, std::string::npos) << value << " in " << *row;
        }
        EXPECT_TRUE(*(row + 1) == std::string(80, '-') || *(row + 1) == frame)
            << "the next row is a rule, not the rest of this one: " << *(row + 1);
    }
    // The heading, then a rule and a row per port, then the frame.
    ASSERT_LT(top + 8, rows.end());
    EXPECT_EQ(*(top + 8), frame);
    pane.Type("q");
    ASSERT_TRUE(pane.WaitForEnd());
    EXPECT_EQ(pane.ExitStatus(), "0");
}

TEST_F(TmuxConsoleTest, StandardInputAtItsEndEndsTheConsole)
{
    TmuxConsole pane(m_sim.Dir(), "< /dev/null");
    ASSERT_TRUE(pane.Started());
    ASSERT_TRUE(pane.WaitForEnd()) << pane.Screen();
    EXPECT_EQ(pane.ExitStatus(), "0");
    EXPECT_EQ(Count(pane.Screen(), kMenuLine), 1u);
    EXPECT_EQ(Scans(), 1u);
}

}  // namespace
