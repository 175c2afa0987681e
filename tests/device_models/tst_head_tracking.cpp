// Head tracking in the headset device model, over a scriptable headset and virtual worker time:
// the sensors are switched off and on again 100 ms later, the worker then reads the head position
// every 4 ms and the GUI thread publishes the newest one every 4 ms.

#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "devices/FakeKestrinDeviceImpl.h"
#include "support/devices/ManualWorkerTimers.h"
#include "support/devices/TestKestrinDevice.h"
#include "support/devices/WorkerJobs.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using DeviceModels::KestrinDeviceModel;
using TestSupport::ManualWorkerTimers;
using TestSupport::TestKestrinDevice;
using Polling = KestrinDeviceModel::PollingParam;

namespace {

const QString c_sensorsOff = QStringLiteral("setGyroSensorEnabled false 60");
const QString c_sensorsOn = QStringLiteral("setGyroSensorEnabled true 60");

// Calls that belong to head tracking, in order.
QStringList HtCalls(const TestKestrinDevice& device)
{
    QStringList calls;
    for (const QString& call : device.calls()) {
        if (call.startsWith(QLatin1String("setGyroSensorEnabled")) || call == QLatin1String("centralize") ||
            call == QLatin1String("processAvailablePositionSensors") || call == QLatin1String("readPosition"))
            calls << call;
    }
    return calls;
}

TestKestrinDevice::Options HardwareHeadset()
{
    TestKestrinDevice::Options options;
    options.type = DeviceType::kestrin_2_anc;
    return options;
}

struct Fixture {
    explicit Fixture(const TestKestrinDevice::Options& options = HardwareHeadset(),
                     const TestKestrinDevice::State& state = {})
        : device(std::make_shared<TestKestrinDevice>(options, state))
    {
        auto manual = std::make_unique<ManualWorkerTimers>();
        timers = manual.get();
        model = std::make_unique<KestrinDeviceModel>(&proxy, std::move(manual));
    }

    // Makes the device current after the worker's first-load reads.
    void connectDevice()
    {
        QVERIFY(proxy.setDevice(device));
        runJobs();
        device->clearCalls();
    }

    // The worker's jobs due now (the sensor switches among them), their results handed over.
    void runJobs() { TestSupport::RunDueJobs(*timers); }
    bool waitUntil(const std::function<bool()>& done) { return TestSupport::RunJobsUntil(*timers, done); }

    // The 100 ms step between switching the sensors off and on is pending.
    bool stepPending() const
    {
        const auto qtimers = model->findChildren<QTimer*>();
        return std::any_of(qtimers.begin(), qtimers.end(),
                           [](QTimer* t) { return t->isActive() && t->isSingleShot(); });
    }
    // The 4 ms publishing timer runs.
    bool publishing() const
    {
        const auto qtimers = model->findChildren<QTimer*>();
        return std::any_of(qtimers.begin(), qtimers.end(),
                           [](QTimer* t) { return t->isActive() && !t->isSingleShot() && t->interval() == 4; });
    }

    // Requests head tracking and waits for the sequence to finish.
    void enable()
    {
        QSignalSpy hasHt(model.get(), &KestrinDeviceModel::sigHasHtChanged);
        model->requestHt();
        QVERIFY(waitUntil([&] { return hasHt.count() == 1; }));
        QVERIFY(model->hasHeadtracking());
    }

    void setHeadsetPosition(const QQuaternion& q)
    {
        device->onHeadset([q](TestKestrinDevice::State& s) { s.position = q; });
    }

    Devices::DeviceProxy proxy;
    std::shared_ptr<TestKestrinDevice> device;
    ManualWorkerTimers* timers = nullptr;
    std::unique_ptr<KestrinDeviceModel> model;
};

const QQuaternion c_turnedLeft = QQuaternion::fromEulerAngles(0.0f, 30.0f, 0.0f);
const QQuaternion c_lookingUp = QQuaternion::fromEulerAngles(20.0f, 0.0f, 0.0f);
const QQuaternion c_tilted = QQuaternion::fromEulerAngles(0.0f, 0.0f, -15.0f);

} // namespace

