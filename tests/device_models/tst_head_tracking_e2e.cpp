// Head tracking from the device model down to the emulated headset's HID reports: the sensor
// commands on the wire, the samples read from the interrupt pipe, and the production worker
// thread reading them every 4 ms while the GUI thread publishes.

#include "devices/KestrinModelRig.h"

#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "devices/KestrinDeviceImpl.h"
#include "support/devices/ManualWorkerTimers.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>

using namespace HidEmu;
using DeviceModels::KestrinDeviceModel;
using TestSupport::ManualWorkerTimers;

namespace {

// One orientation sample as the headset sends it on the interrupt pipe.
Bytes Sample()
{
    Bytes sample(14, 0);
    sample[0] = 3;
    return sample;
}

struct HeadTrackingRig : KestrinModelRig {
    using KestrinModelRig::KestrinModelRig;

    // Runs the worker jobs due now, which send the sensor commands; 0, for use in QTRY.
    int runJobs()
    {
        timers->advance(0);
        QCoreApplication::sendPostedEvents();
        return 0;
    }

    // The sensor commands sent since the last call.
    QStringList takeSensorCommands()
    {
        QStringList sensors;
        for (const QString& line : ToStringList(rig.takeLog()))
            if (line.contains(QLatin1String("sensors")))
                sensors << line;
        return sensors;
    }
};

} // namespace

class TestHeadTrackingE2e : public QObject {
    Q_OBJECT

private slots:
    void enablesTheSensorsAndReadsSamples_data()
    {
        QTest::addColumn<int>("pid");
        QTest::newRow("cabled headset") << 0x4BAE;
        QTest::newRow("through the dongle") << 0x4BA9;
    }

    void enablesTheSensorsAndReadsSamples()
    {
        QFETCH(int, pid);
        HeadTrackingRig ht{uint16_t(pid)};
        QVERIFY(ht.connect());
        QSignalSpy hasHt(ht.model.get(), &KestrinDeviceModel::sigHasHtChanged);
        QSignalSpy moved(ht.model.get(), &KestrinDeviceModel::sigHeadPositionChanged);

        ht.model->requestHt();
        ht.runJobs();
        QCOMPARE(ht.takeSensorCommands(), QStringList{QStringLiteral("set sensors 60")});
        QTRY_COMPARE((ht.runJobs(), hasHt.count()), 1);
        // Enabled with the same sample setting; the first sample was taken in at once.
        QCOMPARE(ht.takeSensorCommands(), QStringList{QStringLiteral("set sensors 188")});
        QCOMPARE(ht.rig.state->sensors, uint8_t(0x80 | 60));
        QCOMPARE(ht.rig.headset->pendingInputReports(), size_t(0));

        // Nothing on the pipe: reads come back empty, nothing is published.
        ht.timers->advance(0);
        ht.model->onHtTimeout();
        QCOMPARE(moved.count(), 0);

        // One sample per read.
        ht.rig.headset->queueInputReport(Sample());
        ht.rig.headset->queueInputReport(Sample());
        ht.timers->advance(4);
        QCOMPARE(ht.rig.headset->pendingInputReports(), size_t(1));
        ht.model->onHtTimeout();
        QCOMPARE(moved.count(), 1);
        QCOMPARE(ht.model->getHeadPosition(), QQuaternion());
        ht.timers->advance(4);
        QCOMPARE(ht.rig.headset->pendingInputReports(), size_t(0));

        // Reading the pipe sends no commands.
        QVERIFY(ht.rig.takeLog().empty());
        QVERIFY(ht.rig.headset->violations().empty());
    }

    void poweredOffHeadsetIsNotAsked()
    {
        HeadTrackingRig ht(0x4BAE, true, [](Kestrin::State& s) { s.poweredOn = false; });
        QVERIFY(ht.connect());
        ht.model->requestHt();
        ht.runJobs();
        QVERIFY(!ht.model->hasHeadtracking());
        QCOMPARE(ht.takeSensorCommands(), QStringList());
        QCOMPARE(ht.rig.state->sensors, uint8_t(0));
    }

    void refusedSensorCommandEndsTheAttempt()
    {
        HeadTrackingRig ht(0x4BAE);
        QVERIFY(ht.connect());
        ht.rig.headset->refuse(Kestrin::kSetParameter, Kestrin::kStatusBadData, 1);
        ht.model->requestHt();
        ht.runJobs();
        QCOMPARE(ht.takeSensorCommands(), QStringList{QStringLiteral("set sensors 60")});
        QVERIFY(!ht.model->hasHeadtracking());
        QCOMPARE(ht.timers->activeCount(), 0);
        ht.model->requestHt();
        ht.runJobs();
        QVERIFY(ht.takeSensorCommands().isEmpty());
    }

    // The production worker reads the pipe while the GUI thread publishes; unplugging the headset
    // mid-stream stops the reads without a fault.
    void realWorkerThread()
    {
        HeadTrackingRig ht(0x4BAE, false);
        QVERIFY(ht.connect());
        QSignalSpy hasHt(ht.model.get(), &KestrinDeviceModel::sigHasHtChanged);
        QSignalSpy moved(ht.model.get(), &KestrinDeviceModel::sigHeadPositionChanged);
        ht.model->requestHt();
        QTRY_COMPARE(hasHt.count(), 1);

        for (int i = 0; i < 5; ++i)
            ht.rig.headset->queueInputReport(Sample());
        QTRY_COMPARE(ht.rig.headset->pendingInputReports(), size_t(0));
        QTRY_VERIFY(moved.count() >= 1);
        QCOMPARE(ht.model->getHeadPosition(), QQuaternion());

        Bus::instance().unplug(ht.rig.headset);
        ht.rig.headset->queueInputReport(Sample());
        QVERIFY(ht.proxy.resetImpl());
        QVERIFY(!ht.model->hasHeadtracking());
        QCOMPARE(ht.rig.headset->pendingInputReports(), size_t(1));
    }
};

QTEST_GUILESS_MAIN(TestHeadTrackingE2e)
#include "tst_head_tracking_e2e.moc"
