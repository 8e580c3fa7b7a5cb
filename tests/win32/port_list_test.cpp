// The registry's list of serial ports, as Windows keeps it under
// HKEY_LOCAL_MACHINE "Hardware\DeviceMap\SerialComm".

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/port_map.h"

namespace {

const char kSerialComm[] = "Hardware\\DeviceMap\\SerialComm";

// Values added for one test and removed after it.
class SerialCommValues {
public:
    SerialCommValues()
    {
        m_ok = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, REG_OPTION_VOLATILE,
                               KEY_READ | KEY_WRITE, nullptr, &m_key, nullptr) == ERROR_SUCCESS;
    }
    ~SerialCommValues()
    {
        for (const std::string& name : m_names) {
            RegDeleteValueA(m_key, name.c_str());
        }
        if (m_ok) {
            RegCloseKey(m_key);
        }
    }
    bool Ok() const { return m_ok; }
    bool Add(const std::string& name, const std::string& data)
    {
        m_names.push_back(name);
        return RegSetValueExA(m_key, name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(data.c_str()),
                              static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
    }

private:
    bool m_ok = false;
    HKEY m_key = nullptr;
    std::vector<std::string> m_names;
};

std::vector<std::string> Names(const std::vector<COM_PORT_t>& ports)
{
    std::vector<std::string> names;
    for (const COM_PORT_t& port : ports) {
        names.push_back(port.strName);
    }
    return names;
}

// The registry's order (Wine's enumerates by value name) is kept: the scan
// sorts later. Every name becomes a port whose node is its device path, and a name of another form
// keeps number 0.
TEST(PortListTest, RegistryValuesBecomePortsInTheirOrder)
{
    SerialCommValues values;
    ASSERT_TRUE(values.Ok());
    const std::vector<std::string> before = Names(ListComPorts());
    ASSERT_TRUE(values.Add("\\Device\\TellmarTestA", "COM44"));
    ASSERT_TRUE(values.Add("\\Device\\TellmarTestB", "COM41"));
    ASSERT_TRUE(values.Add("\\Device\\TellmarTestC", "CNCA0"));

    std::vector<COM_PORT_t> added;
    for (const COM_PORT_t& port : ListComPorts()) {
        if (std::find(before.begin(), before.end(), port.strName) == before.end()) {
            added.push_back(port);
        }
    }
    ASSERT_EQ((std::vector<std::string>{"COM44", "COM41", "CNCA0"}), Names(added));
    EXPECT_EQ(44, added[0].nNumber);
    EXPECT_EQ(0, added[2].nNumber);
    for (const COM_PORT_t& port : added) {
        SCOPED_TRACE(port.strName);
        EXPECT_EQ("\\\\.\\" + port.strName, port.strPath);
        EXPECT_EQ(port.strPath, port.strNode);
    }
}

// A value whose data does not fit 255 bytes ends the listing there; the
// ports before it stay.
TEST(PortListTest, AnOverlongValueEndsTheListing)
{
    SerialCommValues values;
    ASSERT_TRUE(values.Ok());
    const std::size_t before = ListComPorts().size();
    ASSERT_TRUE(values.Add("\\Device\\TellmarTestD1", std::string(300, 'X')));
    ASSERT_TRUE(values.Add("\\Device\\TellmarTestD2", "COM45"));
    const std::vector<std::string> names = Names(ListComPorts());
    EXPECT_EQ(before, names.size());
    EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), "COM45"));
}

}  // namespace
