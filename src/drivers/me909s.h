#pragma once
// Driver of the GSM modem built on the Huawei ME909s-821 module (device type 4):
// the SIM number comes from AT^ICCID?, and the module's unsolicited status
// reports are turned off at initialisation.

#include "drivers/phone_card_base.h"

class CMe909s : public CPhoneCardBase {
public:
    std::string SampleIdentity() override;
    bool ParseDial(std::string reply) override;
    std::string HangUpCommand() override;
    bool ParseHangUp(std::string reply) override;
    std::string IccidCommand() override;
    // The first complete "^ICCID: " line gives the number; without one the
    // query fails (2 only for an empty reply).
    PARSE_RESULT_t ParseIccid(std::string reply) override;
    int GetDeviceType() override;
    // The base list followed by "AT^CURC=0\r\n".
    std::vector<std::string> InitCommands() override;
};
