// End to end: the application object with its real hardware bus and HID client, over the emulated
// USB bus. Headsets and dongles are plugged in and pulled out; the test watches what the window
// would see through App: the current device, App.uiModel and the mediators' properties.

#include "HeadsetPlugging.h"

#include "app/App.h"
#include "core/GlobalLogger.h"
#include "devices/DeviceProxy.h"
#include "devices/IKestrinDeviceMain.h"
#include "platform/IHwBus.h"
#include "ui_models/IUIModel.h"
#include "ui_models/UIKestrinModel.h"

#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

using namespace HidEmu;
using Devices::DeviceCategory;

namespace {

// Polls run every second, and the headset model notices a pulled-out headset on its next refresh
// (also every second); generous for a slow, sanitised CI machine.
constexpr int WaitMs = 20000;

// Device ids the program knows: what App.deviceId and the proxy report.
int IdOf(const Devices::SharedDeviceImpl& device)
{
    return int(device->getInstanceId());
}

} // namespace

class TestE2ePlugging : public QObject {
    Q_OBJECT

public:
    TestE2ePlugging(int& argc, char** argv)
        : m_argc(argc)
        , m_argv(argv)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pluggedHeadsetBecomesCurrent_data();
    void pluggedHeadsetBecomesCurrent();
    void headsetPluggedBeforeStartSkipsTheNoDeviceScreen();
    void deviceSearchDoneFollowsTheFirstProbe_data();
    void deviceSearchDoneFollowsTheFirstProbe();
    void failedSetUpLeavesTheNoDeviceScreen();
    void unpluggingTheCurrentHeadsetFallsBackToTheNullDevice();
    void unpluggingWhileSimulationIsAllowedKeepsTheSimulatedHeadset();
    void anotherHeadsetTakesOverAfterUnplugging();
    void wiredHeadsetReplacesTheDongleInUse();
    void firmwareOnlyDongleIsPairedAndBecomesFull();
    void stopBusClosesTheDevice_data();
    void stopBusClosesTheDevice();
    void logLines();

private:
    void startApp();
    void waitForStub();
    // Waits until the device from the emulated product `pid` is current and its UI model shown.
    void waitForHeadset(uint16_t pid);
    QObject* mediator(const char* name) const;
    uint16_t currentPid() const;
    bool currentIsFwOnly() const;
    int simulatedId() const { return IdOf(m_app->devices().front()); }

    int& m_argc;
    char** m_argv;
    QTemporaryDir m_logs;
    App* m_app = nullptr;
    std::unique_ptr<QSignalSpy> m_uiModelChanged;
    std::unique_ptr<QSignalSpy> m_deviceLost;
    std::unique_ptr<QSignalSpy> m_deviceReady;
};

void TestE2ePlugging::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_logs.isValid());
}

void TestE2ePlugging::init()
{
    Bus::instance().reset();
}

void TestE2ePlugging::cleanup()
{
    m_uiModelChanged.reset();
    m_deviceLost.reset();
    m_deviceReady.reset();
    // Closes the devices, stops the polls and the headset model's worker.
    delete m_app;
    m_app = nullptr;
    QCOMPARE(Bus::instance().openHandles(), 0);
    Bus::instance().reset();
}

void TestE2ePlugging::startApp()
{
    m_app = new App(m_argc, m_argv);
    m_uiModelChanged = std::make_unique<QSignalSpy>(m_app, &App::uiModelChanged);
    m_deviceLost = std::make_unique<QSignalSpy>(&m_app->deviceProxy(), &Devices::DeviceProxy::deviceLost);
    m_deviceReady = std::make_unique<QSignalSpy>(&m_app->deviceProxy(), &Devices::DeviceProxy::deviceReady);
    QCOMPARE(m_app->uiModel(), nullptr);
}

void TestE2ePlugging::waitForStub()
{
    QTRY_COMPARE_WITH_TIMEOUT(m_app->uiModel(), static_cast<QObject*>(m_app->stubModel()), WaitMs);
    QCOMPARE(m_app->deviceProxy().getCategory(), DeviceCategory::Stub);
}

