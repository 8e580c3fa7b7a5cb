#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "iconv/text_literal.h"
#include "platform/charset.h"
#include "scan/port_scan.h"

namespace {

COM_CHECK_RESULT_t Record(const std::string& name)
{
    COM_CHECK_RESULT_t record;
    record.port = PortNamed(name);
    return record;
}

TEST(ComparePortNo, SortsByNumberNotByText)
{
    std::vector<COM_CHECK_RESULT_t> records = {Record("COM10"), Record("COM2"), Record("COM9"),
                                               Record("CNCA0")};
    std::sort(records.begin(), records.end(), ComparePortNo);
    std::vector<std::string> order;
    for (const COM_CHECK_RESULT_t& r : records) {
        order.push_back(r.port.strName);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"CNCA0", "COM2", "COM9", "COM10"}));
    EXPECT_FALSE(ComparePortNo(records[0], records[0]));
}

const char kNow[] = "2020-05-12 21:05:09";

std::string Head()
{
    // The title is padded to 45 bytes, whatever the version.
    const std::string title =
        std::string(GB("Corvel短信设备检测 V")) + TELLMAR_PROJECT_VERSION + " ";
    return "\n\n" + std::string(45 - title.size(), ' ') + title + " " + kNow + "\n" +
           std::string(90, '=') + "\n" +
           GB("端口号    波特率    AT标识         SMS卡号                  信号强度  设备序列号\n");
}

const std::string kRule(90, '-');

TEST(FormatPortTable, RowsPlaceholdersCleaningAndCostLine)
{
    COM_CHECK_RESULT_t answering = Record("COM2");
    answering.bOpen = true;
    answering.bAT = true;
    answering.strBaud = "9600";
    answering.strCardNo = " \"89860012345678901234\"";
    answering.strSignal = " 23,99";
    answering.strSerialNo = "866123450000001";

    COM_CHECK_RESULT_t notAt = Record("COM10");
    notAt.bOpen = true;
    notAt.strBaud = "115200";

    COM_CHECK_RESULT_t closed = Record("COM9");

    COM_CHECK_RESULT_t shortValues = Record("COM11");
    shortValues.bOpen = true;
    shortValues.bAT = true;
    shortValues.strBaud = "9600";
    shortValues.strCardNo = "\"1";
    shortValues.strSignal = " 9";
    shortValues.strSerialNo = "\" ";

    COM_CHECK_RESULT_t unnamed;

    std::vector<COM_CHECK_RESULT_t> records = {answering, notAt, closed, shortValues, unnamed};
    CleanPortFields(records);
    const std::string table = FormatPortTable(PortViews(records), kNow, "cost time 1234 ms\n", 0);

    const std::string expected =
        Head() + kRule + "\n" +
        "COM2      9600      OK             89860012345678901234     23,99     866123450000001\n" +
        kRule + "\n" +
        GB("COM10     115200    不AT           未读卡                   无信号    无效序列号\n") +
        kRule + "\n" +
        GB("COM9      unknow    端口不可用     未读卡                   无信号    无效序列号\n") +
        kRule + "\n" + "COM11     9600      OK             " + "\"1" + std::string(23, ' ') + " 9" +
        std::string(8, ' ') + "\" \n" + kRule + "\n" +
        GB("unknow    unknow    端口不可用     未读卡                   无信号    无效序列号\n") +
        std::string(90, '=') + "\n\n" + "\tcost time 1234 ms\n\n";
    EXPECT_EQ(table, expected);

    // The cleaned values stay in the records.
    EXPECT_EQ(records[0].strCardNo, "89860012345678901234");
    EXPECT_EQ(records[0].strSignal, "23,99");
    EXPECT_EQ(records[3].strCardNo, "\"1");
}

TEST(CleanPortFields, NestedQuotesAndBlanksGo)
{
    struct CASE_t {
        std::string card;
        std::string signal;
        std::string serial;
        std::string cleanCard;
        std::string cleanSignal;
        std::string cleanSerial;
    };
    const std::vector<CASE_t> cases = {
        {" \"8986\"", " 23,99", "\"866\"", "8986", "23,99", "866"},
        {"\" \"8986\" \"", "\" 5,0 \"", " \" 866 \" ", "8986", "5,0", "866"},
        // Three bytes lose both ends at once; two bytes are never touched.
        {"\"\"\"", "   ", "ab", "\"", " ", "ab"},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.card);
        COM_CHECK_RESULT_t record = Record("COM1");
        record.strCardNo = c.card;
        record.strSignal = c.signal;
        record.strSerialNo = c.serial;
        std::vector<COM_CHECK_RESULT_t> records = {record};
        CleanPortFields(records);
        EXPECT_EQ(records[0].strCardNo, c.cleanCard);
        EXPECT_EQ(records[0].strSignal, c.cleanSignal);
        EXPECT_EQ(records[0].strSerialNo, c.cleanSerial);
    }
}

TEST(FormatPortTable, EmptyScanShowsFrameAndCost)
{
    std::vector<COM_CHECK_RESULT_t> records;
    EXPECT_EQ(FormatPortTable(PortViews(records), kNow, "cost time 3 ms\n", 0),
              Head() + std::string(90, '=') + "\n\n\tcost time 3 ms\n\n");
}

