#pragma once
// Driver of the GSM modem built on the Wavecom Q2406B module (device type 6).
// Only the identification differs from the base driver.

#include "drivers/phone_card_base.h"

class CPhone_VeltF : public CPhoneCardBase {
public:
    std::string SampleIdentity() override;
    // True when the reply names "WAVECOM".
    bool MatchIdentity(std::string reply) override;
    int GetDeviceType() override;
};
