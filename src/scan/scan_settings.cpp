#include "scan/port_scan.h"

std::atomic<bool> gVerbose{true};

PROBE_TIMING_t& ProbeTiming()
{
    static PROBE_TIMING_t timing;
    return timing;
}
