#pragma once
// Driver of the GSM modem built on the Huawei MG301 module (device type 5).
// Besides the identification (its device type, whose identity text is the
// model's row in models.h) only the module's own command for the PIN
// attempts left differs from the base driver.

#include "drivers/phone_card_base.h"

class CMg301 : public CPhoneCardBase {
public:
    PHONE_TYPE_t GetDeviceType() override;
    // The PIN attempts left: "AT^CPIN?" answers "^CPIN:
    // <code>,[<times>],<puk>,<pin>,<puk2>,<pin2>".
    std::string PinAttemptsCommand() override;
    PARSE_RESULT_t ParsePinAttempts(std::string reply) override;
    // The module takes <mode> 1 and <ds> 0 or 1 only (+CDS lines, no
    // storage for reports): those first.
    std::vector<std::string> IndicationCommands() override;
};
