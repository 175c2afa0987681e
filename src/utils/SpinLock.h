#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace Utils {

// A lock for a few copied bytes shared between threads: one atomic byte taken by exchange and
// released by a store. Hold it only for short copies, never across device traffic, I/O of any
// length or a wait. Usable with std::lock_guard / std::unique_lock, or through SpinGuard.
class SpinLock {
public:
    SpinLock() = default;
    SpinLock(const SpinLock&) = delete;
    SpinLock& operator=(const SpinLock&) = delete;

    void lock() noexcept
    {
        // Yields rather than burn the core that the holder, preempted on a busy machine, may need
        // to finish.
        while (m_flag.exchange(1, std::memory_order_acquire) != 0)
            std::this_thread::yield();
    }
    bool try_lock() noexcept { return m_flag.exchange(1, std::memory_order_acquire) == 0; }
    void unlock() noexcept { m_flag.store(0, std::memory_order_release); }

private:
    std::atomic<uint8_t> m_flag{0};
};

// Holds a SpinLock for the guard's scope.
class SpinGuard {
public:
    explicit SpinGuard(SpinLock& lock) noexcept
        : m_lock(lock)
    {
        m_lock.lock();
    }
    ~SpinGuard() { m_lock.unlock(); }
    SpinGuard(const SpinGuard&) = delete;
    SpinGuard& operator=(const SpinGuard&) = delete;

private:
    SpinLock& m_lock;
};

} // namespace Utils
