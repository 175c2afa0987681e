#pragma once

#include "ManualWorkerTimers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <functional>

namespace TestSupport {

// Runs the model's worker jobs due now on virtual time and hands their results, which they post
// to this thread, over to it.
inline void RunDueJobs(ManualWorkerTimers& timers)
{
    timers.advance(0);
    QCoreApplication::sendPostedEvents();
}

// Runs the events and the worker jobs they queue until `done` holds, without moving the worker's
// clock; false after 5 s.
inline bool RunJobsUntil(ManualWorkerTimers& timers, const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        RunDueJobs(timers);
        if (done())
            return true;
        QTest::qWait(5);
    }
    return false;
}

} // namespace TestSupport
