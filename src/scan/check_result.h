#pragma once
// The record of one probed port.

#include <cstdint>
#include <memory>
#include <string>

#include "drivers/result_codes.h"
#include "platform/port.h"
#include "platform/serial_device.h"

struct COM_CHECK_RESULT_t {
    // The open port the probe leaves behind; copies share it (as copies of a
    // Win32 handle do). ClosePortHandles closes it after the scan.
    std::shared_ptr<CSerialDevice> hCom;
    bool bAT = false;
    bool bOpen = false;
    int nOpenError = 0;       // why the port did not open (CSerialDevice::Open), 0 when it did
    COM_PORT_t port;          // the port probed
    std::string strCardNo;    // ICCID as cut from the reply, not trimmed
    std::string strBaud;      // "9600", "115200", or empty
    std::string strSerialNo;  // IMEI, module serial number, or the CDMA phone-book number
    std::string strSignal;    // "rssi,ber" as cut from the CSQ reply, not trimmed
    std::string strModel;     // the label the scan gives the model (drivers/models.h)
    PHONE_TYPE_t nModel = PHONE_TYPE_UN_KNOWN;
    std::string strATI;
    std::int32_t nModeConfig = 0;
    // 99 ("not known", as in a CSQ reply) until a signal value parses, so a
    // module whose signal could not be read counts as one without signal.
    std::int32_t nRssi = 99;
    std::int32_t nBer = 99;
    std::string strOperator;
    // The SIM's PIN state as "+CPIN:" named it ("READY", "SIM PIN", "SIM
    // PUK", ...; codec/sim_pin.h); empty when the modem was not asked or
    // named none.
    std::string strPinState;
};
