#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "iconv/text_literal.h"
#include "platform/console.h"
#include "scan/port_scan.h"
#include "support/listed_port.h"
#include "support/modem_sim.h"

namespace {

// The product's read pacing, with a shorter total wait so that silent ports
// cost less; replies still end 100 ms after their last byte.
class SimScanTest : public testing::Test {
protected:
    // One refresh; returns the records by port number and what was printed.
    std::map<int, COM_CHECK_RESULT_t> Scan(std::vector<COM_CHECK_RESULT_t>& records,
                                           std::string& printed)
    {
        std::string cost;
        testing::internal::CaptureStdout();
        RefreshScan(m_options, records, cost);
        ConsoleFlush();
        printed = testing::internal::GetCapturedStdout();
        std::map<int, COM_CHECK_RESULT_t> byNumber;
        for (const COM_CHECK_RESULT_t& r : records) {
            byNumber[r.port.nNumber] = r;
        }
        return byNumber;
    }

    const SCAN_OPTIONS_t m_options{PROBE_TIMING_t{100, 300, 1}};
};

bool Sent(const std::vector<std::string>& commands, const std::string& command)
{
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

std::vector<int> ModeEvents(const ModemSim& sim, int com)
{
    std::vector<int> values;
    for (const Json::Value& e : sim.Events("modeconfig")) {
        if (e["com"].asInt() == com) {
            values.push_back(e["value"].asInt());
        }
    }
    return values;
}

const char kPorts[] = R"({"ports":[
  {"com":2,"model":"M35","bauds":[9600],"iccid":"89860012345678901234","csq":"23,99"},
  {"com":3,"model":"ME909s-821","bauds":[9600]},
  {"com":4,"model":"M35"},
  {"com":5,"model":"MC323","iccid":"89860398000000000005"},
  {"com":6,"model":"CLM920_NC5","iccid":"89860318000000000006","csq":"20,99",
   "operator":"CHINA TELECOM","modeconfig":2},
  {"com":9,"model":"CLM920_NC5","bauds":[115200],"serial":"YG2019009",
   "iccid":"89860318000000000009","csq":"99,99","modeconfig":22},
  {"com":10,"model":"silent"}
]})";

