#pragma once
// Driver of the GSM modem built on the Huawei MG301 module (device type 5).
// Only the identification differs from the base driver.

#include "drivers/phone_card_base.h"

class CPhone_VeltE : public CPhoneCardBase {
public:
    std::string SampleIdentity() override;
    // True when the reply names "MG301".
    bool MatchIdentity(std::string reply) override;
    int GetDeviceType() override;
};
