#include "console/dialog_text.h"

#include "console/screen_text.h"
#include "drivers/result_codes.h"
#include "iconv/text_literal.h"

namespace {

const std::string kSeparator(50, '-');

// One field of a message or a stored entry: the label, then the value laid
// out for the screen.
std::string Field(const std::string& label, const std::string& value, int columns)
{
    return label + LayOutUntrustedText(value, ColumnAfter(label, 0), kUntrustedIndent, columns) +
           "\n";
}

// The text of a code, and what was wrong with the device when that is known.
std::string WithDeviceReason(const std::string& text, const std::string& reason)
{
    return reason.empty() ? text : text + " (" + reason + ")";
}

// Why nothing of the device could be read.
std::string ReadFailureReason(const COM_DEVICE_t& device, const INBOX_READ_t& read)
{
    if (device.strCardNo.empty()) {
        return WithDeviceReason(ResultTextZh(CMD_RESULT_NO_SIM), device.strReason);
    }
    if (!read.bHasDriver) {
        return ResultTextZh(CMD_RESULT_NOT_AT);
    }
    return FailureReason(read.errors);
}

}  // namespace

CStyledText SendResultLine(const SEND_RESULT_t& result, int columns)
{
    const std::string& port = result.port.strName;
    CStyledText line;
    if (result.nResult == CMD_RESULT_SUCCEED) {
        line.Green(GB("端口 "))
            .Green(port)
            .Green(GB(" 发送到 "))
            .Green(result.strNumber)
            .Green(GB(" 的短信发送成功"));
    } else {
        const std::string reason = WithDeviceReason(
            result.strMessage.empty() ? ResultTextZh(result.nResult) : result.strMessage,
            result.strError);
        const std::string head = GB("端口 ") + port + GB(" 发送到 ") + result.strNumber +
                                 GB(" 的短信发送失败,失败原因: ");
        line.Red(GB("端口 "))
            .Green(port)
            .Red(GB(" 发送到 "))
            .Red(result.strNumber)
            .Red(GB(" 的短信发送失败,失败原因: "));
        // The reason may be the modem's own error reply.
        line.Red(LayOutUntrustedText(reason, ColumnAfter(head, 0), kUntrustedIndent, columns));
    }
    return line.Plain("\n");
}

CStyledText MessagesText(const std::vector<SmsMessage>& messages, int columns)
{
    std::string text;
    int i = 1;
    for (const SmsMessage& message : messages) {
        text += kSeparator + "\n";
        text += GB(" 第 ") + std::to_string(i) + GB(" 条短信\n");
        text += Field(GB("发送号码: "), message.strFrom, columns);
        text += Field(GB("发送时间: "), message.strTime, columns);
        text += Field(GB("短信内容: "), message.strText, columns);
        if (!message.vecMissing.empty()) {
            // A long message of which parts never came is shown as what came.
            std::string parts;
            for (int part : message.vecMissing) {
                parts += (parts.empty() ? "" : ", ") + std::to_string(part);
            }
            text += Field(GB("缺少部分: "),
                          GB("第 ") + parts + GB(" 部分 (共 ") + std::to_string(message.nParts) +
                              GB(" 部分)"),
                          columns);
        }
        ++i;
    }
    text += kSeparator + "\n";
    return CStyledText().Plain(text);
}

CStyledText UnreadableText(const std::string& where, const std::vector<SmsUnreadable>& entries,
                           int columns)
{
    CStyledText text;
    if (entries.empty()) {
        return text;
    }
    text.Red(where + GB("无法解读的短信共 ") + std::to_string(entries.size()) + GB(" 条"))
        .Plain("\n");
    std::string lines;
    for (const SmsUnreadable& entry : entries) {
        lines += kSeparator + "\n";
        lines += GB("存储位置: ") + std::to_string(entry.nIndex) + "\n";
        lines += Field(GB("原始数据: "), entry.strPdu, columns);
    }
    lines += kSeparator + "\n";
    return text.Plain(lines);
}

CStyledText DeviceReadText(const COM_DEVICE_t& device, const INBOX_READ_t& read, int columns)
{
    const std::string& port = device.port.strName;
    CStyledText text;
    if (!read.bMeRead && !read.bSmRead) {
        const std::string head = GB("端口 ") + port + GB(" 接收短信失败");
        text.Red(head).Red(GB("\t 失败原因: "));
        // The reason may be the modem's own error reply.
        text.Red(LayOutUntrustedText(ReadFailureReason(device, read),
                                     ColumnAfter(GB("\t 失败原因: "), ColumnAfter(head, 0)),
                                     kUntrustedIndent, columns));
        return text.Plain("\n");
    }
    const std::size_t meCount = read.bMeRead ? read.vecMe.size() : 0;
    const std::size_t smCount = read.bSmRead ? read.vecSm.size() : 0;
    const std::size_t srCount = read.bSrRead ? read.vecSr.size() : 0;
    text.Green(GB("端口 ") + port + GB(" 接收短信成功 共 ") +
               std::to_string(meCount + smCount + srCount) + GB(" 条短信"))
        .Plain("\n");
    // The SIM block comes first although the modem memory is read first.
    if (read.bSmRead) {
        text.Green(GB("SIM卡中的短信共 ") + std::to_string(smCount) + GB(" 条")).Plain("\n");
        text.Append(MessagesText(read.vecSm, columns));
        text.Append(UnreadableText(GB("SIM卡中"), read.vecSmUnreadable, columns));
    }
    if (read.bMeRead) {
        text.Green(GB("设备中的短信共 ") + std::to_string(meCount) + GB(" 条")).Plain("\n");
        text.Append(MessagesText(read.vecMe, columns));
        text.Append(UnreadableText(GB("设备中"), read.vecMeUnreadable, columns));
    }
    // The storage of status reports, where the module has one.
    if (read.bSrRead) {
        text.Green(GB("状态报告共 ") + std::to_string(srCount) + GB(" 条")).Plain("\n");
        text.Append(MessagesText(read.vecSr, columns));
        text.Append(UnreadableText(GB("状态报告中"), read.vecSrUnreadable, columns));
    }
    return text;
}
