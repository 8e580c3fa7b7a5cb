// A port that another program holds. Windows refuses the second open with
// ERROR_ACCESS_DENIED (5); Wine lets it succeed, so the open call is stood
// in for here and everything above it runs as on Windows.

#include <gtest/gtest.h>

#include <windows.h>

#include "app/application.h"
#include "app/json_documents.h"
#include "platform/serial_device.h"
#include "platform/win32/port_open.h"
#include "scan/port_scan.h"
#include "transport/com_port.h"

namespace {

HANDLE HeldByAnotherProgram(const char*)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

// A port as the registry lists it.
COM_PORT_t Listed(const char* name)
{
    COM_PORT_t port = PortNamed(name);
    port.strNode = port.strPath;
    return port;
}

class HeldPortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_saved = PortOpenCall();
        PortOpenCall() = HeldByAnotherProgram;
    }
    void TearDown() override { PortOpenCall() = m_saved; }

private:
    PORT_OPEN_CALL_t m_saved = nullptr;
};

TEST_F(HeldPortTest, ThePortStaysClosedWithCode5AndTheSystemsText)
{
    CSerialDevice device;
    EXPECT_EQ(ERROR_ACCESS_DENIED, device.Open(Listed("COM5")));
    EXPECT_FALSE(device.IsOpen());

    CComPortBase port(Listed("COM5"), 9600);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.HasError());
    EXPECT_EQ(5, port.GetErrorCode());
    const std::string text = FormatSystemError(5);
    EXPECT_EQ("Code:5   " + text, port.GetErrorText());
    // The system's own text, not the undefined one, with its line end.
    ASSERT_GT(text.size(), 2u);
    EXPECT_EQ("\r\n", text.substr(text.size() - 2));
    EXPECT_EQ(std::string::npos, text.find("(5)}"));
}

TEST_F(HeldPortTest, TheScanShowsThePortAsUnusable)
{
    const COM_CHECK_RESULT_t record = ProbePort(Listed("COM5"), SCAN_OPTIONS_t{});
    EXPECT_EQ("COM5", record.port.strName);
    EXPECT_FALSE(record.bOpen);
    EXPECT_FALSE(record.bAT);
    EXPECT_EQ("", record.strBaud);
    EXPECT_FALSE(record.hCom);
}

TEST_F(HeldPortTest, ASendThroughItFailsWithThePortsError)
{
    COM_DEVICE_t device;
    device.port = Listed("COM5");
    device.nDeviceType = PHONE_TYPE_VELT_C;
    device.bAT = true;
    device.strCardNo = "89860012345678901234";
    device.strSignal = "23,99";
    device.strSerialNo = "866000000000005";

    CApplication app;
    app.CollectSendResults({device}, {"13800138000"}, "hello");
    ASSERT_EQ(1u, app.m_vecSendResults.size());
    const SEND_RESULT_t& result = app.m_vecSendResults[0];
    EXPECT_EQ(CMD_RESULT_FAILED, result.nResult);
    EXPECT_EQ("Code:5   " + FormatSystemError(5), result.strMessage);
    const Json::Value element = SendResultElement(result);
    EXPECT_EQ("COM5", element["com"].asString());
    EXPECT_EQ(1, element["code"].asInt());
    EXPECT_EQ(0u, element["message"].asString().rfind("Code:5   ", 0));

    const INBOX_READ_t read = ReadInbox(device);
    EXPECT_TRUE(read.errors.bPortError);
    EXPECT_EQ("Code:5   " + FormatSystemError(5), read.errors.strPortError);
    EXPECT_FALSE(ClearInbox(device));
}

// A COM number beyond the registry's list has no node: no system call is
// made and the error is "no such file"; a node the system lacks says the same.
TEST(MissingPortTest, ANumberBeyondTheListIsCode2)
{
    struct CASE_t {
        const char* what;
        COM_PORT_t port;
    };
    const CASE_t cases[] = {
        {"not listed", PortNamed("COM199")},
        {"listed, not there", Listed("COM198")},
    };
    for (const CASE_t& c : cases) {
        SCOPED_TRACE(c.what);
        CComPortBase port(c.port, 9600);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, port.GetErrorCode());
        EXPECT_EQ("Code:2   " + FormatSystemError(2), port.GetErrorText());
        std::string target = "kept";
        EXPECT_FALSE(port.Read(target));
        EXPECT_EQ("kept", target);
        EXPECT_FALSE(port.Write("AT\r"));
        EXPECT_EQ(ERROR_INVALID_HANDLE, port.GetErrorCode());
    }
}

TEST(SystemErrorTextTest, UnknownCodesGetTheUndefinedText)
{
    // "{未定义错误描述(1879048191)}" in the internal code page.
    EXPECT_EQ("{\xCE\xB4\xB6\xA8\xD2\xE5\xB4\xED\xCE\xF3\xC3\xE8\xCA\xF6(1879048191)}",
              FormatSystemError(0x6FFFFFFF));
    SetLastSystemError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FormatSystemError(2), FormatSystemError(0));
}

}  // namespace
