#pragma once
// The ports this process holds, each with what its backend needs to hand it
// back as it was found: when the port is closed, and by the exit cleanup
// (platform/exit_cleanup.h) when the process ends without closing it. Both
// backends keep their ports here; only what is kept (`Settings`) and how it
// is put back are their own.
//
// Lock-free, so that the cleanup may walk it inside a signal handler: a slot
// is taken, its settings written, and then its handle published; ForEach
// sees only published slots.

#include <atomic>
#include <cstdint>

template <typename Settings>
class CHeldPorts {
public:
    // As many as a process may have descriptors by default.
    static constexpr int kMaxPorts = 1024;

    // Takes a free slot for the open port `handle` (a descriptor, or a
    // Win32 HANDLE; never -1) with the settings found at open. False when
    // every slot is taken.
    bool Hold(std::intptr_t handle, const Settings& found)
    {
        for (SLOT_t& slot : m_slots) {
            bool expected = false;
            if (slot.taken.compare_exchange_strong(expected, true)) {
                slot.settings = found;
                slot.handle.store(handle, std::memory_order_release);
                return true;
            }
        }
        return false;
    }

    // Calls handBack(settings) for the slot of `handle`, then frees it.
    // False, and nothing called, when the handle is not held.
    template <typename HandBack>
    bool Release(std::intptr_t handle, HandBack handBack)
    {
        if (handle == kFree) {
            return false;
        }
        for (SLOT_t& slot : m_slots) {
            if (slot.handle.load(std::memory_order_acquire) == handle) {
                handBack(static_cast<const Settings&>(slot.settings));
                slot.handle.store(kFree, std::memory_order_release);
                slot.taken.store(false, std::memory_order_release);
                return true;
            }
        }
        return false;
    }

    // Calls handBack(handle, settings) for every port held. Async-signal-safe
    // when handBack is: it reads atomics and the slots only.
    template <typename HandBack>
    void ForEach(HandBack handBack) const
    {
        for (const SLOT_t& slot : m_slots) {
            const std::intptr_t handle = slot.handle.load(std::memory_order_acquire);
            if (handle != kFree) {
                handBack(handle, slot.settings);
            }
        }
    }

private:
    static constexpr std::intptr_t kFree = -1;
    static_assert(std::atomic<std::intptr_t>::is_always_lock_free, "read in a signal handler");

    struct SLOT_t {
        std::atomic<bool> taken{false};
        std::atomic<std::intptr_t> handle{kFree};
        Settings settings{};
    };
    SLOT_t m_slots[kMaxPorts];
};
