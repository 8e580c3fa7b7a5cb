#pragma once
// Ports as the listing gives them, for tests that open a port by number.

#include "platform/port.h"

// The listed port COM<number> (platform/port_map.h) with its node resolved;
// the unresolved value of that name when the listing lacks it, so that
// opening it fails as for any port the scan did not see.
COM_PORT_t ListedPort(int number);