void TestE2ePlugging::waitForHeadset(uint16_t pid)
{
    QTRY_COMPARE_WITH_TIMEOUT(currentPid(), pid, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_app->uiModel(), static_cast<QObject*>(m_app->kestrinModel()), WaitMs);
    QCOMPARE(m_app->deviceProxy().getCategory(), DeviceCategory::Hardware);
    QCOMPARE(m_app->getDeviceId(), int(m_app->deviceProxy().getInstanceId()));
    QCOMPARE(m_app->uiModel()->property("category").toInt(), int(UIModels::IUIModel::Hardware));
}

QObject* TestE2ePlugging::mediator(const char* name) const
{
    return m_app->kestrinModel()->property(name).value<QObject*>();
}

uint16_t TestE2ePlugging::currentPid() const
{
    const auto device = m_app->deviceProxy().getDevice();
    uint16_t vid = 0;
    uint16_t pid = 0;
    if (device->getCategory() == DeviceCategory::Hardware && device->getKestrinDevice())
        device->getKestrinDevice()->getVidPid(vid, pid);
    return pid;
}

bool TestE2ePlugging::currentIsFwOnly() const
{
    const auto device = m_app->deviceProxy().getDevice();
    return device->getKestrinDevice() && device->getKestrinDevice()->isFwOnly();
}

void TestE2ePlugging::pluggedHeadsetBecomesCurrent_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<int>("kestrinType");
    QTest::addColumn<bool>("dongle");
    QTest::newRow("kestrin_2 headset") << 0x4B2E << int(UIModels::UIKestrinModel::Kestrin_2) << false;
    QTest::newRow("kestrin_2_anc headset") << 0x4BAA << int(UIModels::UIKestrinModel::Kestrin_2_ANC) << false;
    QTest::newRow("kestrin dongle") << 0x4B19 << int(UIModels::UIKestrinModel::Kestrin_1) << true;
}

void TestE2ePlugging::pluggedHeadsetBecomesCurrent()
{
    QFETCH(int, pid);
    QFETCH(int, kestrinType);
    QFETCH(bool, dongle);

    startApp();
    waitForStub();

    Kestrin::State* state = nullptr;
    auto headset = PlugKestrin(uint16_t(pid), &state);
    state->vpLevel = 9;
    state->gameChatMix = 4;
    headset->batteryLevel = 55;
    headset->firmwareVersion = "3.1.4";

    // The window hears of the set-up before the headset's model is current, and that it is over
    // once the model is.
    QList<std::pair<int, bool>> settingUp;
    connect(m_app, &App::settingUpModelTypeChanged, this, [&] {
        settingUp.append({m_app->settingUpModelType(), m_app->uiModel() == m_app->kestrinModel()});
    });
    waitForHeadset(uint16_t(pid));
    const QList<std::pair<int, bool>> expected{{int(UIModels::IUIModel::Kestrin), false},
                                               {int(UIModels::IUIModel::Unknown), true}};
    QTRY_COMPARE_WITH_TIMEOUT(settingUp, expected, WaitMs);
    QCOMPARE(m_uiModelChanged->count(), 2); // the stub, then the headset's model
    QCOMPARE(m_app->devices().size(), size_t(2));
    QCOMPARE(m_app->kestrinModel()->property("kestrinType").toInt(), kestrinType);

    // The screen's data is the emulated headset's.
    QCOMPARE(mediator("settingsMediator")->property("vpLevel").toInt(), 9);
    QCOMPARE(mediator("settingsMediator")->property("gameChatMix").toInt(), 4);
    QCOMPARE(mediator("fwMediator")->property("fwVer").toString(), QString("3.1.4"));
    QCOMPARE(mediator("fwMediator")->property("isDongle").toBool(), dongle);
    QCOMPARE(mediator("fwMediator")->property("isFwOnly").toBool(), false);
    QTRY_COMPARE_WITH_TIMEOUT(mediator("statusMediator")->property("batteryPercentage").toInt(), 55, WaitMs);

    // A change made on the screen reaches the headset.
    mediator("settingsMediator")->setProperty("vpLevel", 6);
    QTRY_COMPARE_WITH_TIMEOUT(int(headset->state<Kestrin::State>().vpLevel), 6, WaitMs);
    QVERIFY(headset->violations().empty());
}

