// A serial port under Wine, linked to a simulated M35 that answers at 9600.
// scripts/ci/windows.sh registers it and names it in TELLMAR_WINE_TEST_PORT
// ("COM5"); without that variable these checks are skipped.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/port_map.h"
#include "platform/serial_device.h"

namespace {

class SerialLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* name = std::getenv("TELLMAR_WINE_TEST_PORT");
        if (name == nullptr || *name == '\0') {
            GTEST_SKIP() << "TELLMAR_WINE_TEST_PORT names no simulated port";
        }
        for (const COM_PORT_t& port : ListComPorts()) {
            if (port.strName == name) {
                m_port = port;
            }
        }
        ASSERT_FALSE(m_port.strNode.empty()) << name << " is not in the registry's list";
    }

    // The answer to a command, read until "OK" comes or two seconds pass.
    std::string Exchange(CSerialDevice& device, const std::string& command)
    {
        EXPECT_EQ(0, device.Write(command));
        std::string reply;
        for (int i = 0; i < 20 && reply.find("OK") == std::string::npos; ++i) {
            EXPECT_EQ(0, device.ReadAvailable(reply, 512, 100));
        }
        return reply;
    }

    COM_PORT_t m_port;
};

TEST_F(SerialLineTest, ACommandIsAnsweredThroughTheConfiguredLine)
{
    CSerialDevice device;
    ASSERT_EQ(0, device.Open(m_port));
    ASSERT_EQ(0, device.Configure(9600, SERIAL_TIMEOUTS_t{100, 500, 1, 100, 1}));
    EXPECT_NE(std::string::npos, Exchange(device, "AT\r").find("OK"));

    // A read with the configured time-outs ends after the quiet gap with
    // the whole reply, and on a silent line with nothing.
    ASSERT_EQ(0, device.Write("ATI\r"));
    std::string reply;
    EXPECT_EQ(0, device.Read(reply, 512));
    EXPECT_NE(std::string::npos, reply.find("M35")) << reply;
    std::string silent;
    EXPECT_EQ(0, device.Read(silent, 16));
    EXPECT_EQ("", silent);
    EXPECT_EQ(0, device.Close());
}

TEST_F(SerialLineTest, AReadOfWhatHasArrivedDoesNotWaitForTheTimeOuts)
{
    CSerialDevice device;
    ASSERT_EQ(0, device.Open(m_port));
    // Time-outs far longer than the test: only the read that ignores them
    // can come back.
    ASSERT_EQ(0, device.Configure(9600, SERIAL_TIMEOUTS_t{60000, 60000, 0, 1000, 0}));
    std::string nothing;
    const DWORD before = GetTickCount();
    EXPECT_EQ(0, device.ReadAvailable(nothing, 512, 0));
    EXPECT_EQ("", nothing);
    EXPECT_NE(std::string::npos, Exchange(device, "AT\r").find("OK"));
    EXPECT_LT(GetTickCount() - before, 30000u);
}

TEST_F(SerialLineTest, CloseGivesBackTheLineSettingsFoundAtOpen)
{
    const HANDLE other = CreateFileA(m_port.strNode.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(other, &dcb));
    dcb.BaudRate = 19200;
    dcb.Parity = EVENPARITY;
    dcb.StopBits = TWOSTOPBITS;
    ASSERT_TRUE(SetCommState(other, &dcb));
    // What the device kept of it (a pseudo-terminal keeps no parity).
    DCB before{};
    before.DCBlength = sizeof before;
    ASSERT_TRUE(GetCommState(other, &before));
    ASSERT_EQ(19200u, before.BaudRate);
    CloseHandle(other);

    {
        CSerialDevice device;
        ASSERT_EQ(0, device.Open(m_port));
        ASSERT_EQ(0, device.Configure(115200, SERIAL_TIMEOUTS_t{}));
    }

    const HANDLE after = CreateFileA(m_port.strNode.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, after);
    DCB found{};
    found.DCBlength = sizeof found;
    ASSERT_TRUE(GetCommState(after, &found));
    EXPECT_EQ(before.BaudRate, found.BaudRate);
    EXPECT_EQ(before.ByteSize, found.ByteSize);
    EXPECT_EQ(before.Parity, found.Parity);
    EXPECT_EQ(before.StopBits, found.StopBits);
    // Leave the port as the other checks expect it.
    found.BaudRate = 9600;
    found.Parity = NOPARITY;
    found.StopBits = ONESTOPBIT;
    SetCommState(after, &found);
    CloseHandle(after);
}

}  // namespace
