#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "drivers/result_codes.h"
#include "iconv/text_literal.h"

namespace {

TEST(ResultTexts, EveryCodeAndTheOnesOutsideTheTable)
{
    const struct {
        int code;
        const char* en;
        std::string zh;
    } cases[] = {
        {0, "Succeed", GB("成功")},
        {1, "Failed Unknown Reason", GB("设备不AT")},
        {2, "Device Not AT", GB("设备不AT")},
        {3, "Not Corvel Device", GB("不是Corvel短信设备")},
        {4, "No SIM CARD In Device", GB("设备未插卡")},
        {5, "No Signal", GB("设备无信号")},
        {6, "No Such Port", GB("没有此端口")},
        {7, "Not Corvel Sms Device", GB("不是Corvel短信设备")},
        {8, "SIM PIN required", GB("SIM卡需要PIN码")},
        {9, "SIM PUK required", GB("SIM卡需要PUK码")},
        {10, "No PIN required", GB("SIM卡不需要PIN码")},
        {11, "USSD not supported by the CDMA model", GB("CDMA设备不支持USSD")},
        {12, "Unknown reason", GB("设备不AT")},
        {-1, "Unknown reason", GB("设备不AT")},
        {INT_MAX, "Unknown reason", GB("设备不AT")},
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
        EXPECT_EQ(DeviceTypeName(static_cast<PHONE_TYPE_t>(c.first)), c.second) << c.first;
    }
}

}  // namespace
