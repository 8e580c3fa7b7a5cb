#pragma once
// Driver of the GSM modem built on the Wavecom Q2406B module (device type 6).
// Only the identification differs from the base driver: its device type,
// whose identity text is the model's row in models.h.

#include "drivers/phone_card_base.h"

class CWavecomQ2406b : public CPhoneCardBase {
public:
    PHONE_TYPE_t GetDeviceType() override;
};
