// Device discovery: scan records become device records with a model.

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/arguments.h"
#include "codec/reply_text.h"
#include "drivers/models.h"
#include "platform/console.h"
#include "platform/port.h"
#include "scan/port_view.h"

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
    const PORT_VIEW_t view = PortViewOf(record);
    device.strIccid = view.strIccid;
    if (view.nState != PORT_STATE_USABLE) {
        device.strReason = view.strReason;
    }
    device.nSimLock = view.nSimLock;
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

COM_DEVICE_t MissingDevice(const std::string& name, const AT_PACING_t& pacing)
{
    COM_DEVICE_t missing;
    missing.pacing = pacing;
    missing.port = PortNamed(name);
    missing.nBaud = 115200;
    missing.bPortFound = false;
    missing.strReason = MissingPortView(missing.port).strReason;
    return missing;
}

// The index of the record of the port named by a port list item; -1 when the
// scan did not see it. The item is compared as written: "03" is not COM3.
int FindRecord(const std::vector<COM_CHECK_RESULT_t>& records, const std::string& item)
{
    const std::string name = "COM" + item;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].port.strName == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Named ports are used as named; when some of them are one modem, a note
// says that this modem is worked through each of them.
void NoteSharedModems(const std::vector<const PORT_VIEW_t*>& named)
{
    std::set<std::string> noted;
    for (std::size_t i = 0; i < named.size(); ++i) {
        if (noted.count(named[i]->port.strName) != 0) {
            continue;
        }
        std::string ports = named[i]->port.strName;
        for (std::size_t j = i + 1; j < named.size(); ++j) {
            const std::string& other = named[j]->port.strName;
            if (other != named[i]->port.strName && noted.count(other) == 0 &&
                SameModem(*named[i], *named[j])) {
                ports += ", " + other;
                noted.insert(other);
            }
        }
        if (ports != named[i]->port.strName) {
            noted.insert(named[i]->port.strName);
            ConsoleNote("tellmar: " + ports + " are one modem (IMEI " + named[i]->strImei +
                        "); it is used through each of them, as named\n");
        }
    }
}

}  // namespace

COM_DEVICE_t DeviceOfRecord(const COM_CHECK_RESULT_t& record, const AT_PACING_t& pacing)
{
    return BuildIdentifiedDevice(record, pacing);
}

bool CApplication::DiscoverDevices(const std::string& portList, std::vector<COM_DEVICE_t>& devices,
                                   const std::function<bool(const COM_PORT_t&)>& servedElsewhere)
{
    devices.clear();
    const std::vector<PORT_VIEW_t> views = PortViews(m_vecCheckResults);

    if (!portList.empty()) {
        bool anyFound = false;
        std::vector<const PORT_VIEW_t*> named;
        for (const std::string& item : SplitPortList(portList)) {
            const int found = FindRecord(m_vecCheckResults, item);
            if (found >= 0) {
                devices.push_back(BuildIdentifiedDevice(m_vecCheckResults[found], m_atPacing));
                named.push_back(&views[found]);
                anyFound = true;
            } else {
                devices.push_back(MissingDevice("COM" + item, m_atPacing));
            }
        }
        NoteSharedModems(named);
        return anyFound;
    }

    // A modem on two ports is one device: its other ports are left out.
    auto once = [&views](std::size_t i) { return views[i].nState != PORT_STATE_SAME_MODEM; };
    for (std::size_t i = 0; i < m_vecCheckResults.size(); ++i) {
        const bool served = servedElsewhere && views[i].nState == PORT_STATE_BUSY &&
                            servedElsewhere(m_vecCheckResults[i].port);
        if ((views[i].bComplete && once(i)) || served) {
            devices.push_back(BuildIdentifiedDevice(m_vecCheckResults[i], m_atPacing));
        }
    }
    if (devices.empty()) {
        for (std::size_t i = 0; i < m_vecCheckResults.size(); ++i) {
            if (m_vecCheckResults[i].bAT && once(i)) {
                devices.push_back(BuildIdentifiedDevice(m_vecCheckResults[i], m_atPacing));
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

bool CApplication::CollectInboxDevices(const std::string& portList,
                                       std::vector<COM_DEVICE_t>& devices,
                                       std::vector<UNAVAILABLE_PORT_t>& unavailable)
{
    devices.clear();
    unavailable.clear();
    const std::vector<PORT_VIEW_t> views = PortViews(m_vecCheckResults);
    auto take = [&](std::size_t i) {
        const COM_CHECK_RESULT_t& record = m_vecCheckResults[i];
        // A locked SIM cannot be read: it is named among the unavailable.
        const bool locked = views[i].nSimLock == SIM_LOCK_PIN || views[i].nSimLock == SIM_LOCK_PUK;
        if (views[i].bComplete && !locked) {
            devices.push_back(BuildIdentifiedDevice(record, m_atPacing));
        } else {
            unavailable.push_back({record.port, PortViewOf(record).strReason});
        }
    };

    if (portList.empty()) {
        for (std::size_t i = 0; i < m_vecCheckResults.size(); ++i) {
            // The modem of such a port is read (or reported) through another.
            if (views[i].nState != PORT_STATE_SAME_MODEM) {
                take(i);
            }
        }
        return true;
    }

    const std::vector<std::string> items = SplitPortList(portList);
    if (items.empty()) {
        return false;
    }
    // A port named twice is read once: reading it twice would list its
    // messages twice.
    std::set<std::string> seen;
    std::vector<const PORT_VIEW_t*> named;
    for (const std::string& item : items) {
        if (!seen.insert(item).second) {
            continue;
        }
        const int found = FindRecord(m_vecCheckResults, item);
        if (found >= 0) {
            take(static_cast<std::size_t>(found));
            named.push_back(&views[found]);
        } else {
            const COM_DEVICE_t missing = MissingDevice("COM" + item, m_atPacing);
            unavailable.push_back({missing.port, missing.strReason});
        }
    }
    NoteSharedModems(named);
    return true;
}
