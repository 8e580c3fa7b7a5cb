#include <algorithm>

#include "platform/clock.h"
#include "scan/port_scan.h"

bool ComparePortNo(const COM_CHECK_RESULT_t& a, const COM_CHECK_RESULT_t& b)
{
    return a.port.nNumber < b.port.nNumber;
}

void ClosePortHandles(std::vector<COM_CHECK_RESULT_t>& records)
{
    for (COM_CHECK_RESULT_t& record : records) {
        if (record.hCom) {
            record.hCom->Close();
        }
    }
}

void RefreshScan(const SCAN_OPTIONS_t& options, std::vector<COM_CHECK_RESULT_t>& records,
                 std::string& costText)
{
    const std::int64_t t0 = MonotonicMs();
    records = CheckAllPorts(options);
    const std::int64_t t1 = MonotonicMs();
    std::sort(records.begin(), records.end(), ComparePortNo);
    ClosePortHandles(records);
    costText = "cost time " + std::to_string(t1 - t0) + " ms\n";
}
