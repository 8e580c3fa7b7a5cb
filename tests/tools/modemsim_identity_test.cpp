// Each simulated model must be recognised as that model by the port probe's
// identification walk and by discovery's MatchIdentity order, from the
// replies it actually sends.

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "sim_line.h"
#include "support/modem_sim.h"

namespace {

bool Has(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

struct ProbeOutcome {
    int model = 0;
    std::string label;
};

// The probe's identification walk over the modem's replies.
ProbeOutcome ProbeIdentify(SimLine& line)
{
    ProbeOutcome outcome;
    line.Command("ATI\r");
    std::string current = line.Command("AT+CGMI\r");
    if (Has(current, "HUAWEI")) {
        current = line.Command("AT+CGMM\r");
        if (Has(current, "OK") && Has(current, "MG301"))
            return {1, "HuaWeiMG301"};
        if (Has(current, "OK") && Has(current, "MC323"))
            return {3, "HuaWeiMC323"};
    }
    if (Has(current, "Huawei")) {
        current = line.Command("AT+CGMM\r");
        if (Has(current, "OK") && Has(current, "ME909s-821"))
            return {6, "HuaWeiME909s"};
    }
    if (Has(current, "Yuga")) {
        current = line.Command("AT+CGMM\r");
        if (Has(current, "OK") && Has(current, "CLM920_NC5"))
            return {7, "CLM920_NC5"};
    }
    std::string ati3 = line.Command("ATI3\r");
    if (Has(ati3, "WISMOQ"))
        return {4, "WISMOQ"};
    if (Has(ati3, "Q2406B"))
        return {5, "Q2406B"};
    std::size_t dot = ati3.find('.');
    if (dot != std::string::npos)
        return {-1, ati3.substr(dot + 1, 5)};
    if (Has(line.Command("ATI\r"), "SIEMENS"))
        outcome.model = 2;
    return outcome;
}

// Discovery offers the ATI reply to the models in this order.
int DeviceTypeFor(const std::string& ati)
{
    if (Has(ati, "M35"))
        return 3;
    if (Has(ati, "CLM920_NC5") && Has(ati, "OK"))
        return 2;
    if (Has(ati, "ME909s-821"))
        return 4;
    if (Has(ati, "MG301"))
        return 5;
    if (Has(ati, "WAVECOM"))
        return 6;
    if (Has(ati, "MC323"))
        return 7;
    return 0;
}

struct IdentityCase {
    const char* model;
    int probeModel;
    const char* label;
    int deviceType;
    const char* iccidCommand;
};

class ModelIdentity : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(ModelIdentity, ProbeAndDiscoveryFindTheModel)
{
    const IdentityCase& c = GetParam();
    ModemSim sim(std::string(R"({"ports":[{"com":3,"model":")") + c.model +
                 R"(","imei":"866104020000003","iccid":"89860012345678901234"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(3), B9600));
    EXPECT_TRUE(Has(line.Command("AT\r"), "OK"));
    line.Command("ATE0\r");

    ProbeOutcome outcome = ProbeIdentify(line);
    EXPECT_EQ(outcome.model, c.probeModel);
    EXPECT_EQ(outcome.label, c.label);
    EXPECT_EQ(DeviceTypeFor(line.Command("ATI\r")), c.deviceType);

    std::string card = line.Command(c.iccidCommand);
    EXPECT_TRUE(Has(card, "CCID")) << card;
    EXPECT_TRUE(Has(card, ": ") && Has(card, "89860012345678901234")) << card;
    if (c.deviceType != 7) {
        EXPECT_TRUE(Has(line.Command("AT+CGSN\r"), "866104020000003"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Models, ModelIdentity,
    ::testing::Values(IdentityCase{"M35", -1, "02\r\n\r", 3, "AT+CCID\r"},
                      IdentityCase{"CLM920_NC5", 7, "CLM920_NC5", 2, "AT+CCID\r"},
                      IdentityCase{"ME909s-821", 6, "HuaWeiME909s", 4, "AT^ICCID?\r"},
                      IdentityCase{"MG301", 1, "HuaWeiMG301", 5, "AT^ICCID?\r"},
                      IdentityCase{"Q2406B", 5, "Q2406B", 6, "AT+CCID\r"},
                      IdentityCase{"MC323", 3, "HuaWeiMC323", 7, "AT+CCID\r"},
                      IdentityCase{"unknown", 0, "", 0, "AT+CCID\r"}),
    [](const ::testing::TestParamInfo<IdentityCase>& info) {
        std::string name;
        for (const char* p = info.param.model; *p; ++p) {
            if (std::isalnum(static_cast<unsigned char>(*p)))
                name += *p;
        }
        return name;
    });

TEST(ModelIdentity, ConfiguredRepliesReplaceTheModels)
{
    ModemSim sim(
        R"({"ports":[{"com":2,"model":"unknown","ati":"\r\nSIEMENS MC35i\r\n\r\nOK\r\n"}]})");
    ASSERT_TRUE(sim.Start()) << sim.LastError();
    SimLine line;
    ASSERT_TRUE(line.Open(sim.PortPath(2), B115200));
    line.Command("ATE0\r");
    EXPECT_EQ(ProbeIdentify(line).model, 2);
}

}  // namespace