void TestE2ePlugging::headsetPluggedBeforeStartSkipsTheNoDeviceScreen()
{
    PlugKestrin(0x4B2A);
    startApp();
    waitForHeadset(0x4B2A);
    // The bus's first probe runs at start, so the no-device screen never shows.
    QCOMPARE(m_uiModelChanged->count(), 1);
}

void TestE2ePlugging::deviceSearchDoneFollowsTheFirstProbe_data()
{
    QTest::addColumn<bool>("dongle");
    QTest::newRow("nothing plugged in") << false;
    QTest::newRow("dongle plugged in at start") << true;
}

void TestE2ePlugging::deviceSearchDoneFollowsTheFirstProbe()
{
    QFETCH(bool, dongle);

    // The threads the dongle's set-up talked to it on, until the bus announced it.
    struct Watch {
        std::mutex mutex;
        std::set<std::thread::id> threads;
        std::atomic<bool> announced{false};
    };
    const auto watch = std::make_shared<Watch>();
    if (dongle) {
        Kestrin::State* state = nullptr;
        PlugKestrin(0x4B29, &state);
        state->refuseWhen = [watch](const Request&) {
            if (!watch->announced) {
                std::lock_guard<std::mutex> lock(watch->mutex);
                watch->threads.insert(std::this_thread::get_id());
            }
            return uint8_t(0);
        };
    }

    // The bus starts probing while App is being built: watched from before that.
    auto bus = Platform::CreateHardwareBus();
    connect(
        bus.get(), &Platform::IHwBus::deviceArrived, this, [watch] { watch->announced = true; }, Qt::DirectConnection);
    m_app = new App(m_argc, m_argv, std::move(bus));
    m_uiModelChanged = std::make_unique<QSignalSpy>(m_app, &App::uiModelChanged);
    QVERIFY(!m_app->isDeviceSearchDone());
    size_t devicesWhenDone = 0;
    QObject* modelWhenDone = nullptr;
    connect(m_app, &App::deviceSearchDoneChanged, this, [&] {
        devicesWhenDone = m_app->devices().size();
        modelWhenDone = m_app->uiModel();
    });
    QTRY_VERIFY_WITH_TIMEOUT(m_app->isDeviceSearchDone(), WaitMs);

    if (!dongle) {
        // The no-device screen's model is chosen by then.
        QCOMPARE(devicesWhenDone, size_t(1));
        QCOMPARE(modelWhenDone, static_cast<QObject*>(m_app->stubModel()));
        return;
    }
    // The dongle was taken in before the search counted as done, and the stub model (the
    // no-device screen) was never chosen on the way to the headset's.
    QCOMPARE(devicesWhenDone, size_t(2));
    waitForHeadset(0x4B29);
    QCOMPARE(m_uiModelChanged->count(), 1);
    // Its whole set-up ran on the bus's worker, none of it on the GUI thread.
    std::lock_guard<std::mutex> lock(watch->mutex);
    QVERIFY(!watch->threads.empty());
    QVERIFY(!watch->threads.count(std::this_thread::get_id()));
}

void TestE2ePlugging::failedSetUpLeavesTheNoDeviceScreen()
{
    startApp();
    waitForStub();
    QSignalSpy settingUp(m_app, &App::settingUpModelTypeChanged);
    auto headset = PlugKestrin(0x4B2E);
    headset->setSilent(true);
    // Announced, then over without a device: the screen prepared for it is not wanted.
    QTRY_COMPARE_WITH_TIMEOUT(settingUp.count(), 2, WaitMs);
    QCOMPARE(m_app->settingUpModelType(), int(UIModels::IUIModel::Unknown));
    QCOMPARE(m_app->uiModel(), static_cast<QObject*>(m_app->stubModel()));
    // Tried again at every poll, but not announced again while it stays plugged in. An
    // announcement would be queued before the next try's first request.
    const size_t requests = headset->requests().size();
    QTRY_VERIFY_WITH_TIMEOUT(headset->requests().size() > requests, WaitMs);
    QCoreApplication::processEvents();
    QCOMPARE(settingUp.count(), 2);
}

