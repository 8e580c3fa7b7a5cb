#include "platform/port_map.h"
#include "scan/port_scan.h"

bool EnumComPorts(std::vector<std::string>& ports)
{
    const std::vector<std::string> names = ListComPorts();
    ports.insert(ports.end(), names.begin(), names.end());
    return !ports.empty();
}

void MakeDevicePaths(std::vector<std::string>& ports)
{
    for (std::string& port : ports) {
        port = "\\\\.\\" + port;
    }
}
