#pragma once

#include "device_models/WorkerTimers.h"

#include <cstdint>
#include <vector>

namespace TestSupport {

// The model's worker on virtual time: nothing runs until the test calls advance(), which runs
// every due job on the calling thread in due order (ties in arming order), moving the clock to
// each due time. A job takes no virtual time, so the rescheduling modes coincide.
class ManualWorkerTimers final : public DeviceModels::IWorkerTimers {
public:
    TimerId startTimer(uint64_t runCount, uint32_t intervalMs, std::function<void()>&& callback,
                       const StartParams& params) override;
    bool stopTimer(TimerId& id) override;
    bool isInThread() const override { return m_runningSerial != 0; }

    // Runs the jobs due within the next `ms` milliseconds, then sets the clock to now + ms.
    void advance(int64_t ms);
    int64_t now() const { return m_now; }
    bool isActive(TimerId id) const;
    // Number of armed jobs.
    int activeCount() const { return int(m_entries.size()); }
    // Interval of an armed job, 0 when there is none.
    uint32_t intervalOf(TimerId id) const;

private:
    struct Entry {
        uint64_t serial;
        TimerId id;
        std::function<void()> callback;
        uint32_t interval;
        uint64_t runsLeft;
        int64_t due;
    };

    std::vector<Entry> m_entries;
    int64_t m_now = 0;
    TimerId m_nextId = 0;
    uint64_t m_nextSerial = 1;
    uint64_t m_runningSerial = 0;
};

} // namespace TestSupport
