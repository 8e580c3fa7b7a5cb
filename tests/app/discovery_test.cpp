// Device discovery over hand-made scan records (no port is opened).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/application.h"
#include "platform/console.h"
#include "platform/serial_device.h"

namespace {

COM_CHECK_RESULT_t Record(int com, const char* ati, bool at = true, bool complete = true)
{
    COM_CHECK_RESULT_t record;
    record.port = PortNamed("COM" + std::to_string(com));
    record.port.strNode = "/dev/ttyUSB" + std::to_string(com);
    record.bOpen = true;
    record.bAT = at;
    record.strBaud = at ? "115200" : "";
    record.strATI = ati;
    if (complete) {
        const std::string digits = std::to_string(100 + com);
        record.strSerialNo = "866000000000" + digits;
        record.strCardNo = " \"89860012345678901" + digits + "\"";
        record.strSignal = " 23,99";
    }
    return record;
}

// An error code of the open that the platform counts as `failure`.
int OpenErrorOf(OPEN_FAILURE_t failure)
{
    for (int code = 1; code < 200; ++code) {
        if (OpenFailureOf(code) == failure) {
            return code;
        }
    }
    return 0;
}

// The reason of a busy port, without its line end.
std::string BusyText()
{
    std::string text = PortErrorText(OpenErrorOf(OPEN_FAILURE_BUSY));
    return text.substr(0, text.find_last_not_of("\r\n") + 1);
}

const char* const kM35 =
    "ATI\r\r\nQuectel_Ltd\r\nQuectel_M35\r\nRevision: M35FBR02A03\r\n\r\nOK\r\n";
const char* const kClm920 = "\r\nYuga\r\nCLM920_NC5\r\n\r\nOK\r\n";
const char* const kMc323 =
    "\r\nManufacturer:HUAWEI TECHNOLOGIES CO., LTD\r\nModel:MC323-a\r\n\r\nOK\r\n";

class DiscoveryTest : public ::testing::Test {
protected:
    // COM3 an M35, COM4 a CLM920 at 9600, COM10 a CDMA module, COM12 of no known model.
    void SetUp() override
    {
        app.m_vecCheckResults = {Record(3, kM35), Record(4, kClm920), Record(10, kMc323),
                                 Record(12, "\r\nSOME MODEM\r\n\r\nOK\r\n")};
        app.m_vecCheckResults[1].strBaud = "9600";
    }

    std::vector<std::string> Ports(const std::vector<COM_DEVICE_t>& devices)
    {
        std::vector<std::string> ports;
        for (const COM_DEVICE_t& d : devices) {
            ports.push_back(d.port.strPath);
        }
        return ports;
    }

    CApplication app;
    std::vector<COM_DEVICE_t> devices{COM_DEVICE_t{}};  // discovery empties it first
};

TEST_F(DiscoveryTest, AllPortsIdentifiesEachCompleteModem)
{
    ASSERT_TRUE(app.DiscoverDevices("", devices));
    ASSERT_EQ(devices.size(), 4u);
    const struct {
        const char* port;
        int type;
        int baud;
    } expected[] = {
        {"\\\\.\\COM3", 3, 115200},
        {"\\\\.\\COM4", 2, 9600},
        {"\\\\.\\COM10", 7, 115200},
        {"\\\\.\\COM12", 1, 115200},
    };
    for (std::size_t i = 0; i < devices.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(devices[i].port.strPath, expected[i].port);
        EXPECT_EQ(devices[i].nDeviceType, expected[i].type);
        EXPECT_EQ(devices[i].nBaud, expected[i].baud);
        EXPECT_TRUE(devices[i].bAT);
        EXPECT_TRUE(devices[i].bPortFound);
        EXPECT_EQ(devices[i].strCardNo, app.m_vecCheckResults[i].strCardNo);
        EXPECT_EQ(devices[i].strSignal, " 23,99");
        EXPECT_FALSE(devices[i].strSerialNo.empty());
    }
}

TEST_F(DiscoveryTest, PortListFormsGiveTheSameRecords)
{
    for (const char* list : {"3,4", "3;4", "3,,4", "3 4", " 3 ; 4 ,", "COM3,com4",
                             "3\xA3\xAC"
                             "COM4"}) {
        SCOPED_TRACE(list);
        ASSERT_TRUE(app.DiscoverDevices(list, devices));
        EXPECT_EQ(Ports(devices), (std::vector<std::string>{"\\\\.\\COM3", "\\\\.\\COM4"}));
        EXPECT_EQ(devices[0].nDeviceType, 3);
        EXPECT_EQ(devices[1].nDeviceType, 2);
    }
}

TEST_F(DiscoveryTest, NamedPortsKeepListOrderAndDuplicates)
{
    ASSERT_TRUE(app.DiscoverDevices("12,3,3", devices));
    EXPECT_EQ(Ports(devices),
              (std::vector<std::string>{"\\\\.\\COM12", "\\\\.\\COM3", "\\\\.\\COM3"}));
}

TEST_F(DiscoveryTest, PortsTheScanDidNotSee)
{
    ASSERT_TRUE(app.DiscoverDevices("3,7", devices));
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_TRUE(devices[0].bPortFound);
    const COM_DEVICE_t& missing = devices[1];
    EXPECT_EQ(missing.port.strPath, "\\\\.\\COM7");
    EXPECT_EQ(missing.port.strName, "COM7");
    EXPECT_EQ(missing.port.strNode, "");
    EXPECT_EQ(missing.nBaud, 115200);
    EXPECT_FALSE(missing.bAT);
    EXPECT_FALSE(missing.bPortFound);
    EXPECT_EQ(missing.nDeviceType, 1);
    EXPECT_TRUE(missing.strCardNo.empty() && missing.strSignal.empty() &&
                missing.strSerialNo.empty());

    // 03 is not 3: a record for \\.\COM03, and false when nothing else was seen.
    EXPECT_FALSE(app.DiscoverDevices("03", devices));
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].port.strPath, "\\\\.\\COM03");
    EXPECT_EQ(devices[0].port.strName, "COM03");
    EXPECT_FALSE(devices[0].bPortFound);

    EXPECT_FALSE(app.DiscoverDevices("7,8", devices));
    EXPECT_EQ(devices.size(), 2u);
}

