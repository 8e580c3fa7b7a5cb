// Device discovery: scan records become device records with a model.

#include <string>
#include <vector>

#include "app/application.h"
#include "drivers/models.h"
#include "drivers/reply_text.h"
#include "platform/port.h"

namespace {

COM_DEVICE_t BuildDevice(const COM_CHECK_RESULT_t& record)
{
    COM_DEVICE_t device;
    device.bAT = record.bAT;
    device.nBaud = LeadingInt(record.strBaud);
    device.port = record.port;
    device.strSerialNo = record.strSerialNo;
    device.strSignal = record.strSignal;
    device.strCardNo = record.strCardNo;
    return device;
}

COM_DEVICE_t BuildIdentifiedDevice(const COM_CHECK_RESULT_t& record)
{
    COM_DEVICE_t device = BuildDevice(record);
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

std::vector<std::string> SplitPortList(std::string text)
{
    return SplitListItems(std::move(text), IsAllDigits);
}

std::vector<std::string> SplitListItems(std::string text, bool (*isValidItem)(const std::string&))
{
    for (char& c : text) {
        if (c == ' ' || c == ';') {
            c = ',';
        }
    }
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string piece = text.substr(start, end - start);
        if (!piece.empty()) {
            if (!isValidItem(piece)) {
                return {};
            }
            items.push_back(std::move(piece));
        }
        start = end + 1;
    }
    return items;
}

bool IsAllDigits(const std::string& text)
{
    if (text.empty()) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

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
                devices.push_back(BuildIdentifiedDevice(*match));
                anyFound = true;
            } else {
                COM_DEVICE_t missing;
                missing.port = PortNamed(name);
                missing.nBaud = 115200;
                missing.bPortFound = false;
                devices.push_back(missing);
            }
        }
        return anyFound;
    }

    for (const COM_CHECK_RESULT_t& record : m_vecCheckResults) {
        if (IsComplete(record)) {
            devices.push_back(BuildIdentifiedDevice(record));
        }
    }
    if (devices.empty()) {
        for (const COM_CHECK_RESULT_t& record : m_vecCheckResults) {
            if (record.bAT) {
                devices.push_back(BuildIdentifiedDevice(record));
            }
        }
    }
    if (devices.empty()) {
        for (const COM_CHECK_RESULT_t& record : m_vecCheckResults) {
            devices.push_back(BuildDevice(record));
        }
    }
    return true;
}

void CApplication::CollectInboxDevices(std::vector<COM_DEVICE_t>& devices)
{
    devices.clear();
    for (const COM_CHECK_RESULT_t& record : m_vecCheckResults) {
        if (IsComplete(record)) {
            devices.push_back(BuildIdentifiedDevice(record));
        }
    }
}
