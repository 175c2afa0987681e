#pragma once

#include <functional>
#include <memory>

namespace Utils {

// A worker thread that runs periodic and one-shot callbacks at millisecond resolution, one at a
// time, with its lock released while a callback runs (so a callback may start, stop or query
// timers of its own instance). The thread is started when the first timer is armed.
class TimersThread {
public:
    using TimerId = int; // -1 names no timer

    // When a periodic timer's next run falls due.
    enum class Mode : unsigned int {
        FixedRate = 0,     // previous due time + interval: a late run does not push the later ones back
        AfterRunStart = 1, // the time the last run was picked + interval
        AfterRunEnd = 2,   // the time the last run ended + interval: a slow run never crowds the next
    };

    struct StartParams {
        Mode mode = Mode::FixedRate;
        bool hasFirstDelay = false;
        int firstDelayMs = 0;  // delay of the first run when hasFirstDelay; else one interval
        TimerId wantedId = -1; // -1: an automatic id
        // After a run the next run is never less than this far in the future (at most the interval).
        unsigned int minGapMs = 0;
    };

    static constexpr unsigned int MaxIntervalMs = 0x3FFFFFFF;

    explicit TimersThread(unsigned long long capacity);
    // Stops the worker after the callback that is running now; due callbacks are not run.
    ~TimersThread();
    TimersThread(const TimersThread&) = delete;
    TimersThread& operator=(const TimersThread&) = delete;

    // Arms a timer for `runCount` runs (0 = until stopped). Returns its id, or -1 (interval above
    // MaxIntervalMs, wanted id in use, ids used up); the callback is taken only when an id is returned.
    TimerId startTimer(unsigned long long runCount, unsigned int intervalMs, std::function<void()>&& callback,
                       const StartParams& params);
    TimerId startTimer(unsigned long long runCount, unsigned int intervalMs, std::function<void()>&& callback);
    // Removes the timer; from another thread, waits until its running callback has returned.
    // Resets `id` to -1.
    bool stopTimer(TimerId& id);
    // Removes the timer without ever waiting; a running callback finishes, and the id stays taken
    // until it has. Resets `id` to -1.
    bool stopTimerNoWait(TimerId& id);
    // Runs `fn` once on the worker thread before any other due timer and returns after it ran
    // (inline when called on the worker thread). False when the instance was destroyed before
    // `fn` could run.
    bool performAwaitNow(std::function<void()>&& fn);
    // False, and `id` reset to -1, when the timer is gone.
    bool isActive(TimerId& id, unsigned long long* runsLeft = nullptr, bool* runningNow = nullptr) const;
    bool isInThread() const;
    // Reserves an id to pass later as StartParams::wantedId.
    TimerId generateId();

    class Pimpl;

private:
    std::unique_ptr<Pimpl> m_pimpl;
};

} // namespace Utils
