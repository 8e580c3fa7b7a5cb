#include <algorithm>
#include <array>

#include "codec/reply_text.h"
#include "iconv/gb18030_text.h"
#include "iconv/text_literal.h"
#include "platform/build_info.h"
#include "platform/charset.h"
#include "scan/port_scan.h"

namespace {

// The table has six columns; the widths of the first five are those of its
// layout, the last one takes what its values need.
constexpr std::size_t kColumnCount = 6;
constexpr std::array<int, kColumnCount - 1> kWidths = {10, 10, 15, 25, 10};
constexpr int kRuleWidth = 90;
constexpr int kTitleWidth = 45;
// From this terminal width on, and on no terminal at all, the table keeps
// its layout whatever its lines need (the Windows console is this wide).
constexpr int kFullLayoutColumns = 100;

using Row = std::array<std::string, kColumnCount>;

// Columns a text takes: a character beyond ASCII takes two, as the
// two-byte characters of the code page do.
int WidthOf(const std::string& text)
{
    int width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Gb18030CharLength(text, i);
        width += length == 1 ? 1 : 2;
        i += length;
    }
    return width;
}

std::string PadRight(const std::string& text, int width)
{
    const int shown = WidthOf(text);
    return shown >= width ? text : text + std::string(static_cast<std::size_t>(width - shown), ' ');
}

std::string PadLeft(const std::string& text, int width)
{
    const int shown = WidthOf(text);
    return shown >= width ? text : std::string(static_cast<std::size_t>(width - shown), ' ') + text;
}

// The text cut to at most `width` columns, a cut one ending with "~".
std::string CutToWidth(const std::string& text, int width)
{
    if (WidthOf(text) <= width) {
        return text;
    }
    std::string cut;
    int used = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Gb18030CharLength(text, i);
        const int w = length == 1 ? 1 : 2;
        if (used + w > width - 1) {
            break;
        }
        cut.append(text, i, length);
        used += w;
        i += length;
    }
    return width > 0 ? cut + "~" : std::string();
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

const Row& Headings()
{
    static const Row headings = {GB("端口号"),  GB("波特率"),   GB("AT标识"),
                                 GB("SMS卡号"), GB("信号强度"), GB("设备序列号")};
    return headings;
}

// The cells of one port: what it is called, its rate, its state, and the
// modem's card number, signal and serial number.
Row Cells(const PORT_VIEW_t& view)
{
    std::string state;
    if (!view.bOpen) {
        state = GB("端口不可用");
    } else if (view.nState == PORT_STATE_SAME_MODEM) {
        state = GB("同") + view.strSameModem + GB("设备");
    } else if (view.nState == PORT_STATE_SIM_PIN || view.nState == PORT_STATE_SIM_PUK) {
        state = PortStateText(view.nState);
    } else {
        state = view.bAT ? GB("OK") : GB("不AT");
    }
    return {view.port.strName.empty() ? "unknow" : NeutraliseControls(view.port.strName),
            view.strBaud.empty() ? "unknow" : view.strBaud,
            NeutraliseControls(state),
            Shown(view.strIccid, GB("未读卡")),
            Shown(view.strSignal, GB("无信号")),
            Shown(view.strImei, GB("无效序列号"))};
}

// The widths of the columns when the table must fit `columns`: each column
// first gets what its widest cell needs and one blank before the next, then
// what is left, up to its width in the layout, from the left. Columns that
// even so do not fit are narrowed, the widest first, and their cells cut.
std::array<int, kColumnCount> FittedWidths(const std::vector<Row>& rows, int columns)
{
    std::array<int, kColumnCount> widths{};
    for (std::size_t c = 0; c < kColumnCount; ++c) {
        int need = WidthOf(Headings()[c]);
        for (const Row& row : rows) {
            need = std::max(need, WidthOf(row[c]));
        }
        widths[c] = need + (c + 1 < kColumnCount ? 1 : 0);
    }
    int total = 0;
    for (int w : widths) {
        total += w;
    }
    for (std::size_t c = 0; c + 1 < kColumnCount && total < columns; ++c) {
        const int more = std::min(columns - total, std::max(0, kWidths[c] - widths[c]));
        widths[c] += more;
        total += more;
    }
    // The port's name is what a row is found by: it is cut last.
    while (total > columns) {
        int* widest = std::max_element(widths.begin() + 1, widths.end());
        if (*widest <= 2) {
            widest = widths.begin();
            if (*widest <= 2) {
                break;
            }
        }
        --*widest;
        --total;
    }
    return widths;
}

std::string FormatLine(const Row& row, const std::array<int, kColumnCount>& widths, bool fitted)
{
    std::string line;
    for (std::size_t c = 0; c < kColumnCount; ++c) {
        const bool last = c + 1 == kColumnCount;
        // A column keeps one blank before the next; the last one ends the line.
        const std::string cell = fitted ? CutToWidth(row[c], widths[c] - (last ? 0 : 1)) : row[c];
        line += last ? cell : PadRight(cell, widths[c]);
    }
    return line + "\n";
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

std::string FormatPortTable(const std::vector<PORT_VIEW_t>& views, const std::string& nowText,
                            const std::string& costText, int columns)
{
    std::vector<Row> rows;
    rows.reserve(views.size());
    for (const PORT_VIEW_t& view : views) {
        rows.push_back(Cells(view));
    }

    std::array<int, kColumnCount> widths{};
    std::copy(kWidths.begin(), kWidths.end(), widths.begin());
    int widest = kRuleWidth;
    for (const Row& row : rows) {
        int width = 0;
        for (std::size_t c = 0; c < kColumnCount; ++c) {
            width += c + 1 < kColumnCount ? std::max(widths[c], WidthOf(row[c])) : WidthOf(row[c]);
        }
        widest = std::max(widest, width);
    }
    // On a terminal narrower than the table, every line of it would wrap:
    // the rules are drawn to the terminal's width and the columns shrink, so
    // that each port stays on one line.
    const bool fitted = columns > 0 && columns < kFullLayoutColumns && columns < widest;
    int ruleWidth = kRuleWidth;
    if (fitted) {
        widths = FittedWidths(rows, columns);
        ruleWidth = columns;
    }

    std::string title = GB("Corvel短信设备检测 V") + ProgramVersion() + " ";
    int titleWidth = kTitleWidth;
    if (fitted) {
        titleWidth = std::min(kTitleWidth, columns - 1 - WidthOf(nowText));
        title = CutToWidth(title, titleWidth);
    }
    std::string table = "\n\n";
    table += PadLeft(title, titleWidth) + " " + nowText + "\n";
    table += std::string(static_cast<std::size_t>(ruleWidth), '=') + "\n";
    table += FormatLine(Headings(), widths, fitted);
    for (const Row& row : rows) {
        table += std::string(static_cast<std::size_t>(ruleWidth), '-') + "\n";
        table += FormatLine(row, widths, fitted);
    }
    table += std::string(static_cast<std::size_t>(ruleWidth), '=') + "\n\n";
    table += "\t" + costText + "\n";
    return table;
}