TEST(FormatPortTable, ModemValuesCannotDriveTheTerminal)
{
    COM_CHECK_RESULT_t record = Record("COM1");
    record.bOpen = true;
    record.bAT = true;
    record.strBaud = "9600";
    record.strCardNo = "89\x1b[2J86";
    record.strSignal =
        "\x9b"
        "5,0";
    record.strSerialNo =
        "86\x1b]0;title\x07"
        "6";
    std::vector<COM_CHECK_RESULT_t> records = {record};
    CleanPortFields(records);
    const std::string table = FormatPortTable(PortViews(records), kNow, "cost time 0 ms\n", 0);

    EXPECT_EQ(table.find('\x1b'), std::string::npos);
    EXPECT_EQ(table.find('\x07'), std::string::npos);
    EXPECT_NE(table.find(NeutraliseControls("89\x1b[2J86")), std::string::npos);
    EXPECT_NE(table.find(NeutraliseControls("86\x1b]0;title\x07"
                                            "6")),
              std::string::npos);
    // Values keep their bytes in the record; only the shown text is neutralised.
    EXPECT_EQ(records[0].strCardNo, "89\x1b[2J86");
}

// Lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos;
         end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Columns a line takes on a terminal (a two-byte character takes two).
int Columns(const std::string& line)
{
    int columns = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0x80) {
            ++i;  // the tables hold two-byte characters only
            columns += 2;
        } else {
            columns += c == '\t' ? 8 : 1;
        }
    }
    return columns;
}

// Every kind of row: a complete modem, a second port of that modem, a port
// where nothing answered, one that did not open, and a long serial number.
std::vector<COM_CHECK_RESULT_t> EveryKindOfRow()
{
    COM_CHECK_RESULT_t modem = Record("COM3");
    modem.bOpen = true;
    modem.bAT = true;
    modem.strBaud = "115200";
    modem.strCardNo = " \"89860012345678901234\"";
    modem.strSignal = " 23,99";
    modem.strSerialNo = "866123450000001";
    modem.strATI = "Quectel_M35\r\nOK\r\n";

    COM_CHECK_RESULT_t second = modem;
    second.port = PortNamed("COM4");

    COM_CHECK_RESULT_t silent = Record("COM101");
    silent.bOpen = true;
    silent.strBaud = "115200";

    COM_CHECK_RESULT_t closed = Record("COM102");

    COM_CHECK_RESULT_t longSerial = modem;
    longSerial.port = PortNamed("COM201");
    longSerial.strSerialNo = "SN-" + std::string(17, '7');
    return {modem, second, silent, closed, longSerial};
}

TEST(FormatPortTable, ASecondPortOfAModemNamesThePortItIsUsedThrough)
{
    const std::string table =
        FormatPortTable(PortViews(EveryKindOfRow()), kNow, "cost time 0 ms\n", 0);
    EXPECT_NE(table.find("COM3      115200    OK             89860012345678901234     23,99     "
                         "866123450000001\n"),
              std::string::npos)
        << table;
    EXPECT_NE(table.find(GB("COM4      115200    同COM3设备     89860012345678901234     23,99     "
                            "866123450000001\n")),
              std::string::npos)
        << table;
}

TEST(FormatPortTable, ANarrowTerminalGetsRulesToItsWidthAndEachPortOnOneLine)
{
    const std::vector<PORT_VIEW_t> views = PortViews(EveryKindOfRow());
    const std::string full = FormatPortTable(views, kNow, "cost time 0 ms\n", 0);
    // On no terminal, and on one the fixed layout fits (its lines are 90
    // wide here), the fixed layout.
    for (int columns : {90, 99, 100, 200}) {
        EXPECT_EQ(FormatPortTable(views, kNow, "cost time 0 ms\n", columns), full) << columns;
    }
    EXPECT_NE(full.find(std::string(90, '=') + "\n"), std::string::npos);

    // The values with a blank between them take 75 columns.
    const struct {
        int columns;
        bool cut;
    } cases[] = {{89, false}, {80, false}, {75, false}, {74, true}, {60, true}, {40, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.columns);
        const std::string table = FormatPortTable(views, kNow, "cost time 0 ms\n", c.columns);
        const std::vector<std::string> lines = Lines(table);
        // Two empty lines, the title, the frame with the headings and a rule
        // and a row per port, an empty line, the cost line, an empty line.
        ASSERT_EQ(lines.size(), 2u + 1 + 2 + 2 * views.size() + 1 + 1 + 2);
        for (const std::string& line : lines) {
            EXPECT_LE(Columns(line), c.columns) << line;
        }
        EXPECT_EQ(lines[3], std::string(static_cast<std::size_t>(c.columns), '='));
        EXPECT_EQ(lines[5], std::string(static_cast<std::size_t>(c.columns), '-'));
        EXPECT_EQ(lines[lines.size() - 4], lines[3]);
        EXPECT_EQ(lines[lines.size() - 2], "\tcost time 0 ms");
        // Each row: its port first, then its values in the columns' order.
        const char* const ports[] = {"COM3", "COM4", "COM101", "COM102", "COM201"};
        for (std::size_t r = 0; r < views.size(); ++r) {
            const std::string& row = lines[6 + 2 * r];
            EXPECT_EQ(row.rfind(ports[r], 0), 0u) << row;
        }
        const std::string& modem = lines[6];
        if (!c.cut) {
            const std::size_t card = modem.find("89860012345678901234");
            const std::size_t signal = modem.find("23,99", card);
            const std::size_t serial = modem.find("866123450000001", signal);
            EXPECT_TRUE(card != std::string::npos && signal != std::string::npos &&
                        serial != std::string::npos)
                << modem;
            EXPECT_NE(lines[6 + 2 * 4].find("SN-" + std::string(17, '7')), std::string::npos)
                << lines[6 + 2 * 4];
            EXPECT_EQ(table.find('~'), std::string::npos) << table;
        } else {
            EXPECT_NE(table.find('~'), std::string::npos) << table;
        }
    }
}

}  // namespace
