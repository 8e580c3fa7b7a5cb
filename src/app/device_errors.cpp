#include "app/device_errors.h"

#include "drivers/result_codes.h"

DEVICE_ERRORS_t DeviceErrors(CPhoneCardBase* driver, const CAtPort& port)
{
    DEVICE_ERRORS_t errors;
    if (driver != nullptr) {
        errors.strDriverError = driver->GetLastErrorText();
    }
    errors.bPortFailed = port.IsFailed();
    errors.bPortError = port.HasError() || errors.bPortFailed;
    errors.strPortError = errors.bPortFailed ? port.FailureText() : port.GetErrorText();
    return errors;
}

std::string FailureReason(const DEVICE_ERRORS_t& errors)
{
    if (errors.bPortFailed) {
        return errors.strPortError;
    }
    if (!errors.strDriverError.empty()) {
        return errors.strDriverError;
    }
    if (errors.bPortError) {
        return errors.strPortError;
    }
    return ResultTextZh(CMD_RESULT_NOT_AT);
}
