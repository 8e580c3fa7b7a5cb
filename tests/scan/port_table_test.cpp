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
    const std::string table = FormatPortTable(records, kNow, "cost time 1234 ms\n");

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
    EXPECT_EQ(FormatPortTable(records, kNow, "cost time 3 ms\n"),
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
    const std::string table = FormatPortTable(records, kNow, "cost time 0 ms\n");

    EXPECT_EQ(table.find('\x1b'), std::string::npos);
    EXPECT_EQ(table.find('\x07'), std::string::npos);
    EXPECT_NE(table.find(NeutraliseControls("89\x1b[2J86")), std::string::npos);
    EXPECT_NE(table.find(NeutraliseControls("86\x1b]0;title\x07"
                                            "6")),
              std::string::npos);
    // Values keep their bytes in the record; only the shown text is neutralised.
    EXPECT_EQ(records[0].strCardNo, "89\x1b[2J86");
}

}  // namespace
