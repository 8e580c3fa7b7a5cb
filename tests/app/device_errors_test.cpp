// The one order in which a failed device's explanations are chosen.

#include <gtest/gtest.h>

#include <string>

#include "app/device_errors.h"
#include "drivers/result_codes.h"

namespace {

TEST(FailureReasonTest, FailedPortThenModemLineThenPortErrorThenNotAt)
{
    const std::string failed = "Code:5   Input/output error";
    const std::string busy = "Code:16   Device or resource busy";
    const std::string modem = "+CMS ERROR: 500";
    const struct {
        const char* name;
        DEVICE_ERRORS_t errors;
        std::string reason;
    } cases[] = {
        {"the port stopped working: an older modem line does not count",
         {true, modem, true, failed},
         failed},
        {"the modem's error line", {false, modem, true, busy}, modem},
        {"the port's last error", {false, "", true, busy}, busy},
        {"nothing said", {false, "", false, ""}, ResultTextZh(CMD_RESULT_NOT_AT)},
        {"an error flag without text is still the port's word", {false, "", true, ""}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FailureReason(c.errors), c.reason);
    }
}

}  // namespace
