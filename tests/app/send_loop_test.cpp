// The send loop and the inbox operations on devices that cannot be used:
// nothing answers here, so every path that must not touch a modem is shown.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/application.h"
#include "iconv/text_literal.h"
#include "platform/console.h"

namespace {

// Ports come from an empty directory: every port of the test is missing.
class NoModemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tellmar-app-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = pattern;
        const char* old = std::getenv("TELLMAR_SERIALCOMM");
        m_hadOld = old != nullptr;
        m_old = old ? old : "";
        ::setenv("TELLMAR_SERIALCOMM", m_dir.c_str(), 1);
    }

    void TearDown() override
    {
        if (m_hadOld) {
            ::setenv("TELLMAR_SERIALCOMM", m_old.c_str(), 1);
        } else {
            ::unsetenv("TELLMAR_SERIALCOMM");
        }
        ::rmdir(m_dir.c_str());
    }

    static COM_DEVICE_t Device(const char* port, PHONE_TYPE_t type, bool sim, bool found = true)
    {
        COM_DEVICE_t device;
        device.port = PortNamed(port);
        device.nDeviceType = type;
        device.bPortFound = found;
        device.bAT = found;
        if (found) {
            device.strSerialNo = "866000000000001";
            device.strSignal = " 23,99";
        }
        if (sim) {
            device.strCardNo = "89860012345678901234";
        }
        return device;
    }

    std::string m_dir;
    std::string m_old;
    bool m_hadOld = false;
};

TEST_F(NoModemTest, EveryDeviceAndNumberGetsItsResultInDeviceMajorOrder)
{
    CApplication app;
    app.m_vecSendResults.resize(5);  // the command's list starts empty
    const std::vector<COM_DEVICE_t> devices = {
        Device("COM3", PHONE_TYPE_VELT_C, true),        // a known model whose port does not open
        Device("COM7", PHONE_TYPE_BASE, false, false),  // named, not seen by the scan
        Device("COM9", PHONE_TYPE_BASE, true),          // complete, no known model
    };
    app.CollectSendResults(devices, {"18300000000", "10086"}, "hello");

    const struct {
        const char* port;
        const char* number;
        COM_CMD_OPERATE_RESULT_t code;
    } expected[] = {
        {"COM3", "18300000000", CMD_RESULT_FAILED},
        {"COM3", "10086", CMD_RESULT_FAILED},
        {"COM7", "18300000000", CMD_RESULT_NO_SIM},
        {"COM7", "10086", CMD_RESULT_NO_SIM},
        {"COM9", "18300000000", CMD_RESULT_FOREIGN_DEVICE},
        {"COM9", "10086", CMD_RESULT_FOREIGN_DEVICE},
    };
    ASSERT_EQ(app.m_vecSendResults.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const SEND_RESULT_t& r = app.m_vecSendResults[i];
        EXPECT_EQ(r.port.strName, expected[i].port);
        EXPECT_EQ(r.strNumber, expected[i].number);
        EXPECT_EQ(r.nResult, expected[i].code);
        EXPECT_EQ(r.strTime.size(), 19u) << r.strTime;
    }
    // The port's own error explains the failed open; a missing SIM says nothing.
    EXPECT_EQ(app.m_vecSendResults[0].strMessage.rfind("Code:2   ", 0), 0u)
        << app.m_vecSendResults[0].strMessage;
    EXPECT_EQ(app.m_vecSendResults[2].strMessage, "");
    EXPECT_EQ(app.m_vecSendResults[4].strMessage, GB("设备不AT"));
}

TEST_F(NoModemTest, EachResultIsReportedAsItComesInDeviceOrder)
{
    CApplication app;
    std::vector<std::string> reported;
    app.SendToDevices(
        {Device("COM7", PHONE_TYPE_BASE, false, false), Device("COM9", PHONE_TYPE_BASE, true)},
        {"18300000000", "10086"}, "hello", [&](const SEND_RESULT_t& result) {
            reported.push_back(result.port.strName + " " + result.strNumber);
        });
    EXPECT_EQ(reported, (std::vector<std::string>{"COM7 18300000000", "COM7 10086",
                                                  "COM9 18300000000", "COM9 10086"}));
    EXPECT_TRUE(app.m_vecSendResults.empty()) << "only the command collects";
}

TEST_F(NoModemTest, ArgumentOutcomesOnAMachineWithoutPorts)
{
    const struct {
        std::vector<std::string> args;
        int outcome;
    } cases[] = {
        {{"tellmar", "sms"}, 2},
        {{"tellmar", "1", "2", "3", "4"}, 2},
        {{"tellmar", "183 0000", "text"}, 1},
        {{"tellmar", "3", "18300000000;x", "text"}, 1},
        {{"tellmar", "COM3", "18300000000", "text"}, 0},
        {{"tellmar", "3", "18300000000", "text"}, 0},  // no such port
        {{"tellmar", "18300000000", "text"}, 3},       // no port at all: an empty run
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1] + " .. " + c.args.back());
        std::vector<std::string> args = c.args;
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        CApplication app;
        EXPECT_EQ(app.ParseSendArguments(static_cast<int>(args.size()), argv.data()), c.outcome);
        EXPECT_TRUE(app.m_vecSendResults.empty());
    }

    std::string program = "tellmar", numbers = "18300000000", text = "";
    char* argv[] = {program.data(), numbers.data(), text.data(), nullptr};
    CApplication app;
    testing::internal::CaptureStdout();
    app.RunSendCommand(3, argv);
    ConsoleFlush();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "{\n   \"code\" : 0,\n   \"message\" : \"param is ok\"\n}\n\n");
    EXPECT_TRUE(app.m_vecSendResults.empty());
}

TEST_F(NoModemTest, InboxOperationsOnUnusableDevices)
{
    // No driver: nothing is read, clearing fails.
    const COM_DEVICE_t unknown = Device("COM9", PHONE_TYPE_BASE, true);
    const INBOX_READ_t read = ReadInbox(unknown);
    EXPECT_FALSE(read.bHasDriver);
    EXPECT_FALSE(read.bMeRead || read.bSmRead || read.bMeComplete || read.bSmComplete);
    EXPECT_TRUE(read.vecMe.empty() && read.vecSm.empty());
    EXPECT_EQ("Not Corvel Device", read.strError);
    EXPECT_FALSE(ClearInbox(unknown));
    EXPECT_FALSE(ClearReadMessages(unknown, read));

    // A known model whose port does not open: the reason is the port's.
    const COM_DEVICE_t missing = Device("COM3", PHONE_TYPE_VELT_C, true);
    const INBOX_READ_t failed = ReadInbox(missing);
    EXPECT_TRUE(failed.bHasDriver);
    EXPECT_FALSE(failed.bMeRead || failed.bSmRead);
    EXPECT_TRUE(failed.errors.bPortError);
    EXPECT_EQ(failed.errors.strPortError.rfind("Code:2   ", 0), 0u) << failed.errors.strPortError;
    EXPECT_EQ("Code:2   No such file or directory", failed.strError);
    EXPECT_FALSE(ClearInbox(missing));
    EXPECT_FALSE(ClearReadMessages(missing, failed));
}

}  // namespace
