// Devices worked at once: one worker per port, results in device order.

#include "app/device_workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

COM_DEVICE_t Device(const std::string& name)
{
    COM_DEVICE_t device;
    device.port = PortNamed(name);
    return device;
}

// A flag one thread raises and another waits for; the wait gives up after
// ten seconds, so that a test whose workers do not run at once fails instead
// of hanging.
class CSignal {
public:
    void Raise()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_raised = true;
        }
        m_changed.notify_all();
    }
    bool Wait()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_raised; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_raised = false;
};

using Workers = CDeviceWorkers<std::string>;

TEST(DeviceWorkers, ResultsComeInDeviceOrderWhicheverDeviceEndsFirst)
{
    const std::vector<COM_DEVICE_t> devices = {Device("COM3"), Device("COM4"), Device("COM5")};
    CSignal lastDone;
    std::atomic<bool> firstSawLast{false};
    std::vector<std::string> delivered;
    std::vector<std::thread::id> deliveredOn;
    Workers::Run(
        devices,
        [&](const COM_DEVICE_t& device, const Workers::Emit& emit) {
            const std::string& name = device.port.strName;
            if (name == "COM3") {
                // The first device ends last: it waits for the third.
                firstSawLast = lastDone.Wait();
                emit(name);
            } else if (name == "COM4") {
                emit(name + " a");
                emit(name + " b");
            } else {
                emit(name);
                lastDone.Raise();
            }
        },
        [&](std::string& result) {
            delivered.push_back(result);
            deliveredOn.push_back(std::this_thread::get_id());
        });
    EXPECT_TRUE(firstSawLast) << "the devices were not worked at once";
    EXPECT_EQ(delivered, (std::vector<std::string>{"COM3", "COM4 a", "COM4 b", "COM5"}));
    for (const std::thread::id& id : deliveredOn) {
        EXPECT_EQ(id, std::this_thread::get_id()) << "results are handed on the calling thread";
    }
}

TEST(DeviceWorkers, DevicesOnOnePortAreWorkedInTurnOnOneWorker)
{
    const std::vector<COM_DEVICE_t> devices = {Device("COM3"), Device("COM4"), Device("COM3"),
                                               Device("COM3")};
    std::mutex mutex;
    std::map<std::string, int> busy;
    bool overlapped = false;
    std::vector<std::thread::id> com3Threads;
    std::vector<std::string> delivered;
    std::atomic<int> com3Order{0};
    Workers::Run(
        devices,
        [&](const COM_DEVICE_t& device, const Workers::Emit& emit) {
            const std::string& name = device.port.strName;
            {
                std::lock_guard<std::mutex> lock(mutex);
                overlapped = overlapped || ++busy[name] > 1;
                if (name == "COM3") {
                    com3Threads.push_back(std::this_thread::get_id());
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            emit(name + (name == "COM3" ? "#" + std::to_string(com3Order++) : ""));
            std::lock_guard<std::mutex> lock(mutex);
            --busy[name];
        },
        [&](std::string& result) { delivered.push_back(result); });
    EXPECT_FALSE(overlapped) << "a port was used by two threads at once";
    ASSERT_EQ(com3Threads.size(), 3u);
    EXPECT_EQ(com3Threads[0], com3Threads[1]);
    EXPECT_EQ(com3Threads[1], com3Threads[2]);
    EXPECT_EQ(delivered, (std::vector<std::string>{"COM3#0", "COM4", "COM3#1", "COM3#2"}));
}

TEST(DeviceWorkers, AResultIsHandedOnBeforeItsDeviceHasEnded)
{
    CSignal firstHandedOn;
    bool waited = false;
    std::vector<std::string> delivered;
    Workers::Run(
        {Device("COM3")},
        [&](const COM_DEVICE_t&, const Workers::Emit& emit) {
            emit("first");
            waited = firstHandedOn.Wait();
            emit("second");
        },
        [&](std::string& result) {
            delivered.push_back(result);
            if (result == "first") {
                firstHandedOn.Raise();
            }
        });
    EXPECT_TRUE(waited) << "the first result waited for the device to end";
    EXPECT_EQ(delivered, (std::vector<std::string>{"first", "second"}));
}

TEST(DeviceWorkers, NoDevicesNoWork)
{
    bool called = false;
    Workers::Run(
        {}, [&](const COM_DEVICE_t&, const Workers::Emit&) { called = true; },
        [&](std::string&) { called = true; });
    EXPECT_FALSE(called);
}

}  // namespace
