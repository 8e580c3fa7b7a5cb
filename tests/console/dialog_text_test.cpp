// The message block of the interactive receive, captured from standard output.

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

#include "app/application.h"
#include "platform/console.h"

namespace {

// Standard output goes to a pipe while alive; Text() flushes the writer and
// returns what was written (UTF-8: the console charset before the locale is read).
class StdoutCapture {
public:
    StdoutCapture()
    {
        ConsoleFlush();
        EXPECT_EQ(::pipe(m_fds), 0);
        m_saved = ::dup(STDOUT_FILENO);
        ::dup2(m_fds[1], STDOUT_FILENO);
        ::close(m_fds[1]);
    }
    ~StdoutCapture() { Restore(); }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    std::string Text()
    {
        ConsoleFlush();
        Restore();
        std::string out;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(m_fds[0], buffer, sizeof buffer)) > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
        }
        return out;
    }

private:
    void Restore()
    {
        if (m_saved >= 0) {
            ::dup2(m_saved, STDOUT_FILENO);
            ::close(m_saved);
            m_saved = -1;
        }
    }
    int m_fds[2] = {-1, -1};
    int m_saved = -1;
};

const std::string kSeparator = std::string(50, '-') + "\n";

SmsMessage Message(const std::string& from, const std::string& time, const std::string& text)
{
    SmsMessage m;
    m.strFrom = from;
    m.strTime = time;
    m.strText = text;
    return m;
}

TEST(PrintMessages, EachMessageBetweenSeparatorsWithItsNumber)
{
    StdoutCapture capture;
    PrintMessages({Message("+8613800138000", "24-05-31 09:15:02", "\xC4\xE3\xBA\xC3"),  // 你好
                   Message("10086", "", "line one\nline two")});
    const std::string expected = kSeparator + std::string(u8" 第 1 条短信\n") +
                                 u8"发送号码: +8613800138000\n" + u8"发送时间: 24-05-31 09:15:02\n" +
                                 u8"短信内容: 你好\n" + kSeparator + u8" 第 2 条短信\n" +
                                 u8"发送号码: 10086\n" + u8"发送时间: \n" +
                                 u8"短信内容: line one\n          line two\n" + kSeparator;
    EXPECT_EQ(capture.Text(), expected);
}

TEST(PrintMessages, EmptyListIsOneSeparator)
{
    StdoutCapture capture;
    PrintMessages({});
    EXPECT_EQ(capture.Text(), kSeparator);
}

// A message is the network's text: its controls must not drive the terminal,
// whichever field carries them.
TEST(PrintMessages, ControlsInEveryFieldAreShownNeutralised)
{
    StdoutCapture capture;
    PrintMessages({Message("\x1b]0;x\x07" "10086", "24-05-31\r", "\x1b[2J\x1b[31mpay\x81\x30\x83\x37" "0m")});
    const std::string out = capture.Text();
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_EQ(out.find('\x07'), std::string::npos);
    EXPECT_EQ(out.find('\r'), std::string::npos);
    EXPECT_EQ(out.find("\xC2\x9B"), std::string::npos);  // C1 CSI in UTF-8
    EXPECT_NE(out.find(u8"发送号码: \\x1B]0;x\\x0710086\n"), std::string::npos) << out;
    EXPECT_NE(out.find(u8"发送时间: 24-05-31\\x0D\n"), std::string::npos) << out;
    EXPECT_NE(out.find(u8"短信内容: \\x1B[2J\\x1B[31mpay\\x9B0m\n"), std::string::npos) << out;
}

// A message's own line breaks cannot print a line of the dialogue's: its
// further lines start under the text (standard output is no terminal here,
// so nothing else is broken).
TEST(PrintMessages, AMessageCannotPrintTheDialoguesOwnLines)
{
    StdoutCapture capture;
    PrintMessages({Message("10086", "24-05-31 09:15:02",
                           "ok\n" + std::string(50, '-') + "\n \xB5\xDA 2 \xCC\xF5\xB6\xCC\xD0\xC5\n"
                           "\xB7\xA2\xCB\xCD\xBA\xC5\xC2\xEB: 95588\n\n")});  // 第 2 条短信, 发送号码
    const std::string expected = kSeparator + std::string(u8" 第 1 条短信\n") + u8"发送号码: 10086\n" +
                                 u8"发送时间: 24-05-31 09:15:02\n" + u8"短信内容: ok\n" +
                                 "          " + std::string(50, '-') + "\n" +
                                 u8"           第 2 条短信\n" + u8"          发送号码: 95588\n" + "\n" +
                                 "\n" + kSeparator;
    EXPECT_EQ(capture.Text(), expected);
}

TEST(PrintUnreadable, IndexAndPduLineOfEachUnderTheStorageTitle)
{
    StdoutCapture capture;
    PrintUnreadable("SIM卡中", {SmsUnreadable{6, "0BD0\x1B[31m"}, SmsUnreadable{9, ""}});
    const std::string expected = std::string(u8"SIM卡中无法解读的短信共 2 条\n") + kSeparator +
                                 u8"存储位置: 6\n" + u8"原始数据: 0BD0\\x1B[31m\n" + kSeparator +
                                 u8"存储位置: 9\n" + u8"原始数据: \n" + kSeparator;
    EXPECT_EQ(capture.Text(), expected);
}

TEST(PrintUnreadable, NothingWhenEveryMessageWasRead)
{
    StdoutCapture capture;
    PrintUnreadable("设备中", {});
    EXPECT_EQ(capture.Text(), "");
}

}  // namespace