class TestHeadTracking : public QObject {
    Q_OBJECT

private slots:
    void sensorsAreSwitchedOffThenOnAfter100Ms()
    {
        Fixture f;
        f.connectDevice();
        QSignalSpy hasHt(f.model.get(), &KestrinDeviceModel::sigHasHtChanged);

        f.model->requestHt();
        // Off from the worker, never from this thread; on only after the step.
        QVERIFY(HtCalls(*f.device).isEmpty());
        f.runJobs();
        QCOMPARE(HtCalls(*f.device), QStringList{c_sensorsOff});
        QVERIFY(f.stepPending());
        QVERIFY(!f.model->hasHeadtracking());
        QCOMPARE(f.timers->activeCount(), 0);

        QVERIFY(f.waitUntil([&] { return hasHt.count() == 1; }));
        QVERIFY(f.model->hasHeadtracking());
        // Sensors on, the samples gathered meanwhile taken in, and the current orientation made
        // straight ahead, before the first read.
        QCOMPARE(HtCalls(*f.device),
                 (QStringList{c_sensorsOff, c_sensorsOn, QStringLiteral("processAvailablePositionSensors"),
                              QStringLiteral("centralize")}));
        QVERIFY(!f.stepPending());
        QVERIFY(f.publishing());
        // The position read is the only worker job (polling is off).
        QCOMPARE(f.timers->activeCount(), 1);
        QCOMPARE(hasHt.count(), 1);
    }

    // Fixed rate from the moment it is armed: one read at once, then one per 4 ms.
    void positionIsReadEvery4Ms()
    {
        Fixture f;
        f.connectDevice();
        f.enable();
        f.device->clearCalls();

        f.timers->advance(0);
        QCOMPARE(f.device->calls(QStringLiteral("readPosition")).size(), 1);
        f.timers->advance(40);
        QCOMPARE(f.device->calls(QStringLiteral("readPosition")).size(), 11);
        f.timers->advance(3);
        QCOMPARE(f.device->calls(QStringLiteral("readPosition")).size(), 11);
        f.timers->advance(1);
        QCOMPARE(f.device->calls(QStringLiteral("readPosition")).size(), 12);
    }

    void publishesOnlyTheNewestRead()
    {
        Fixture f;
        f.connectDevice();
        f.enable();
        QSignalSpy moved(f.model.get(), &KestrinDeviceModel::sigHeadPositionChanged);

        f.setHeadsetPosition(c_turnedLeft);
        f.timers->advance(0);
        f.setHeadsetPosition(c_lookingUp);
        f.timers->advance(4);
        f.setHeadsetPosition(c_tilted);
        f.timers->advance(4);
        // Read but not yet published: the GUI thread has not ticked.
        QCOMPARE(f.model->getHeadPosition(), QQuaternion());
        QCOMPARE(moved.count(), 0);

        f.model->onHtTimeout();
        QCOMPARE(moved.count(), 1);
        QCOMPARE(f.model->getHeadPosition(), c_tilted);

        // Nothing new: no signal.
        f.model->onHtTimeout();
        QCOMPARE(moved.count(), 1);
    }

    // The same reading twice is still a new reading: the receiver learns the head kept still.
    void everyReadIsPublishedEvenWhenUnchanged()
    {
        Fixture f;
        f.connectDevice();
        f.enable();
        QSignalSpy moved(f.model.get(), &KestrinDeviceModel::sigHeadPositionChanged);
        f.timers->advance(0);
        f.model->onHtTimeout();
        f.timers->advance(4);
        f.model->onHtTimeout();
        QCOMPARE(moved.count(), 2);
        QCOMPARE(f.model->getHeadPosition(), QQuaternion());
    }

    void publishingTimerRunsOnItsOwn()
    {
        Fixture f;
        f.connectDevice();
        f.enable();
        QSignalSpy moved(f.model.get(), &KestrinDeviceModel::sigHeadPositionChanged);
        f.setHeadsetPosition(c_turnedLeft);
        f.timers->advance(0);
        QTRY_COMPARE(moved.count(), 1);
        QCOMPARE(f.model->getHeadPosition(), c_turnedLeft);
    }

