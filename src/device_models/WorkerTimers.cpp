#include "device_models/WorkerTimers.h"

#include "utils/TimersThread.h"

namespace DeviceModels {

namespace {

class ThreadWorkerTimers final : public IWorkerTimers {
public:
    // The model arms at most four jobs: write queue, state poll, battery poll, position read.
    ThreadWorkerTimers()
        : m_thread(4)
    {
    }

    TimerId startTimer(uint64_t runCount, uint32_t intervalMs, std::function<void()>&& callback,
                       const StartParams& params) override
    {
        Utils::TimersThread::StartParams threadParams;
        threadParams.mode = params.mode;
        threadParams.hasFirstDelay = params.hasFirstDelay;
        threadParams.firstDelayMs = params.firstDelayMs;
        threadParams.wantedId = params.wantedId;
        threadParams.minGapMs = params.minGapMs;
        return m_thread.startTimer(runCount, intervalMs, std::move(callback), threadParams);
    }

    bool stopTimer(TimerId& id) override { return m_thread.stopTimer(id); }
    bool isInThread() const override { return m_thread.isInThread(); }

private:
    Utils::TimersThread m_thread;
};

} // namespace

std::unique_ptr<IWorkerTimers> CreateThreadWorkerTimers()
{
    return std::make_unique<ThreadWorkerTimers>();
}

} // namespace DeviceModels
