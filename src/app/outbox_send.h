#pragma once
// The send command's side of the outbox: a port that a running watch holds
// (platform/watch_mark.h) is not opened. When the watch hands sends through
// the store this command names too (TELLMAR_STORE, the same file however its
// path is written), the requests for that port go into the store's outbox
// (store/message_store.h) and the command waits for the watch's results;
// otherwise the port is reported busy, with the watch as the reason. Every
// other port is sent to as always.
//
//   COutboxSender outbox(stop);
//   outbox.Prepare(devices, numbers, text, statusReports);  // one batch
//   ... for device i on its worker:
//   if (outbox.Handles(i)) outbox.Work(i, emit); else /* send directly */;

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/application.h"
#include "platform/stop_request.h"
#include "platform/watch_mark.h"
#include "store/message_store.h"

class COutboxSender {
public:
    // How often the outbox is looked at while waiting, and the watch's mark
    // with it.
    static constexpr int kPollMs = 200;

    // Reads TELLMAR_STORE (empty: no store); the stop request ends the wait.
    explicit COutboxSender(const CStopToken& stop);

    // Whether a watch holds `port` with the store TELLMAR_STORE names, so a
    // send to it goes through the outbox. Opens nothing.
    static bool ServedByWatch(const COM_PORT_t& port);

    // Looks at the mark of every device's port (once each) and queues every
    // request for ports served by a watch through this store as one batch,
    // device after device, number after number. A store that cannot be
    // opened, or refuses the batch, is said once on standard error, and its
    // ports are then reported busy, as without a store.
    void Prepare(const std::vector<COM_DEVICE_t>& devices, const std::vector<std::string>& numbers,
                 const std::string& text, bool statusReports);

    // Whether device `index` of Prepare's list is held by a watch: Work then
    // gives its results, and the port must not be opened.
    bool Handles(std::size_t index) const;

    // The results of device `index`, one per number in order, each as soon as
    // it is known (from its worker thread; devices may be worked at once):
    // - busy (code 4, "error": "held by tellmar sms watch (pid 1234)") for a
    //   watch that does not serve this command's store;
    // - the watch's result, read from the outbox, for a queued request;
    // - failed (code 1), never sent, for a request still waiting when its
    //   watch is gone (its mark released, or held by a watch of another
    //   store) or when the stop request ends the wait;
    // - failed (code 1), "it may have been sent", for a request its watch
    //   took and never finished because it died (ExpireSending, done here
    //   only when no watch of this store holds the port; such a watch does it
    //   itself);
    // - failed (code 1) when the store cannot be read.
    void Work(std::size_t index, const std::function<void(SEND_RESULT_t)>& emit);

private:
    enum ROUTE_t { ROUTE_DIRECT, ROUTE_HELD, ROUTE_OUTBOX };
    struct DEVICE_t {
        ROUTE_t route = ROUTE_DIRECT;
        COM_DEVICE_t device;
        WATCH_HOLDER_t holder;
        std::vector<std::string> numbers;
        bool bReferences = false;
        std::size_t nFirstRow = 0;  // its first row in the batch's order
    };

    // A result made here for a request: its port, number and `outcome`.
    SEND_RESULT_t GivenUp(const DEVICE_t& device, const std::string& number,
                          const OutboxResult& outcome) const;
    // The results of the requests from `next` on once the stop request ended
    // the wait: those still waiting are failed (never sent), those finished
    // meanwhile give their result, those being sent say where the result goes.
    // `rows` are the device's rows (empty when the store could not be read:
    // `readError` says why).
    void GiveUpOnStop(const DEVICE_t& device, const std::vector<OutboxRow>& rows, std::size_t next,
                      const std::string& readError, const std::function<void(SEND_RESULT_t)>& emit);
    // Fails the device's rows still waiting, and expires rows of its port in
    // state sending while no watch of this store can take the port.
    void GiveUpOnGoneWatch(const DEVICE_t& device, const std::vector<OutboxRow>& rows);

    CStopToken m_stop;
    std::string m_storePath;
    std::unique_ptr<MessageStore> m_store;
    std::string m_batch;
    std::vector<DEVICE_t> m_devices;
};
