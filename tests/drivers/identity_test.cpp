#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "drivers/clm920_nc5.h"
#include "drivers/m35.h"
#include "drivers/mc323.h"
#include "drivers/me909s.h"
#include "drivers/mg301.h"
#include "drivers/models.h"
#include "drivers/wavecom_q2406b.h"

namespace {

// One driver of each model, in the order discovery asks them.
std::vector<std::unique_ptr<CPhoneCardBase>> Models()
{
    std::vector<std::unique_ptr<CPhoneCardBase>> models;
    for (std::size_t i = 0; i < kModelCount; ++i) {
        if (kModels[i].create != nullptr) {
            models.emplace_back(CreatePhoneCard(kModels[i].nType));
        }
    }
    return models;
}

TEST(MatchIdentity, EverySampleAgainstEveryModel)
{
    auto models = Models();
    const int expectedTypes[] = {PHONE_TYPE_VELT_C, PHONE_TYPE_VELT_B, PHONE_TYPE_VELT_D,
                                 PHONE_TYPE_VELT_E, PHONE_TYPE_VELT_F, PHONE_TYPE_VELT_G};
    CPhoneCardBase base;
    for (std::size_t s = 0; s < models.size(); ++s) {
        const std::string sample = models[s]->SampleIdentity();
        EXPECT_EQ(models[s]->GetDeviceType(), expectedTypes[s]);
        // The base driver takes anything that answered "OK".
        EXPECT_TRUE(base.MatchIdentity(sample));
        for (std::size_t m = 0; m < models.size(); ++m) {
            EXPECT_EQ(models[m]->MatchIdentity(sample), s == m)
                << DeviceTypeName(models[m]->GetDeviceType()) << " on the sample of "
                << DeviceTypeName(models[s]->GetDeviceType());
        }
        EXPECT_EQ(IdentifyDeviceType(sample), expectedTypes[s]);
    }
}

TEST(MatchIdentity, RepliesAsModulesSendThem)
{
    const std::pair<std::string, int> cases[] = {
        // Without "OK" the Yuga module is not accepted, and no other model
        // names it.
        {"\r\nModel: CLM920_NC5\r\n", PHONE_TYPE_UN_KNOWN},
        {"\r\nQuectel_M35\r\nRevision: M35FBR02A03\r\n", PHONE_TYPE_VELT_C},
        // The M35 model is asked first, so a reply naming both goes to it.
        {"\r\nQuectel_M35 CLM920_NC5\r\n\r\nOK\r\n", PHONE_TYPE_VELT_C},
        {"ATI\r\r\nModel:MC323-a\r\n", PHONE_TYPE_VELT_G},
        {"\r\n wavecom modem\r\n\r\nOK\r\n", PHONE_TYPE_UN_KNOWN},
        {"\r\nModel: me909s-821\r\n\r\nOK\r\n", PHONE_TYPE_UN_KNOWN},
        {"\r\nSIMCOM_SIM800\r\n\r\nOK\r\n", PHONE_TYPE_UN_KNOWN},
        {"", PHONE_TYPE_UN_KNOWN},
        {std::string("\0MG301\0", 7), PHONE_TYPE_VELT_E},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IdentifyDeviceType(c.first), c.second) << testing::PrintToString(c.first);
    }
}

TEST(DeviceType, TextBodyCarriesTheTypeName)
{
    const std::pair<std::unique_ptr<CPhoneCardBase>, std::string> cases[] = {
        {std::make_unique<CPhoneCardBase>(), "TYPE_UNKNOWN"},
        {std::make_unique<CClm920Nc5>(), "VELT_B"},
        {std::make_unique<CM35>(), "VELT-C-X"},
        {std::make_unique<CMe909s>(), "VELT_D"},
        {std::make_unique<CMg301>(), "VELT_E"},
        {std::make_unique<CWavecomQ2406b>(), "VELT_F_X"},
        {std::make_unique<CMc323>(), "VELT_G"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.first->TextBodyCommand("hi"), "hi " + c.second + "\r\x1A");
    }
}

TEST(CreatePhoneCardTest, ModelClassPerTypeAndNoneOutside)
{
    for (int type = -1; type <= 9; ++type) {
        SCOPED_TRACE(type);
        std::unique_ptr<CPhoneCardBase> driver(CreatePhoneCard(type));
        if (type >= 2 && type <= 7) {
            ASSERT_NE(driver, nullptr);
            EXPECT_EQ(driver->GetDeviceType(), type);
        } else {
            EXPECT_EQ(driver, nullptr);
        }
    }
}

}  // namespace
