#pragma once
// Why work on a device failed, as the user is told: the one order in which
// the port's and the driver's explanations are chosen, for the send command
// and the dialogues alike.

#include <string>

#include "drivers/phone_card_base.h"
#include "transport/at_port.h"

// What the port and the driver said when work on a device ended.
struct DEVICE_ERRORS_t {
    bool bPortFailed = false;    // the port stopped working
    std::string strDriverError;  // the driver's GetLastErrorText
    bool bPortError = false;     // the port's HasError, or it failed
    std::string strPortError;    // why the port failed, else its GetErrorText
};

// The explanations of `port` and of `driver` (none without a driver).
DEVICE_ERRORS_t DeviceErrors(CPhoneCardBase* driver, const CAtPort& port);

// The reason: a port that stopped working says so first (a driver's error
// text may be left from earlier work), then the modem's error line, then the
// port's last error, and "设备不AT" (ResultTextZh(CMD_RESULT_NOT_AT)) when
// none of them says anything.
std::string FailureReason(const DEVICE_ERRORS_t& errors);
