#include "support/listed_port.h"

#include <string>

#include "platform/port_map.h"

COM_PORT_t ListedPort(int number)
{
    for (const COM_PORT_t& port : ListComPorts()) {
        if (port.nNumber == number) {
            return port;
        }
    }
    return PortNamed("COM" + std::to_string(number));
}
