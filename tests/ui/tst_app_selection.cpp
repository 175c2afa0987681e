#include "app/App.h"
#include "core/GlobalLogger.h"
#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "devices/IKestrinDeviceMain.h"
#include "platform/IHwBus.h"
#include "support/WorkerThreadBus.h"
#include "support/devices/TestKestrinDevice.h"
#include "ui_models/UIKestrinModel.h"

#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>

using Devices::DeviceCategory;

using TestSupport::TestKestrinDevice;
using TestSupport::WorkerThreadBus;

class TestAppSelection : public QObject {
    Q_OBJECT

public:
    TestAppSelection(int& argc, char** argv)
        : m_argc(argc)
        , m_argv(argv)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsOnTheStubModelWhenNothingIsFound();
    void arrivingHeadsetBecomesCurrentButNeverReplacesOne();
    void removingTheCurrentHeadsetFallsBackToTheNullDevice();
    void removingTheCurrentHeadsetHandsOverToAnotherOne();
    void removingAnotherHeadsetRefreshesTheCurrentOne();
    void removingAnotherKindOfDeviceKeepsTheCurrentHeadset();
    void removalWhileSimulationIsAllowedKeepsTheSimulatedHeadset();
    void endingSimulationHandsOverToAConnectedHeadset();
    void endingSimulationWithHardwareCurrentChangesNothing();
    void selectDevice();
    void removalOfAnUnknownDeviceRemovesNothing();
    void readTextFile();
    void simulatedHeadsetSettingsBothWays();
    void cursorShapes();

private:
    void waitForStart();
    int id(const Devices::SharedDeviceImpl& device) const { return int(device->getInstanceId()); }
    int currentId() const { return int(m_app->deviceProxy().getInstanceId()); }
    int simulatedId() const { return id(m_app->devices().front()); }
    void arriveAndWait(const Devices::SharedDeviceImpl& device);
    void removeAndWait(const Devices::SharedDeviceImpl& device);

    int& m_argc;
    char** m_argv;
    QTemporaryDir m_logs;
    App* m_app = nullptr;
    WorkerThreadBus* m_bus = nullptr;
    QSignalSpy* m_uiModelChanged = nullptr;
    QSignalSpy* m_deviceIdChanged = nullptr;
};

void TestAppSelection::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_logs.isValid());
}

void TestAppSelection::init()
{
    auto bus = std::make_unique<WorkerThreadBus>();
    m_bus = bus.get();
    m_app = new App(m_argc, m_argv, std::move(bus));
    m_uiModelChanged = new QSignalSpy(m_app, &App::uiModelChanged);
    m_deviceIdChanged = new QSignalSpy(m_app, &App::deviceIdChanged);
    QCOMPARE(m_app->uiModel(), nullptr);
    QCOMPARE(m_app->getDeviceId(), -1);
    QCOMPARE(m_app->deviceProxy().getCategory(), DeviceCategory::Stub);
    QCOMPARE(m_app->devices().size(), size_t(1));
}

void TestAppSelection::cleanup()
{
    delete m_uiModelChanged;
    delete m_deviceIdChanged;
    delete m_app;
    m_app = nullptr;
    m_bus = nullptr;
}

void TestAppSelection::waitForStart()
{
    QTRY_COMPARE(m_app->uiModel(), m_app->stubModel());
    QCOMPARE(m_bus->runs.load(), 1);
}

void TestAppSelection::arriveAndWait(const Devices::SharedDeviceImpl& device)
{
    const size_t before = m_app->devices().size();
    m_bus->arrive(device);
    QTRY_COMPARE(m_app->devices().size(), before + 1);
}

void TestAppSelection::removeAndWait(const Devices::SharedDeviceImpl& device)
{
    QSignalSpy lost(&m_app->deviceProxy(), &Devices::DeviceProxy::deviceLost);
    const size_t before = m_app->devices().size();
    m_bus->remove(device);
    QTRY_COMPARE(m_app->devices().size(), before - 1);
}

