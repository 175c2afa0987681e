// Lines per second through the program's logger, one thread and four threads, into a log folder of
// its own (a temporary folder). What a caller pays per line: formatting, the level prefix and the
// time of day, the lock and getting the line into the file.
//
//   bench_logger [lines per round (default 200000)] [rounds (default 5)]
//
// Prints the best round of each kind; run it on an optimised build without the sanitizers.

#include "core/GlobalLogger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

double LinesPerSecond(GlobalLogger& logger, int lines, int threads)
{
    QElapsedTimer timer;
    timer.start();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&logger, lines, threads, t] {
            for (int i = 0; i < lines / threads; ++i)
                logger.message(QtDebugMsg, "read %d bytes from report %d on thread %d", 62, i, t);
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    return lines / (timer.nsecsElapsed() / 1e9);
}

} // namespace

int main(int argc, char** argv)
{
    const int lines = argc > 1 ? std::atoi(argv[1]) : 200000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    QCoreApplication::setOrganizationName(QStringLiteral("Velmor"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmor"));

    for (int threads : {1, 4}) {
        double best = 0;
        for (int round = 0; round < rounds; ++round) {
            GlobalLogger logger;
            best = std::max(best, LinesPerSecond(logger, lines, threads));
        }
        std::printf("%d thread(s): %.0f lines/s\n", threads, best);
    }
    return 0;
}
