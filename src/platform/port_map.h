#pragma once
// The serial ports of the machine.
//
// Linux: if TELLMAR_SERIALCOMM is set (and not empty), it names a directory
// whose entries named COM<n> (symlinks to device nodes, or nodes) are the
// ports. A directory that another user could change (one not owned by this
// user or root, writable by group or others, or below such a directory that
// is not sticky) is not used: no port is listed and a note
// (platform/console.h) says why; so does a folder that cannot be listed
// (missing, no folder, not readable). Otherwise the ports are the system's serial
// devices with hardware behind them, numbered as the README documents
// (platform/posix/tty_ports.h).
// Windows: the ports listed under HKEY_LOCAL_MACHINE
// "Hardware\DeviceMap\SerialComm".

#include <string>
#include <vector>

#include "platform/port.h"

// The ports, each with its node resolved: on Linux in ascending port number,
// on Windows in the order the registry enumerates them. Empty when the
// machine has none or the list cannot be read.
std::vector<COM_PORT_t> ListComPorts();

// How the program's notes name a port: on Windows the path it opens
// ("\\.\COM4"), on Linux the name ("COM4"), where that path means nothing.
std::string PortNoteName(const COM_PORT_t& port);