void TestAppSelection::startsOnTheStubModelWhenNothingIsFound()
{
    const QString logPath = m_logs.filePath("start.log");
    GlobalLogger::Instance()->initFile(logPath);

    waitForStart();
    QCOMPARE(m_uiModelChanged->count(), 1);
    QCOMPARE(m_deviceIdChanged->count(), 0);
    auto* stub = qobject_cast<UIModels::IUIModel*>(m_app->uiModel());
    QCOMPARE(stub->getType(), UIModels::IUIModel::Unknown);
    QCOMPARE(stub->getCategory(), UIModels::IUIModel::Stub);

    GlobalLogger::Instance()->initFile(m_logs.filePath("after.log")); // flushes start.log
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count("Device not found."), 1);
}

void TestAppSelection::arrivingHeadsetBecomesCurrentButNeverReplacesOne()
{
    waitForStart();
    const auto first = TestKestrinDevice::Make(DeviceType::kestrin_2);
    arriveAndWait(first);
    QCOMPARE(currentId(), id(first));
    QCOMPARE(m_app->getDeviceId(), id(first));
    QCOMPARE(m_deviceIdChanged->count(), 1);
    QTRY_COMPARE(m_app->uiModel(), m_app->kestrinModel());
    QCOMPARE(m_uiModelChanged->count(), 2);
    QCOMPARE(m_app->kestrinModel()->getCategory(), UIModels::IUIModel::Hardware);

    // A second headset is set up (the window would build its screen meanwhile), arrives, and
    // does not become current: its screen is not coming.
    m_bus->announceSetUp(DeviceType::kestrin);
    QTRY_COMPARE(m_app->settingUpModelType(), int(UIModels::IUIModel::Kestrin));
    const auto second = TestKestrinDevice::Make(DeviceType::kestrin);
    arriveAndWait(second);
    QCOMPARE(currentId(), id(first));
    QCOMPARE(m_deviceIdChanged->count(), 1);
    QCOMPARE(m_uiModelChanged->count(), 2);
    QCOMPARE(m_app->settingUpModelType(), int(UIModels::IUIModel::Unknown));
}

void TestAppSelection::removingTheCurrentHeadsetFallsBackToTheNullDevice()
{
    waitForStart();
    const auto headset = TestKestrinDevice::Make(DeviceType::kestrin);
    arriveAndWait(headset);
    QTRY_COMPARE(m_app->uiModel(), m_app->kestrinModel());

    QSignalSpy lost(&m_app->deviceProxy(), &Devices::DeviceProxy::deviceLost);
    QSignalSpy ready(&m_app->deviceProxy(), &Devices::DeviceProxy::deviceReady);
    removeAndWait(headset);

    // The simulated headset for a moment, then the null device.
    QCOMPARE(ready.count(), 1);
    QCOMPARE(lost.count(), 2);
    QCOMPARE(m_app->deviceProxy().getCategory(), DeviceCategory::Stub);
    QCOMPARE(m_app->uiModel(), m_app->stubModel());
    QCOMPARE(m_app->getDeviceId(), simulatedId());
    QCOMPARE(m_uiModelChanged->count(), 3);
}

void TestAppSelection::removingTheCurrentHeadsetHandsOverToAnotherOne()
{
    waitForStart();
    const auto first = TestKestrinDevice::Make(DeviceType::kestrin);
    const auto second = TestKestrinDevice::Make(DeviceType::kestrin_2_anc);
    arriveAndWait(first);
    arriveAndWait(second);
    QTRY_COMPARE(m_app->uiModel(), m_app->kestrinModel());

    removeAndWait(first);
    QCOMPARE(currentId(), id(second));
    QCOMPARE(m_app->getDeviceId(), id(second));
    QCOMPARE(m_app->uiModel(), m_app->kestrinModel());
    QCOMPARE(m_app->kestrinModel()->getKestrinType(), UIModels::UIKestrinModel::Kestrin_2_ANC);
}