TEST_F(SimScanTest, OneScanOfEveryKindOfPortThenTheStateItLeft)
{
    ModemSim sim(kPorts);
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    ScopedEnv ports("TELLMAR_SERIALCOMM", sim.Dir());
    CSerialDevice holder;  // another program that has COM4 open
    ASSERT_EQ(holder.Open(ListedPort(4)), 0);

    std::vector<COM_CHECK_RESULT_t> records;
    std::string printed;
    std::map<int, COM_CHECK_RESULT_t> scan = Scan(records, printed);

    std::vector<int> order;
    for (const COM_CHECK_RESULT_t& r : records) {
        order.push_back(r.port.nNumber);
        if (r.hCom) {
            EXPECT_FALSE(r.hCom->IsOpen()) << r.port.strName;
        }
    }
    ASSERT_EQ(order, (std::vector<int>{2, 3, 4, 5, 6, 9, 10}));

    {
        SCOPED_TRACE("M35 at 9600 with a card");
        const COM_CHECK_RESULT_t& r = scan[2];
        EXPECT_TRUE(r.bOpen);
        EXPECT_TRUE(r.bAT);
        EXPECT_EQ(r.strBaud, "9600");
        // No known model; its ATI3 revision holds a ".", whose text is the label.
        EXPECT_EQ(r.nModel, PHONE_TYPE_UN_KNOWN);
        EXPECT_EQ(r.strModel, "02\r\n\r");
        EXPECT_EQ(r.strSerialNo, "866000000000002");
        EXPECT_EQ(r.strCardNo, " \"89860012345678901234\"");
        EXPECT_EQ(r.strSignal, " 23,99");
        EXPECT_EQ(r.nRssi, 23);
        EXPECT_EQ(r.nBer, 99);
        EXPECT_NE(r.strOperator.find("CHINA MOBILE"), std::string::npos);
        EXPECT_NE(r.strATI.find("Quectel_M35"), std::string::npos);
    }
    {
        SCOPED_TRACE("ME909s without a card");
        const COM_CHECK_RESULT_t& r = scan[3];
        EXPECT_TRUE(r.bAT);
        EXPECT_EQ(r.nModel, PHONE_TYPE_VELT_D);
        EXPECT_EQ(r.strModel, "HuaWeiME909s");
        EXPECT_EQ(r.strSerialNo, "866000000000003");
        EXPECT_EQ(r.strCardNo, "");
        EXPECT_EQ(r.strSignal, "");
        EXPECT_EQ(r.strOperator, "");
        const std::vector<std::string> commands = sim.Commands(3);
        EXPECT_TRUE(Sent(commands, "AT^ICCID?"));
        EXPECT_FALSE(Sent(commands, "AT+CSQ"));
        EXPECT_FALSE(Sent(commands, "AT+COPS?"));
    }
    {
        SCOPED_TRACE("held by another program");
        const COM_CHECK_RESULT_t& r = scan[4];
        EXPECT_FALSE(r.bOpen);
        EXPECT_FALSE(r.bAT);
        EXPECT_EQ(r.strBaud, "");
        EXPECT_TRUE(sim.Commands(4).empty());
    }
    // The mode switches are written without a read: give the simulator a
    // moment to log them.
    EXPECT_TRUE(sim.WaitForEvents("modeconfig", 2, 3000));
    std::string written;
    {
        SCOPED_TRACE("CDMA module, empty phone book");
        const COM_CHECK_RESULT_t& r = scan[5];
        EXPECT_EQ(r.nModel, PHONE_TYPE_VELT_G);
        EXPECT_EQ(r.strSerialNo, "");
        const std::vector<Json::Value> book = sim.Events("phonebook");
        ASSERT_EQ(book.size(), 1u);
        EXPECT_EQ(book[0]["name"].asString(), "WMSN");
        written = book[0]["number"].asString();
        EXPECT_EQ(written.size(), 15u);
        EXPECT_EQ(written.find_first_not_of("0123456789"), std::string::npos);
    }
    {
        SCOPED_TRACE("CLM920 in mode 2 with signal on a CT operator");
        const COM_CHECK_RESULT_t& r = scan[6];
        EXPECT_EQ(r.nModel, PHONE_TYPE_VELT_B);
        EXPECT_EQ(r.nModeConfig, 2);
        EXPECT_EQ(r.strSerialNo, "866000000000006");
        EXPECT_EQ(ModeEvents(sim, 6), std::vector<int>{22});
    }
    {
        SCOPED_TRACE("CLM920 only at 115200, in mode 22 without signal");
        const COM_CHECK_RESULT_t& r = scan[9];
        EXPECT_TRUE(r.bAT);
        EXPECT_EQ(r.strBaud, "115200");
        EXPECT_EQ(r.strModel, "CLM920_NC5");
        EXPECT_EQ(r.strSerialNo, "YG2019009");
        EXPECT_EQ(r.nModeConfig, 22);
        EXPECT_EQ(r.nRssi, 99);
        EXPECT_EQ(ModeEvents(sim, 9), std::vector<int>{2});
    }
    {
        SCOPED_TRACE("no modem");
        const COM_CHECK_RESULT_t& r = scan[10];
        EXPECT_TRUE(r.bOpen);
        EXPECT_FALSE(r.bAT);
        EXPECT_EQ(r.strBaud, "115200");
    }
    for (const char* line : {"COM6 > MODECONFIG = 2\n", "COM6 > setting MODECONFIG=22\n",
                             "COM9 > MODECONFIG = 22\n", "COM9 > setting MODECONFIG=2\n"}) {
        EXPECT_NE(printed.find(line), std::string::npos) << line << "in:\n" << printed;
    }

    CleanPortFields(records);
    const std::string table =
        FormatPortTable(PortViews(records), "2020-05-12 21:05:09", "cost time 1 ms\n", 0);
    for (const std::string& row :
         {std::string("COM2      9600      OK             89860012345678901234     23,99     "
                      "866000000000002\n"),
          GB("COM3      9600      OK             未读卡                   无信号    "
             "866000000000003\n"),
          GB("COM4      unknow    端口不可用     未读卡                   无信号    无效序列号\n"),
          GB("COM10     115200    不AT           未读卡                   无信号    "
             "无效序列号\n")}) {
        EXPECT_NE(table.find(row), std::string::npos) << row;
    }

    // The next scan finds what this one left in the modems.
    holder.Close();
    ASSERT_TRUE(sim.Restart()) << sim.LastError();
    scan = Scan(records, printed);
    EXPECT_EQ(scan[5].strSerialNo, written);
    EXPECT_TRUE(sim.Events("phonebook").empty());  // the restarted simulator's log: no new write
    EXPECT_EQ(scan[6].nModeConfig, 22);
    EXPECT_EQ(scan[9].nModeConfig, 2);
    EXPECT_TRUE(scan[4].bOpen);
    EXPECT_EQ(printed.find("setting"), std::string::npos) << printed;
}

// Modems that send NUL bytes, replies longer than a read, noise and floods:
// every port still gets its record and the scan ends.
TEST_F(SimScanTest, HostileModemsGetRecordsAndTheScanEnds)
{
    ModemSim sim(R"({"ports":[
      {"com":1,"model":"M35","iccid":"89860000000000000001","faults":{"nul_bytes":true}},
      {"com":2,"model":"ME909s-821","iccid":"89860000000000000002","faults":{"overlong_reply":700}},
      {"com":3,"model":"MG301","iccid":"89860000000000000003","faults":{"garbage":300}},
      {"com":4,"model":"CLM920_NC5","iccid":"89860000000000000004","faults":{"flood":true}},
      {"com":5,"model":"Q2406B","iccid":"89860000000000000005",
       "faults":{"unsolicited":["RING","+CMTI: \"SM\",3"]}}
    ]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    ScopedEnv ports("TELLMAR_SERIALCOMM", sim.Dir());

    std::vector<COM_CHECK_RESULT_t> records;
    std::string printed;
    std::map<int, COM_CHECK_RESULT_t> scan = Scan(records, printed);
    ASSERT_EQ(records.size(), 5u);
    for (const COM_CHECK_RESULT_t& r : records) {
        SCOPED_TRACE(r.port.strName);
        EXPECT_TRUE(r.bOpen);
        EXPECT_LE(r.strATI.size(), 255u);
        EXPECT_LE(r.strCardNo.size(), 255u);
        EXPECT_EQ(r.strATI.find('\0'), std::string::npos);
        EXPECT_FALSE(r.hCom->IsOpen());
    }
    EXPECT_TRUE(scan[5].bAT);
    EXPECT_EQ(scan[5].nModel, PHONE_TYPE_VELT_F);

    CleanPortFields(records);
    const std::string table =
        FormatPortTable(PortViews(records), "2020-05-12 21:05:09", "cost time 1 ms\n", 0);
    const std::string::size_type esc = table.find('\x1b');
    EXPECT_EQ(esc, std::string::npos) << table;
}

}  // namespace
