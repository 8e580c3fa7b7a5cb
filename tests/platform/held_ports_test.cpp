// The registry of held ports that both serial backends keep their open ports
// in, for closing and for the exit cleanup.

#include "platform/held_ports.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace {

using CPorts = CHeldPorts<int>;

std::map<std::intptr_t, int> Held(const CPorts& ports)
{
    std::map<std::intptr_t, int> held;
    ports.ForEach([&held](std::intptr_t handle, int settings) {
        EXPECT_TRUE(held.emplace(handle, settings).second) << "handle " << handle << " twice";
    });
    return held;
}

TEST(HeldPortsTest, ReleaseHandsBackTheSettingsOfThatPortOnce)
{
    auto ports = std::make_unique<CPorts>();
    ASSERT_TRUE(ports->Hold(7, 70));
    ASSERT_TRUE(ports->Hold(0, 1));  // descriptor 0 is a port like any other
    ASSERT_TRUE(ports->Hold(9, 90));
    EXPECT_EQ(Held(*ports), (std::map<std::intptr_t, int>{{0, 1}, {7, 70}, {9, 90}}));

    std::vector<int> handedBack;
    auto record = [&handedBack](int settings) { handedBack.push_back(settings); };
    EXPECT_TRUE(ports->Release(7, record));
    EXPECT_FALSE(ports->Release(7, record)) << "released twice";
    EXPECT_FALSE(ports->Release(8, record)) << "never held";
    EXPECT_FALSE(ports->Release(-1, record)) << "the free mark is no handle";
    EXPECT_EQ(handedBack, std::vector<int>{70});
    EXPECT_EQ(Held(*ports), (std::map<std::intptr_t, int>{{0, 1}, {9, 90}}));
}

TEST(HeldPortsTest, EverySlotIsUsedAndAFreedOneIsTakenAgain)
{
    auto ports = std::make_unique<CPorts>();
    for (int handle = 0; handle < CPorts::kMaxPorts; ++handle) {
        ASSERT_TRUE(ports->Hold(handle, handle * 2)) << handle;
    }
    EXPECT_FALSE(ports->Hold(CPorts::kMaxPorts, 0)) << "every slot is taken";
    EXPECT_EQ(Held(*ports).size(), static_cast<std::size_t>(CPorts::kMaxPorts));

    EXPECT_TRUE(ports->Release(500, [](int settings) { EXPECT_EQ(settings, 1000); }));
    EXPECT_TRUE(ports->Hold(5000, 1));
    const auto held = Held(*ports);
    EXPECT_EQ(held.count(500), 0u);
    EXPECT_EQ(held.at(5000), 1);
    EXPECT_EQ(held.at(501), 1002);
}

// The ports of a scan are opened and closed on one thread each; no slot may
// be given twice or lost.
TEST(HeldPortsTest, ThreadsHoldingAndReleasingAtOnceKeepEveryPortApart)
{
    auto ports = std::make_unique<CPorts>();
    constexpr int kThreads = 8;
    constexpr int kPerThread = 100;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&ports, t] {
            for (int round = 0; round < 20; ++round) {
                for (int i = 0; i < kPerThread; ++i) {
                    const int handle = t * kPerThread + i;
                    EXPECT_TRUE(ports->Hold(handle, handle + round));
                }
                for (int i = 0; i < kPerThread; i += 2) {
                    const int handle = t * kPerThread + i;
                    EXPECT_TRUE(ports->Release(handle, [handle, round](int settings) {
                        EXPECT_EQ(settings, handle + round);
                    }));
                }
                if (round < 19) {
                    for (int i = 1; i < kPerThread; i += 2) {
                        ports->Release(t * kPerThread + i, [](int) {});
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    // The odd handles of the last round stay held, each with its settings.
    const auto held = Held(*ports);
    ASSERT_EQ(held.size(), static_cast<std::size_t>(kThreads * kPerThread / 2));
    for (const auto& [handle, settings] : held) {
        EXPECT_EQ(handle % 2, 1);
        EXPECT_EQ(settings, handle + 19);
    }
}

}  // namespace
