#pragma once
// What an earlier step leaves in a driver, made the way the program makes
// it: through the driver's own parsers, never by writing its members.

#include <string>

#include "drivers/phone_card_base.h"

// An error line that a failed step before left.
inline const std::string kEarlierError = "+CME ERROR: 99";

// Leaves `errorLine` (a line holding "ERROR" and no "OK") as the last error
// text, as a failed deletion or storage selection would.
inline void LeaveLastError(CPhoneCardBase& driver, const std::string& errorLine = kEarlierError)
{
    driver.ParseDeleteAll("\r\n" + errorLine + "\r\n");
}

// Leaves the retry flag set, as a body the network refused with 500 does
// (its error line becomes the last error text), or clear, as a new body does.
inline void LeaveRetryFlag(CPhoneCardBase& driver, bool retryable)
{
    driver.ParseSendBody(retryable ? "\r\n+CMS ERROR: 500\r\n" : "");
}

// Stores `centre` as the answer to a service-centre query does.
inline void LeaveServiceCentre(CPhoneCardBase& driver, const std::string& centre)
{
    driver.ParseServiceCentre("\r\n+CSCA: \"" + centre + "\",145\r\n\r\nOK\r\n");
}
