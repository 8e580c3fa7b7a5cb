#pragma once
// One watched modem: a worker thread that keeps the modem's port open and
// exclusive for the whole watch, asks the modem for new-message indications
// (AT+CNMI), sweeps every storage at least every sweepMs and at once on an
// indication, writes each message, report and unreadable entry as a line of
// the stream and deletes a message only after its line has been written.
// A modem that goes away is written "lost" and probed again until it
// answers; the worker then takes it back ("ready"). The worker holds the
// port's watch mark (platform/watch_mark.h) for its whole run, and between
// sweeps it sends what send commands queued for its port in the store's
// outbox (app/outbox_service.h), writing a "sent" line for each.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/inbox_store.h"
#include "app/watch_lines.h"
#include "app/watch_stream.h"
#include "drivers/phone_card_base.h"
#include "platform/stop_request.h"
#include "platform/watch_mark.h"
#include "scan/scan_options.h"
#include "store/message_store.h"
#include "transport/com_port.h"

// How often the watch looks, in milliseconds.
struct WATCH_TIMING_t {
    // Every storage of a watched modem is read at least this often.
    int sweepMs = 10000;
    // The longest wait for unsolicited bytes between looks at the clock.
    int idleWaitMs = 500;
    // A sweep for an indication starts at least this long after the last.
    int indicationGapMs = 1000;
    // The outbox is looked at this often between sweeps.
    int outboxPollMs = 1000;
    // A lost modem's port is probed again this often.
    int lostProbeMs = 5000;
    // A port that could not be taken, and every other port.
    int errorProbeMs = 60000;
};

// What the workers of one watch share.
struct WATCH_CONTEXT_t {
    CWatchStream* pStream = nullptr;
    // The watch's stop: a stop signal, or a stream that failed.
    CStopToken stop;
    SCAN_OPTIONS_t scanOptions;  // the probe of a lost modem
    AT_PACING_t pacing;
    WATCH_TIMING_t timing;
    // How long an incomplete long message waits for its other parts.
    std::int64_t nIncompleteLimitSeconds = kIncompleteLimitSeconds;
    // The message store (TELLMAR_STORE): each worker opens its own
    // connection to it, and serves the sends queued there for its port (the
    // outbox). Empty: no store.
    std::string strStorePath;
    // The store is set but refused (said once by the command): no worker
    // deletes anything, since no message could be kept first.
    bool bStoreRefused = false;
};

class CWatchWorker {
public:
    CWatchWorker(const COM_DEVICE_t& device, const WATCH_CONTEXT_t& context);
    CWatchWorker(const CWatchWorker&) = delete;
    CWatchWorker& operator=(const CWatchWorker&) = delete;

    // Watches until the context's stop: the exchange in progress ends within
    // its deadline (a message whose deletion has begun is deleted whole),
    // and the port is closed (its settings restored, exclusive mode left).
    void Run();

    // The modem is attached and answering (not lost); any thread.
    bool Attached() const { return m_bAttached.load(std::memory_order_acquire); }
    // The IMEI (or serial) the modem had when it was last attached.
    std::string ModemIdentity() const;
    const COM_PORT_t& Port() const { return m_watchedPort; }

private:
    enum STORAGE_t { STORAGE_ME, STORAGE_SM, STORAGE_SR };

    bool Stopping() const;
    bool Write(const Json::Value& record);
    // Opens and sets up the port; `probe`: the port is probed first (the
    // scan's probe) and the device taken from what answers. False with why.
    bool Attach(bool probe, std::string& why);
    void Detach();
    // Serves the attached port until it fails or the watch stops.
    void Serve();
    // Reads every storage, writes what is new and deletes what was written.
    void Sweep();
    void SweepStorage(STORAGE_t storage);
    bool SelectStorage(STORAGE_t storage);
    // Deletes the stored parts of one message. The caller begins it only
    // while no stop is requested; begun, it runs to its end, so that no
    // message is left half deleted.
    bool DeleteParts(const std::vector<int>& indexes);
    // The indications the channel holds: a sweep brought forward, a +CDS
    // report written at once.
    void TakeIndications();
    // Takes the port's mark and opens the store; false (the port written as
    // "error") when another watch holds the port.
    bool Prepare();
    // The sends waiting in the outbox for this port, each written as a
    // "sent" line; at most every kOutboxPollMs.
    void ServeSends();
    // Whether deleting is allowed at all: not with a store that was refused.
    bool MayDelete() const;
    // Keeps a message (a +CDS report: `storage` empty) in the store before
    // it may be deleted: true once committed, and without a store; false
    // (said on standard error) when the store refused it, which then stays
    // on the modem.
    bool Kept(const std::string& storage, const SmsMessage& message);
    // Keeps an unreadable entry, which stays on the modem anyway.
    void KeptEntry(const std::string& storage, const SmsUnreadable& entry);
    STORE_ORIGIN_t Origin(const std::string& storage) const;
    // A store failure on standard error, once until it changes.
    void SayStoreFailure(const std::string& error);
    WATCH_MESSAGE_t Found(const std::string& storage, const SmsMessage& message) const;
    // An incomplete long message still waiting for its other parts
    // (IsHeldBack), judged by when it was first seen when its parts carry no
    // valid time: neither written nor deleted yet.
    bool HeldBack(const std::string& key, const SmsMessage& message, std::int64_t nowUtc);

    const COM_PORT_t m_watchedPort;
    COM_DEVICE_t m_device;
    WATCH_CONTEXT_t m_context;
    std::unique_ptr<CComPortBase> m_port;
    std::unique_ptr<CPhoneCardBase> m_driver;
    std::atomic<bool> m_bAttached{false};
    mutable std::mutex m_identityMutex;
    std::string m_strIdentity;
    bool m_bReportStorage = false;
    std::int64_t m_nNextSweep = 0;
    std::int64_t m_nLastSweepEnd = 0;
    std::string m_strUnsolicited;  // channel bytes not parsed yet
    // Unreadable entries already written in this run (storage, index, PDU).
    std::set<std::string> m_reportedUnreadable;
    CWatchMark m_mark;
    std::unique_ptr<MessageStore> m_store;
    bool m_bStoreFailed = false;  // this worker's connection failed: said once, nothing deleted
    std::string m_strOwner;       // "tellmar sms watch (pid 1234)", the outbox's owner
    std::string m_strLastStoreError;
    std::int64_t m_nNextOutbox = 0;
    // The PDU lines of the +CDS lines written in this run.
    std::set<std::string> m_reportedLines;
    // Messages written whose deletion has not succeeded yet: not written again.
    std::set<std::string> m_writtenNotDeleted;
    // When this watch first saw each incomplete message whose parts carry
    // no valid time.
    std::map<std::string, std::int64_t> m_firstSeen;
};
