#pragma once
// Map between logical port names and device nodes.
//
// Above the platform layer ports are named as on Windows: "COM3", with the
// device path "\\.\COM3". Only this layer knows which device node is behind
// such a name.
//
// - If TELLMAR_SERIALCOMM is set, it names a directory whose entries named
//   COM<n> (symlinks to device nodes, or nodes) are the ports.
// - Otherwise the ports are the system's serial devices with hardware behind
//   them (/sys/class/tty/*/device; serial8250 placeholders whose UART type is
//   unknown are not ports), numbered as the README documents:
//   ttyS<k> -> COM<k+1>, ttyUSB<k> -> COM<k+101>, ttyACM<k> -> COM<k+201>,
//   other tty drivers from COM<301> on in name order.

#include <string>
#include <vector>

// The port names ("COM3", ...) in ascending port number.
std::vector<std::string> ListComPorts();

// The device node behind a logical path ("\\.\COM3" or "COM3"); empty when the
// name is not in the map.
std::string ResolveDevicePath(const std::string& logicalPath);
