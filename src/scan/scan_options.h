#pragma once
// How a scan runs: the probe's serial timing, whether it writes its notes
// and the request that cuts it short. The caller owns these values and
// passes them into each scan.

#include "platform/stop_request.h"

// The probe's serial timing: a read ends `intervalMs` after the last byte,
// or after `totalConstantMs` + `totalPerByteMs` per byte, and, unless
// `bQuietLine` is on, when the reply ends with its final line and no byte
// follows within `gapMs`. The program's values are the defaults; the
// quiet-line mode is TELLMAR_PACING=quiet.
struct PROBE_TIMING_t {
    int intervalMs = 100;
    int totalConstantMs = 500;
    int totalPerByteMs = 1;
    int gapMs = 10;
    bool bQuietLine = false;
};

struct SCAN_OPTIONS_t {
    PROBE_TIMING_t timing;
    // The probe's note of the network mode it read ("<port> > MODECONFIG
    // = <n>"); the inbox command turns it off. The note of a mode switch is
    // always written.
    bool bVerbose = true;
    // Once a stop is requested, the probes write nothing more and end at
    // once; what they had found stays in the records.
    CStopToken stop{};
};
