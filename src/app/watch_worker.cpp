#include "app/watch_worker.h"

#include <algorithm>
#include <ctime>

#include "app/inbox_store.h"
#include "app/json_documents.h"
#include "app/outbox_service.h"
#include "codec/reply_text.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/local_time.h"
#include "scan/port_scan.h"
#include "scan/port_view.h"
#include "transport/sms_sequences.h"

namespace {

const char* StorageName(int storage)
{
    switch (storage) {
    case 0:
        return "DEV";
    case 2:
        return "SR";
    default:
        break;
    }
    return "SIM";
}

// What tells one found message from another in this run: its storage, the
// indexes of its parts and their PDU lines.
std::string MessageKey(const std::string& storage, const SmsMessage& message)
{
    std::string key = storage + '\n';
    for (std::size_t i = 0; i < message.vecIndexes.size(); ++i) {
        key += std::to_string(message.vecIndexes[i]) + ':' +
               (i < message.vecPdus.size() ? message.vecPdus[i] : std::string()) + '\n';
    }
    return key;
}

}  // namespace

CWatchWorker::CWatchWorker(const COM_DEVICE_t& device, const WATCH_CONTEXT_t& context)
    : m_watchedPort(device.port), m_device(device), m_context(context)
{
    m_device.stop = context.stop;
    m_device.pacing = context.pacing;
    m_strIdentity = device.strSerialNo;
}

std::string CWatchWorker::ModemIdentity() const
{
    std::lock_guard<std::mutex> lock(m_identityMutex);
    return m_strIdentity;
}

bool CWatchWorker::Stopping() const
{
    return m_context.stop.StopRequested() || m_context.pStream->Failed();
}

bool CWatchWorker::Write(const Json::Value& record)
{
    return m_context.pStream->Write(record);
}

bool CWatchWorker::Prepare()
{
    std::string error;
    if (!m_mark.Take(m_watchedPort, m_context.strStorePath, error)) {
        if (CWatchMark::Test(m_watchedPort).bWatched) {
            Write(WatchPortRecord(m_watchedPort, WATCH_PORT_ERROR, error));
            return false;
        }
        // Without its mark the port is still watched; a send command then
        // finds it busy as it finds any program's port.
        ConsoleNote("tellmar: " + m_watchedPort.strName + ": no watch mark (" + error + ")\n");
    }
    const WATCH_HOLDER_t self = CWatchMark::Test(m_watchedPort);
    m_strOwner = self.bWatched ? WatchName(self) : "tellmar sms watch";
    if (!m_context.strStorePath.empty() && !m_context.bStoreRefused) {
        m_store = MessageStore::Open(m_context.strStorePath, error);
        if (!m_store) {
            m_bStoreFailed = true;
            SayStoreError(m_watchedPort.strName + ": " + error);
        }
    }
    return true;
}

bool CWatchWorker::MayDelete() const
{
    return m_context.strStorePath.empty() || (m_store && !m_bStoreFailed);
}

bool CWatchWorker::Kept(const std::string& storage, const SmsMessage& message)
{
    if (!m_store) {
        return m_context.strStorePath.empty();
    }
    std::string error;
    if (KeepInStore(*m_store, message, Origin(storage), error)) {
        return true;
    }
    // The message stays on the modem; the next sweep tries again.
    SayStoreFailure(error);
    return false;
}

void CWatchWorker::KeptEntry(const std::string& storage, const SmsUnreadable& entry)
{
    std::string error;
    if (m_store && !KeepInStore(*m_store, entry, Origin(storage), error)) {
        SayStoreFailure(error);
    }
}

STORE_ORIGIN_t CWatchWorker::Origin(const std::string& storage) const
{
    return STORE_ORIGIN_t{m_watchedPort.strName, m_device.strIccid, storage, NowText()};
}

void CWatchWorker::SayStoreFailure(const std::string& error)
{
    if (error != m_strLastStoreError) {
        m_strLastStoreError = error;
        SayStoreError(m_watchedPort.strName + ": " + error);
    }
}

void CWatchWorker::ServeSends()
{
    const std::int64_t now = MonotonicMs();
    if (!m_store || m_bStoreFailed || now < m_nNextOutbox) {
        return;
    }
    m_nNextOutbox = now + m_context.timing.outboxPollMs;
    std::string error;
    const bool served = ServeOutbox(
        *m_store, m_strOwner, m_watchedPort, *m_port, *m_driver,
        [this](const OUTBOX_SENT_t& sent) { Write(SentLine(sent)); }, error);
    if (!served) {
        SayStoreFailure(error);
    }
}

