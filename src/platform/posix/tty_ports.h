#pragma once
// How the Linux backend turns tty devices and COM<n> links into ports.
//
// - Entries of the TELLMAR_SERIALCOMM directory count when named COM<n>
//   (n from 1 to 9999999 without leading zeros) and leading to a character
//   device.
// - System serial devices (/sys/class/tty/*/device; UARTs of unknown type,
//   the serial8250 placeholders, are not ports) are numbered
//   ttyS<k> -> COM<k+1>, ttyUSB<k> -> COM<k+101>, ttyACM<k> -> COM<k+201>
//   (k below 100), every other tty device from COM301 on in natural name
//   order. No two devices ever share a number.

#include <string>
#include <vector>

// The number of a TELLMAR_SERIALCOMM entry name ("COM12" -> 12); -1 when it
// is not COM<n> with n from 1 to 9999999 written without leading zeros
// (the letters in any case).
int ComEntryNumber(const std::string& entryName);

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
