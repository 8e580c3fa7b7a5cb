#pragma once
// Driver of the GSM modem built on the Huawei ME909s-821 module (device type 4):
// the module's unsolicited status reports are turned off at initialisation,
// and it tells the PIN attempts left in its own command.

#include "drivers/phone_card_base.h"

class CMe909s : public CPhoneCardBase {
public:
    PHONE_TYPE_t GetDeviceType() override;
    // The PIN attempts left: "AT^CPIN?" answers "^CPIN:
    // <code>,[<times>],<puk>,<pin>,<puk2>,<pin2>".
    std::string PinAttemptsCommand() override;
    PARSE_RESULT_t ParsePinAttempts(std::string reply) override;
    // The base list followed by "AT^CURC=0\r\n".
    std::vector<std::string> InitCommands() override;
    // Huawei modules advertise <mode> 2 and refuse it, and lose the status
    // reports they would keep in "SR": <mode> 1 and +CDS lines first.
    std::vector<std::string> IndicationCommands() override;
};
