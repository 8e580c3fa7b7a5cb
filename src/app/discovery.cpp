// Device discovery: scan records become device records with a model.

#include <string>
#include <vector>

#include "app/application.h"
#include "app/arguments.h"
#include "codec/reply_text.h"
#include "drivers/models.h"
#include "platform/port.h"

namespace {

COM_DEVICE_t BuildDevice(const COM_CHECK_RESULT_t& record, const AT_PACING_t& pacing)
{
    COM_DEVICE_t device;
    device.pacing = pacing;
    device.bAT = record.bAT;
    device.nBaud = LeadingInt(record.strBaud);
    device.port = record.port;
    device.strSerialNo = record.strSerialNo;
    device.strSignal = record.strSignal;
    device.strCardNo = record.strCardNo;
    return device;
}

COM_DEVICE_t BuildIdentifiedDevice(const COM_CHECK_RESULT_t& record, const AT_PACING_t& pacing)
{
    COM_DEVICE_t device = BuildDevice(record, pacing);
    const PHONE_TYPE_t type = IdentifyDeviceType(record.strATI);
    if (type != PHONE_TYPE_UN_KNOWN) {
        device.nDeviceType = type;
    }
    return device;
}

bool IsComplete(const COM_CHECK_RESULT_t& record)
{
    return record.bAT && !record.strSerialNo.empty() && !record.strSignal.empty() &&
           !record.strCardNo.empty();
}

}  // namespace

bool CApplication::DiscoverDevices(const std::string& portList, std::vector<COM_DEVICE_t>& devices)
{
    devices.clear();

    if (!portList.empty()) {
        const std::vector<std::string> items = SplitPortList(portList);
        bool anyFound = false;
        for (const std::string& item : items) {
            // The item is compared as written: "03" is not COM3.
            const std::string name = "COM" + item;
            const COM_CHECK_RESULT_t* match = nullptr;
            for (const COM_CHECK_RESULT_t& record : m_vecCheckResults) {
                if (record.port.strName == name) {
                    match = &record;
                    break;
                }
            }
            if (match != nullptr) {
                devices.push_back(BuildIdentifiedDevice(*match, m_atPacing));
                anyFound = true;
            } else {
                COM_DEVICE_t missing;
                missing.port = PortNamed(name);
                missing.nBaud = 115200;
                missing.bPortFound = false;
                missing.pacing = m_atPacing;
                devices.push_back(missing);
            }
        }
        return anyFound;
    }

    for (const COM_CHECK_RESULT_t& record : m_vecCheckResults) {
        if (IsComplete(record)) {
            devices.push_back(BuildIdentifiedDevice(record, m_atPacing));
        }
    }
    if (devices.empty()) {
        for (const COM_CHECK_RESULT_t& record : m_vecCheckResults) {
            if (record.bAT) {
                devices.push_back(BuildIdentifiedDevice(record, m_atPacing));
            }
        }
    }
    if (devices.empty()) {
        for (const COM_CHECK_RESULT_t& record : m_vecCheckResults) {
            devices.push_back(BuildDevice(record, m_atPacing));
        }
    }
    return true;
}

void CApplication::CollectInboxDevices(std::vector<COM_DEVICE_t>& devices)
{
    devices.clear();
    for (const COM_CHECK_RESULT_t& record : m_vecCheckResults) {
        if (IsComplete(record)) {
            devices.push_back(BuildIdentifiedDevice(record, m_atPacing));
        }
    }
}
