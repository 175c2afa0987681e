#include "utils/TimersThread.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace Utils {

// Times are steady-clock milliseconds truncated to 32 bits; due times are kept relative to a time
// base and all arithmetic on them is modulo 2^32.
class TimersThread::Pimpl {
public:
    struct AwaitRecord {
        std::mutex mutex;
        std::condition_variable condition;
        bool done = false;
        bool ran = false;
    };

    struct Info {
        TimerId id = -1;
        std::function<void()> callback;
        uint32_t intervalMs = 0;
        uint32_t minGapMs = 0;
        unsigned long long runsLeft = 0; // 0 = endless
        uint32_t due = 0;
        TimersThread::Mode mode = TimersThread::Mode::FixedRate;
        AwaitRecord* await = nullptr;
        // Tells this entry apart from a later one that reuses its id.
        uint64_t serial = 0;
    };

    explicit Pimpl(unsigned long long capacity) { timers.reserve(size_t(capacity)); }

    static uint32_t GetRawTime()
    {
        using namespace std::chrono;
        return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }

    uint32_t getTimeUnsafe() const { return GetRawTime() - timeBase; }

    void lazyRunThreadUnsafe()
    {
        if (threadStarted)
            return;
        threadStarted = true;
        thread = std::thread([this] { ThreadFunction(); });
        threadId = thread.get_id();
    }

    // Called with the mutex held whenever an entry is added.
    void prepareForNewEntryUnsafe()
    {
        if (timers.empty())
            timeBase = GetRawTime();
        lazyRunThreadUnsafe();
    }

    Info* findUnsafe(TimerId id)
    {
        for (Info& info : timers) {
            if (info.id == id)
                return &info;
        }
        return nullptr;
    }

    Info* findBySerialUnsafe(uint64_t serial)
    {
        for (Info& info : timers) {
            if (info.serial == serial)
                return &info;
        }
        return nullptr;
    }

    void eraseUnsafe(const Info* info) { timers.erase(timers.begin() + (info - timers.data())); }

    // A wanted id is granted when free. Automatic ids count up and skip every id in use, so a
    // timer that asked for a particular id never shares it with an automatic one.
    TimerId maybeGenerateIdUnsafe(TimerId wanted)
    {
        if (wanted != -1)
            return findUnsafe(wanted) ? -1 : wanted;
        while (nextId != 0xFFFFFFFFu) {
            const auto candidate = TimerId(nextId++);
            if (!findUnsafe(candidate))
                return candidate;
        }
        return -1;
    }

    // Index of the entry due first; the first in table order among equal due times.
    size_t getNearestTimeUnsafe() const
    {
        size_t nearest = 0;
        for (size_t i = 1; i < timers.size(); ++i) {
            if (timers[i].due < timers[nearest].due)
                nearest = i;
        }
        return nearest;
    }

    static void ReleaseAwait(AwaitRecord* await, bool ran)
    {
        if (!await)
            return;
        std::lock_guard<std::mutex> awaitLock(await->mutex);
        await->done = true;
        await->ran = ran;
        await->condition.notify_all();
    }

    // Looks the entry that ran up by identity: while its callback ran, it may have been stopped
    // and its id handed to a new timer.
    void rescheduleCurrentUnsafe(AwaitRecord* runningAwait)
    {
        Info* info = findBySerialUnsafe(runningSerial);
        runningSerial = 0;
        // A performAwaitNow caller is released once its function ran, even if the entry was
        // stopped meanwhile.
        ReleaseAwait(runningAwait, true);
        if (!info) {
            // Stopped while it ran; a stopTimer may be waiting for the callback to return.
            doneCondition.notify_all();
            return;
        }
        if (info->runsLeft == 1) {
            eraseUnsafe(info);
            return;
        }
        const uint32_t now = getTimeUnsafe();
        uint32_t next = info->due;
        switch (info->mode) {
        case TimersThread::Mode::FixedRate: next = info->due + info->intervalMs; break;
        case TimersThread::Mode::AfterRunStart: next = lastStartTime + info->intervalMs; break;
        case TimersThread::Mode::AfterRunEnd: next = now + info->intervalMs; break;
        default: break;
        }
        if (int32_t(next - now) < int32_t(info->minGapMs))
            next = now + info->minGapMs;
        info->due = next;
        if (info->runsLeft != 0)
            --info->runsLeft;
    }

