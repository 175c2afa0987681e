#include "FakeAppServices.h"

#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "devices/FakeKestrinDeviceImpl.h"
#include "support/devices/TestKestrinDevice.h"
#include "ui_mediators/UIKesHeadMediator.h"
#include "ui_mediators/UIKesSettingsMediator.h"
#include "ui_mediators/UIKesStatusMediator.h"
#include "ui_mediators/UISlvFwMediator.h"
#include "ui_models/UIKestrinModel.h"
#include "ui_models/UISolvarineModel.h"
#include "ui_models/UIStubModel.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

using TestSupport::TestKestrinDevice;
using UIModels::IUIModel;
using UIModels::UIKestrinModel;

class TestUiModels : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();

    void stubModel();
    void solvarineModelHasNoVersionUntilReady();
    void simulatedHeadset();
    void newDeviceSignalOrder();
    void deviceLossResetsTheTypeSilently();
    void categoryIsReadLive();
    void statusMediatorAfterReady();
    void batteryPollNotifiesWithoutReady();
    void readyHeadsetIsPolledForTheStatusBar();

private:
    QStringList recordSignals();

    FakeAppServices* m_app = nullptr;
    Devices::DeviceProxy* m_proxy = nullptr;
    UIKestrinModel* m_model = nullptr;
    QStringList m_record;
};

void TestUiModels::init()
{
    m_app = new FakeAppServices;
    m_proxy = new Devices::DeviceProxy;
    m_model = new UIKestrinModel(m_proxy, m_app, nullptr);
    m_record.clear();
}

void TestUiModels::cleanup()
{
    delete m_model;
    delete m_proxy;
    delete m_app;
}

void TestUiModels::stubModel()
{
    UIModels::UIStubModel stub;
    QCOMPARE(stub.getType(), IUIModel::Unknown);
    QCOMPARE(stub.getCategory(), IUIModel::Stub);
    QCOMPARE(stub.property("type").toInt(), 0);
    QCOMPARE(stub.property("category").toInt(), 0);
}

void TestUiModels::solvarineModelHasNoVersionUntilReady()
{
    UIModels::UISolvarineModel model(*m_proxy, *m_app, nullptr);
    QCOMPARE(model.getType(), IUIModel::Solvarine);
    QCOMPARE(model.getCategory(), IUIModel::Stub);
    auto* fw = qobject_cast<UIMediators::UISlvFwMediator*>(model.property("fwMediator").value<QObject*>());
    QVERIFY(fw);
    QCOMPARE(fw->property("fwVer").toString(), QString());
}

void TestUiModels::simulatedHeadset()
{
    QCOMPARE(m_model->getKestrinType(), UIKestrinModel::None);
    QCOMPARE(m_model->getCategory(), IUIModel::Stub);

    QVERIFY(m_proxy->setDevice(std::make_shared<Devices::FakeKestrinDeviceImpl>()));

    QCOMPARE(m_model->getType(), IUIModel::Kestrin);
    QCOMPARE(m_model->getCategory(), IUIModel::Software);
    QCOMPARE(m_model->getKestrinType(), UIKestrinModel::Kestrin_1);
    QCOMPARE(m_model->property("kestrinType").toInt(), 1);
    for (const char* name : {"statusMediator", "settingsMediator", "fwMediator", "headMediator"})
        QVERIFY2(m_model->property(name).value<QObject*>(), name);

    auto* status = m_model->statusMediator();
    QCOMPARE(status->getBatteryPercentage(), 0);
    QVERIFY(!status->isMicMuted());
    QVERIFY(!status->isPoweredOn());
    QVERIFY(!status->centralize());
    auto* settings = m_model->settingsMediator();
    QCOMPARE(settings->getGameChatMix(), 10);
    QCOMPARE(settings->getVpLevel(), 11);
    QCOMPARE(settings->getBalance(), 128);
    QVERIFY(settings->isVolumeLimiter());
    QCOMPARE(settings->getShutdownTime(), UIMediators::UIKesSettingsMediator::Minutes_5);
    QCOMPARE(settings->getEqIndex(), 1);
}

QStringList TestUiModels::recordSignals()
{
    connect(m_model, &UIKestrinModel::kestrinTypeChanged, this, [this] { m_record << "kestrinTypeChanged"; });
    connect(m_model, &IUIModel::categoryChanged, this, [this] { m_record << "categoryChanged"; });
    connect(m_model, &IUIModel::modelReady, this, [this] { m_record << "modelReady"; });
    connect(m_model->settingsMediator(), &UIMediators::UIKesSettingsMediator::eqIndexChanged, this,
            [this] { m_record << "settings.eqIndexChanged"; });
    connect(m_model->statusMediator(), &UIMediators::UIKesStatusMediator::poweredOnChanged, this,
            [this] { m_record << "status.poweredOnChanged"; });
    return m_record;
}

void TestUiModels::newDeviceSignalOrder()
{
    QVERIFY(m_proxy->setDevice(TestKestrinDevice::Make(DeviceType::kestrin)));
    recordSignals();

    // A first-model headset replaced by the simulated one: the same type, still a new device.
    QVERIFY(m_proxy->setDevice(std::make_shared<Devices::FakeKestrinDeviceImpl>()));

    QCOMPARE(m_record, (QStringList{"kestrinTypeChanged", "status.poweredOnChanged", "settings.eqIndexChanged",
                                    "categoryChanged", "modelReady"}));
    QCOMPARE(m_model->getCategory(), IUIModel::Software);
}

