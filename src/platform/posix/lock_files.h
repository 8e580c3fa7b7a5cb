#pragma once
// UUCP lock files (/var/lock/LCK..<name>): how the Linux backend tells that
// another program holds a port by the old convention.

#include <string>

// Whether a live process other than this one holds the node by a lock file.
// A lock file whose process is gone is stale and does not hold the port.
// This process never writes lock files, so one naming it is stale too.
bool UucpLockHeld(const std::string& node);
