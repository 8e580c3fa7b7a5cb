// The send command's rules: the time after the text, the code of a device
// that cannot be used.

#include <gtest/gtest.h>

#include <string>

#include "app/application.h"

namespace {

TEST(AppendSendTimeTest, ServiceNumbersGetTheTextAlone)
{
    const std::string time = "2026-05-12 13:28:56";
    EXPECT_EQ(AppendSendTime("hello", "10086", time), "hello");
    EXPECT_EQ(AppendSendTime("hello", "10010", time), "hello");
    EXPECT_EQ(AppendSendTime("hello", "18300000000", time), "hello 2026-05-12 13:28:56");
    EXPECT_EQ(AppendSendTime("hello", "+1234", time), "hello");
    EXPECT_EQ(AppendSendTime("hello", "100861", time), "hello 2026-05-12 13:28:56");
    EXPECT_EQ(AppendSendTime("", "18300000000", time), " 2026-05-12 13:28:56");
}

TEST(DeviceStatusCodeTest, FirstReasonThatApplies)
{
    COM_DEVICE_t complete;
    complete.bAT = true;
    complete.strSerialNo = "866000000000001";
    complete.strCardNo = "89860012345678901234";
    complete.strSignal = " 23,99";

    const struct {
        const char* name;
        void (*change)(COM_DEVICE_t&);
        COM_CMD_OPERATE_RESULT_t expected;
    } cases[] = {
        {"complete, unknown model", [](COM_DEVICE_t&) {}, CMD_RESULT_FOREIGN_DEVICE},
        {"port not found",
         [](COM_DEVICE_t& d) {
             d.bPortFound = false;
             d.bAT = false;
         },
         CMD_RESULT_NO_PORT},
        {"not AT",
         [](COM_DEVICE_t& d) {
             d.bAT = false;
             d.strSerialNo.clear();
         },
         CMD_RESULT_NOT_AT},
        {"no serial",
         [](COM_DEVICE_t& d) {
             d.strSerialNo.clear();
             d.strCardNo.clear();
         },
         CMD_RESULT_FOREIGN_SMS_DEVICE},
        {"no SIM",
         [](COM_DEVICE_t& d) {
             d.strCardNo.clear();
             d.strSignal.clear();
         },
         CMD_RESULT_NO_SIM},
        {"no signal", [](COM_DEVICE_t& d) { d.strSignal.clear(); }, CMD_RESULT_NO_SIGNAL},
        {"SIM PIN, no card number read",
         [](COM_DEVICE_t& d) {
             d.nSimLock = SIM_LOCK_PIN;
             d.strCardNo.clear();
         },
         CMD_RESULT_SIM_PIN},
        {"SIM PUK", [](COM_DEVICE_t& d) { d.nSimLock = SIM_LOCK_PUK; }, CMD_RESULT_SIM_PUK},
        {"not AT comes first",
         [](COM_DEVICE_t& d) {
             d.bAT = false;
             d.nSimLock = SIM_LOCK_PIN;
         },
         CMD_RESULT_NOT_AT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        COM_DEVICE_t device = complete;
        c.change(device);
        const COM_CMD_OPERATE_RESULT_t code = DeviceStatusCode(device);
        EXPECT_EQ(code, c.expected);
        EXPECT_NE(code, CMD_RESULT_SUCCEED);
    }
}

}  // namespace