    void failedReadKeepsTheLastPosition()
    {
        Fixture f;
        f.connectDevice();
        f.enable();
        f.setHeadsetPosition(c_turnedLeft);
        f.timers->advance(0);
        f.model->onHtTimeout();
        QSignalSpy moved(f.model.get(), &KestrinDeviceModel::sigHeadPositionChanged);

        f.device->refuse(QStringLiteral("readPosition"));
        f.setHeadsetPosition(c_lookingUp);
        f.timers->advance(20);
        f.model->onHtTimeout();
        QCOMPARE(moved.count(), 0);
        QCOMPARE(f.model->getHeadPosition(), c_turnedLeft);

        // The reads go on and pick up again.
        f.device->allow(QStringLiteral("readPosition"));
        f.timers->advance(4);
        f.model->onHtTimeout();
        QCOMPARE(moved.count(), 1);
        QCOMPARE(f.model->getHeadPosition(), c_lookingUp);
    }

    // A headset that is off, or refuses either sensor command, ends the attempt quietly: no
    // head tracking, no signal, no timers, and no second attempt for this device.
    void failedStartIsFinal_data()
    {
        QTest::addColumn<bool>("poweredOn");
        QTest::addColumn<int>("refusedCall"); // 0 none, 1 sensors off, 2 sensors on
        QTest::addColumn<QStringList>("sent");

        QTest::newRow("powered off") << false << 0 << QStringList();
        QTest::newRow("switching off refused") << true << 1 << QStringList{c_sensorsOff};
        QTest::newRow("switching on refused") << true << 2 << QStringList{c_sensorsOff, c_sensorsOn};
    }

    void failedStartIsFinal()
    {
        QFETCH(bool, poweredOn);
        QFETCH(int, refusedCall);
        QFETCH(QStringList, sent);

        TestKestrinDevice::State state;
        state.poweredOn = poweredOn;
        Fixture f(HardwareHeadset(), state);
        f.connectDevice();
        QSignalSpy hasHt(f.model.get(), &KestrinDeviceModel::sigHasHtChanged);

        if (refusedCall == 1)
            f.device->refuse(QStringLiteral("setGyroSensorEnabled"), 1);
        f.model->requestHt();
        f.runJobs();
        if (refusedCall == 2) {
            QVERIFY(f.stepPending());
            f.device->refuse(QStringLiteral("setGyroSensorEnabled"), 1);
            QTRY_VERIFY(!f.stepPending());
            f.runJobs();
        }

        QCOMPARE(HtCalls(*f.device), sent);
        QVERIFY(!f.stepPending());
        QVERIFY(!f.publishing());
        QVERIFY(!f.model->hasHeadtracking());
        QCOMPARE(f.timers->activeCount(), 0);

        // Asked again, directly or through the polling mode: nothing goes out.
        f.model->requestHt();
        f.model->initHt();
        f.model->setPollingParam(Polling::head_tracking);
        f.runJobs();
        QCOMPARE(HtCalls(*f.device), sent);
        QVERIFY(!f.stepPending());
        QCOMPARE(hasHt.count(), 0);
    }

    void onlyAFullHardwareHeadsetIsAsked_data()
    {
        QTest::addColumn<int>("category");
        QTest::addColumn<bool>("fwOnly");

        QTest::newRow("software category") << int(Devices::DeviceCategory::Software) << false;
        QTest::newRow("firmware only") << int(Devices::DeviceCategory::Hardware) << true;
    }

    void onlyAFullHardwareHeadsetIsAsked()
    {
        QFETCH(int, category);
        QFETCH(bool, fwOnly);

        auto options = HardwareHeadset();
        options.category = Devices::DeviceCategory(category);
        options.fwOnly = fwOnly;
        Fixture f(options);
        f.connectDevice();
        f.model->requestHt();
        f.model->setPollingParam(Polling::head_tracking);
        f.runJobs();
        QVERIFY(HtCalls(*f.device).isEmpty());
        QVERIFY(!f.stepPending());
        QVERIFY(!f.model->hasHeadtracking());
    }

    void simulatedHeadsetIsNotAsked()
    {
        Fixture f;
        QSignalSpy hasHt(f.model.get(), &KestrinDeviceModel::sigHasHtChanged);
        QVERIFY(f.proxy.setDevice(std::make_shared<Devices::FakeKestrinDeviceImpl>()));
        f.model->requestHt();
        QVERIFY(!f.stepPending());
        QVERIFY(!f.model->hasHeadtracking());
        QCOMPARE(hasHt.count(), 0);
    }

