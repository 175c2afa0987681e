// The head-tracking mediator over the real headset device model (virtual worker time, scriptable
// headset): orientation and Euler angles, the polling mode, calibration and centring with the
// application's keep-awake requests, and the OSC output received on a loopback socket.

#include "FakeAppServices.h"
#include "tst_osc_reader.h"

#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "support/devices/ManualWorkerTimers.h"
#include "support/devices/TestKestrinDevice.h"
#include "support/devices/WorkerJobs.h"
#include "ui_mediators/UIKesHeadMediator.h"
#include "ui_models/UIKestrinModel.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <functional>

using DeviceModels::KestrinDeviceModel;
using TestSupport::ManualWorkerTimers;
using TestSupport::TestKestrinDevice;
using UIMediators::UIKesHeadMediator;
using Polling = KestrinDeviceModel::PollingParam;

namespace {

const QString c_sensorsOff = QStringLiteral("setGyroSensorEnabled false 60");

TestKestrinDevice::Options Headset(Devices::DeviceCategory category = Devices::DeviceCategory::Hardware)
{
    TestKestrinDevice::Options options;
    options.type = DeviceType::kestrin_2_anc;
    options.category = category;
    return options;
}

// The mediator wired to the device model as the headset UI model wires it.
struct Fixture {
    explicit Fixture(const TestKestrinDevice::Options& options = Headset())
        : device(std::make_shared<TestKestrinDevice>(options))
    {
        auto manual = std::make_unique<ManualWorkerTimers>();
        timers = manual.get();
        model = std::make_unique<KestrinDeviceModel>(&proxy, std::move(manual));
        head = std::make_unique<UIKesHeadMediator>(app, *model, proxy, nullptr);
        QObject::connect(model.get(), &KestrinDeviceModel::deviceReady, head.get(), &UIKesHeadMediator::onModelReady);
        QObject::connect(model.get(), &KestrinDeviceModel::deviceLost, head.get(), &UIKesHeadMediator::onDeviceLost);
    }

    ~Fixture()
    {
        head.reset();
        model.reset();
    }

    void connectDevice()
    {
        QVERIFY(proxy.setDevice(device));
        runJobs();
    }

    // The worker's jobs due now (the sensor switches among them), their results handed over.
    void runJobs() { TestSupport::RunDueJobs(*timers); }
    bool waitUntil(const std::function<bool()>& done) { return TestSupport::RunJobsUntil(*timers, done); }

    // Head tracking on, through the head-tracking page as a screen would ask for it.
    void enableHeadTracking()
    {
        QSignalSpy hasHt(head.get(), &UIKesHeadMediator::hasHeadtrackingChanged);
        head->setCurrentTabHt(true);
        QVERIFY(waitUntil([&] { return hasHt.count() == 1; }));
        QVERIFY(head->hasHeadtracking());
    }

    // The headset turns to `q`; the worker reads it and the GUI thread publishes it.
    void turnHead(const QQuaternion& q)
    {
        device->onHeadset([q](TestKestrinDevice::State& s) { s.position = q; });
        timers->advance(4);
        model->onHtTimeout();
    }

    // OSC output on, aimed at the test's receiver.
    void aimAt(const OscReceiver& receiver, int format)
    {
        head->setIpAddress(QStringLiteral("127.0.0.1"));
        head->setUdpPort(receiver.portText());
        head->setOscFormatIndex(format);
    }

    QTimer* calibrationTimer() const { return head->findChild<QTimer*>(); }

    FakeAppServices app;
    Devices::DeviceProxy proxy;
    std::shared_ptr<TestKestrinDevice> device;
    ManualWorkerTimers* timers = nullptr;
    std::unique_ptr<KestrinDeviceModel> model;
    std::unique_ptr<UIKesHeadMediator> head;
};

} // namespace

