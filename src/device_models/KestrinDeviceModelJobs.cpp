#include "device_models/KestrinDeviceModel.h"

#include "core/GlobalLogger.h"

#include <mutex>
#include <utility>

// The worker jobs of the headset device model: every exchange the GUI thread asks for runs on the
// model's worker, in the order posted.

namespace DeviceModels {

namespace {

// Interval of the worker's job timer; a run takes every job queued and stops the timer.
constexpr uint32_t JobGapMs = 1;

} // namespace

void KestrinDeviceModel::postJob(std::function<void()> job)
{
    std::lock_guard<std::mutex> lock(m_jobsMutex);
    m_jobs.push_back(std::move(job));
    if (m_jobTimerId != -1)
        return;
    IWorkerTimers::StartParams params;
    params.mode = IWorkerTimers::Mode::AfterRunEnd;
    params.hasFirstDelay = true;
    params.firstDelayMs = 0;
    m_jobTimerId = m_timers->startTimer(
        0, JobGapMs, [this] { runNextJob(); }, params);
    if (m_jobTimerId == -1)
        GlobalLogger::Instance()->message(QtCriticalMsg, "Cannot start the headset worker.");
}

// Worker thread: runs the jobs queued by now, and those they queue, then stops until the next.
void KestrinDeviceModel::runNextJob()
{
    for (;;) {
        std::function<void()> job;
        {
            std::lock_guard<std::mutex> lock(m_jobsMutex);
            if (m_jobs.empty()) {
                // On the worker itself the stop never waits.
                m_timers->stopTimer(m_jobTimerId);
                return;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

void KestrinDeviceModel::cancelJobs()
{
    ++m_generation;
    m_writeJobs = 0;
    m_balanceJobs = 0;
    m_eqRequests.clear();
    IWorkerTimers::TimerId id;
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> lock(m_jobsMutex);
        dropped.swap(m_jobs);
        id = m_jobTimerId;
        m_jobTimerId = -1;
    }
    // Waits for a job in progress, which may still use the old interface.
    m_timers->stopTimer(id);
    m_balanceWrite.clear();
    m_eqIndexWrite.clear();
}

} // namespace DeviceModels
