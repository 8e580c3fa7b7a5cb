// The texts of the dialogues, compared as text (internal code page) with
// their colours marked: <g>green</g>, <r>red</r>.

#include "console/dialog_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "iconv/text_literal.h"
#include "platform/port.h"

namespace {

const std::string kSeparator = std::string(50, '-') + "\n";

// The text with each coloured piece marked.
std::string Marked(const CStyledText& text)
{
    std::string out;
    for (const STYLED_PIECE_t& piece : text.Pieces()) {
        switch (piece.colour) {
        case TEXT_GREEN:
            out += "<g>" + piece.text + "</g>";
            break;
        case TEXT_RED:
            out += "<r>" + piece.text + "</r>";
            break;
        case TEXT_PLAIN:
            out += piece.text;
            break;
        }
    }
    return out;
}

SmsMessage Message(const std::string& from, const std::string& time, const std::string& text)
{
    SmsMessage m;
    m.strFrom = from;
    m.strTime = time;
    m.strText = text;
    return m;
}

TEST(MessagesText, EachMessageBetweenSeparatorsWithItsNumber)
{
    const CStyledText text =
        MessagesText({Message("+8613800138000", "24-05-31 09:15:02", GB("你好")),
                      Message("10086", "", "line one\nline two")},
                     0);
    const std::string expected =
        kSeparator + GB(" 第 1 条短信\n") + GB("发送号码: +8613800138000\n") +
        GB("发送时间: 24-05-31 09:15:02\n") + GB("短信内容: 你好\n") + kSeparator +
        GB(" 第 2 条短信\n") + GB("发送号码: 10086\n") + GB("发送时间: \n") +
        GB("短信内容: line one\n          line two\n") + kSeparator;
    EXPECT_EQ(Marked(text), expected);
}

// A long message of which parts never came says which, under its text.
TEST(MessagesText, AnIncompleteMessageNamesItsMissingParts)
{
    SmsMessage incomplete = Message("10086", "24-05-31 09:15:02", GB("第一段"));
    incomplete.nParts = 3;
    incomplete.vecMissing = {2, 3};
    const std::string expected = kSeparator + GB(" 第 1 条短信\n") + GB("发送号码: 10086\n") +
                                 GB("发送时间: 24-05-31 09:15:02\n") + GB("短信内容: 第一段\n") +
                                 GB("缺少部分: 第 2, 3 部分 (共 3 部分)\n") + kSeparator;
    EXPECT_EQ(Marked(MessagesText({incomplete}, 0)), expected);
}

TEST(MessagesText, EmptyListIsOneSeparator)
{
    EXPECT_EQ(Marked(MessagesText({}, 0)), kSeparator);
}

// A message is the network's text: its controls must not drive the terminal,
// whichever field carries them.
TEST(MessagesText, ControlsInEveryFieldAreShownNeutralised)
{
    const std::string out = MessagesText({Message("\x1b]0;x\x07"
                                                  "10086",
                                                  "24-05-31\r",
                                                  "\x1b[2J\x1b[31mpay\x81\x30\x83\x37"
                                                  "0m")},
                                         0)
                                .Text();
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_EQ(out.find('\x07'), std::string::npos);
    EXPECT_EQ(out.find('\r'), std::string::npos);
    EXPECT_EQ(out.find("\x81\x30\x83\x37"), std::string::npos);  // C1 CSI in GB18030
    EXPECT_NE(out.find(GB("发送号码: \\x1B]0;x\\x0710086\n")), std::string::npos) << out;
    EXPECT_NE(out.find(GB("发送时间: 24-05-31\\x0D\n")), std::string::npos) << out;
    EXPECT_NE(out.find(GB("短信内容: \\x1B[2J\\x1B[31mpay\\x9B0m\n")), std::string::npos) << out;
}

// A message's own line breaks cannot print a line of the dialogue's: its
// further lines start under the text (no terminal width here, so nothing
// else is broken).
TEST(MessagesText, AMessageCannotPrintTheDialoguesOwnLines)
{
    const CStyledText text = MessagesText(
        {Message("10086", "24-05-31 09:15:02",
                 "ok\n" + std::string(50, '-') + GB("\n 第 2 条短信\n发送号码: 95588\n\n"))},
        0);
    const std::string expected = kSeparator + GB(" 第 1 条短信\n") + GB("发送号码: 10086\n") +
                                 GB("发送时间: 24-05-31 09:15:02\n") + GB("短信内容: ok\n") +
                                 "          " + std::string(50, '-') + "\n" +
                                 GB("           第 2 条短信\n") +
                                 GB("          发送号码: 95588\n") + "\n" + "\n" + kSeparator;
    EXPECT_EQ(Marked(text), expected);
}

// On a terminal, a long text is broken before the right edge and goes on
// under the text.
TEST(MessagesText, LongTextsWrapWithinTheTerminal)
{
    const std::string out = MessagesText({Message("10086", "", std::string(30, 'x'))}, 30).Text();
    EXPECT_NE(out.find(GB("短信内容: ") + std::string(19, 'x') + "\n" + std::string(10, ' ') +
                       std::string(11, 'x') + "\n"),
              std::string::npos)
        << out;
}

TEST(UnreadableText, IndexAndPduLineOfEachUnderARedStorageTitle)
{
    const CStyledText text =
        UnreadableText(GB("SIM卡中"), {SmsUnreadable{6, "0BD0\x1B[31m"}, SmsUnreadable{9, ""}}, 0);
    const std::string expected = GB("<r>SIM卡中无法解读的短信共 2 条</r>\n") + kSeparator +
                                 GB("存储位置: 6\n") + GB("原始数据: 0BD0\\x1B[31m\n") +
                                 kSeparator + GB("存储位置: 9\n") + GB("原始数据: \n") + kSeparator;
    EXPECT_EQ(Marked(text), expected);
}

TEST(UnreadableText, NothingWhenEveryMessageWasRead)
{
    EXPECT_TRUE(UnreadableText(GB("设备中"), {}, 0).Pieces().empty());
}

TEST(SendResultLine, GreenWhenSentRedWithTheReasonWhenNot)
{
    SEND_RESULT_t ok;
    ok.port = PortNamed("COM3");
    ok.strNumber = "10086";
    EXPECT_EQ(Marked(SendResultLine(ok, 0)),
              GB("<g>端口 </g><g>COM3</g><g> 发送到 </g><g>10086</g><g> 的短信发送成功</g>\n"));

    // As the send loop reports devices it cannot use: a missing SIM carries
    // no message (the line says why by its code), a device of no known model
    // says "not AT".
    SEND_RESULT_t noSim;
    noSim.port = PortNamed("COM7");
    noSim.strNumber = "18300000000";
    noSim.nResult = CMD_RESULT_NO_SIM;
    SEND_RESULT_t unknown = noSim;
    unknown.port = PortNamed("COM9");
    unknown.nResult = CMD_RESULT_FOREIGN_DEVICE;
    unknown.strMessage = GB("设备不AT");
    EXPECT_EQ(SendResultLine(noSim, 0).Text() + SendResultLine(unknown, 0).Text(),
              GB("端口 COM7 发送到 18300000000 的短信发送失败,失败原因: 设备未插卡\n"
                 "端口 COM9 发送到 18300000000 的短信发送失败,失败原因: 设备不AT\n"));
    EXPECT_EQ(Marked(SendResultLine(noSim, 0)),
              GB("<r>端口 </r><g>COM7</g><r> 发送到 </r><r>18300000000</r>"
                 "<r> 的短信发送失败,失败原因: </r><r>设备未插卡</r>\n"));
    // What was wrong with the device, when known, follows the code's text.
    noSim.strError = "Code:16   Device or resource busy";
    EXPECT_EQ(SendResultLine(noSim, 0).Text(),
              GB("端口 COM7 发送到 18300000000 的短信发送失败,失败原因: 设备未插卡 (Code:16   "
                 "Device or resource busy)\n"));
}

TEST(SendResultLine, TheModemsTextCannotDriveTheTerminal)
{
    SEND_RESULT_t failed;
    failed.port = PortNamed("COM3");
    failed.strNumber = "10086";
    failed.nResult = CMD_RESULT_FAILED;
    failed.strMessage = "+CMS ERROR: 500\x1b]0;owned\x07";
    const std::string out = SendResultLine(failed, 0).Text();
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
    EXPECT_EQ(out.find('\x07'), std::string::npos) << out;
    EXPECT_NE(out.find("+CMS ERROR: 500"), std::string::npos) << out;
}

COM_DEVICE_t Device(const char* port)
{
    COM_DEVICE_t device;
    device.port = PortNamed(port);
    device.strCardNo = "89860012345678901234";
    return device;
}

TEST(DeviceReadText, ANothingReadLineSaysWhyInTheChosenOrder)
{
    INBOX_READ_t noDriver;
    INBOX_READ_t failedPort;
    failedPort.bHasDriver = true;
    failedPort.errors =
        DEVICE_ERRORS_t{true, "+CMS ERROR: 310", true, "Code:5   Input/output error"};
    INBOX_READ_t modemError = failedPort;
    modemError.errors.bPortFailed = false;
    const struct {
        const char* name;
        COM_DEVICE_t device;
        INBOX_READ_t read;
        std::string reason;
    } cases[] = {
        {"no SIM", COM_DEVICE_t{}, failedPort, GB("设备未插卡")},
        {"no driver", Device("COM4"), noDriver, GB("设备不AT")},
        {"the port failed", Device("COM4"), failedPort, "Code:5   Input/output error"},
        {"the modem's line", Device("COM4"), modemError, "+CMS ERROR: 310"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string port = c.device.port.strName;
        EXPECT_EQ(Marked(DeviceReadText(c.device, c.read, 0)),
                  GB("<r>端口 ") + port + GB(" 接收短信失败</r><r>\t 失败原因: </r><r>") +
                      c.reason + "</r>\n");
    }
}

TEST(DeviceReadText, TheSimBlockComesFirstEachWithItsUnreadable)
{
    INBOX_READ_t read;
    read.bMeRead = true;
    read.bSmRead = true;
    read.vecMe = {Message("10086", "24-05-31 09:15:02", "me")};
    read.vecSm = {Message("10010", "24-05-30 08:00:00", "sim"), Message("95588", "", "two")};
    read.vecMeUnreadable = {SmsUnreadable{4, "FF"}};
    const std::string text = Marked(DeviceReadText(Device("COM4"), read, 0));
    const std::string expected =
        GB("<g>端口 COM4 接收短信成功 共 3 条短信</g>\n") +
        std::string(GB("<g>SIM卡中的短信共 2 条</g>\n")) + MessagesText(read.vecSm, 0).Text() +
        GB("<g>设备中的短信共 1 条</g>\n") + MessagesText(read.vecMe, 0).Text() +
        Marked(UnreadableText(GB("设备中"), read.vecMeUnreadable, 0));
    EXPECT_EQ(text, expected);

    // A storage that could not be read has no block and no count.
    read.bSmRead = false;
    const std::string meOnly = Marked(DeviceReadText(Device("COM4"), read, 0));
    EXPECT_EQ(meOnly.rfind(
                  GB("<g>端口 COM4 接收短信成功 共 1 条短信</g>\n<g>设备中的短信共 1 条</g>\n"), 0),
              0u)
        << meOnly;
    EXPECT_EQ(meOnly.find("SIM"), std::string::npos) << meOnly;
}

}  // namespace
