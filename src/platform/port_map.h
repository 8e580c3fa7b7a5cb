#pragma once
// Map between logical port names and device nodes.
//
// Above the platform layer ports are named as on Windows: "COM3", with the
// device path "\\.\COM3". Only this layer knows which device node is behind
// such a name.
//
// - If TELLMAR_SERIALCOMM is set (and not empty), it names a directory whose
//   entries named COM<n> (symlinks to device nodes, or nodes) are the ports.
//   Entries with other names are ignored; an entry is listed while it leads
//   to a character device.
// - Otherwise the ports are the system's serial devices with hardware behind
//   them (/sys/class/tty/*/device; UARTs of unknown type, the serial8250
//   placeholders, are not ports), numbered as the README documents:
//   ttyS<k> -> COM<k+1>, ttyUSB<k> -> COM<k+101>, ttyACM<k> -> COM<k+201>
//   (k below 100), every other tty device from COM301 on in natural name
//   order. No two devices ever share a name.

#include <string>
#include <vector>

// The port names ("COM3", ...) in ascending port number.
std::vector<std::string> ListComPorts();

// The device node behind a logical path ("\\.\COM3" or "COM3", the letters in
// any case); empty when the name is not in the map.
std::string ResolveDevicePath(const std::string& logicalPath);

// The port number of a logical path or port name ("\\.\COM12" -> 12,
// "COM3" -> 3); -1 when it is not COM<n> with n from 1 to 9999999 written
// without leading zeros.
int ComPortNumber(const std::string& logicalPath);

// The tty devices below a sysfs class folder (normally /sys/class/tty) that
// have hardware behind them: an entry with a "device" link, less the UARTs
// whose "type" is unknown (0). Sorted by name.
std::vector<std::string> SystemTtyNames(const std::string& sysClassTty);

// One system serial device and the port number it is given.
struct SYSTEM_PORT_t {
    int number = 0;
    std::string ttyName;  // "ttyUSB0", the node below /dev
};

// The numbering rule above applied to tty device names (duplicates count
// once), in ascending port number.
std::vector<SYSTEM_PORT_t> NumberSystemPorts(std::vector<std::string> ttyNames);