void TestAppSelection::removingAnotherHeadsetRefreshesTheCurrentOne()
{
    waitForStart();
    const auto first = TestKestrinDevice::Make(DeviceType::kestrin_2);
    const auto second = TestKestrinDevice::Make(DeviceType::kestrin_2);
    arriveAndWait(first);
    arriveAndWait(second);
    const int idChanges = m_deviceIdChanged->count();
    QSignalSpy lost(&m_app->deviceProxy(), &Devices::DeviceProxy::deviceLost);

    removeAndWait(second);

    QCOMPARE(currentId(), id(first));
    QCOMPARE(lost.count(), 0);
    QCOMPARE(m_deviceIdChanged->count(), idChanges + 1);
}

void TestAppSelection::removingAnotherKindOfDeviceKeepsTheCurrentHeadset()
{
    waitForStart();
    const auto headset = TestKestrinDevice::Make(DeviceType::kestrin_2);
    const auto serial = TestKestrinDevice::Make(DeviceType::solvarine);
    arriveAndWait(headset);
    arriveAndWait(serial);
    QTRY_COMPARE(m_app->uiModel(), m_app->kestrinModel());
    QCOMPARE(currentId(), id(headset));
    const int uiChanges = m_uiModelChanged->count();
    QSignalSpy lost(&m_app->deviceProxy(), &Devices::DeviceProxy::deviceLost);

    removeAndWait(serial);

    QCOMPARE(currentId(), id(headset));
    QCOMPARE(lost.count(), 0);
    QCOMPARE(m_app->uiModel(), m_app->kestrinModel());
    QCOMPARE(m_uiModelChanged->count(), uiChanges);
}

void TestAppSelection::removalWhileSimulationIsAllowedKeepsTheSimulatedHeadset()
{
    waitForStart();
    const auto headset = TestKestrinDevice::Make(DeviceType::kestrin_2);
    arriveAndWait(headset);
    QTRY_COMPARE(m_app->uiModel(), m_app->kestrinModel());
    m_app->setSimulationAllowed(true);

    removeAndWait(headset);

    QCOMPARE(currentId(), simulatedId());
    QCOMPARE(m_app->getDeviceId(), simulatedId());
    QCOMPARE(m_app->uiModel(), m_app->kestrinModel());
    QCOMPARE(m_app->kestrinModel()->getCategory(), UIModels::IUIModel::Software);

    // Back on: the headset returns and takes over from the simulated one.
    const auto again = TestKestrinDevice::Make(DeviceType::kestrin_2);
    arriveAndWait(again);
    QCOMPARE(currentId(), id(again));
    QCOMPARE(m_app->kestrinModel()->getCategory(), UIModels::IUIModel::Hardware);
}

void TestAppSelection::endingSimulationHandsOverToAConnectedHeadset()
{
    waitForStart();
    m_app->setSimulationAllowed(true);
    m_app->selectDevice(1);
    QCOMPARE(currentId(), simulatedId());
    QTRY_COMPARE(m_app->uiModel(), m_app->kestrinModel());

    // No signal of its own; without hardware the null device follows.
    m_app->setSimulationAllowed(false);
    QCOMPARE(m_app->deviceProxy().getCategory(), DeviceCategory::Stub);
    QCOMPARE(m_app->uiModel(), m_app->stubModel());

    m_app->setSimulationAllowed(true);
    m_app->selectDevice(1);
    QCOMPARE(currentId(), simulatedId());
    const auto headset = TestKestrinDevice::Make(DeviceType::kestrin);
    arriveAndWait(headset);
    QCOMPARE(currentId(), id(headset));
}

void TestAppSelection::endingSimulationWithHardwareCurrentChangesNothing()
{
    waitForStart();
    const auto headset = TestKestrinDevice::Make(DeviceType::kestrin);
    arriveAndWait(headset);
    m_app->setSimulationAllowed(true);
    const int idChanges = m_deviceIdChanged->count();
    QSignalSpy lost(&m_app->deviceProxy(), &Devices::DeviceProxy::deviceLost);
    m_app->setSimulationAllowed(false);
    QCOMPARE(currentId(), id(headset));
    QCOMPARE(lost.count(), 0);
    QCOMPARE(m_deviceIdChanged->count(), idChanges);
}

