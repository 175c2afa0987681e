#include "utils/TimersThread.h"
#include "utils/Utils.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using Utils::TimersThread;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int Patience = 10000; // ms; CI machines can be slow
constexpr int ClockSlackMs = 2; // the service reads the clock in whole milliseconds

// A gate a callback can wait at until the test opens it.
class Gate {
public:
    void open()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_condition.notify_all();
    }
    // False when the gate stayed shut for the whole patience.
    bool wait()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_condition.wait_for(lock, std::chrono::milliseconds(Patience), [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_open = false;
};

// Thread-safe record of events in the order they happened.
class Journal {
public:
    void add(const QString& event)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.append(event);
    }
    QStringList events() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    int count(const QString& event) const { return events().count(event); }

private:
    mutable std::mutex m_mutex;
    QStringList m_events;
};

TimersThread::StartParams Params(int firstDelayMs = -1, TimersThread::TimerId wantedId = -1,
                                 TimersThread::Mode mode = TimersThread::Mode::FixedRate, unsigned minGapMs = 0)
{
    TimersThread::StartParams params;
    params.mode = mode;
    params.hasFirstDelay = firstDelayMs >= 0;
    params.firstDelayMs = firstDelayMs < 0 ? 0 : firstDelayMs;
    params.wantedId = wantedId;
    params.minGapMs = minGapMs;
    return params;
}

bool Active(const TimersThread& timers, TimersThread::TimerId id, unsigned long long* runsLeft = nullptr)
{
    return timers.isActive(id, runsLeft, nullptr);
}

// Returns once every callback that was due before this call has run: the worker runs an await
// entry only when nothing is ahead of it.
void Drain(TimersThread& timers)
{
    timers.performAwaitNow([] {});
}

} // namespace

class TestTimersThread : public QObject {
    Q_OBJECT
private slots:
    void intervalLimit_data()
    {
        QTest::addColumn<uint>("interval");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("largest") << 0x3FFFFFFFu << true;
        QTest::newRow("too large") << 0x40000000u << false;
        QTest::newRow("max") << 0xFFFFFFFFu << false;
    }
    void intervalLimit()
    {
        QFETCH(uint, interval);
        QFETCH(bool, accepted);
        TimersThread timers(4);
        auto owned = std::make_shared<int>(0);
        std::function<void()> callback = [owned] {};
        TimersThread::TimerId id = timers.startTimer(0, interval, std::move(callback));
        QCOMPARE(id != -1, accepted);
        // A refused callback stays with the caller.
        QCOMPARE(bool(callback), !accepted);
        if (accepted)
            QVERIFY(timers.stopTimer(id));
        QCOMPARE(id, -1);
    }

    void oneShotRunsOnceAndIsRemoved()
    {
        TimersThread timers(4);
        std::atomic<int> runs{0};
        std::atomic<bool> onWorker{false};
        TimersThread::TimerId id = timers.startTimer(1, 5, [&] {
            onWorker = timers.isInThread();
            ++runs;
        });
        QVERIFY(id != -1);
        QTRY_COMPARE_WITH_TIMEOUT(runs.load(), 1, Patience);
        QVERIFY(onWorker);
        QVERIFY(!timers.isInThread());
        TimersThread::TimerId probe = id;
        QTRY_VERIFY_WITH_TIMEOUT(!Active(timers, probe), Patience);
        QVERIFY(!timers.isActive(probe, nullptr, nullptr));
        QCOMPARE(probe, -1);
        Drain(timers);
        QCOMPARE(runs.load(), 1);
    }

    void runCountIsHonoured()
    {
        TimersThread timers(4);
        std::atomic<int> runs{0};
        unsigned long long left = 0;
        const TimersThread::TimerId id = timers.startTimer(
            3, 1, [&] { ++runs; }, Params(100));
        QVERIFY(Active(timers, id, &left));
        QCOMPARE(left, 3ull);
        QTRY_VERIFY_WITH_TIMEOUT(!Active(timers, id), Patience);
        QCOMPARE(runs.load(), 3);
    }