TEST_F(DiscoveryTest, MalformedPortListGivesNothing)
{
    for (const char* list : {"COMX3", "3,4a", "-1", ",;", "COM"}) {
        SCOPED_TRACE(list);
        EXPECT_FALSE(app.DiscoverDevices(list, devices));
        EXPECT_TRUE(devices.empty());
    }
}

TEST_F(DiscoveryTest, NoSimAnywhereFallsBackToEveryAnsweringModem)
{
    app.m_vecCheckResults = {Record(3, kM35, true, false), Record(5, "", false, false),
                             Record(8, kClm920, true, false)};
    ASSERT_TRUE(app.DiscoverDevices("", devices));
    EXPECT_EQ(Ports(devices), (std::vector<std::string>{"\\\\.\\COM3", "\\\\.\\COM8"}));
    EXPECT_EQ(devices[0].nDeviceType, 3);
    EXPECT_EQ(devices[1].nDeviceType, 2);
    EXPECT_TRUE(devices[0].strCardNo.empty());
}

TEST_F(DiscoveryTest, NothingAnswersAtTakesEveryPortUnidentified)
{
    app.m_vecCheckResults = {Record(1, kM35, false, false), Record(2, "", false, false)};
    app.m_vecCheckResults[1].bOpen = false;
    ASSERT_TRUE(app.DiscoverDevices("", devices));
    ASSERT_EQ(Ports(devices), (std::vector<std::string>{"\\\\.\\COM1", "\\\\.\\COM2"}));
    for (const COM_DEVICE_t& d : devices) {
        EXPECT_EQ(d.nDeviceType, 1) << "pass 3 does not identify";
        EXPECT_EQ(d.nBaud, 0) << "no baud text";
        EXPECT_FALSE(d.bAT);
    }

    app.m_vecCheckResults.clear();
    EXPECT_TRUE(app.DiscoverDevices("", devices));
    EXPECT_TRUE(devices.empty());
}

std::vector<std::string> Names(const std::vector<UNAVAILABLE_PORT_t>& ports)
{
    std::vector<std::string> names;
    for (const UNAVAILABLE_PORT_t& port : ports) {
        names.push_back(port.port.strName + ": " + port.strError);
    }
    return names;
}

TEST_F(DiscoveryTest, InboxCollectionTakesCompleteModemsAndSaysWhyNotTheOthers)
{
    app.m_vecCheckResults.push_back(Record(13, kM35));
    app.m_vecCheckResults.back().strSignal.clear();
    app.m_vecCheckResults.push_back(Record(14, kM35));
    app.m_vecCheckResults.back().strSerialNo.clear();
    app.m_vecCheckResults.push_back(Record(15, kM35));
    app.m_vecCheckResults.back().strCardNo.clear();
    app.m_vecCheckResults.push_back(Record(16, kM35, false));
    app.m_vecCheckResults.push_back(Record(17, "", false, false));
    app.m_vecCheckResults.back().bOpen = false;
    app.m_vecCheckResults.back().nOpenError = OpenErrorOf(OPEN_FAILURE_BUSY);
    // A locked SIM cannot be read, whatever else its modem gave.
    app.m_vecCheckResults.push_back(Record(18, kM35));
    app.m_vecCheckResults.back().strPinState = "SIM PIN";
    app.m_vecCheckResults.push_back(Record(19, kM35));
    app.m_vecCheckResults.back().strPinState = "SIM PUK";
    app.m_vecCheckResults.back().strSignal.clear();
    std::vector<UNAVAILABLE_PORT_t> unavailable;
    ASSERT_TRUE(app.CollectInboxDevices("", devices, unavailable));
    EXPECT_EQ(Ports(devices), (std::vector<std::string>{"\\\\.\\COM3", "\\\\.\\COM4",
                                                        "\\\\.\\COM10", "\\\\.\\COM12"}));
    EXPECT_EQ(
        Names(unavailable),
        (std::vector<std::string>{"COM13: no signal", "COM14: no serial number",
                                  "COM15: no SIM card", "COM16: no answer", "COM17: " + BusyText(),
                                  "COM18: SIM PIN required", "COM19: SIM PUK required"}));

    app.m_vecCheckResults = {Record(3, kM35, true, false)};
    ASSERT_TRUE(app.CollectInboxDevices("", devices, unavailable));
    EXPECT_TRUE(devices.empty()) << "no fallback";
    EXPECT_EQ(Names(unavailable), (std::vector<std::string>{"COM3: no serial number"}));
}