void CWatchWorker::Run()
{
    if (!Prepare()) {
        return;
    }
    bool everReady = false;
    bool errorWritten = false;
    std::int64_t nextAttempt = 0;
    while (!Stopping()) {
        if (!m_port) {
            const std::int64_t now = MonotonicMs();
            if (now < nextAttempt) {
                m_context.stop.WaitFor(
                    static_cast<int>(std::min<std::int64_t>(nextAttempt - now, 500)));
                continue;
            }
            std::string why;
            if (!Attach(everReady, why)) {
                if (Stopping()) {
                    break;
                }
                // A port that was never taken says so once; a lost one has.
                if (!everReady && !errorWritten) {
                    errorWritten = Write(WatchPortRecord(m_device.port, WATCH_PORT_ERROR, why));
                }
                nextAttempt = MonotonicMs() + (everReady ? m_context.timing.lostProbeMs
                                                         : m_context.timing.errorProbeMs);
                continue;
            }
            everReady = true;
            errorWritten = false;
            m_bAttached.store(true, std::memory_order_release);
            Write(WatchPortRecord(m_device.port, WATCH_PORT_READY, std::string()));
            m_nNextSweep = MonotonicMs();
        }
        Serve();
        if (m_port && m_port->IsFailed() && !Stopping()) {
            Write(WatchPortRecord(m_device.port, WATCH_PORT_LOST, m_port->FailureText()));
            Detach();
            nextAttempt = MonotonicMs() + m_context.timing.lostProbeMs;
        }
    }
    Detach();
}

bool CWatchWorker::Attach(bool probe, std::string& why)
{
    if (probe) {
        COM_CHECK_RESULT_t record = ProbePort(m_device.port, m_context.scanOptions);
        std::vector<COM_CHECK_RESULT_t> records{record};
        ClosePortHandles(records);
        CleanPortFields(records);
        const PORT_VIEW_t view = PortViewOf(records[0]);
        if (!view.bComplete) {
            why = view.strReason;
            return false;
        }
        m_device = DeviceOfRecord(records[0], m_context.pacing);
        m_device.port = m_watchedPort;
        m_device.stop = m_context.stop;
        std::lock_guard<std::mutex> lock(m_identityMutex);
        m_strIdentity = m_device.strSerialNo;
    }
    m_driver = CreatePhoneCard(m_device.nDeviceType);
    if (!m_driver) {
        why = ResultTextEn(CMD_RESULT_FOREIGN_DEVICE);
        return false;
    }
    m_port = std::make_unique<CComPortBase>(m_device.port, m_device.nBaud, m_device.pacing,
                                            m_device.stop);
    if (!m_port->IsOpen()) {
        why = TrimCrLf(m_port->GetErrorText());
        Detach();
        return false;
    }
    m_port->OpenUnsolicitedChannel();
    CPhoneCardBase* driver = m_driver.get();
    CComPortBase* port = m_port.get();
    RunInitCommands(driver, port);
    // The first setting the module takes; a module that takes none is still
    // swept.
    for (const std::string& command : driver->IndicationCommands()) {
        if (port->IsFailed() ||
            RunDriverCommand(driver, port, command, &CPhoneCardBase::ParseIndicationSetting,
                             ShortLimits(port->Pacing()))) {
            break;
        }
    }
    m_bReportStorage =
        RunDriverCommand(driver, port, driver->ReadStoragesCommand(),
                         &CPhoneCardBase::ParseReadStorages, ShortLimits(port->Pacing())) &&
        driver->OffersStatusReportStorage();
    if (port->IsFailed()) {
        why = port->FailureText();
        Detach();
        return false;
    }
    return true;
}

void CWatchWorker::Detach()
{
    m_bAttached.store(false, std::memory_order_release);
    m_port.reset();
    m_driver.reset();
    m_strUnsolicited.clear();
}

void CWatchWorker::Serve()
{
    while (!Stopping() && !m_port->IsFailed()) {
        const std::int64_t now = MonotonicMs();
        if (now >= m_nNextSweep) {
            Sweep();
            m_nLastSweepEnd = MonotonicMs();
            m_nNextSweep = m_nLastSweepEnd + m_context.timing.sweepMs;
            TakeIndications();
            continue;
        }
        ServeSends();
        if (m_port->IsFailed() || Stopping()) {
            return;
        }
        const int wait = static_cast<int>(std::min<std::int64_t>(
            std::max<std::int64_t>(m_nNextSweep - MonotonicMs(), 0), m_context.timing.idleWaitMs));
        if (!WaitForUnsolicited(m_port.get(), wait)) {
            return;
        }
        TakeIndications();
    }
}

void CWatchWorker::TakeIndications()
{
    m_strUnsolicited += m_port->TakeChannel();
    std::size_t consumed = 0;
    const std::vector<SMS_INDICATION_t> indications =
        m_driver->ParseUnsolicited(m_strUnsolicited, consumed);
    m_strUnsolicited.erase(0, consumed);
    for (const SMS_INDICATION_t& indication : indications) {
        if (indication.nKind != INDICATION_REPORT) {
            // At once, but a module that keeps announcing cannot keep the
            // worker sweeping without pause.
            m_nNextSweep =
                std::min(m_nNextSweep, m_nLastSweepEnd + m_context.timing.indicationGapMs);
            continue;
        }
        // A report the module did not keep exists only in this line; a
        // module that sends the same line again has sent no new report.
        if (!m_reportedLines.insert(indication.strPdu).second) {
            continue;
        }
        if (indication.bReadable) {
            Write(WatchMessageRecord(Found(std::string(), indication.report)));
            Kept(std::string(), indication.report);
        } else {
            SmsUnreadable entry;
            entry.strPdu = indication.strPdu;
            Write(WatchUnreadableRecord(m_device.port, std::string(), entry));
        }
    }
}

