#include "platform/port_map.h"

#include <windows.h>

namespace {

constexpr DWORD kBufferBytes = 255;

}  // namespace

std::vector<COM_PORT_t> ListComPorts()
{
    std::vector<COM_PORT_t> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Hardware\\DeviceMap\\SerialComm", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return ports;
    }
    // The first value that cannot be read (the end of the list, or a name or
    // data of 255 bytes or more) ends the listing.
    for (DWORD index = 0;; ++index) {
        char name[kBufferBytes] = {};
        char data[kBufferBytes + 1] = {};
        DWORD nameSize = kBufferBytes;
        DWORD dataSize = kBufferBytes;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, nullptr,
                          reinterpret_cast<BYTE*>(data), &dataSize) != ERROR_SUCCESS) {
            break;
        }
        // The data is the port name ("COM3") up to its first zero byte; the
        // value's name (the driver's device object) is of no use here.
        COM_PORT_t port = PortNamed(data);
        port.strNode = port.strPath;
        ports.push_back(port);
    }
    RegCloseKey(key);
    return ports;
}

std::string PortNoteName(const COM_PORT_t& port)
{
    return port.strPath;
}