void TestE2ePlugging::unpluggingTheCurrentHeadsetFallsBackToTheNullDevice()
{
    startApp();
    waitForStub();
    auto headset = PlugKestrin(0x4B2E);
    waitForHeadset(0x4B2E);
    m_deviceLost->clear();
    m_deviceReady->clear();
    m_uiModelChanged->clear();

    // The headset model's next refresh fails, which closes the device and tells the bus.
    Unplug(headset);
    waitForStub();
    // The simulated headset stood in for a moment, then the null device took over.
    QCOMPARE(m_deviceLost->count(), 2);
    QCOMPARE(m_deviceReady->count(), 1);
    QCOMPARE(m_app->getDeviceId(), simulatedId());
    QCOMPARE(m_app->devices().size(), size_t(1));
    QCOMPARE(m_uiModelChanged->count(), 1);

    // Plugged in again: a new device, current again.
    PlugKestrin(0x4B2E);
    waitForHeadset(0x4B2E);
    QCOMPARE(m_app->devices().size(), size_t(2));
}

void TestE2ePlugging::unpluggingWhileSimulationIsAllowedKeepsTheSimulatedHeadset()
{
    startApp();
    waitForStub();
    auto headset = PlugKestrin(0x4BAE);
    waitForHeadset(0x4BAE);

    // As during a firmware update, when the headset restarts.
    m_app->setSimulationAllowed(true);
    Unplug(headset);
    QTRY_COMPARE_WITH_TIMEOUT(m_app->deviceProxy().getCategory(), DeviceCategory::Software, WaitMs);
    QCOMPARE(m_app->uiModel(), static_cast<QObject*>(m_app->kestrinModel()));
    QCOMPARE(m_app->uiModel()->property("category").toInt(), int(UIModels::IUIModel::Software));
    QCOMPARE(m_app->getDeviceId(), simulatedId());

    // Back from its restart, it takes over from the simulated headset.
    PlugKestrin(0x4BAE);
    waitForHeadset(0x4BAE);
    m_app->setSimulationAllowed(false);
    QCOMPARE(currentPid(), uint16_t(0x4BAE));
}

void TestE2ePlugging::anotherHeadsetTakesOverAfterUnplugging()
{
    startApp();
    auto wired = PlugKestrin(0x4B2A);
    waitForHeadset(0x4B2A);
    const int wiredId = m_app->getDeviceId();
    m_uiModelChanged->clear();
    m_deviceLost->clear();

    // A dongle plugged in and pulled out while the wired headset is in use is never announced:
    // nothing changes.
    auto dongle = PlugKestrin(0x4B29);
    QVERIFY(!QTest::qWaitFor([&] { return m_deviceLost->count() > 0; }, 2500));
    Unplug(dongle);
    QVERIFY(!QTest::qWaitFor([&] { return m_deviceLost->count() > 0; }, 1500));
    QCOMPARE(m_app->getDeviceId(), wiredId);
    QCOMPARE(m_app->devices().size(), size_t(2));
    QCOMPARE(m_uiModelChanged->count(), 0);

    // With a dongle plugged in, unplugging the wired headset hands over to the dongle.
    PlugKestrin(0x4B29);
    Unplug(wired);
    waitForHeadset(0x4B29);
    QVERIFY(m_app->getDeviceId() != wiredId);
    QCOMPARE(m_app->devices().size(), size_t(2));
}

void TestE2ePlugging::wiredHeadsetReplacesTheDongleInUse()
{
    startApp();
    auto dongle = PlugKestrin(0x4BA8);
    waitForHeadset(0x4BA8);
    const int dongleId = m_app->getDeviceId();

    PlugKestrin(0x4BAA);
    waitForHeadset(0x4BAA);
    QVERIFY(m_app->getDeviceId() != dongleId);
    QCOMPARE(m_app->devices().size(), size_t(2));
    QCOMPARE(IdOf(m_app->devices().back()), m_app->getDeviceId());
    QVERIFY(dongle->violations().empty());
}

