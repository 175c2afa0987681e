#include "utils/SpinLock.h"

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

using Utils::SpinGuard;
using Utils::SpinLock;

class TestSpinLock : public QObject {
    Q_OBJECT

private slots:
    // Several threads increment a plain counter and track how many are inside at once: with the
    // lock no increment is lost and nobody ever shares the section.
    void excludesUnderContention_data()
    {
        QTest::addColumn<int>("threads");
        QTest::newRow("2 threads") << 2;
        QTest::newRow("8 threads (more than the cores)") << 8;
    }
    void excludesUnderContention()
    {
        QFETCH(int, threads);
        constexpr int rounds = 20000;
        SpinLock lock;
        long long counter = 0; // deliberately not atomic
        std::atomic<int> inside{0};
        std::atomic<int> overlaps{0};
        std::atomic<bool> go{false};

        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&] {
                while (!go.load())
                    std::this_thread::yield();
                for (int i = 0; i < rounds; ++i) {
                    SpinGuard guard(lock);
                    if (inside.fetch_add(1) != 0)
                        overlaps.fetch_add(1);
                    const long long seen = counter;
                    // Widens the window in which an unlocked peer would interleave.
                    if (i % 64 == 0)
                        std::this_thread::yield();
                    counter = seen + 1;
                    inside.fetch_sub(1);
                }
            });
        }
        go = true;
        for (std::thread& worker : workers)
            worker.join();

        QCOMPARE(overlaps.load(), 0);
        QCOMPARE(counter, (long long)threads * rounds);
    }

    // The guard releases on every way out of its scope, an exception included.
    void guardReleasesOnScopeExit()
    {
        SpinLock lock;
        {
            SpinGuard guard(lock);
            QVERIFY(!lock.try_lock());
        }
        QVERIFY(lock.try_lock());
        lock.unlock();

        try {
            SpinGuard guard(lock);
            throw 1;
        } catch (int) {
        }
        QVERIFY(lock.try_lock());
        lock.unlock();
    }
};

QTEST_GUILESS_MAIN(TestSpinLock)
#include "tst_spinlock.moc"
