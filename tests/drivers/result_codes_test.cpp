#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "drivers/result_codes.h"

namespace {

TEST(ResultTexts, EveryCodeAndTheOnesOutsideTheTable)
{
    const struct {
        int code;
        const char* en;
        const char* zh;
    } cases[] = {
        {0, "Succeed", "成功"},
        {1, "Failed Unknown Reason", "设备不AT"},
        {2, "Device Not AT", "设备不AT"},
        {3, "Not Corvel Device", "不是Corvel短信设备"},
        {4, "No SIM CARD In Device", "设备未插卡"},
        {5, "No Signal", "设备无信号"},
        {6, "No Such Port", "没有此端口"},
        {7, "Not Corvel Sms Device", "不是Corvel短信设备"},
        {8, "Unknown reason", "设备不AT"},
        {-1, "Unknown reason", "设备不AT"},
        {INT_MAX, "Unknown reason", "设备不AT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(ResultTextEn(c.code), c.en);
        EXPECT_EQ(ResultTextZh(c.code), c.zh);
    }
}

TEST(DeviceTypeName, EveryTypeAndTheOnesOutsideTheTable)
{
    const std::pair<int, const char*> cases[] = {
        {0, "PHONE_TYPE_UN_KNOWN"},
        {1, "TYPE_UNKNOWN"},
        {2, "VELT_B"},
        {3, "VELT-C-X"},
        {4, "VELT_D"},
        {5, "VELT_E"},
        {6, "VELT_F_X"},
        {7, "VELT_G"},
        {8, "TYPE_UNKNOWN"},
        {9, "TYPE_UNKNOWN"},
        {-1, "TYPE_UNKNOWN"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeviceTypeName(c.first), c.second) << c.first;
    }
}

}  // namespace