    // The polling mode asks for head tracking, and stops the settings and battery polls; once
    // enabled, head tracking goes on beside the polls whatever the mode becomes.
    void pollingModeAndHeadTracking()
    {
        Fixture f;
        f.connectDevice();
        QSignalSpy hasHt(f.model.get(), &KestrinDeviceModel::sigHasHtChanged);
        f.model->setPollingParam(Polling::normal);
        QCOMPARE(f.timers->activeCount(), 2);

        f.model->setPollingParam(Polling::head_tracking);
        f.runJobs();
        QCOMPARE(f.timers->activeCount(), 0);
        QCOMPARE(HtCalls(*f.device), QStringList{c_sensorsOff});
        QVERIFY(f.waitUntil([&] { return hasHt.count() == 1; }));
        QCOMPARE(f.timers->activeCount(), 1); // the position read only

        f.model->setPollingParam(Polling::normal);
        QCOMPARE(f.timers->activeCount(), 3);
        QVERIFY(f.publishing());

        // Back to head tracking while enabled: no second sequence, no second signal.
        f.device->clearCalls();
        f.model->setPollingParam(Polling::head_tracking);
        QCOMPARE(f.timers->activeCount(), 1);
        QVERIFY(!f.stepPending());
        f.model->requestHt();
        QVERIFY(f.device->calls(QStringLiteral("setGyro")).isEmpty());
        QCOMPARE(hasHt.count(), 1);

        f.model->setPollingParam(Polling::none);
        QCOMPARE(f.timers->activeCount(), 1);
        QVERIFY(f.publishing());
    }

    void losingTheDeviceStopsHeadTracking()
    {
        Fixture f;
        f.connectDevice();
        f.enable();
        f.setHeadsetPosition(c_turnedLeft);
        f.timers->advance(0);
        f.model->onHtTimeout();

        QVERIFY(f.proxy.resetImpl());
        QVERIFY(!f.model->hasHeadtracking());
        QCOMPARE(f.timers->activeCount(), 0);
        QVERIFY(!f.publishing());
        // The last position stays until the next device.
        QCOMPARE(f.model->getHeadPosition(), c_turnedLeft);

        // No device: a request is remembered but sends nothing.
        f.device->clearCalls();
        f.model->requestHt();
        QVERIFY(!f.stepPending());
        QVERIFY(f.device->calls().isEmpty());

        // The next device starts from straight ahead and can be asked again.
        QVERIFY(f.proxy.setDevice(f.device));
        QCOMPARE(f.model->getHeadPosition(), QQuaternion());
        f.runJobs();
        f.device->clearCalls();
        f.enable();
        QCOMPARE(f.device->calls(QStringLiteral("setGyro")), (QStringList{c_sensorsOff, c_sensorsOn}));
    }

    void losingTheDeviceDuringTheStepCancelsIt()
    {
        Fixture f;
        f.connectDevice();
        QSignalSpy hasHt(f.model.get(), &KestrinDeviceModel::sigHasHtChanged);
        f.model->requestHt();
        f.runJobs();
        QVERIFY(f.stepPending());
        QVERIFY(f.proxy.resetImpl());
        QVERIFY(!f.stepPending());
        QCOMPARE(HtCalls(*f.device), QStringList{c_sensorsOff});
        QCOMPARE(hasHt.count(), 0);
    }

    // A failed attempt is tried again for the next device.
    void nextDeviceGetsANewAttempt()
    {
        Fixture f;
        f.connectDevice();
        f.device->refuse(QStringLiteral("setGyroSensorEnabled"), 1);
        f.model->requestHt();
        f.runJobs();
        QVERIFY(!f.stepPending());

        auto second = std::make_shared<TestKestrinDevice>(HardwareHeadset());
        QVERIFY(f.proxy.setDevice(second));
        f.runJobs();
        QSignalSpy hasHt(f.model.get(), &KestrinDeviceModel::sigHasHtChanged);
        f.model->requestHt();
        QVERIFY(f.waitUntil([&] { return hasHt.count() == 1; }));
        QCOMPARE(second->calls(QStringLiteral("setGyro")), (QStringList{c_sensorsOff, c_sensorsOn}));
    }

    // Destroying the model while head tracking runs stops the reads before the device goes.
    void destroyedWhileTracking()
    {
        Fixture f;
        f.connectDevice();
        f.enable();
        f.timers->advance(8);
        f.model.reset();
        QCOMPARE(f.device.use_count(), 2); // the test and the proxy
    }
};

QTEST_GUILESS_MAIN(TestHeadTracking)
#include "tst_head_tracking.moc"