    void ThreadFunction()
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopRequested) {
            if (timers.empty()) {
                wakeCondition.wait(lock, [this] { return changed || stopRequested; });
            } else {
                const size_t nearest = getNearestTimeUnsafe();
                const uint32_t smallest = timers[nearest].due;
                if (smallest & 0x80000000u) {
                    timeBase += smallest;
                    for (Info& info : timers)
                        info.due -= smallest;
                }
                Info& info = timers[nearest];
                const uint32_t rawNow = GetRawTime();
                lastStartTime = rawNow - timeBase;
                const auto remaining = int32_t(timeBase + info.due - rawNow);
                if (remaining <= 0) {
                    runningSerial = info.serial;
                    AwaitRecord* const runningAwait = info.await;
                    std::function<void()> callback = info.callback;
                    lock.unlock();
                    try {
                        callback();
                    } catch (...) {
                        // A failing callback must not end the worker; the timer goes on.
                    }
                    lock.lock();
                    rescheduleCurrentUnsafe(runningAwait);
                    lock.unlock();
                    callback = nullptr; // whatever it captured is released outside the lock
                    lock.lock();
                } else {
                    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(remaining);
                    wakeCondition.wait_until(lock, deadline, [this] { return changed || stopRequested; });
                }
            }
            changed = false;
        }
    }

    bool stopTimer(TimerId& id, bool noWait)
    {
        if (id == -1)
            return false;
        std::unique_lock<std::mutex> lock(mutex);
        const TimerId wanted = id;
        id = -1;
        Info* info = findUnsafe(wanted);
        if (!info)
            return false;
        const uint64_t serial = info->serial;
        if (serial == runningSerial) {
            if (noWait) {
                info->runsLeft = 1;
                return true;
            }
            std::function<void()> callback = std::move(info->callback);
            eraseUnsafe(info);
            if (std::this_thread::get_id() != threadId)
                doneCondition.wait(lock, [&] { return runningSerial != serial; });
            lock.unlock();
            return true;
        }
        std::function<void()> callback = std::move(info->callback);
        ReleaseAwait(info->await, false);
        eraseUnsafe(info);
        changed = true;
        lock.unlock();
        wakeCondition.notify_all();
        return true;
    }

    std::thread thread;
    std::thread::id threadId;
    mutable std::mutex mutex;
    std::condition_variable wakeCondition;
    std::condition_variable doneCondition;
    std::vector<Info> timers;
    uint32_t nextId = 0;
    uint32_t timeBase = 0;
    bool threadStarted = false;
    bool changed = false;
    bool stopRequested = false;
    uint64_t runningSerial = 0; // 0 = no callback running
    uint64_t nextSerial = 1;
    uint32_t lastStartTime = 0;
};

TimersThread::TimersThread(unsigned long long capacity)
    : m_pimpl(std::make_unique<Pimpl>(capacity))
{
}

TimersThread::~TimersThread()
{
    Pimpl& p = *m_pimpl;
    std::vector<Pimpl::Info> leftovers;
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        p.stopRequested = true;
    }
    p.wakeCondition.notify_all();
    if (p.thread.joinable())
        p.thread.join();
    {
        std::lock_guard<std::mutex> lock(p.mutex);
        leftovers.swap(p.timers);
    }
    // Nobody stays blocked in performAwaitNow on an instance that is gone.
    for (Pimpl::Info& info : leftovers)
        Pimpl::ReleaseAwait(info.await, false);
}

TimersThread::TimerId TimersThread::startTimer(unsigned long long runCount, unsigned int intervalMs,
                                               std::function<void()>&& callback, const StartParams& params)
{
    if (intervalMs > MaxIntervalMs)
        return -1;
    Pimpl& p = *m_pimpl;
    std::unique_lock<std::mutex> lock(p.mutex);
    if (p.stopRequested)
        return -1;
    const TimerId id = p.maybeGenerateIdUnsafe(params.wantedId);
    if (id == -1)
        return -1;
    p.prepareForNewEntryUnsafe();
    const uint32_t firstDelay = params.hasFirstDelay ? uint32_t(params.firstDelayMs) : intervalMs;
    Pimpl::Info info;
    info.id = id;
    info.callback = std::move(callback);
    info.intervalMs = intervalMs;
    info.minGapMs = std::min(params.minGapMs, intervalMs);
    info.runsLeft = runCount;
    info.due = p.getTimeUnsafe() + firstDelay;
    info.mode = params.mode;
    info.serial = p.nextSerial++;
    p.timers.push_back(std::move(info));
    p.changed = true;
    lock.unlock();
    p.wakeCondition.notify_all();
    return id;
}

TimersThread::TimerId TimersThread::startTimer(unsigned long long runCount, unsigned int intervalMs,
                                               std::function<void()>&& callback)
{
    return startTimer(runCount, intervalMs, std::move(callback), StartParams());
}

bool TimersThread::stopTimer(TimerId& id)
{
    return m_pimpl->stopTimer(id, false);
}

bool TimersThread::stopTimerNoWait(TimerId& id)
{
    return m_pimpl->stopTimer(id, true);
}

bool TimersThread::performAwaitNow(std::function<void()>&& fn)
{
    Pimpl& p = *m_pimpl;
    if (isInThread()) {
        fn();
        return true;
    }
    Pimpl::AwaitRecord await;
    {
        std::unique_lock<std::mutex> lock(p.mutex);
        if (p.stopRequested)
            return false;
        const TimerId id = p.maybeGenerateIdUnsafe(-1);
        if (id == -1)
            return false;
        p.prepareForNewEntryUnsafe();
        Pimpl::Info info;
        info.id = id;
        info.callback = std::move(fn);
        info.runsLeft = 1;
        info.due = 0;
        info.await = &await;
        info.serial = p.nextSerial++;
        p.timers.insert(p.timers.begin(), std::move(info));
        p.changed = true;
    }
    p.wakeCondition.notify_all();
    std::unique_lock<std::mutex> awaitLock(await.mutex);
    await.condition.wait(awaitLock, [&] { return await.done; });
    return await.ran;
}

bool TimersThread::isActive(TimerId& id, unsigned long long* runsLeft, bool* runningNow) const
{
    if (id == -1)
        return false;
    Pimpl& p = *m_pimpl;
    std::lock_guard<std::mutex> lock(p.mutex);
    const Pimpl::Info* info = p.findUnsafe(id);
    if (!info) {
        id = -1;
        return false;
    }
    if (runsLeft)
        *runsLeft = info->runsLeft;
    if (runningNow)
        *runningNow = info->serial == p.runningSerial;
    return true;
}

bool TimersThread::isInThread() const
{
    Pimpl& p = *m_pimpl;
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.threadStarted && std::this_thread::get_id() == p.threadId;
}

TimersThread::TimerId TimersThread::generateId()
{
    Pimpl& p = *m_pimpl;
    std::lock_guard<std::mutex> lock(p.mutex);
    return p.maybeGenerateIdUnsafe(-1);
}

} // namespace Utils
