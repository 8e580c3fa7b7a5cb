#pragma once
// Driver of the GSM modem built on the Huawei MG301 module (device type 5).
// Only the identification differs from the base driver: its device type,
// whose identity text is the model's row in models.h.

#include "drivers/phone_card_base.h"

class CMg301 : public CPhoneCardBase {
public:
    PHONE_TYPE_t GetDeviceType() override;
};
