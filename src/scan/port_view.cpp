#include "scan/port_view.h"

#include <map>
#include <utility>

#include "codec/reply_text.h"
#include "drivers/models.h"
#include "platform/serial_device.h"
#include "scan/port_scan.h"

namespace {

// The operator's name: the quoted field of the "+COPS" value
// (` 0,0,"CHINA MOBILE",7`); empty when the modem names none (` 0`).
std::string OperatorName(const std::string& value)
{
    const std::size_t open = value.find('"');
    const std::size_t close = open == std::string::npos ? open : value.find('"', open + 1);
    return close == std::string::npos ? std::string() : value.substr(open + 1, close - open - 1);
}

// The state of a port by what the probe found, in the order in which a
// device's status code is chosen (DeviceStatusCode), so that the reason
// given with a code is the reason for that code.
void SetState(PORT_VIEW_t& view, const COM_CHECK_RESULT_t& record, PHONE_TYPE_t type)
{
    if (!record.bOpen) {
        switch (OpenFailureOf(record.nOpenError)) {
        case OPEN_FAILURE_BUSY:
            view.nState = PORT_STATE_BUSY;
            break;
        case OPEN_FAILURE_NOT_FOUND:
            view.nState = PORT_STATE_NOT_FOUND;
            break;
        case OPEN_FAILURE_NO_ACCESS:
            view.nState = PORT_STATE_NO_ACCESS;
            break;
        case OPEN_FAILURE_OTHER:
            view.nState = PORT_STATE_NOT_OPENED;
            break;
        }
        // Code 0 would name the thread's last error, which is no reason here.
        view.strReason = record.nOpenError != 0 ? TrimCrLf(PortErrorText(record.nOpenError))
                                                : std::string("not opened");
    } else if (!record.bAT) {
        view.nState = PORT_STATE_NOT_AT;
        view.strReason = "no answer";
    } else if (record.strSerialNo.empty()) {
        view.nState = PORT_STATE_NO_SERIAL;
        view.strReason = "no serial number";
    } else if (view.nSimLock == SIM_LOCK_PIN) {
        view.nState = PORT_STATE_SIM_PIN;
        view.strReason = ResultTextEn(CMD_RESULT_SIM_PIN);
    } else if (view.nSimLock == SIM_LOCK_PUK) {
        view.nState = PORT_STATE_SIM_PUK;
        view.strReason = ResultTextEn(CMD_RESULT_SIM_PUK);
    } else if (record.strCardNo.empty()) {
        view.nState = PORT_STATE_NO_SIM;
        view.strReason = "no SIM card";
    } else if (record.strSignal.empty()) {
        view.nState = PORT_STATE_NO_SIGNAL;
        view.strReason = "no signal";
    } else if (ModelOf(type).create == nullptr) {
        view.nState = PORT_STATE_UNKNOWN_MODEL;
        view.strReason = "unknown model";
    } else {
        view.nState = PORT_STATE_USABLE;
    }
}

}  // namespace

PORT_VIEW_t PortViewOf(const COM_CHECK_RESULT_t& record)
{
    std::vector<COM_CHECK_RESULT_t> cleaned = {record};
    CleanPortFields(cleaned);
    const COM_CHECK_RESULT_t& shown = cleaned.front();

    PORT_VIEW_t view;
    view.port = record.port;
    view.bOpen = record.bOpen;
    view.bAT = record.bAT;
    view.strBaud = record.bOpen ? record.strBaud : std::string();
    const PHONE_TYPE_t type = IdentifyDeviceType(record.strATI);
    view.strModel = ModelOf(type != PHONE_TYPE_UN_KNOWN ? type : record.nModel).szModule;
    if (record.bAT) {
        view.strImei = shown.strSerialNo;
        view.strIccid = shown.strCardNo;
        view.strSignal = shown.strSignal;
        view.strOperator = OperatorName(record.strOperator);
    }
    view.nSimLock = record.bAT ? SimLockOf(record.strPinState) : SIM_LOCK_UNKNOWN;
    const bool locked = view.nSimLock == SIM_LOCK_PIN || view.nSimLock == SIM_LOCK_PUK;
    view.bComplete = record.bAT && !record.strSerialNo.empty() &&
                     ((!record.strSignal.empty() && !record.strCardNo.empty()) || locked);
    SetState(view, record, type);
    return view;
}

const char* PortStateText(PORT_STATE_t state)
{
    switch (state) {
    case PORT_STATE_USABLE:
        return "usable";
    case PORT_STATE_SAME_MODEM:
        return "same modem";
    case PORT_STATE_BUSY:
        return "busy";
    case PORT_STATE_NOT_FOUND:
        return "not found";
    case PORT_STATE_NO_ACCESS:
        return "no access";
    case PORT_STATE_NOT_OPENED:
        return "not opened";
    case PORT_STATE_NOT_AT:
        return "not AT";
    case PORT_STATE_NO_SERIAL:
        return "no serial number";
    case PORT_STATE_SIM_PIN:
        return "SIM PIN";
    case PORT_STATE_SIM_PUK:
        return "SIM PUK";
    case PORT_STATE_NO_SIM:
        return "no SIM";
    case PORT_STATE_NO_SIGNAL:
        return "no signal";
    case PORT_STATE_UNKNOWN_MODEL:
        return "unknown model";
    }
    return "";
}

bool SameModem(const PORT_VIEW_t& a, const PORT_VIEW_t& b)
{
    return !a.strImei.empty() && a.strImei == b.strImei && a.strIccid == b.strIccid;
}

std::vector<PORT_VIEW_t> PortViews(const std::vector<COM_CHECK_RESULT_t>& records)
{
    std::vector<PORT_VIEW_t> views;
    views.reserve(records.size());
    for (const COM_CHECK_RESULT_t& record : records) {
        views.push_back(PortViewOf(record));
    }
    // The port a modem is used through: the first complete port of its
    // group (the lowest COM number, as the records come sorted), else its
    // first port.
    std::map<std::pair<std::string, std::string>, std::size_t> usedThrough;
    for (std::size_t i = 0; i < views.size(); ++i) {
        const PORT_VIEW_t& view = views[i];
        if (view.strImei.empty()) {
            continue;
        }
        const auto key = std::make_pair(view.strImei, view.strIccid);
        const auto found = usedThrough.find(key);
        if (found == usedThrough.end()) {
            usedThrough.emplace(key, i);
        } else if (view.bComplete && !views[found->second].bComplete) {
            found->second = i;
        }
    }
    for (std::size_t i = 0; i < views.size(); ++i) {
        PORT_VIEW_t& view = views[i];
        if (view.strImei.empty()) {
            continue;
        }
        const PORT_VIEW_t& through = views[usedThrough[{view.strImei, view.strIccid}]];
        if (&through != &view) {
            view.nState = PORT_STATE_SAME_MODEM;
            view.strSameModem = through.port.strName;
            view.strReason = "same modem as " + through.port.strName;
        }
    }
    return views;
}

PORT_VIEW_t MissingPortView(const COM_PORT_t& port)
{
    PORT_VIEW_t view;
    view.port = port;
    view.nState = PORT_STATE_NOT_FOUND;
    view.strReason = "not found";
    return view;
}
