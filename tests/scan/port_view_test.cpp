// What the scan found on each port, as the table and the ports document show it.

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "scan/port_view.h"

namespace {

const char* const kM35Ati =
    "ATI\r\r\nQuectel_Ltd\r\nQuectel_M35\r\nRevision: M35FBR02A03\r\n\r\nOK\r\n";

// A complete M35 on COM<com>, as the probe leaves it (values not trimmed).
COM_CHECK_RESULT_t Modem(int com, const std::string& imei = "866123450000001",
                         const std::string& iccid = "89860012345678901234")
{
    COM_CHECK_RESULT_t record;
    record.port = PortNamed("COM" + std::to_string(com));
    record.bOpen = true;
    record.bAT = true;
    record.strBaud = "9600";
    record.strATI = kM35Ati;
    record.strSerialNo = imei;
    record.strCardNo = " \"" + iccid + "\"";
    record.strSignal = " 23,99";
    record.strOperator = " 0,0,\"CHINA MOBILE\",7";
    return record;
}

// The record of the same port when it did not open.
void NotOpened(COM_CHECK_RESULT_t& record, int code)
{
    COM_CHECK_RESULT_t closed;
    closed.port = record.port;
    closed.nOpenError = code;
    record = closed;
}

TEST(PortViewOfTest, StatesInTheOrderOfTheStatusCodesWithTheirReasons)
{
    const struct {
        const char* what;
        void (*change)(COM_CHECK_RESULT_t&);
        PORT_STATE_t state;
        const char* text;
        const char* reason;
    } cases[] = {
        {"complete", [](COM_CHECK_RESULT_t&) {}, PORT_STATE_USABLE, "usable", ""},
        {"busy", [](COM_CHECK_RESULT_t& r) { NotOpened(r, EBUSY); }, PORT_STATE_BUSY, "busy",
         "Code:16   Device or resource busy"},
        {"gone", [](COM_CHECK_RESULT_t& r) { NotOpened(r, ENOENT); }, PORT_STATE_NOT_FOUND,
         "not found", "Code:2   No such file or directory"},
        {"refused", [](COM_CHECK_RESULT_t& r) { NotOpened(r, EACCES); }, PORT_STATE_NO_ACCESS,
         "no access", "Code:13   Permission denied"},
        {"no terminal", [](COM_CHECK_RESULT_t& r) { NotOpened(r, ENOTTY); }, PORT_STATE_NOT_OPENED,
         "not opened", "Code:25   Inappropriate ioctl for device"},
        {"not opened, no code kept", [](COM_CHECK_RESULT_t& r) { NotOpened(r, 0); },
         PORT_STATE_NOT_OPENED, "not opened", "not opened"},
        {"silent",
         [](COM_CHECK_RESULT_t& r) {
             r.bAT = false;
             r.strSerialNo.clear();
         },
         PORT_STATE_NOT_AT, "not AT", "no answer"},
        // No serial number comes before no SIM, as code 7 before code 4.
        {"no serial",
         [](COM_CHECK_RESULT_t& r) {
             r.strSerialNo.clear();
             r.strCardNo.clear();
         },
         PORT_STATE_NO_SERIAL, "no serial number", "no serial number"},
        // A locked SIM comes before the fields it keeps from being read, as
        // codes 8 and 9 before 4 and 5.
        {"SIM PIN",
         [](COM_CHECK_RESULT_t& r) {
             r.strPinState = "SIM PIN";
             r.strSignal.clear();
         },
         PORT_STATE_SIM_PIN, "SIM PIN", "SIM PIN required"},
        {"SIM PUK, no card number read",
         [](COM_CHECK_RESULT_t& r) {
             r.strPinState = "SIM PUK";
             r.strCardNo.clear();
         },
         PORT_STATE_SIM_PUK, "SIM PUK", "SIM PUK required"},
        {"ready", [](COM_CHECK_RESULT_t& r) { r.strPinState = "READY"; }, PORT_STATE_USABLE,
         "usable", ""},
        {"the second PIN is no lock of ours",
         [](COM_CHECK_RESULT_t& r) { r.strPinState = "SIM PIN2"; }, PORT_STATE_USABLE, "usable",
         ""},
        {"no serial, locked",
         [](COM_CHECK_RESULT_t& r) {
             r.strSerialNo.clear();
             r.strPinState = "SIM PIN";
         },
         PORT_STATE_NO_SERIAL, "no serial number", "no serial number"},
        {"no SIM", [](COM_CHECK_RESULT_t& r) { r.strCardNo.clear(); }, PORT_STATE_NO_SIM, "no SIM",
         "no SIM card"},
        {"no signal", [](COM_CHECK_RESULT_t& r) { r.strSignal.clear(); }, PORT_STATE_NO_SIGNAL,
         "no signal", "no signal"},
        {"unknown model", [](COM_CHECK_RESULT_t& r) { r.strATI = "\r\nACME 1\r\n\r\nOK\r\n"; },
         PORT_STATE_UNKNOWN_MODEL, "unknown model", "unknown model"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        COM_CHECK_RESULT_t record = Modem(3);
        c.change(record);
        const PORT_VIEW_t view = PortViewOf(record);
        EXPECT_EQ(view.nState, c.state);
        EXPECT_STREQ(PortStateText(view.nState), c.text);
        EXPECT_EQ(view.strReason, c.reason);
        // A locked SIM's modem is worked, so that the commands name the lock.
        EXPECT_EQ(view.bComplete,
                  c.state == PORT_STATE_USABLE || c.state == PORT_STATE_UNKNOWN_MODEL ||
                      c.state == PORT_STATE_SIM_PIN || c.state == PORT_STATE_SIM_PUK);
        EXPECT_EQ(view.strBaud.empty(), !record.bOpen);
    }
}

TEST(PortViewOfTest, ValuesAsTheTableShowsThemAndTheModelsModule)
{
    const PORT_VIEW_t view = PortViewOf(Modem(3));
    EXPECT_EQ(view.strImei, "866123450000001");
    EXPECT_EQ(view.strIccid, "89860012345678901234");
    EXPECT_EQ(view.strSignal, "23,99");
    EXPECT_EQ(view.strOperator, "CHINA MOBILE");
    EXPECT_EQ(view.strModel, "Quectel M35");
    EXPECT_EQ(view.strBaud, "9600");

    COM_CHECK_RESULT_t unregistered = Modem(3);
    unregistered.strOperator = " 0";
    EXPECT_EQ(PortViewOf(unregistered).strOperator, "");
    // A module the scan knows but no driver works keeps its name.
    COM_CHECK_RESULT_t wismo = Modem(3);
    wismo.strATI = "\r\nWISMOQ\r\n\r\nOK\r\n";
    wismo.nModel = PHONE_TYPE_WISMOQ;
    EXPECT_EQ(PortViewOf(wismo).strModel, "Wavecom WISMO Quik");
    EXPECT_EQ(PortViewOf(wismo).nState, PORT_STATE_UNKNOWN_MODEL);
}

TEST(PortViewsTest, OneModemOnSeveralPortsIsUsedThroughItsFirstCompletePort)
{
    std::vector<COM_CHECK_RESULT_t> records = {
        Modem(3),
        Modem(4),
        Modem(5),
        Modem(6, "866123450000001", "89860099999999999999"),  // another card
        Modem(7, "866000000000007"),
        Modem(8, ""),  // no serial number: never grouped
        Modem(9, ""),
    };
    records[0].strSignal.clear();  // COM3 is not complete: COM4 is used
    const std::vector<PORT_VIEW_t> views = PortViews(records);
    ASSERT_EQ(views.size(), records.size());
    const struct {
        PORT_STATE_t state;
        const char* sameModem;
    } expected[] = {
        {PORT_STATE_SAME_MODEM, "COM4"}, {PORT_STATE_USABLE, ""}, {PORT_STATE_SAME_MODEM, "COM4"},
        {PORT_STATE_USABLE, ""},         {PORT_STATE_USABLE, ""}, {PORT_STATE_NO_SERIAL, ""},
        {PORT_STATE_NO_SERIAL, ""},
    };
    for (std::size_t i = 0; i < views.size(); ++i) {
        SCOPED_TRACE(views[i].port.strName);
        EXPECT_EQ(views[i].nState, expected[i].state);
        EXPECT_EQ(views[i].strSameModem, expected[i].sameModem);
    }
    EXPECT_EQ(views[2].strReason, "same modem as COM4");
    EXPECT_TRUE(SameModem(views[1], views[2]));
    EXPECT_FALSE(SameModem(views[1], views[3]));
    EXPECT_FALSE(SameModem(views[5], views[6]));

    // None complete: the first port of the modem stands for it.
    records[1].strCardNo.clear();
    records[2].strCardNo.clear();
    records[0].strCardNo.clear();
    const std::vector<PORT_VIEW_t> noSim = PortViews(records);
    EXPECT_EQ(noSim[0].nState, PORT_STATE_NO_SIM);
    EXPECT_EQ(noSim[1].strSameModem, "COM3");
    EXPECT_EQ(noSim[2].strSameModem, "COM3");
}

}  // namespace
