#include "codec/reply_text.h"
#include "iconv/text_literal.h"
#include "platform/build_info.h"
#include "platform/charset.h"
#include "scan/port_scan.h"

namespace {

// Widths count code-page bytes: a GBK character is two bytes and two
// columns, so the columns line up whatever charset the console converts to.
std::string PadRight(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string PadLeft(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// A modem's value as the table shows it: its placeholder when empty, and
// never a control sequence for the user's terminal.
std::string Shown(const std::string& value, const std::string& placeholder)
{
    return value.empty() ? placeholder : NeutraliseControls(value);
}

std::string Trimmed(std::string text, const char* chars)
{
    for (const char* c = chars; *c != '\0'; ++c) {
        text = TrimChar(text, *c);
    }
    return text;
}

std::string FormatRow(const COM_CHECK_RESULT_t& record)
{
    std::string row(90, '-');
    row += "\n";

    row += PadRight(
        record.port.strName.empty() ? "unknow" : NeutraliseControls(record.port.strName), 10);
    row += PadRight(record.strBaud.empty() ? "unknow" : record.strBaud, 10);
    const std::string& state = !record.bOpen ? GB("端口不可用")
                               : record.bAT  ? GB("OK")
                                             : GB("不AT");
    row += PadRight(state, 15);

    row += PadRight(Shown(record.strCardNo, GB("未读卡")), 25);
    row += PadRight(Shown(record.strSignal, GB("无信号")), 10);
    row += Shown(record.strSerialNo, GB("无效序列号"));
    row += "\n";
    return row;
}

}  // namespace

void CleanPortFields(std::vector<COM_CHECK_RESULT_t>& records)
{
    for (COM_CHECK_RESULT_t& record : records) {
        for (int pass = 0; pass < 3; ++pass) {
            record.strCardNo = Trimmed(record.strCardNo, "\" \"");
            record.strSignal = Trimmed(record.strSignal, "\" ");
            record.strSerialNo = Trimmed(record.strSerialNo, "\" ");
        }
    }
}

std::string FormatPortTable(const std::vector<COM_CHECK_RESULT_t>& records,
                            const std::string& nowText, const std::string& costText)
{
    std::string table = "\n\n";
    table +=
        PadLeft(GB("Corvel短信设备检测 V") + ProgramVersion() + " ", 45) + " " + nowText + "\n";
    table += std::string(90, '=') + "\n";
    table += PadRight(GB("端口号"), 10) + PadRight(GB("波特率"), 10) + PadRight(GB("AT标识"), 15) +
             PadRight(GB("SMS卡号"), 25) + PadRight(GB("信号强度"), 10) + GB("设备序列号") + "\n";
    for (const COM_CHECK_RESULT_t& record : records) {
        table += FormatRow(record);
    }
    table += std::string(90, '=') + "\n\n";
    table += "\t" + costText + "\n";
    return table;
}
