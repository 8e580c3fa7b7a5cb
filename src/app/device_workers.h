#pragma once
// Work on several devices at once, results in device order.
//
// One worker thread per port: the devices that name the same port (a port
// list may name a port twice) are worked one after another on the same
// worker, so a port is only ever used by one thread. The results of each
// device are handed to `deliver` on the calling thread, device after device
// in the order of the list and, within a device, in the order they were
// emitted, each as soon as it and everything before it is there: what is
// printed or collected is exactly what working the devices one by one gives,
// only sooner. Every worker has ended when the call returns.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/application.h"

template <typename RESULT_t>
class CDeviceWorkers {
public:
    // Emits one result of the device being worked; callable from its worker.
    using Emit = std::function<void(RESULT_t)>;
    // Works one device on a worker thread, emitting its results.
    using Work = std::function<void(const COM_DEVICE_t&, const Emit&)>;
    using Deliver = std::function<void(RESULT_t&)>;

    static void Run(const std::vector<COM_DEVICE_t>& devices, const Work& work,
                    const Deliver& deliver)
    {
        CDeviceWorkers runner(devices.size());
        runner.Start(devices, work);
        runner.DeliverInOrder(deliver);
        runner.Join();
    }

private:
    struct SLOT_t {
        std::deque<RESULT_t> pending;
        bool done = false;
    };

    explicit CDeviceWorkers(std::size_t count) : m_slots(count) {}

    // One worker per port; a port whose thread cannot be started is worked
    // on the calling thread before the results are handed on.
    void Start(const std::vector<COM_DEVICE_t>& devices, const Work& work)
    {
        std::map<std::string, std::vector<std::size_t>> byPort;
        std::vector<std::string> order;
        for (std::size_t i = 0; i < devices.size(); ++i) {
            std::vector<std::size_t>& group = byPort[devices[i].port.strPath];
            if (group.empty()) {
                order.push_back(devices[i].port.strPath);
            }
            group.push_back(i);
        }
        std::vector<std::vector<std::size_t>> inlineGroups;
        for (const std::string& port : order) {
            const std::vector<std::size_t>& group = byPort[port];
            auto body = [this, &devices, &work, group] { WorkGroup(devices, work, group); };
            try {
                m_threads.emplace_back(body);
            } catch (const std::system_error&) {
                inlineGroups.push_back(group);
            }
        }
        for (const std::vector<std::size_t>& group : inlineGroups) {
            WorkGroup(devices, work, group);
        }
    }

    void WorkGroup(const std::vector<COM_DEVICE_t>& devices, const Work& work,
                   const std::vector<std::size_t>& group)
    {
        for (std::size_t index : group) {
            work(devices[index], [this, index](RESULT_t result) {
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_slots[index].pending.push_back(std::move(result));
                }
                m_changed.notify_all();
            });
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_slots[index].done = true;
            }
            m_changed.notify_all();
        }
    }

    void DeliverInOrder(const Deliver& deliver)
    {
        for (SLOT_t& slot : m_slots) {
            for (;;) {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [&slot] { return !slot.pending.empty() || slot.done; });
                if (slot.pending.empty()) {
                    break;
                }
                RESULT_t result = std::move(slot.pending.front());
                slot.pending.pop_front();
                lock.unlock();
                deliver(result);
            }
        }
    }

    void Join()
    {
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }

    std::vector<SLOT_t> m_slots;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_changed;
};
