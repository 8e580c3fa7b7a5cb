#pragma once
// The port scan: enumeration, one probe thread per port, the records sorted
// by port number, and the port table.

#include <string>
#include <vector>

#include "scan/check_result.h"
#include "scan/port_view.h"
#include "scan/scan_options.h"

// Appends the ports of the machine (platform/port_map.h) in a stable order;
// true when the list holds at least one entry afterwards.
bool EnumComPorts(std::vector<COM_PORT_t>& ports);

// Probes one port as a probe thread does: opens it, finds
// the baud rate (9600, then 115200) at which "AT" is answered and runs the
// query steps. The port stays open in the record's hCom.
COM_CHECK_RESULT_t ProbePort(const COM_PORT_t& port, const SCAN_OPTIONS_t& options);

// Probes every port of the machine, one thread each, and returns one record
// per port in the order of the listing (EnumComPorts): each probe fills the
// slot of its port, so no record is dropped and the probes share nothing.
// Returns when every probe has ended, however many ports there are; a port
// whose thread cannot be started is probed on the calling thread. Scans may
// run at once (they then compete for the ports, which open exclusively).
std::vector<COM_CHECK_RESULT_t> CheckAllPorts(const SCAN_OPTIONS_t& options);

// Orders records by their port number.
bool ComparePortNo(const COM_CHECK_RESULT_t& a, const COM_CHECK_RESULT_t& b);
void ClosePortHandles(std::vector<COM_CHECK_RESULT_t>& records);

// The refresh: replaces `records` by a scan, sorted by port number, closes
// the handles and sets `costText` to "cost time %d ms\n".
void RefreshScan(const SCAN_OPTIONS_t& options, std::vector<COM_CHECK_RESULT_t>& records,
                 std::string& costText);

// The card, signal and serial fields of the records as the port table shows
// them, cleaned in place: quotes and blanks around them removed.
void CleanPortFields(std::vector<COM_CHECK_RESULT_t>& records);

// The port table of the views (scan/port_view.h) as the console shows it,
// title time `nowText`, ending with the cost line; a port of the same modem
// as another says so in its state column ("同COM3设备"). Values from the
// modems are shown with control characters neutralised. `columns` is the
// width of the terminal (ConsoleColumns(); 0 for none): on one narrower than
// 100 columns that the table's lines would not fit, the rules are drawn to
// its width and the columns shrink to what their values need, the widest
// cut (ending with "~") only when even that does not fit, so that each port
// stays on one line. Otherwise the table has its fixed layout: columns of
// 10, 10, 15, 25 and 10 columns, rules of 90, a longer value pushing the
// rest of its row to the right.
std::string FormatPortTable(const std::vector<PORT_VIEW_t>& views, const std::string& nowText,
                            const std::string& costText, int columns);
