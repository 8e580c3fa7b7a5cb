#pragma once
// What the scan found on each port, as the user is shown it: the values the
// port table prints, the model, and the port's state with its reason. The
// port table and the ports document are both rendered from these views, and
// the commands take from them why a port was not used.
//
// One modem that answers on two ports (USB modems expose several, and more
// than one may answer AT) is one modem: ports whose probe read the same
// serial number (IMEI) and the same SIM card number are grouped, and every
// port of a group but one shows as the same modem as that one. A port
// without serial number is never grouped.

#include <string>
#include <vector>

#include "codec/sim_pin.h"
#include "drivers/result_codes.h"
#include "platform/port.h"
#include "scan/check_result.h"

enum PORT_STATE_t {
    PORT_STATE_USABLE,         // known model, serial number, SIM card and signal
    PORT_STATE_SAME_MODEM,     // the modem of another port, used through that one
    PORT_STATE_BUSY,           // another program holds the port
    PORT_STATE_NOT_FOUND,      // no such port, or its device went away
    PORT_STATE_NO_ACCESS,      // this user may not open it
    PORT_STATE_NOT_OPENED,     // it did not open for another reason
    PORT_STATE_NOT_AT,         // nothing answered "AT"
    PORT_STATE_NO_SERIAL,      // a modem that gave no serial number
    PORT_STATE_SIM_PIN,        // the SIM waits for its PIN
    PORT_STATE_SIM_PUK,        // the SIM is blocked and waits for its PUK
    PORT_STATE_NO_SIM,         // a modem without SIM card (no card number read)
    PORT_STATE_NO_SIGNAL,      // a modem that reported no signal
    PORT_STATE_UNKNOWN_MODEL,  // a complete modem of no model a driver works
};

// The state as the ports document writes it: "usable", "same modem", "busy",
// "not found", "no access", "not opened", "not AT", "no serial number",
// "SIM PIN", "SIM PUK", "no SIM", "no signal", "unknown model".
const char* PortStateText(PORT_STATE_t state);

struct PORT_VIEW_t {
    COM_PORT_t port;
    bool bOpen = false;
    bool bAT = false;
    std::string strBaud;  // the rate the scan left the port at; empty when it did not open
    // The module of the model discovery recognises in the "ATI" reply, else
    // of the one the scan recognised ("Quectel M35"); empty for none.
    std::string strModel;
    // The scan's values, quotes and blanks around them removed as the port
    // table shows them (CleanPortFields).
    std::string strImei;
    std::string strIccid;
    std::string strSignal;
    std::string strOperator;
    PORT_STATE_t nState = PORT_STATE_NOT_FOUND;
    // Why the port is in its state, for every state but usable: the system's
    // text of an open failure ("Code:16   Device or resource busy", without
    // the line end), "no answer", "no SIM card", "same modem as COM3", ...
    std::string strReason;
    // The port through which the modem of a PORT_STATE_SAME_MODEM port is
    // used ("COM3"); empty for every other state.
    std::string strSameModem;
    // Whether the commands work the port's modem: every field they need was
    // read (the port may still be of no known model), or the SIM is locked
    // (PIN or PUK), which the commands name in their results. A port of the
    // same modem as another is complete too; the commands skip it unless
    // named.
    bool bComplete = false;
    // The SIM's lock as the scan found it (codec/sim_pin.h).
    SIM_LOCK_t nSimLock = SIM_LOCK_UNKNOWN;
};

// The view of one record by itself: its own state, never "same modem".
PORT_VIEW_t PortViewOf(const COM_CHECK_RESULT_t& record);

// A view of every record, in their order (the scan's: ascending port
// number). The records are not changed.
std::vector<PORT_VIEW_t> PortViews(const std::vector<COM_CHECK_RESULT_t>& records);

// The view of a port that was named but is not among the scanned ones.
PORT_VIEW_t MissingPortView(const COM_PORT_t& port);

// Whether two views are of one modem (the same serial number, which is not
// empty, and the same SIM card number).
bool SameModem(const PORT_VIEW_t& a, const PORT_VIEW_t& b);
