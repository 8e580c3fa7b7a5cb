// The interactive send and receive dialogues.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/arguments.h"
#include "app/device_workers.h"
#include "app/outbox_send.h"
#include "console/console.h"
#include "console/dialog_text.h"
#include "iconv/text_literal.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/styled_text.h"

namespace {

const int kAttempts = 3;

// At the end of input the answer is an empty line. A line too long to keep
// whole is cut, and the user is told before anything is done with it.
std::string Ask(const std::string& prompt)
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
        PrintRed(GB("输入的内容过长，只保留前 ") + std::to_string(kMaxTypedLineBytes) +
                 GB(" 字节，其余部分已丢弃"));
        ConsoleWrite("\n");
    }
    return line;
}

void GiveUp()
{
    PrintRed(GB("输入的错误次数过多，返回主界面"));
    ConsoleWrite("\n\n\n");
}

// One device's read, as a worker hands it to the printing thread.
struct DEVICE_READ_t {
    COM_DEVICE_t device;
    INBOX_READ_t read;
};

}  // namespace

bool CConsole::AskNumbers(std::vector<std::string>& numbers)
{
    numbers.clear();
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        numbers = SplitNumberList(Ask(GB("请输入接收短信的号码: ")));
        if (!numbers.empty()) {
            return true;
        }
        PrintRed(GB("您输入的号码有误，请重新输入"));
        ConsoleWrite("\n");
    }
    GiveUp();
    return false;
}

bool CConsole::AskPorts(std::vector<COM_DEVICE_t>& devices,
                        const std::function<bool(const COM_PORT_t&)>& servedElsewhere)
{
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        devices.clear();
        if (m_app.DiscoverDevices(Ask(GB("请输入设备端口号(例:选择COM3,请输入3):")), devices,
                                  servedElsewhere)) {
            return true;
        }
        PrintRed(GB("您输入的设备端口号有误，请重新输入"));
        ConsoleWrite("\n");
    }
    GiveUp();
    return false;
}

bool CConsole::AskText(std::string& text)
{
    text = Ask(GB("请输入短信内容:"));
    if (text.empty()) {
        text = DefaultSmsText();
    }
    return true;
}

void CConsole::SendDialog()
{
    std::vector<std::string> numbers;
    if (!AskNumbers(numbers)) {
        return;
    }
    std::vector<COM_DEVICE_t> devices;
    if (!AskPorts(devices, COutboxSender::ServedByWatch)) {
        return;
    }
    std::string text;
    AskText(text);
    m_app.SendToDevices(devices, numbers, text, [](const SEND_RESULT_t& result) {
        ConsoleWriteStyled(SendResultLine(result, ConsoleColumns()));
    });
}

void CConsole::ReceiveDialog()
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
    ConsoleWrite(GB("读取短信耗时: ") + std::to_string(seconds) + GB(" 秒\n"));
}

void CConsole::ReceiveAll(const std::vector<COM_DEVICE_t>& devices)
{
    // All devices are read at once; their blocks are printed in device order.
    using Workers = CDeviceWorkers<DEVICE_READ_t>;
    Workers::Run(
        devices,
        [](const COM_DEVICE_t& device, const Workers::Emit& emit) {
            emit(DEVICE_READ_t{device, ReadInbox(device)});
        },
        [](DEVICE_READ_t& read) {
            ConsoleWriteStyled(DeviceReadText(read.device, read.read, ConsoleColumns()));
        });
}
