#include "support/devices/ManualWorkerTimers.h"

#include <algorithm>

namespace TestSupport {

ManualWorkerTimers::TimerId ManualWorkerTimers::startTimer(uint64_t runCount, uint32_t intervalMs,
                                                           std::function<void()>&& callback, const StartParams& params)
{
    TimerId id = params.wantedId;
    if (id != -1) {
        if (isActive(id))
            return -1;
    } else {
        do
            id = m_nextId++;
        while (isActive(id));
    }
    const int64_t delay = params.hasFirstDelay ? params.firstDelayMs : intervalMs;
    m_entries.push_back({m_nextSerial++, id, std::move(callback), intervalMs, runCount, m_now + delay});
    return id;
}

bool ManualWorkerTimers::stopTimer(TimerId& id)
{
    if (id == -1)
        return false;
    const auto it = std::find_if(m_entries.begin(), m_entries.end(), [id](const Entry& e) { return e.id == id; });
    id = -1;
    if (it == m_entries.end())
        return false;
    m_entries.erase(it);
    return true;
}

bool ManualWorkerTimers::isActive(TimerId id) const
{
    return id != -1 && std::any_of(m_entries.begin(), m_entries.end(), [id](const Entry& e) { return e.id == id; });
}

uint32_t ManualWorkerTimers::intervalOf(TimerId id) const
{
    for (const Entry& e : m_entries)
        if (e.id == id)
            return e.interval;
    return 0;
}

void ManualWorkerTimers::advance(int64_t ms)
{
    const int64_t target = m_now + ms;
    for (;;) {
        auto next = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (it->due <= target && (next == m_entries.end() || it->due < next->due))
                next = it;
        if (next == m_entries.end())
            break;

        m_now = std::max(m_now, next->due);
        const uint64_t serial = next->serial;
        const auto callback = next->callback; // the job may stop (erase) itself
        m_runningSerial = serial;
        callback();
        m_runningSerial = 0;

        const auto ran =
            std::find_if(m_entries.begin(), m_entries.end(), [serial](const Entry& e) { return e.serial == serial; });
        if (ran == m_entries.end())
            continue;
        if (ran->runsLeft == 1) {
            m_entries.erase(ran);
            continue;
        }
        if (ran->runsLeft != 0)
            --ran->runsLeft;
        ran->due = m_now + std::max<uint32_t>(ran->interval, 1);
    }
    m_now = target;
}

} // namespace TestSupport