void TestAppSelection::selectDevice()
{
    waitForStart();
    // Nothing connected: the simulated headset; every accepted make-current is announced.
    m_app->selectDevice(1);
    QCOMPARE(currentId(), simulatedId());
    QCOMPARE(m_deviceIdChanged->count(), 1);
    m_app->selectDevice(1);
    QCOMPARE(m_deviceIdChanged->count(), 2);
    QTRY_COMPARE(m_app->uiModel(), m_app->kestrinModel());

    // No serial device and no simulated one; other numbers are ignored.
    for (int type : {2, 0, 3, -1})
        m_app->selectDevice(type);
    QCOMPARE(currentId(), simulatedId());
    QCOMPARE(m_deviceIdChanged->count(), 2);

    const auto headset = TestKestrinDevice::Make(DeviceType::kestrin_2_anc);
    arriveAndWait(headset);
    QCOMPARE(currentId(), id(headset));
    QCOMPARE(m_deviceIdChanged->count(), 3);
    m_app->selectDevice(1);
    QCOMPARE(currentId(), id(headset));
    QCOMPARE(m_deviceIdChanged->count(), 4);
}

void TestAppSelection::removalOfAnUnknownDeviceRemovesNothing()
{
    waitForStart();
    const auto headset = TestKestrinDevice::Make(DeviceType::kestrin_2);
    arriveAndWait(headset);
    m_bus->remove(TestKestrinDevice::Make(DeviceType::solvarine));
    // Queued behind the removal: once this arrives, the removal has been handled.
    const auto marker = TestKestrinDevice::Make(DeviceType::kestrin);
    arriveAndWait(marker);
    QCOMPARE(m_app->devices().size(), size_t(3));
    QCOMPARE(currentId(), id(headset));
}

void TestAppSelection::readTextFile()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("licence.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QString::fromUtf8("Grüße – ✓\n").toUtf8());
    file.close();
    QCOMPARE(m_app->readTextFile(dir.filePath("licence.txt")), QString::fromUtf8("Grüße – ✓\n"));
    QCOMPARE(m_app->readTextFile(dir.filePath("missing.txt")), QString());
}

void TestAppSelection::simulatedHeadsetSettingsBothWays()
{
    waitForStart();
    m_app->selectDevice(1);
    QTRY_COMPARE(m_app->uiModel(), m_app->kestrinModel());
    auto* uiModel = m_app->uiModel();
    auto* settings = uiModel->property("settingsMediator").value<QObject*>();
    QVERIFY(settings);
    QCOMPARE(settings->property("sidetoneLevel").toInt(), 0);
    QCOMPARE(settings->property("maxSidetoneLevel").toInt(), 25);

    // From the screen to the headset.
    QSignalSpy level(settings, SIGNAL(sidetoneLevelChanged()));
    QVERIFY(settings->setProperty("sidetoneLevel", 12));
    QCOMPARE(level.count(), 1);
    auto* headset = m_app->devices().front()->getKestrinDevice();
    QTRY_VERIFY([&] {
        uint8_t value = 0;
        return headset->loadSidetoneLevel(value) && value == 12;
    }());

    // From the device model to the screen.
    QSignalSpy mix(settings, SIGNAL(gameChatMixChanged()));
    QVERIFY(m_app->kestrinModel()->deviceModel()->setGameChatMix(4));
    QCOMPARE(mix.count(), 1);
    QCOMPARE(settings->property("gameChatMix").toInt(), 4);
}

void TestAppSelection::cursorShapes()
{
    m_app->setCursor(Qt::WaitCursor);
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    m_app->setCursor(999);
    m_app->setCursor(-1);
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    m_app->restoreCursor();
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

int main(int argc, char** argv)
{
    TestAppSelection test(argc, argv);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app_selection.moc"
