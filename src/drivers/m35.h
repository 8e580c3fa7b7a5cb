#pragma once
// Driver of the GSM modem built on the Quectel M35 module (device type 3).
// Besides the identification (its device type, whose identity text is the
// model's row in models.h) only the module's own command for the PIN
// attempts left differs from the base driver.

#include "drivers/phone_card_base.h"

class CM35 : public CPhoneCardBase {
public:
    PHONE_TYPE_t GetDeviceType() override;
    // The PIN attempts left: "AT+QTRPIN" answers "+QTRPIN: <pin1>,<pin2>,<puk1>,<puk2>".
    std::string PinAttemptsCommand() override;
    PARSE_RESULT_t ParsePinAttempts(std::string reply) override;
};