    void endlessTimerKeepsRunning()
    {
        TimersThread timers(4);
        std::atomic<int> runs{0};
        TimersThread::TimerId id = timers.startTimer(0, 1, [&] { ++runs; });
        QTRY_VERIFY_WITH_TIMEOUT(runs.load() >= 5, Patience);
        unsigned long long left = 99;
        QVERIFY(Active(timers, id, &left));
        QCOMPARE(left, 0ull);
        QVERIFY(timers.stopTimer(id));
        const int after = runs.load();
        Drain(timers);
        QCOMPARE(runs.load(), after);
    }

    void dueOrderAndAwaitFirst()
    {
        TimersThread timers(4);
        Journal journal;
        Gate release;
        std::atomic<bool> holding{false};
        // Hold the worker so that everything below is due by the time it is free again.
        timers.startTimer(
            1, 1,
            [&] {
                holding = true;
                release.wait();
            },
            Params(0));
        QTRY_VERIFY_WITH_TIMEOUT(holding.load(), Patience);

        timers.startTimer(
            1, 1, [&] { journal.add("a"); }, Params(0));
        timers.startTimer(
            1, 1, [&] { journal.add("b"); }, Params(0));
        // The next automatic id goes to the await entry below; seeing it armed tells that it waits.
        const TimersThread::TimerId awaitId = timers.generateId() + 1;
        std::thread awaiter([&] { timers.performAwaitNow([&] { journal.add("await"); }); });
        const Utils::ScopeGuard joinAwaiter([&] {
            release.open();
            awaiter.join();
        });
        QTRY_VERIFY_WITH_TIMEOUT(Active(timers, awaitId), Patience);
        release.open();
        QTRY_COMPARE_WITH_TIMEOUT(journal.events().size(), 3, Patience);
        QCOMPARE(journal.events(), (QStringList{"await", "a", "b"}));
    }

