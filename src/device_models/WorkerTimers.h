#pragma once

#include "utils/TimersThread.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace DeviceModels {

// The device model's worker: periodic jobs that run one at a time off the GUI thread. The model
// and its write queue see only this interface, so tests can drive them on virtual time.
class IWorkerTimers {
public:
    // -1 names no timer.
    using TimerId = int32_t;
    // When a periodic job's next run falls due; the same choices as the timer thread's.
    using Mode = Utils::TimersThread::Mode;

    struct StartParams {
        Mode mode = Mode::FixedRate;
        bool hasFirstDelay = false;
        // Delay of the first run when hasFirstDelay is set; otherwise one interval.
        int32_t firstDelayMs = 0;
        // -1: any free id; otherwise exactly this id (the start fails while it is taken).
        int32_t wantedId = -1;
        uint32_t minGapMs = 0;
    };

    virtual ~IWorkerTimers() = default;

    // Arms a timer; runCount 0 runs until stopped. Returns its id, or -1 (nothing armed).
    virtual TimerId startTimer(uint64_t runCount, uint32_t intervalMs, std::function<void()>&& callback,
                               const StartParams& params) = 0;
    // Removes the timer and sets `id` to -1. Called off the worker, it returns only after a run of
    // that timer in progress has ended; called from a job on the worker it never waits.
    virtual bool stopTimer(TimerId& id) = 0;
    // True on the worker thread (inside a job).
    virtual bool isInThread() const = 0;
};

// The production worker: one Utils::TimersThread.
std::unique_ptr<IWorkerTimers> CreateThreadWorkerTimers();

} // namespace DeviceModels
