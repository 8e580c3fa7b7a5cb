#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "drivers/models.h"
#include "drivers/phone_card_base.h"
#include "support/fixture_text.h"

namespace {

// Each model with its recorded "ATI" reply, in the order discovery asks them.
const std::pair<PHONE_TYPE_t, const char*> kIdentities[] = {
    {PHONE_TYPE_VELT_C, "drivers/m35/identity.txt"},
    {PHONE_TYPE_VELT_B, "drivers/clm920_nc5/identity.txt"},
    {PHONE_TYPE_VELT_D, "drivers/me909s/identity.txt"},
    {PHONE_TYPE_VELT_E, "drivers/mg301/identity.txt"},
    {PHONE_TYPE_VELT_F, "drivers/wavecom_q2406b/identity.txt"},
    {PHONE_TYPE_VELT_G, "drivers/mc323/identity.txt"},
};

TEST(MatchIdentity, EveryRecordedReplyAgainstEveryModel)
{
    std::vector<PHONE_TYPE_t> asked;
    for (const MODEL_t& model : kModels) {
        if (model.create != nullptr) {
            asked.push_back(model.nType);
        }
    }
    std::vector<PHONE_TYPE_t> expected;
    for (const auto& identity : kIdentities) {
        expected.push_back(identity.first);
    }
    EXPECT_EQ(asked, expected);

    CPhoneCardBase base;
    for (const auto& identity : kIdentities) {
        const std::string reply = LoadFixture(identity.second);
        SCOPED_TRACE(identity.second);
        // The base driver takes anything that answered "OK".
        EXPECT_TRUE(base.MatchIdentity(reply));
        for (const auto& model : kIdentities) {
            const std::unique_ptr<CPhoneCardBase> driver = CreatePhoneCard(model.first);
            ASSERT_NE(driver, nullptr);
            EXPECT_EQ(driver->MatchIdentity(reply), model.first == identity.first)
                << DeviceTypeName(model.first);
        }
        EXPECT_EQ(IdentifyDeviceType(reply), identity.first);
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

TEST(CreatePhoneCardTest, ModelClassPerTypeAndNoneOutside)
{
    for (int type = -1; type <= 9; ++type) {
        SCOPED_TRACE(type);
        const std::unique_ptr<CPhoneCardBase> driver =
            CreatePhoneCard(static_cast<PHONE_TYPE_t>(type));
        if (type >= 2 && type <= 7) {
            ASSERT_NE(driver, nullptr);
            EXPECT_EQ(driver->GetDeviceType(), type);
        } else {
            EXPECT_EQ(driver, nullptr);
        }
    }
}

}  // namespace
