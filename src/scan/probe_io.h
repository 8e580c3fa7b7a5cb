#pragma once
// The probe's own raw serial I/O: one write per command, one bounded read per
// reply, no retries; the port's time-outs do the waiting.

#include <cstddef>
#include <memory>
#include <string>

#include "scan/check_result.h"
#include "scan/scan_options.h"

// The line the query steps talk over. Send drops the input that waits (it is
// no answer to this command) and writes a command without reading; Receive
// is one read, returned as a reply text (see ReplyText).
class CProbeLine {
public:
    virtual ~CProbeLine() = default;
    virtual void Send(const std::string& command) = 0;
    virtual std::string Receive() = 0;

    // The exchange rule: Send, then one Receive.
    std::string Exchange(const std::string& command);
};

// The probe line over the open port of a record. Write and read failures
// are not examined: a failed read is an empty reply. A read keeps the
// probe's time-outs (`timing`) and ends early on the reply's final line
// unless the quiet-line mode is on. Writes and reads go to the AT trace
// under the port's name. Once `stop` asks, nothing is written any more and
// every reply is empty at once.
class CDeviceProbeLine : public CProbeLine {
public:
    CDeviceProbeLine(std::shared_ptr<CSerialDevice> device, std::string portName,
                     const PROBE_TIMING_t& timing, const CStopToken& stop = CStopToken());
    void Send(const std::string& command) override;
    std::string Receive() override;

private:
    std::shared_ptr<CSerialDevice> m_device;
    std::string m_strPortName;
    PROBE_TIMING_t m_timing;
    CStopToken m_stop;
};

// Configures the open port of the record: 8N1 at `baudRate` with the probe's
// time-outs (`timing`). False when there is no open port or the device
// refuses the settings.
bool SetComBaud(COM_CHECK_RESULT_t& record, int baudRate, const PROBE_TIMING_t& timing);

// One read of at most `size` bytes into `reply` (replaced, cut at the first
// NUL). Returns whether the read succeeded; `reply` is empty when it did not.
// The bytes as they came go to the AT trace under `portName`.
bool ReadReply(const std::shared_ptr<CSerialDevice>& hCom, std::string& reply, std::size_t size,
               const std::string& portName);
