#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace DeviceModels {

// A lock for a few copied bytes shared between the GUI thread and the model's worker: an atomic
// byte taken by exchange and released by a store. Never hold it across device traffic or a wait.
class SpinLock {
public:
    void lock() noexcept
    {
        // Yields rather than burn the core that the holder, preempted, may need to finish.
        while (m_flag.exchange(1, std::memory_order_acquire) != 0)
            std::this_thread::yield();
    }
    void unlock() noexcept { m_flag.store(0, std::memory_order_release); }

private:
    std::atomic<uint8_t> m_flag{0};
};

} // namespace DeviceModels
