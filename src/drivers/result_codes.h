#pragma once
// Result codes of the work on a device, as the documents and the console
// report them, and device types. (A parser's verdict on a reply is
// PARSE_RESULT_t, codec/reply_text.h.)

#include <string>

enum COM_CMD_OPERATE_RESULT_t : int {
    CMD_RESULT_SUCCEED = 0,
    CMD_RESULT_FAILED = 1,
    CMD_RESULT_NOT_AT = 2,  // the device does not answer "AT"
    CMD_RESULT_FOREIGN_DEVICE = 3,
    CMD_RESULT_NO_SIM = 4,
    CMD_RESULT_NO_SIGNAL = 5,
    CMD_RESULT_NO_PORT = 6,
    CMD_RESULT_FOREIGN_SMS_DEVICE = 7,
    // The SIM is locked: nothing was sent to it.
    CMD_RESULT_SIM_PIN = 8,  // it waits for its PIN ("tellmar pin" enters it)
    CMD_RESULT_SIM_PUK = 9,  // it is blocked and waits for its PUK
    // The pin command: the SIM does not wait for a PIN (it is ready, waits
    // for something else, or its state is not known), so none was sent.
    CMD_RESULT_NO_PIN_WAITED = 10,
    // The ussd command on the CDMA model, which speaks no USSD.
    CMD_RESULT_NO_USSD = 11,
};

// English text of a code ("Succeed", ...); "Unknown reason" outside 0..11.
std::string ResultTextEn(int code);
// Chinese text of a code (internal code page); "设备不AT" for 1, 2 and
// outside 0..11.
std::string ResultTextZh(int code);

enum PHONE_TYPE_t : int {
    PHONE_TYPE_UN_KNOWN = 0,
    PHONE_TYPE_BASE = 1,
    PHONE_TYPE_VELT_B = 2,
    PHONE_TYPE_VELT_C = 3,
    PHONE_TYPE_VELT_D = 4,
    PHONE_TYPE_VELT_E = 5,
    PHONE_TYPE_VELT_F = 6,
    PHONE_TYPE_VELT_G = 7,
    // Modules the port scan recognises that no driver works: discovery never
    // gives a device these types.
    PHONE_TYPE_WISMOQ = 8,
    PHONE_TYPE_SIEMENS = 9,
};

// Display name of a device type ("VELT_B", ...); "TYPE_UNKNOWN" for 1 and
// every value outside 0..7. The model of each type: drivers/models.h.
std::string DeviceTypeName(PHONE_TYPE_t type);
