#include "platform/port_map.h"
#include "scan/port_scan.h"

bool EnumComPorts(std::vector<COM_PORT_t>& ports)
{
    const std::vector<COM_PORT_t> listed = ListComPorts();
    ports.insert(ports.end(), listed.begin(), listed.end());
    return !ports.empty();
}