class TestHeadMediator : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        OscReceiver receiver;
        QVERIFY2(receiver.isBound(), "no loopback UDP socket");
    }

    void startsNeutral()
    {
        Fixture f;
        UIKesHeadMediator& head = *f.head;
        QCOMPARE(head.getPosition(), QQuaternion());
        QCOMPARE(head.getPitch(), 0.0f);
        QCOMPARE(head.getYaw(), 0.0f);
        QCOMPARE(head.getRoll(), 0.0f);
        QVERIFY(!head.hasHeadtracking());
        QVERIFY(!head.isOscEnabled());
        QVERIFY(!head.isStatusBarPolling()); // until the first polling update
        QCOMPARE(head.isAnimationEnabled(), f.app.areAnimationsEnabled());
        QCOMPARE(head.getGesturesModel(), nullptr);
        QCOMPARE(head.getOscFormats().size(), 5);
        QCOMPARE(head.getOscFormatIndex(), 4);
        QCOMPARE(head.getIpAddress(), QStringLiteral("127.0.0.1"));
        QCOMPARE(head.getUdpPort(), QStringLiteral("8000"));
    }

    // What QML sees through the property system.
    void propertiesForQml()
    {
        Fixture f;
        QObject& head = *f.head;
        QSignalSpy port(&head, SIGNAL(udpPortChanged()));
        QVERIFY(head.setProperty("udpPort", QStringLiteral("9100")));
        QCOMPARE(head.property("udpPort").toString(), QStringLiteral("9100"));
        QCOMPARE(port.count(), 1);
        QVERIFY(head.setProperty("oscFormatIndex", 2));
        QCOMPARE(head.property("oscFormatIndex").toInt(), 2);
        QCOMPARE(head.property("oscFormats").toStringList().at(2), QStringLiteral("/Virtuoso/quat w z x -y"));
        QVERIFY(head.setProperty("ipAddress", QString()));
        QCOMPARE(head.property("ipAddress").toString(), QStringLiteral("127.0.0.1"));
        QVERIFY(head.property("gesturesModel").value<QObject*>() == nullptr);
        QCOMPARE(head.property("position").value<QQuaternion>(), QQuaternion());
        QVERIFY(head.metaObject()->indexOfMethod("calibrate(int)") >= 0);
        QVERIFY(head.metaObject()->indexOfMethod("centralize()") >= 0);
        QVERIFY(head.metaObject()->indexOfMethod("setCurrentTabHt(bool)") >= 0);
    }

    // The OSC settings signal every write, changed or not.
    void settingsSignalEveryWrite()
    {
        Fixture f;
        QSignalSpy port(f.head.get(), &UIKesHeadMediator::udpPortChanged);
        QSignalSpy address(f.head.get(), &UIKesHeadMediator::ipAddressChanged);
        QSignalSpy format(f.head.get(), &UIKesHeadMediator::oscFormatIndexChanged);
        f.head->setUdpPort(QStringLiteral("abc"));
        f.head->setUdpPort(QStringLiteral("8000"));
        f.head->setIpAddress(QStringLiteral("127.0.0.1"));
        f.head->setOscFormatIndex(5);
        f.head->setOscFormatIndex(4);
        QCOMPARE(port.count(), 2);
        QCOMPARE(address.count(), 1);
        QCOMPARE(format.count(), 2);
        QCOMPARE(f.head->getUdpPort(), QStringLiteral("8000"));
        QCOMPARE(f.head->getOscFormatIndex(), 4);
    }

    void animationFlagSignalsOnlyChanges()
    {
        Fixture f;
        QSignalSpy changed(f.head.get(), &UIKesHeadMediator::animationEnabledChanged);
        f.head->setAnimationEnabled(true);
        QCOMPARE(changed.count(), 0);
        f.head->setAnimationEnabled(false);
        f.head->setAnimationEnabled(false);
        QCOMPARE(changed.count(), 1);
        QVERIFY(!f.head->isAnimationEnabled());
    }

    void pollingModeFollowsThePage_data()
    {
        QTest::addColumn<bool>("headTracking");
        QTest::addColumn<bool>("pageCurrent");
        QTest::addColumn<int>("param");
        QTest::addColumn<bool>("statusBarPolling");

        QTest::newRow("head tracking, page current") << true << true << int(Polling::head_tracking) << false;
        QTest::newRow("head tracking, page left") << true << false << int(Polling::normal) << true;
        QTest::newRow("no head tracking, page current") << false << true << int(Polling::normal) << true;
        QTest::newRow("no head tracking, page left") << false << false << int(Polling::normal) << true;
    }

    void pollingModeFollowsThePage()
    {
        QFETCH(bool, headTracking);
        QFETCH(bool, pageCurrent);
        QFETCH(int, param);
        QFETCH(bool, statusBarPolling);

        Fixture f;
        if (!headTracking)
            f.device->refuse(QStringLiteral("setGyroSensorEnabled"));
        f.connectDevice();
        if (headTracking)
            f.enableHeadTracking();
        f.head->setCurrentTabHt(pageCurrent);
        QCOMPARE(int(f.model->getPollingParam()), param);
        QCOMPARE(f.head->isStatusBarPolling(), statusBarPolling);
    }

    // Opening the page asks for head tracking; when it comes, the fast reads take over from the
    // status bar's polling.
    void headTrackingPageStartsHeadTracking()
    {
        Fixture f;
        f.connectDevice();
        QVERIFY(f.head->isStatusBarPolling());
        QCOMPARE(f.model->getPollingParam(), Polling::normal);
        QSignalSpy polling(f.head.get(), &UIKesHeadMediator::statusBarPollingChanged);
        QSignalSpy hasHt(f.head.get(), &UIKesHeadMediator::hasHeadtrackingChanged);

        f.head->setCurrentTabHt(true);
        f.runJobs();
        QCOMPARE(f.device->calls(QStringLiteral("setGyro")), QStringList{c_sensorsOff});
        QVERIFY(f.head->isStatusBarPolling()); // not yet
        QVERIFY(f.waitUntil([&] { return hasHt.count() == 1; }));
        QVERIFY(f.head->hasHeadtracking());
        QCOMPARE(f.model->getPollingParam(), Polling::head_tracking);
        QVERIFY(!f.head->isStatusBarPolling());
        QCOMPARE(polling.count(), 1);

        f.head->setCurrentTabHt(false);
        QVERIFY(f.head->isStatusBarPolling());
        QCOMPARE(f.model->getPollingParam(), Polling::normal);
        QCOMPARE(polling.count(), 2);
    }

    void orientationAndEulerAngles()
    {
        Fixture f;
        f.connectDevice();
        f.enableHeadTracking();
        QSignalSpy moved(f.head.get(), &UIKesHeadMediator::positionChanged);

        const QQuaternion q = QQuaternion::fromEulerAngles(10.0f, 20.0f, 30.0f);
        f.turnHead(q);
        QCOMPARE(moved.count(), 1);
        QCOMPARE(f.head->getPosition(), q);
        QVERIFY(qAbs(f.head->getPitch() - 10.0f) < 1e-3f);
        QVERIFY(qAbs(f.head->getYaw() - 20.0f) < 1e-3f);
        QVERIFY(qAbs(f.head->getRoll() - 30.0f) < 1e-3f);
    }

    void oscNeedsHeadTracking()
    {
        Fixture f;
        f.device->refuse(QStringLiteral("setGyroSensorEnabled"));
        f.connectDevice();
        QSignalSpy osc(f.head.get(), &UIKesHeadMediator::oscEnabledChanged);
        f.head->setCurrentTabHt(true);
        QSignalSpy polling(f.head.get(), &UIKesHeadMediator::statusBarPollingChanged);
        f.model->setPollingParam(Polling::none); // shows that the polling update still runs

        f.head->setOscEnabled(true);
        QVERIFY(!f.head->isOscEnabled());
        QCOMPARE(osc.count(), 0);
        QCOMPARE(f.app.activities, 0);
        QCOMPARE(f.model->getPollingParam(), Polling::normal);
        QCOMPARE(polling.count(), 0);
    }

    // While on, every published orientation goes out as one datagram, and one keep-awake request
    // is held.
    void oscSendsEveryOrientation()
    {
        Fixture f;
        OscReceiver receiver;
        f.connectDevice();
        f.enableHeadTracking();
        f.aimAt(receiver, 3);
        QSignalSpy osc(f.head.get(), &UIKesHeadMediator::oscEnabledChanged);

        f.head->setOscEnabled(true);
        QVERIFY(f.head->isOscEnabled());
        QCOMPARE(osc.count(), 1);
        QCOMPARE(f.app.activities, 1);
        f.head->setOscEnabled(true); // unchanged: nothing more
        QCOMPARE(osc.count(), 1);
        QCOMPARE(f.app.activities, 1);

        const QQuaternion q(0.5f, 0.5f, -0.5f, 0.5f);
        f.turnHead(q);
        OscReading reading = ReadOsc(receiver.next());
        QVERIFY(reading.wellFormed);
        QCOMPARE(reading.address, QByteArray("/quaternion"));
        QCOMPARE(reading.floats, (QList<float>{0.5f, 0.5f, -0.5f, 0.5f}));

        // Yaw, pitch and roll in degrees in the last format.
        f.head->setOscFormatIndex(4);
        f.turnHead(QQuaternion::fromEulerAngles(10.0f, 20.0f, 30.0f));
        reading = ReadOsc(receiver.next());
        QCOMPARE(reading.address, QByteArray("/ypr"));
        QCOMPARE(reading.floats.size(), 3);
        QVERIFY(qAbs(reading.floats[0] - 20.0f) < 1e-3f);
        QVERIFY(qAbs(reading.floats[1] - 10.0f) < 1e-3f);
        QVERIFY(qAbs(reading.floats[2] - 30.0f) < 1e-3f);

        f.head->setOscEnabled(false);
        QCOMPARE(osc.count(), 2);
        QCOMPARE(f.app.activities, 0);
        f.turnHead(QQuaternion());
        // Off: the next datagram is the one sent after switching on again.
        f.head->setOscEnabled(true);
        f.head->setOscFormatIndex(3);
        f.turnHead(q);
        QCOMPARE(ReadOsc(receiver.next()).floats, (QList<float>{0.5f, 0.5f, -0.5f, 0.5f}));
        QVERIFY(!receiver.hasPending());
    }

    void oscOffWhenTheDeviceGoesOrComes_data()
    {
        QTest::addColumn<bool>("lost");
        QTest::newRow("device lost") << true;
        QTest::newRow("next device ready") << false;
    }

    void oscOffWhenTheDeviceGoesOrComes()
    {
        QFETCH(bool, lost);
        Fixture f;
        f.connectDevice();
        f.enableHeadTracking();
        f.head->setOscEnabled(true);
        QCOMPARE(f.app.activities, 1);
        QSignalSpy osc(f.head.get(), &UIKesHeadMediator::oscEnabledChanged);

        if (lost)
            QVERIFY(f.proxy.resetImpl());
        else
            QVERIFY(f.proxy.setDevice(std::make_shared<TestKestrinDevice>(Headset())));
        QVERIFY(!f.head->isOscEnabled());
        QCOMPARE(osc.count(), 1);
        QCOMPARE(f.app.activities, 0);
        QVERIFY(f.head->isStatusBarPolling());
    }

    // A new device starts from straight ahead, and the page still current asks it for head
    // tracking at once.
    void nextDeviceIsRefreshed()
    {
        Fixture f;
        f.connectDevice();
        f.enableHeadTracking();
        f.turnHead(QQuaternion::fromEulerAngles(0.0f, 45.0f, 0.0f));
        QSignalSpy moved(f.head.get(), &UIKesHeadMediator::positionChanged);
        QSignalSpy hasHt(f.head.get(), &UIKesHeadMediator::hasHeadtrackingChanged);

        auto second = std::make_shared<TestKestrinDevice>(Headset());
        QVERIFY(f.proxy.setDevice(second));
        QCOMPARE(moved.count(), 1);
        QCOMPARE(f.head->getPosition(), QQuaternion());
        QCOMPARE(f.head->getYaw(), 0.0f);
        QCOMPARE(hasHt.count(), 1); // announced with the device; not yet enabled
        QVERIFY(!f.head->hasHeadtracking());
        f.runJobs();
        QCOMPARE(second->calls(QStringLiteral("setGyro")), QStringList{c_sensorsOff});
        QVERIFY(f.waitUntil([&] { return f.head->hasHeadtracking(); }));
    }

    void centralizeForwards()
    {
        Fixture f;
        f.connectDevice();
        f.head->centralize();
        f.runJobs(); // on the model's worker
        QCOMPARE(f.device->calls(QStringLiteral("centralize")), QStringList{QStringLiteral("centralize")});
    }

    void refusedCalibrationHoldsNothing()
    {
        Fixture f;
        f.connectDevice();
        f.device->refuse(QStringLiteral("calibrate"));
        QVERIFY(!f.head->calibrate(5));
        QCOMPARE(f.app.activities, 0);
        QVERIFY(!f.calibrationTimer()->isActive());
    }

    // A second calibration while one runs holds no second request and does not extend the first.
    void calibrationHoldsOneRequestForItsDuration()
    {
        Fixture f;
        f.connectDevice();
        QVERIFY(f.head->calibrate(5));
        QCOMPARE(f.device->calls(QStringLiteral("calibrate")), QStringList{QStringLiteral("calibrate 5")});
        QCOMPARE(f.app.activities, 1);
        QVERIFY(f.calibrationTimer()->isActive());
        QCOMPARE(f.calibrationTimer()->interval(), 5000);
        QVERIFY(f.calibrationTimer()->isSingleShot());
        const int left = f.calibrationTimer()->remainingTime();

        QVERIFY(f.head->calibrate(5));
        QCOMPARE(f.app.activities, 1);
        QVERIFY(f.calibrationTimer()->remainingTime() <= left);

        // A short one ends by itself.
        Fixture g;
        g.connectDevice();
        QVERIFY(g.head->calibrate(1));
        QCOMPARE(g.app.activities, 1);
        QTRY_COMPARE_WITH_TIMEOUT(g.app.activities, 0, 10000);
    }

    void calibrationEndsWithTheDevice_data()
    {
        QTest::addColumn<bool>("lost");
        QTest::newRow("device lost") << true;
        QTest::newRow("next device ready") << false;
    }

    void calibrationEndsWithTheDevice()
    {
        QFETCH(bool, lost);
        Fixture f;
        f.connectDevice();
        QVERIFY(f.head->calibrate(1));
        if (lost)
            QVERIFY(f.proxy.resetImpl());
        else
            QVERIFY(f.proxy.setDevice(std::make_shared<TestKestrinDevice>(Headset())));
        QCOMPARE(f.app.activities, 0);
        QVERIFY(!f.calibrationTimer()->isActive());
    }

    // The timer of a calibration that ended early must not cut a later calibration short.
    void laterCalibrationKeepsItsFullTime()
    {
        Fixture f;
        f.connectDevice();
        QVERIFY(f.head->calibrate(1));
        QVERIFY(f.proxy.setDevice(std::make_shared<TestKestrinDevice>(Headset())));
        QVERIFY(f.head->calibrate(30));
        QCOMPARE(f.app.activities, 1);
        QCOMPARE(f.calibrationTimer()->interval(), 30000);
        QVERIFY(f.calibrationTimer()->remainingTime() > 20000);
    }

    void destructionGivesBackEveryRequest()
    {
        Fixture f;
        f.connectDevice();
        f.enableHeadTracking();
        f.head->setOscEnabled(true);
        QVERIFY(f.head->calibrate(30));
        QCOMPARE(f.app.activities, 2);
        f.head.reset();
        QCOMPARE(f.app.activities, 0);
    }

    // In the application the headset UI model owns the mediator and deletes the device model
    // first; the mediator's own teardown must not need it.
    void ownedByTheHeadsetUiModel()
    {
        FakeAppServices app;
        Devices::DeviceProxy proxy;
        auto device = std::make_shared<TestKestrinDevice>(Headset());
        {
            UIModels::UIKestrinModel model(&proxy, &app, nullptr);
            auto* head = model.headMediator();
            QCOMPARE(model.getHeadMediator(), head);
            QVERIFY(proxy.setDevice(device));
            QVERIFY(head->isStatusBarPolling());
            QSignalSpy hasHt(head, &UIKesHeadMediator::hasHeadtrackingChanged);
            head->setCurrentTabHt(true);
            QTRY_COMPARE(hasHt.count(), 1);
            head->setOscEnabled(true);
            QVERIFY(head->calibrate(30));
            QCOMPARE(app.activities, 2);
            QSignalSpy moved(head, &UIKesHeadMediator::positionChanged);
            device->onHeadset([](TestKestrinDevice::State& s) { s.position = QQuaternion(0.0f, 1.0f, 0.0f, 0.0f); });
            // The production worker reads every 4 ms and the model publishes every 4 ms.
            QTRY_COMPARE(head->getPosition(), QQuaternion(0.0f, 1.0f, 0.0f, 0.0f));
            QVERIFY(moved.count() >= 1);
            head->setOscEnabled(false);
            QCOMPARE(app.activities, 1);
        }
        QCOMPARE(app.activities, 0);
        proxy.resetImpl();
    }
};

QTEST_GUILESS_MAIN(TestHeadMediator)
#include "tst_head_mediator.moc"