void TestUiModels::deviceLossResetsTheTypeSilently()
{
    QVERIFY(m_proxy->setDevice(TestKestrinDevice::Make(DeviceType::kestrin_2_anc)));
    QCOMPARE(m_model->getKestrinType(), UIKestrinModel::Kestrin_2_ANC);
    QSignalSpy typeChanged(m_model, &UIKestrinModel::kestrinTypeChanged);

    // Between the loss and the next device the type reads None, without a signal.
    UIKestrinModel::KestrinType duringSwap = UIKestrinModel::Kestrin_2_ANC;
    connect(
        m_model->deviceModel(), &DeviceModels::KestrinDeviceModel::deviceLost, this,
        [&] { duringSwap = m_model->getKestrinType(); }, Qt::DirectConnection);
    QVERIFY(m_proxy->setDevice(TestKestrinDevice::Make(DeviceType::kestrin_2)));
    QCOMPARE(duringSwap, UIKestrinModel::None);
    QCOMPARE(typeChanged.count(), 1);
    QCOMPARE(m_model->getKestrinType(), UIKestrinModel::Kestrin_2);

    QVERIFY(m_proxy->resetImpl());
    QCOMPARE(m_model->getKestrinType(), UIKestrinModel::None);
    QCOMPARE(typeChanged.count(), 1);
}

void TestUiModels::categoryIsReadLive()
{
    QVERIFY(m_proxy->setDevice(TestKestrinDevice::Make(DeviceType::kestrin_2)));
    QCOMPARE(m_model->getCategory(), IUIModel::Hardware);
    QSignalSpy categoryChanged(m_model, &IUIModel::categoryChanged);
    QSignalSpy ready(m_model, &IUIModel::modelReady);
    QVERIFY(m_proxy->resetImpl());
    QCOMPARE(m_model->getCategory(), IUIModel::Stub);
    QCOMPARE(m_model->property("category").toInt(), int(IUIModel::Stub));
    QCOMPARE(categoryChanged.count(), 0);
    QCOMPARE(ready.count(), 0);
}

void TestUiModels::statusMediatorAfterReady()
{
    auto* status = m_model->statusMediator();
    QSignalSpy battery(status, &UIMediators::UIKesStatusMediator::batteryPercentageChanged);
    QSignalSpy mute(status, &UIMediators::UIKesStatusMediator::micMuteChanged);
    QSignalSpy power(status, &UIMediators::UIKesStatusMediator::poweredOnChanged);

    // The simulated headset twice in a row through another device: each ready notifies all three,
    // even with unchanged values.
    QVERIFY(m_proxy->setDevice(std::make_shared<Devices::FakeKestrinDeviceImpl>()));
    QCOMPARE(battery.count(), 1);
    QCOMPARE(mute.count(), 1);
    QCOMPARE(power.count(), 1);
    QVERIFY(m_proxy->setDevice(std::make_shared<Devices::FakeKestrinDeviceImpl>()));
    QCOMPARE(battery.count(), 2);
    QCOMPARE(mute.count(), 2);
    QCOMPARE(power.count(), 2);
}

void TestUiModels::batteryPollNotifiesWithoutReady()
{
    TestKestrinDevice::State values;
    values.batteryLevel = 64;
    values.micMute = true;
    auto* status = m_model->statusMediator();
    QVERIFY(
        m_proxy->setDevice(TestKestrinDevice::Make(DeviceType::kestrin_2, Devices::DeviceCategory::Hardware, values)));
    QSignalSpy ready(m_model, &IUIModel::modelReady);
    QSignalSpy battery(status, &UIMediators::UIKesStatusMediator::batteryPercentageChanged);
    QSignalSpy mute(status, &UIMediators::UIKesStatusMediator::micMuteChanged);
    // The device model publishes what it read on its next tick.
    QTRY_COMPARE(status->getBatteryPercentage(), 64);
    QTRY_VERIFY(status->isMicMuted());
    QVERIFY(status->isPoweredOn());
    QCOMPARE(battery.count(), 1);
    QCOMPARE(mute.count(), 1);
    QCOMPARE(ready.count(), 0);
}

void TestUiModels::readyHeadsetIsPolledForTheStatusBar()
{
    auto* head = m_model->headMediator();
    QVERIFY(!head->isStatusBarPolling());
    QSignalSpy polling(head, &UIMediators::UIKesHeadMediator::statusBarPollingChanged);
    QVERIFY(m_proxy->setDevice(TestKestrinDevice::Make(DeviceType::kestrin_2)));
    QVERIFY(head->isStatusBarPolling());
    QCOMPARE(polling.count(), 1);
    QCOMPARE(m_model->deviceModel()->getPollingParam(), DeviceModels::KestrinDeviceModel::PollingParam::normal);
    QVERIFY(!head->hasHeadtracking());
    // Without head tracking the head-tracking page changes nothing.
    head->setCurrentTabHt(true);
    QVERIFY(head->isStatusBarPolling());
    QCOMPARE(m_model->deviceModel()->getPollingParam(), DeviceModels::KestrinDeviceModel::PollingParam::normal);
    QCOMPARE(polling.count(), 1);
}

QTEST_GUILESS_MAIN(TestUiModels)
#include "tst_ui_models.moc"
