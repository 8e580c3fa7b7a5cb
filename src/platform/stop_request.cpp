#include "platform/stop_request.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/exit_handlers.h"

namespace {

// The request the signals make. It is never destroyed: a signal may come
// while the process is ending.
std::atomic<int>& SignalRequest()
{
    static std::atomic<int>* request = new std::atomic<int>(0);
    return *request;
}

constexpr int kWaitStepMs = 50;

}  // namespace

std::string CStopToken::Reason() const
{
    const int signal = Signal();
    return signal == 0 ? std::string() : StopSignalName(signal);
}

bool CStopToken::WaitFor(int ms) const
{
    const std::int64_t end = MonotonicMs() + std::max(ms, 0);
    for (;;) {
        if (StopRequested()) {
            return true;
        }
        const std::int64_t left = end - MonotonicMs();
        if (left <= 0) {
            return false;
        }
        SleepMs(static_cast<int>(std::min<std::int64_t>(left, kWaitStepMs)));
    }
}

CStopSource::CStopSource() : m_request(std::make_shared<std::atomic<int>>(0)) {}

CStopToken CStopSource::Token() const
{
    return CStopToken(m_request);
}

void CStopSource::RequestStop(int signal)
{
    int none = 0;
    m_request->compare_exchange_strong(none, signal, std::memory_order_acq_rel);
}

CStopToken CatchStopSignals()
{
    static_assert(std::atomic<int>::is_always_lock_free, "set in a signal handler");
    std::atomic<int>& request = SignalRequest();
    InstallStopHandlers(&request);
    // Not owned: the request outlives every token.
    return CStopToken(std::shared_ptr<const std::atomic<int>>(&request, [](const void*) {}));
}
