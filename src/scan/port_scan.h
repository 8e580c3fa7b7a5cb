#pragma once
// The port scan: enumeration, one probe thread per port, the records sorted
// by port number, and the port table.

#include <atomic>
#include <string>
#include <vector>

#include "scan/check_result.h"

// Appends the ports of the machine (platform/port_map.h) in a stable order;
// true when the list holds at least one entry afterwards.
bool EnumComPorts(std::vector<COM_PORT_t>& ports);

// Probes one port as a probe thread does: opens it, finds
// the baud rate (9600, then 115200) at which "AT" is answered and runs the
// query steps. The port stays open in the record's hCom.
COM_CHECK_RESULT_t ProbePort(const COM_PORT_t& port);

// Probes every port, one thread each, and appends one record per port in the
// order the probes finished. Returns when every probe has ended, however many
// ports there are. A probe waits for the shared list as long as it takes
// and never drops its record; a port whose thread cannot be started is
// probed on the calling thread. One scan runs at a time per process.
void CheckAllPorts(std::vector<COM_CHECK_RESULT_t>& results);

// Orders records by their port number.
bool ComparePortNo(const COM_CHECK_RESULT_t& a, const COM_CHECK_RESULT_t& b);
void ClosePortHandles(std::vector<COM_CHECK_RESULT_t>& records);

// The refresh: empties `records`, scans, sorts by port number, closes the
// handles and sets `costText` to "cost time %d ms\n".
void RefreshScan(std::vector<COM_CHECK_RESULT_t>& records, std::string& costText);

// The card, signal and serial fields of the records as the port table shows
// them, cleaned in place: quotes and blanks around them removed.
void CleanPortFields(std::vector<COM_CHECK_RESULT_t>& records);

// The port table of the records (after a refresh, fields cleaned) as the
// console shows it, title time `nowText`, ending with the cost line. Values
// from the modems are shown with control characters neutralised.
std::string FormatPortTable(const std::vector<COM_CHECK_RESULT_t>& records,
                            const std::string& nowText, const std::string& costText);

// The probe's trace switch; the inbox command turns it off.
extern std::atomic<bool> gVerbose;

// The probe's serial timing: a read ends 100 ms after the last byte, or
// after 500 ms + 1 ms per byte, and, unless the quiet-line mode is on, when
// the reply ends with its final line and no byte follows within 10 ms. Set
// before a scan (tests shorten it; the program reads TELLMAR_PACING).
struct PROBE_TIMING_t {
    int intervalMs = 100;
    int totalConstantMs = 500;
    int totalPerByteMs = 1;
    int gapMs = 10;
    bool bQuietLine = false;
};
PROBE_TIMING_t& ProbeTiming();