WATCH_MESSAGE_t CWatchWorker::Found(const std::string& storage, const SmsMessage& message) const
{
    WATCH_MESSAGE_t found;
    found.port = m_device.port;
    found.strStorage = storage;
    found.message = message;
    found.strReceived = LocalTimeText(std::time(nullptr));
    found.strSim = m_device.strIccid;
    return found;
}

void CWatchWorker::Sweep()
{
    SweepStorage(STORAGE_ME);
    SweepStorage(STORAGE_SM);
    if (m_bReportStorage) {
        SweepStorage(STORAGE_SR);
    }
}

bool CWatchWorker::SelectStorage(STORAGE_t storage)
{
    CPhoneCardBase* driver = m_driver.get();
    CComPortBase* port = m_port.get();
    const AT_LIMITS_t limits = ShortLimits(port->Pacing());
    switch (storage) {
    case STORAGE_ME:
        return RunDriverCommand(driver, port, driver->SelectMeStorageCommand(),
                                &CPhoneCardBase::ParseSelectMeStorage, limits);
    case STORAGE_SR:
        return RunDriverCommand(driver, port, driver->SelectSrStorageCommand(),
                                &CPhoneCardBase::ParseSelectSrStorage, limits);
    case STORAGE_SM:
        break;
    }
    return RunDriverCommand(driver, port, driver->SelectSmStorageCommand(),
                            &CPhoneCardBase::ParseSelectSmStorage, limits);
}

void CWatchWorker::SweepStorage(STORAGE_t storage)
{
    if (Stopping() || m_port->IsFailed() || !SelectStorage(storage)) {
        return;
    }
    CPhoneCardBase* driver = m_driver.get();
    driver->StartListing();
    bool complete = false;
    if (!ReadStoredMessages(driver, m_port.get(), &complete)) {
        return;
    }
    const std::string name = StorageName(storage);
    for (const SmsUnreadable& entry : driver->GetUnreadable()) {
        const std::string key = name + '\n' + std::to_string(entry.nIndex) + '\n' + entry.strPdu;
        if (m_reportedUnreadable.count(key) == 0 &&
            Write(WatchUnreadableRecord(m_device.port, name, entry))) {
            m_reportedUnreadable.insert(key);
            // Kept for whoever wants to look at it; it stays on the modem.
            KeptEntry(name, entry);
        }
    }
    const std::vector<SmsMessage> messages = driver->GetMessages();
    const std::int64_t nowUtc = WallSeconds();
    std::set<std::string> present;
    for (const SmsMessage& message : messages) {
        const std::string key = MessageKey(name, message);
        present.insert(key);
        if (HeldBack(key, message, nowUtc)) {
            continue;
        }
        if (m_writtenNotDeleted.count(key) == 0) {
            if (!Write(WatchMessageRecord(Found(name, message)))) {
                return;
            }
            m_writtenNotDeleted.insert(key);
        }
        // A storage read in part keeps everything: what was not reported
        // must not go.
        if (!complete || Stopping() || !MayDelete() || !Kept(name, message)) {
            continue;
        }
        if (DeleteParts(message.vecIndexes)) {
            m_writtenNotDeleted.erase(key);
        }
    }
    // What is no longer on the modem needs no memory.
    for (auto it = m_firstSeen.begin(); it != m_firstSeen.end();) {
        const bool here = it->first.compare(0, name.size() + 1, name + '\n') != 0 ||
                          present.count(it->first) != 0;
        it = here ? std::next(it) : m_firstSeen.erase(it);
    }
}

bool CWatchWorker::HeldBack(const std::string& key, const SmsMessage& message, std::int64_t nowUtc)
{
    if (message.vecMissing.empty()) {
        return false;
    }
    // A message whose parts carry no valid time is judged by when this
    // watch first saw it.
    SmsMessage judged = message;
    if (judged.nNewestPartUtc == 0) {
        judged.nNewestPartUtc = m_firstSeen.emplace(key, nowUtc).first->second;
    }
    return IsHeldBack(judged, nowUtc, m_context.nIncompleteLimitSeconds);
}

bool CWatchWorker::DeleteParts(const std::vector<int>& indexes)
{
    CPhoneCardBase* driver = m_driver.get();
    CComPortBase* port = m_port.get();
    // Begun, the deletion of a message runs to its end: a stop cuts none of
    // its exchanges (each still ends within its limits).
    AT_LIMITS_t limits = ShortLimits(port->Pacing());
    limits.bStoppable = false;
    for (int index : indexes) {
        if (!RunDriverCommand(driver, port, driver->DeleteOneCommand(index),
                              &CPhoneCardBase::ParseDeleteAll, limits)) {
            return false;
        }
    }
    return true;
}
