// The interactive send and receive dialogues.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/arguments.h"
#include "app/device_workers.h"
#include "app/json_documents.h"
#include "console/screen_text.h"
#include "drivers/result_codes.h"
#include "platform/charset.h"
#include "platform/clock.h"
#include "platform/console.h"

namespace {

const int kAttempts = 3;
const char* const kNumberPrompt = "请输入接收短信的号码: ";
const char* const kNumberRetry = "您输入的号码有误，请重新输入";
const char* const kPortPrompt = "请输入设备端口号(例:选择COM3,请输入3):";
const char* const kPortRetry = "您输入的设备端口号有误，请重新输入";
const char* const kGiveUp = "输入的错误次数过多，返回主界面";
const char* const kTextPrompt = "请输入短信内容:";
const std::string kSeparator(50, '-');

// At the end of input the answer is an empty line. A line too long to keep
// whole is cut, and the user is told before anything is done with it.
std::string Ask(const char* prompt)
{
    ConsoleWrite("\n");
    PrintGreen(prompt);
    std::string line;
    bool cut = false;
    if (!ConsoleReadLine(line, &cut)) {
        line.clear();
    }
    ConsoleWrite("\n");
    if (cut) {
        PrintRed("输入的内容过长，只保留前 " + std::to_string(kMaxTypedLineBytes) +
                 " 字节，其余部分已丢弃");
        ConsoleWrite("\n");
    }
    return line;
}

// One field of a message or a stored entry: the label, then the value laid
// out for the screen.
void PrintField(const std::string& label, const std::string& value)
{
    ConsoleWrite(label +
                 LayOutUntrustedText(value, ColumnAfter(label, 0), kUntrustedIndent, ConsoleColumns()) +
                 "\n");
}

void GiveUp()
{
    PrintRed(kGiveUp);
    ConsoleWrite("\n\n\n");
}

// One device's read, as a worker hands it to the printing thread.
struct DEVICE_READ_t {
    COM_DEVICE_t device;
    INBOX_READ_t read;
};

std::string FailureReason(const COM_DEVICE_t& device, const INBOX_READ_t& read)
{
    if (device.strCardNo.empty()) {
        return ResultTextZh(CMD_RESULT_NO_SIM);
    }
    if (!read.bHasDriver) {
        return ResultTextZh(CMD_RESULT_NOT_AT);
    }
    return FailureReason(read.errors);
}

}  // namespace

bool CApplication::AskNumbers(std::vector<std::string>& numbers)
{
    numbers.clear();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        numbers = SplitNumberList(Ask(kNumberPrompt));
        if (!numbers.empty()) {
            return true;
        }
        PrintRed(kNumberRetry);
        ConsoleWrite("\n");
    }
    GiveUp();
    return false;
}

bool CApplication::AskPorts(std::vector<COM_DEVICE_t>& devices)
{
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        devices.clear();
        if (DiscoverDevices(Ask(kPortPrompt), devices)) {
            return true;
        }
        PrintRed(kPortRetry);
        ConsoleWrite("\n");
    }
    GiveUp();
    return false;
}

bool CApplication::AskText(std::string& text)
{
    text = Ask(kTextPrompt);
    if (text.empty()) {
        text = kDefaultSmsText;
    }
    return true;
}

void CApplication::SendDialog()
{
    std::vector<std::string> numbers;
    if (!AskNumbers(numbers)) {
        return;
    }
    std::vector<COM_DEVICE_t> devices;
    if (!AskPorts(devices)) {
        return;
    }
    std::string text;
    AskText(text);
    SendToDevices(devices, numbers, text);
}

void CApplication::ReceiveDialog()
{
    std::vector<COM_DEVICE_t> devices;
    if (!AskPorts(devices)) {
        return;
    }
    const std::int64_t t0 = WallSeconds();
    ReceiveAll(devices);
    const std::int64_t t1 = WallSeconds();
    // Whole seconds, at least 1 even if the wall clock was set back meanwhile.
    const std::int64_t seconds = std::max<std::int64_t>(1, t1 - t0 + 1);
    ConsoleWrite("读取短信耗时: " + std::to_string(seconds) + " 秒\n");
}

namespace {

void PrintDeviceRead(const COM_DEVICE_t& device, const INBOX_READ_t& read)
{
    const std::string& port = device.port.strName;
    if (!read.bMeRead && !read.bSmRead) {
        const std::string head = "端口 " + port + " 接收短信失败";
        PrintRed(head);
        PrintRed("\t 失败原因: ");
        // The reason may be the modem's own error reply.
        PrintRed(LayOutUntrustedText(FailureReason(device, read),
                                     ColumnAfter("\t 失败原因: ", ColumnAfter(head, 0)),
                                     kUntrustedIndent, ConsoleColumns()));
        ConsoleWrite("\n");
        return;
    }
    const std::size_t meCount = read.bMeRead ? read.vecMe.size() : 0;
    const std::size_t smCount = read.bSmRead ? read.vecSm.size() : 0;
    PrintGreen("端口 " + port + " 接收短信成功 共 " + std::to_string(meCount + smCount) +
               " 条短信");
    ConsoleWrite("\n");
    // The SIM block comes first although the modem memory is read first.
    if (read.bSmRead) {
        PrintGreen("SIM卡中的短信共 " + std::to_string(smCount) + " 条");
        ConsoleWrite("\n");
        PrintMessages(read.vecSm);
        PrintUnreadable("SIM卡中", read.vecSmUnreadable);
    }
    if (read.bMeRead) {
        PrintGreen("设备中的短信共 " + std::to_string(meCount) + " 条");
        ConsoleWrite("\n");
        PrintMessages(read.vecMe);
        PrintUnreadable("设备中", read.vecMeUnreadable);
    }
}

}  // namespace

void CApplication::ReceiveAll(const std::vector<COM_DEVICE_t>& devices)
{
    // All devices are read at once; their blocks are printed in device order.
    using Workers = CDeviceWorkers<DEVICE_READ_t>;
    Workers::Run(
        devices,
        [](const COM_DEVICE_t& device, const Workers::Emit& emit) {
            emit(DEVICE_READ_t{device, ReadInbox(device)});
        },
        [](DEVICE_READ_t& read) { PrintDeviceRead(read.device, read.read); });
}

void PrintMessages(std::vector<SmsMessage> messages)
{
    int i = 1;
    for (const SmsMessage& message : messages) {
        ConsoleWrite(kSeparator + "\n");
        ConsoleWrite(" 第 " + std::to_string(i) + " 条短信\n");
        PrintField("发送号码: ", message.strFrom);
        PrintField("发送时间: ", message.strTime);
        PrintField("短信内容: ", message.strText);
        ++i;
    }
    ConsoleWrite(kSeparator + "\n");
}

void PrintUnreadable(const std::string& where, const std::vector<SmsUnreadable>& entries)
{
    if (entries.empty()) {
        return;
    }
    PrintRed(where + "无法解读的短信共 " + std::to_string(entries.size()) + " 条");
    ConsoleWrite("\n");
    for (const SmsUnreadable& entry : entries) {
        ConsoleWrite(kSeparator + "\n");
        ConsoleWrite("存储位置: " + std::to_string(entry.nIndex) + "\n");
        PrintField("原始数据: ", entry.strPdu);
    }
    ConsoleWrite(kSeparator + "\n");
}