TEST_F(DiscoveryTest, InboxCollectionOfNamedPorts)
{
    std::vector<UNAVAILABLE_PORT_t> unavailable;
    // Each named port once, in list order; ports the scan did not see and
    // ports without a complete modem are said.
    app.m_vecCheckResults[0].strCardNo.clear();
    ASSERT_TRUE(
        app.CollectInboxDevices("com10,4,COM4 3;9\xA3\xAC"
                                "10",
                                devices, unavailable));
    EXPECT_EQ(Ports(devices), (std::vector<std::string>{"\\\\.\\COM10", "\\\\.\\COM4"}));
    EXPECT_EQ(Names(unavailable),
              (std::vector<std::string>{"COM3: no SIM card", "COM9: not found"}));

    for (const char* list : {"x", "3,4a", ",", "COM"}) {
        SCOPED_TRACE(list);
        EXPECT_FALSE(app.CollectInboxDevices(list, devices, unavailable));
        EXPECT_TRUE(devices.empty());
        EXPECT_TRUE(unavailable.empty());
    }
}

// One modem that answers on COM3 and COM5 (the same IMEI and ICCID): every
// command that takes every port uses it once, through COM3; named, each
// port is used.
TEST_F(DiscoveryTest, OneModemOnTwoPortsIsOneDevice)
{
    COM_CHECK_RESULT_t second = app.m_vecCheckResults[0];
    second.port = PortNamed("COM5");
    app.m_vecCheckResults.insert(app.m_vecCheckResults.begin() + 2, second);
    // COM11 has COM3's IMEI but another SIM: another modem (or another card).
    COM_CHECK_RESULT_t otherCard = app.m_vecCheckResults[0];
    otherCard.port = PortNamed("COM11");
    otherCard.strCardNo = "89860099999999999999";
    app.m_vecCheckResults.insert(app.m_vecCheckResults.begin() + 4, otherCard);

    ASSERT_TRUE(app.DiscoverDevices("", devices));
    EXPECT_EQ(Ports(devices),
              (std::vector<std::string>{"\\\\.\\COM3", "\\\\.\\COM4", "\\\\.\\COM10",
                                        "\\\\.\\COM11", "\\\\.\\COM12"}));
    std::vector<UNAVAILABLE_PORT_t> unavailable;
    ASSERT_TRUE(app.CollectInboxDevices("", devices, unavailable));
    EXPECT_EQ(devices.size(), 5u);
    EXPECT_TRUE(unavailable.empty()) << "the second port is no unavailable one";

    // Named, both ports are used, and the user is told they are one modem.
    testing::internal::CaptureStdout();
    ASSERT_TRUE(app.DiscoverDevices("5,3", devices));
    ConsoleFlush();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("COM5, COM3 are one modem"),
              std::string::npos);
    EXPECT_EQ(Ports(devices), (std::vector<std::string>{"\\\\.\\COM5", "\\\\.\\COM3"}));
    ASSERT_TRUE(app.CollectInboxDevices("COM5", devices, unavailable));
    EXPECT_EQ(Ports(devices), (std::vector<std::string>{"\\\\.\\COM5"}));

    // When the lower port is not complete the modem is used through the other.
    app.m_vecCheckResults[0].strSignal.clear();
    ASSERT_TRUE(app.DiscoverDevices("", devices));
    EXPECT_EQ(Ports(devices)[0], "\\\\.\\COM4");
    EXPECT_EQ(Ports(devices)[1], "\\\\.\\COM5");

    // Without serial numbers nothing is merged, even with the same card.
    for (COM_CHECK_RESULT_t& record : app.m_vecCheckResults) {
        record.strSerialNo.clear();
    }
    ASSERT_TRUE(app.DiscoverDevices("", devices));
    EXPECT_EQ(devices.size(), 6u) << "pass 2: every port that answered";
}

TEST_F(DiscoveryTest, DevicesCarryTheReasonTheirPortIsNotUsable)
{
    app.m_vecCheckResults[1].strCardNo.clear();
    ASSERT_TRUE(app.DiscoverDevices("3,4,12,7", devices));
    ASSERT_EQ(devices.size(), 4u);
    EXPECT_EQ(devices[0].strReason, "");
    EXPECT_EQ(devices[1].strReason, "no SIM card");
    EXPECT_EQ(devices[2].strReason, "unknown model");
    EXPECT_EQ(devices[3].strReason, "not found");
}

}  // namespace
