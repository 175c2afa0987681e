#pragma once

// What the start-up benchmark measures inside each process it starts (scripts/bench-startup.py):
// the moment the first frame of the first Qt Quick window has been presented, on CLOCK_MONOTONIC
// so that the driver can subtract the moment it launched the process, and the peak resident
// memory (VmHWM) at that moment, and the CPU time the process had used by then. The results are printed on standard
// output as "key=value" lines, which the driver parses.

#include <QCoreApplication>
#include <QObject>
#include <QQuickWindow>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>

namespace StartupProbe {

inline long long MonotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

// CPU time used so far, by the whole process or by the calling thread. On a machine that other
// work keeps busy the wall-clock figures grow with the wait for a core; these do not.
inline long long ProcessCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

inline long long ThreadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

// Peak resident set size of this process so far, in KiB.
inline long PeakRssKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

inline void Report(const char* key, double value)
{
    std::printf("%s=%.3f\n", key, value);
    std::fflush(stdout);
}

// Ends the process with `code` once VELMOR_BENCH_HOLD_MS have passed since the driver launched
// it (VELMOR_BENCH_LAUNCH_NS, on CLOCK_MONOTONIC; without it, since now), reporting the peak
// memory over that time.
inline void HoldThenExit(int code)
{
    const char* launch = std::getenv("VELMOR_BENCH_LAUNCH_NS");
    const char* hold = std::getenv("VELMOR_BENCH_HOLD_MS");
    const long long from = launch ? std::atoll(launch) : MonotonicNs();
    long long remainingMs = 0;
    if (hold)
        remainingMs = (from + std::atoll(hold) * 1000000LL - MonotonicNs()) / 1000000LL;
    QTimer::singleShot(int(std::max(0LL, remainingMs)), QCoreApplication::instance(), [code] {
        Report("peak_rss_hold_kb", double(PeakRssKb()));
        QCoreApplication::exit(code);
    });
}

// Hooks the first Qt Quick window as soon as it receives its first event (during its creation,
// before it can render) and calls `onFirstFrame` on the GUI thread once its first frame has been
// swapped. Install it from a Q_COREAPP_STARTUP_FUNCTION, so that it needs nothing of main().
class FirstFrameWatch final : public QObject {
public:
    explicit FirstFrameWatch(std::function<void()> onFirstFrame)
        : QObject(QCoreApplication::instance())
        , m_onFirstFrame(std::move(onFirstFrame))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QQuickWindow*>(watched);
        if (window && !m_hooked) {
            m_hooked = true;
            // Direct: the threaded render loop swaps on its render thread; the figures are taken
            // there, at the swap itself, and the rest goes to the GUI thread.
            connect(
                window, &QQuickWindow::frameSwapped, this,
                [this] {
                    if (m_done.exchange(true))
                        return;
                    m_frameNs = MonotonicNs();
                    m_cpuNs = ProcessCpuNs();
                    m_peakKb = PeakRssKb();
                    QMetaObject::invokeMethod(
                        this,
                        [this] {
                            QCoreApplication::instance()->removeEventFilter(this);
                            Report("first_frame_clock_ns", double(m_frameNs));
                            Report("peak_rss_kb", double(m_peakKb));
                            Report("first_frame_cpu_ms", double(m_cpuNs) / 1e6);
                            m_onFirstFrame();
                        },
                        Qt::QueuedConnection);
                },
                Qt::DirectConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onFirstFrame;
    bool m_hooked = false;
    std::atomic<bool> m_done{false};
    long long m_frameNs = 0;
    long long m_cpuNs = 0;
    long m_peakKb = 0;
};

} // namespace StartupProbe