void TestE2ePlugging::firmwareOnlyDongleIsPairedAndBecomesFull()
{
    startApp();
    Kestrin::State* state = nullptr;
    auto dongle = PlugDongleWithoutHeadset(0x4B28, &state);
    dongle->dongleFirmwareVersion = "7.0.2";

    waitForHeadset(0x4B28);
    QVERIFY(currentIsFwOnly());
    QCOMPARE(mediator("fwMediator")->property("isFwOnly").toBool(), true);
    QCOMPARE(mediator("fwMediator")->property("isDongle").toBool(), true);
    QCOMPARE(mediator("fwMediator")->property("dongleFwVer").toString(), QString("7.0.2"));
    // The bus keeps a firmware-only device closed, for the firmware updater.
    QCOMPARE(Bus::instance().openHandles(), 0);

    // Pairing reaches the dongle; once its headset answers, it is a full device.
    QMetaObject::invokeMethod(mediator("fwMediator"), "pairing");
    QTRY_COMPARE_WITH_TIMEOUT(state->pairings, 1, WaitMs);
    const int fwOnlyId = m_app->getDeviceId();
    dongle->setHeadsetLinked(true);
    QTRY_VERIFY_WITH_TIMEOUT(m_app->getDeviceId() != fwOnlyId && !currentIsFwOnly() &&
                                 m_app->deviceProxy().getCategory() == DeviceCategory::Hardware,
                             WaitMs);
    waitForHeadset(0x4B28);
    QCOMPARE(mediator("fwMediator")->property("isFwOnly").toBool(), false);
    QCOMPARE(m_app->devices().size(), size_t(2));
}

void TestE2ePlugging::stopBusClosesTheDevice_data()
{
    QTest::addColumn<bool>("fwOnly");
    QTest::newRow("full headset") << false;
    QTest::newRow("firmware-only dongle") << true;
}

void TestE2ePlugging::stopBusClosesTheDevice()
{
    QFETCH(bool, fwOnly);

    startApp();
    fwOnly ? PlugDongleWithoutHeadset(0x4B19) : PlugKestrin(0x4B1E);
    const uint16_t pid = fwOnly ? 0x4B19 : 0x4B1E;
    waitForHeadset(pid);
    QCOMPARE(currentIsFwOnly(), fwOnly);

    // As the firmware updater does before an update, and afterwards.
    m_app->getHwBus()->stopBus(true);
    waitForStub();
    QCOMPARE(m_app->devices().size(), size_t(1));
    QCOMPARE(Bus::instance().openHandles(), 0);

    m_app->getHwBus()->runBus();
    waitForHeadset(pid);
    QCOMPARE(currentIsFwOnly(), fwOnly);
}

void TestE2ePlugging::logLines()
{
    startApp();
    const QString path = m_logs.filePath("e2e.log");
    GlobalLogger::Instance()->initFile(path);
    waitForStub();
    auto headset = PlugKestrin(0x4B2E);
    waitForHeadset(0x4B2E);
    Unplug(headset);
    waitForStub();

    GlobalLogger::Instance()->initFile(m_logs.filePath("after.log")); // flushes e2e.log
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray log = file.readAll();
    const QByteArray order[] = {"Device not found.", "deviceArrived", "onDeviceArrival", "Kestrin device removed",
                                "onDeviceRemoval"};
    int from = 0;
    for (const QByteArray& line : order) {
        const int at = log.indexOf(line, from);
        QVERIFY2(at >= 0, line.constData());
        from = at + line.size();
    }
    QCOMPARE(log.count("deviceArrived"), 1);
    QCOMPARE(log.count("Kestrin device removed"), 1);
}

int main(int argc, char** argv)
{
    TestE2ePlugging test(argc, argv);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_plugging.moc"
