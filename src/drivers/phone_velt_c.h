#pragma once
// Driver of the GSM modem built on the Quectel M35 module (device type 3).
// Only the identification differs from the base driver.

#include "drivers/phone_card_base.h"

class CPhone_VeltC : public CPhoneCardBase {
public:
    std::string SampleIdentity() override;
    // True when the reply names "M35".
    bool MatchIdentity(std::string reply) override;
    int GetDeviceType() override;
};
