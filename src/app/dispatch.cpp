// Process entry: chooses the mode from the command line.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/arguments.h"
#include "iconv/text_literal.h"
#include "platform/build_info.h"
#include "platform/charset.h"
#include "platform/console.h"
#include "platform/port_trace.h"
#include "platform/styled_text.h"

namespace {

// TELLMAR_PACING=quiet: every poll of a reply waits for a quiet line, as for
// modems whose final lines are odd. Unset or empty: replies end on their
// final line. Any other value is reported on standard error and ignored.
void ApplyPacingSetting(SCAN_OPTIONS_t& scan, AT_PACING_t& at)
{
    const char* value = std::getenv("TELLMAR_PACING");
    const std::string setting = value != nullptr ? value : "";
    if (setting == "quiet") {
        at.bQuietLine = true;
        scan.timing.bQuietLine = true;
    } else if (!setting.empty()) {
        std::fputs("tellmar: TELLMAR_PACING is \"quiet\" or unset; the value given is ignored\n",
                   stderr);
    }
}

}  // namespace

CStyledText HelpText()
{
    // 56 bytes: 8 dashes, 5 spaces, maker, rights and address, 2 spaces, 9 dashes.
    CStyledText text;
    text.Green("--------     Corvel(C)2026 www.corvel.example  ---------").Plain("\n\n");
    const std::string kLines[] = {
        GB("1. 执行Corvel检测工具  执行Tellmar.exe "),
        GB("2. 查看帮助信息  执行Tellmar.exe help 可以输出本帮助信息 "),
        GB("3. 通过所有串口设备发送短信 执行 Tellmar.exe[空格]手机号1,手机号2...[空格]\"短信内容 "
           "\""),
        GB("4. 通过指定串口设备发送短信 执行 "
           "Tellmar.exe[空格]串口号1,串口号2...[空格]手机号1,手机号2，...[空格]\"短信内容 \""),
        GB("注意: "
           "如果短信内容中有空格，需要用双引号(\")括起来，短信内容中的双引号(\")需要转义为\\\" "),
        GB("例1: 通过端口COM3给1830000000发送内容为 \"北京Corvel短信 欢迎使用\" 的短信则输入"),
        GB("命令1: Tellmar.exe 3 18300000000 \"北京Corvel短信 欢迎使用\""),
        GB("例2: 通过端口COM3,COM4 给1830000000,18500000000 发送内容为 \"北京Corvel短信 欢迎使用\" "
           "的短信则输入"),
        GB("命令2: Tellmar.exe 3,4 18300000000,18500000000 \"北京Corvel短信 欢迎使用\""),
        GB("5. 读取所有短信 Tellmar.exe sms read"),
        GB("6. 清除所有短信 Tellmar.exe sms clear"),
        GB("7. 读取所有短信之后清除 Tellmar.exe sms readclear"),
    };
    for (const std::string& line : kLines) {
        text.Plain(line + "\n");
    }
    return text;
}

std::string VersionText()
{
    return std::string(ProgramVersion()) + GB("版本 编译时间 ") + __DATE__ + " " + __TIME__ +
           GB("  编译器版本") + std::to_string(CompilerVersionNumber()) + "\n";
}

void CApplication::CatchStops()
{
    m_stopToken = CatchStopSignals();
    m_scanOptions.stop = m_stopToken;
}

int CApplication::Run(int argc, char** argv, InteractiveMode interactive)
{
    InitCharsetBoundary();
    SetupConsole();
    StartPortTrace();
    ApplyPacingSetting(m_scanOptions, m_atPacing);

    // Arguments become internal text before anything looks at them.
    std::vector<std::string> args = InternalArguments(argc, argv);
    std::vector<char*> internalArgv;
    for (std::string& arg : args) {
        internalArgv.push_back(arg.data());
    }
    internalArgv.push_back(nullptr);
    char** av = internalArgv.data();

    switch (EntryModeOf(args)) {
    case ENTRY_MODE_CONSOLE:
        interactive(*this);
        break;
    case ENTRY_MODE_HELP:
        ConsoleWriteStyled(HelpText());
        break;
    case ENTRY_MODE_VERSION:
        ConsoleWrite(VersionText());
        break;
    case ENTRY_MODE_INBOX: {
        SendNotesToStandardError();
        CatchStops();
        const std::string word = AsciiLower(args[2]);
        const std::vector<std::string> ports(args.begin() + 3, args.end());
        if (ParseInboxWord(word).nOperation == INBOX_OPERATION_WATCH) {
            // A stopped watch has done what it was asked: its status is its own.
            return RunWatchCommand(ports);
        }
        RunInboxCommand(word, ports);
        break;
    }
    case ENTRY_MODE_PORTS: {
        SendNotesToStandardError();
        bool compact = false;
        IsPortsKeyword(args[1], compact);
        RunPortsCommand(compact);
        break;
    }
    case ENTRY_MODE_PIN:
        SendNotesToStandardError();
        RunPinCommand(std::vector<std::string>(args.begin() + 2, args.end()));
        break;
    case ENTRY_MODE_USSD:
        SendNotesToStandardError();
        RunUssdCommand(std::vector<std::string>(args.begin() + 2, args.end()));
        break;
    case ENTRY_MODE_SEND:
        SendNotesToStandardError();
        CatchStops();
        RunSendCommand(argc, av);
        break;
    }
    ConsoleFlush();
    // A command that a signal stopped has still written its document; its
    // status says that it was stopped, as a shell reports a signal.
    return m_stopToken.StopRequested() ? 128 + m_stopToken.Signal() : 0;
}
