#include "platform/port.h"

#include "platform/serial_device.h"

namespace {

constexpr int kMaxPortNumber = 9999999;

}  // namespace

COM_PORT_t PortNamed(const std::string& name)
{
    COM_PORT_t port;
    port.strName = name;
    port.strPath = "\\\\.\\" + name;
    const std::size_t com = name.find("COM");
    if (com != std::string::npos) {
        long value = 0;
        for (std::size_t i = com + 3; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
            value = value * 10 + (name[i] - '0');
            if (value > kMaxPortNumber) {
                value = 0;
                break;
            }
        }
        port.nNumber = static_cast<int>(value);
    }
    return port;
}

std::string PortErrorText(int code)
{
    return "Code:" + std::to_string(code) + "   " + FormatSystemError(code);
}
