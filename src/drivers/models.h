#pragma once
// Every module the program knows, one row each, so that what is known about
// a module can be read side by side: its device type and the driver that
// works it, the text that identifies it in an "ATI" reply, and how the port
// scan recognises it and what the scan asks it. A model is always named by
// its device type (PHONE_TYPE_t).

#include <cstddef>
#include <memory>
#include <string>

#include "drivers/result_codes.h"

class CPhoneCardBase;

// How the port scan recognises a module.
enum PROBE_QUERY_t {
    PROBE_QUERY_NONE,   // not told apart from a module of no known model
    PROBE_QUERY_MODEL,  // "AT+CGMI" names szProbeMaker, then "AT+CGMM" holds "OK" and szProbeText
    PROBE_QUERY_ATI3,   // "ATI3" holds szProbeText
    PROBE_QUERY_ATI,    // a second "ATI" holds szProbeText
};

// How the port scan reads a module's serial number.
enum SERIAL_ROUTE_t {
    SERIAL_ROUTE_NONE,        // not asked
    SERIAL_ROUTE_CGSN,        // "AT+CGSN"
    SERIAL_ROUTE_WMSN,        // "AT+WMSN", then "AT+CGSN"
    SERIAL_ROUTE_PHONE_BOOK,  // "AT+CGSN", else the number the scan keeps in phone-book entry 1
};

struct MODEL_t {
    PHONE_TYPE_t nType;
    const char* szModule;
    // A new driver of the model; null for a module that no driver works.
    std::unique_ptr<CPhoneCardBase> (*create)();
    // Discovery: the driver's MatchIdentity claims an "ATI" reply that holds
    // this text (and "OK" as well, with bIdentityWithOk).
    const char* szIdentity;
    bool bIdentityWithOk;
    // The scan: how it recognises the module, and the label it gives it.
    PROBE_QUERY_t probeQuery;
    const char* szProbeMaker;
    const char* szProbeText;
    const char* szLabel;
    // The scan's queries: the serial number, the card number (ICCID)
    // command, whether the module's network mode is read and switched, and
    // whether the SIM's PIN state is asked (AT+CPIN?: the GSM modules).
    SERIAL_ROUTE_t serialRoute;
    const char* szCardCommand;
    bool bNetworkMode;
    bool bPinState;
};

// The rows, in the order of asking: discovery offers an "ATI" reply to the
// drivers in this order, and the scan tries the rows of one maker, and the
// "ATI3" texts, in this order.
inline constexpr std::size_t kModelCount = 9;
extern const MODEL_t kModels[kModelCount];

// The row of a device type; for a type without a row of its own (the base
// driver, a module of no known model), the row of a module of no known model.
const MODEL_t& ModelOf(PHONE_TYPE_t type);

// A new driver of the device type; null for a type that no driver works (0,
// 1 and every type outside the table's drivers).
std::unique_ptr<CPhoneCardBase> CreatePhoneCard(PHONE_TYPE_t deviceType);

// The device type of the first driver, in table order, whose MatchIdentity
// claims the "ATI" reply; PHONE_TYPE_UN_KNOWN when none does.
PHONE_TYPE_t IdentifyDeviceType(const std::string& atiReply);