    // Interval 400 ms; the first run takes 600 ms and, just before it ends, arms a one-shot
    // marker due 350 ms later. Whether the next run catches up at once or waits an interval shows
    // as the order of the two, which the worker decides by due time alone, not by how fast the
    // machine is.
    void fixedRateCatchesUpAfterOverrun_data()
    {
        QTest::addColumn<TimersThread::Mode>("mode");
        QTest::addColumn<uint>("minGap");
        QTest::addColumn<int>("smallestGap"); // ms between the end of the long run and the next start
        QTest::addColumn<bool>("beforeMarker");
        QTest::newRow("fixed rate catches up at once") << TimersThread::Mode::FixedRate << 0u << 0 << true;
        QTest::newRow("fixed rate with a minimum gap") << TimersThread::Mode::FixedRate << 100u << 100 << true;
        QTest::newRow("after the run's start") << TimersThread::Mode::AfterRunStart << 0u << 0 << true;
        QTest::newRow("after the run's end") << TimersThread::Mode::AfterRunEnd << 0u << 400 << false;
    }
    void fixedRateCatchesUpAfterOverrun()
    {
        QFETCH(TimersThread::Mode, mode);
        QFETCH(uint, minGap);
        QFETCH(int, smallestGap);
        QFETCH(bool, beforeMarker);
        TimersThread timers(4);
        std::mutex mutex;
        std::vector<Clock::time_point> starts, ends;
        Journal journal;
        timers.startTimer(
            2, 400,
            [&] {
                const auto start = Clock::now();
                const bool first = [&] {
                    std::lock_guard<std::mutex> lock(mutex);
                    return starts.empty();
                }();
                if (first) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(600)); // the overrunning work
                    timers.startTimer(1, 350, [&] { journal.add("marker"); });
                }
                journal.add("run");
                std::lock_guard<std::mutex> lock(mutex);
                starts.push_back(start);
                ends.push_back(Clock::now());
            },
            Params(0, -1, mode, minGap));
        QTRY_COMPARE_WITH_TIMEOUT(journal.events().size(), 3, Patience);
        const QStringList expected =
            beforeMarker ? QStringList{"run", "run", "marker"} : QStringList{"run", "marker", "run"};
        QCOMPARE(journal.events(), expected);
        const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(starts[1] - ends[0]).count();
        // Never early. The service reads the clock in whole milliseconds, so a gap may come out a
        // little short.
        QVERIFY2(gap >= smallestGap - ClockSlackMs, qPrintable(QString::number(gap)));
    }

    void afterRunEndSpacesRunsFromTheirEnd()
    {
        TimersThread timers(4);
        std::mutex mutex;
        std::vector<Clock::time_point> starts, ends;
        timers.startTimer(
            4, 10,
            [&] {
                const auto start = Clock::now();
                std::this_thread::sleep_for(std::chrono::milliseconds(15));
                std::lock_guard<std::mutex> lock(mutex);
                starts.push_back(start);
                ends.push_back(Clock::now());
            },
            Params(0, -1, TimersThread::Mode::AfterRunEnd));
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                std::lock_guard<std::mutex> lock(mutex);
                return starts.size() == 4;
            }(),
            Patience);
        for (size_t i = 1; i < starts.size(); ++i)
            QVERIFY(starts[i] - ends[i - 1] >= std::chrono::milliseconds(10 - ClockSlackMs));
    }

    void fixedRateKeepsItsPhase()
    {
        TimersThread timers(4);
        std::mutex mutex;
        std::vector<Clock::time_point> starts;
        const auto armed = Clock::now();
        timers.startTimer(
            5, 50,
            [&] {
                std::lock_guard<std::mutex> lock(mutex);
                starts.push_back(Clock::now());
            },
            Params(0, -1, TimersThread::Mode::FixedRate));
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                std::lock_guard<std::mutex> lock(mutex);
                return starts.size() == 5;
            }(),
            Patience);
        // Run k is never early: it comes at or after k intervals from the start.
        for (size_t k = 0; k < starts.size(); ++k)
            QVERIFY(starts[k] - armed >= std::chrono::milliseconds(50 * int(k) - ClockSlackMs));
    }

    void stopWaitsForRunningCallback()
    {
        TimersThread timers(4);
        std::atomic<int> runs{0};
        std::atomic<bool> entered{false}, finished{false};
        Gate release;
        TimersThread::TimerId id = timers.startTimer(0, 10, [&] {
            ++runs;
            entered = true;
            release.wait();
            finished = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(entered.load(), Patience);
        bool running = false;
        TimersThread::TimerId probe = id;
        QVERIFY(timers.isActive(probe, nullptr, &running));
        QVERIFY(running);

        // The run is let go only once stopTimer has taken the timer out and waits for the run.
        std::thread opener([&] {
            const auto deadline = Clock::now() + std::chrono::milliseconds(Patience);
            while (Active(timers, probe) && Clock::now() < deadline)
                std::this_thread::yield();
            release.open();
        });
        const bool stopped = timers.stopTimer(id);
        const bool finishedWhenStopped = finished.load();
        opener.join();
        QVERIFY(stopped);
        QVERIFY(finishedWhenStopped);
        QCOMPARE(id, -1);

        // Several intervals later the stopped timer has not run again.
        std::atomic<bool> later{false};
        timers.startTimer(1, 50, [&] { later = true; });
        QTRY_VERIFY_WITH_TIMEOUT(later.load(), Patience);
        QCOMPARE(runs.load(), 1);
    }

    void stopNoWaitKeepsIdUntilRunEnds()
    {
        TimersThread timers(4);
        std::atomic<int> runs{0};
        std::atomic<bool> entered{false};
        Gate release;
        TimersThread::TimerId id = timers.startTimer(
            0, 10,
            [&] {
                ++runs;
                entered = true;
                release.wait();
            },
            Params(-1, 77));
        QCOMPARE(id, 77);
        QTRY_VERIFY_WITH_TIMEOUT(entered.load(), Patience);
        QVERIFY(timers.stopTimerNoWait(id));
        QCOMPARE(id, -1);
        QCOMPARE(timers.startTimer(
                     1, 10, [] {}, Params(-1, 77)),
                 -1);
        release.open();
        QTRY_VERIFY_WITH_TIMEOUT(!Active(timers, 77), Patience);
        QCOMPARE(timers.startTimer(
                     1, 10000, [] {}, Params(-1, 77)),
                 77);
        Drain(timers);
        QCOMPARE(runs.load(), 1);
    }

    void callbackStopsItself()
    {
        TimersThread timers(4);
        std::atomic<int> runs{0};
        std::atomic<bool> stopped{false};
        TimersThread::TimerId id = -1;
        std::mutex idMutex;
        {
            std::lock_guard<std::mutex> lock(idMutex);
            id = timers.startTimer(0, 5, [&] {
                ++runs;
                std::lock_guard<std::mutex> lock(idMutex);
                stopped = timers.stopTimer(id); // on the worker: never waits for itself
            });
        }
        QTRY_VERIFY_WITH_TIMEOUT(stopped.load(), Patience);
        std::atomic<bool> later{false};
        timers.startTimer(1, 50, [&] { later = true; });
        QTRY_VERIFY_WITH_TIMEOUT(later.load(), Patience);
        QCOMPARE(runs.load(), 1);
    }

    void wantedIds()
    {
        TimersThread timers(4);
        TimersThread::TimerId id = timers.startTimer(
            0, 10000, [] {}, Params(-1, 5));
        QCOMPARE(id, 5);
        QCOMPARE(timers.startTimer(
                     0, 10000, [] {}, Params(-1, 5)),
                 -1);
        QVERIFY(timers.stopTimer(id));
        QVERIFY(!timers.stopTimer(id)); // already -1
        TimersThread::TimerId gone = 5;
        QVERIFY(!timers.stopTimer(gone));
        QCOMPARE(gone, -1);
        QCOMPARE(timers.startTimer(
                     0, 10000, [] {}, Params(-1, 5)),
                 5);
    }

    void automaticIdsSkipIdsInUse()
    {
        TimersThread timers(4);
        QCOMPARE(timers.startTimer(
                     0, 10000, [] {}, Params(-1, 0)),
                 0);
        QCOMPARE(timers.startTimer(
                     0, 10000, [] {}, Params(-1, 1)),
                 1);
        QCOMPARE(timers.startTimer(0, 10000, [] {}), 2);
        QCOMPARE(timers.startTimer(
                     0, 10000, [] {}, Params(-1, 4)),
                 4);
        QCOMPARE(timers.generateId(), 3);
        QCOMPARE(timers.startTimer(0, 10000, [] {}), 5);
    }

    // While a callback runs, its timer is stopped and a new timer takes its id. The run that ends
    // must not reschedule, count down or erase the newcomer.
    void reschedulingFindsTheEntryThatRan_data()
    {
        QTest::addColumn<unsigned long long>("runCount");
        QTest::newRow("last run of a one-shot") << 1ull;
        QTest::newRow("endless") << 0ull;
        QTest::newRow("counted") << 3ull;
    }
    void reschedulingFindsTheEntryThatRan()
    {
        QFETCH(unsigned long long, runCount);
        TimersThread timers(4);
        std::atomic<int> firstRuns{0}, newcomerRuns{0};
        std::atomic<TimersThread::TimerId> newcomer{-1};
        TimersThread::TimerId id = timers.startTimer(
            runCount, 5,
            [&] {
                if (++firstRuns > 1)
                    return;
                TimersThread::TimerId self = 0;
                timers.stopTimer(self);
                newcomer = timers.startTimer(
                    5, 60000, [&] { ++newcomerRuns; }, Params(-1, 0));
            },
            Params(0));
        QCOMPARE(id, 0);
        QTRY_COMPARE_WITH_TIMEOUT(newcomer.load(), 0, Patience);
        Drain(timers);
        unsigned long long left = 0;
        QVERIFY(Active(timers, 0, &left));
        QCOMPARE(left, 5ull);
        QCOMPARE(firstRuns.load(), 1);
        QCOMPARE(newcomerRuns.load(), 0);
    }

    void stopFromAnotherThreadWhileRunningThenReuseId()
    {
        // The same race from outside: stopNoWait, then the id is granted again only after the run.
        TimersThread timers(4);
        std::atomic<bool> entered{false};
        Gate release;
        TimersThread::TimerId id = timers.startTimer(
            0, 5,
            [&] {
                entered = true;
                release.wait();
            },
            Params(0, 9));
        QTRY_VERIFY_WITH_TIMEOUT(entered.load(), Patience);
        QVERIFY(timers.stopTimerNoWait(id));
        release.open();
        QTRY_VERIFY_WITH_TIMEOUT(!Active(timers, 9), Patience);
        QCOMPARE(timers.startTimer(
                     2, 60000, [] {}, Params(-1, 9)),
                 9);
        Drain(timers);
        unsigned long long left = 0;
        QVERIFY(Active(timers, 9, &left));
        QCOMPARE(left, 2ull);
    }

    void throwingCallbackKeepsTimerAlive()
    {
        TimersThread timers(4);
        std::atomic<int> runs{0};
        timers.startTimer(3, 1, [&] {
            if (++runs == 1)
                throw std::runtime_error("boom");
        });
        QTRY_COMPARE_WITH_TIMEOUT(runs.load(), 3, Patience);
    }

    void callbacksMayUseTheirInstance()
    {
        TimersThread timers(4);
        std::atomic<bool> inner{false}, nestedAwait{false};
        timers.startTimer(1, 1, [&] {
            timers.startTimer(1, 1, [&] { inner = true; });
            timers.performAwaitNow([&] { nestedAwait = timers.isInThread(); });
            TimersThread::TimerId none = 12345;
            timers.isActive(none, nullptr, nullptr);
        });
        QTRY_VERIFY_WITH_TIMEOUT(inner.load(), Patience);
        QVERIFY(nestedAwait.load());
    }

    void performAwaitNowRunsOnWorker()
    {
        TimersThread timers(4);
        bool onWorker = false;
        int value = 0;
        QVERIFY(timers.performAwaitNow([&] {
            onWorker = timers.isInThread();
            value = 42;
        }));
        QVERIFY(onWorker);
        QCOMPARE(value, 42);
    }

    void callbacksNeverOverlap()
    {
        TimersThread timers(4);
        std::atomic<int> inside{0}, overlaps{0}, runs{0};
        for (int i = 0; i < 4; ++i) {
            timers.startTimer(20, 1, [&] {
                if (++inside > 1)
                    ++overlaps;
                std::this_thread::yield();
                --inside;
                ++runs;
            });
        }
        QTRY_COMPARE_WITH_TIMEOUT(runs.load(), 80, Patience);
        QCOMPARE(overlaps.load(), 0);
    }

    void destructionReleasesCallbacks()
    {
        auto captured = std::make_shared<int>(1);
        {
            TimersThread timers(4);
            timers.startTimer(0, 60000, [captured] {});
            timers.startTimer(0, 1, [captured] {});
            QCOMPARE(captured.use_count(), 3);
        }
        QCOMPARE(captured.use_count(), 1);
        {
            TimersThread never(4); // no thread to join
        }
    }
};

QTEST_GUILESS_MAIN(TestTimersThread)
#include "tst_timersthread.moc"
