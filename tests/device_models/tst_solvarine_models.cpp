// The serial device's models: the device model follows the current device and publishes the
// firmware version, the UI model hands it to its firmware mediator and announces modelReady.

#include "ScriptedSerialPeer.h"

#include "device_models/SolvarineDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "devices/FakeKestrinDeviceImpl.h"
#include "devices/SolvarineDeviceImpl.h"
#include "ui_mediators/UISlvFwMediator.h"
#include "ui_models/IAppServices.h"
#include "ui_models/UISolvarineModel.h"

#include <QMetaProperty>
#include <QtTest>

#include <memory>

using DeviceModels::SolvarineDeviceModel;
using UIModels::IUIModel;

namespace {

// The application as the serial UI model sees it: nothing of it is used.
class NoAppServices final : public UIModels::IAppServices {
public:
    Preferences* getPreferences() const override { return nullptr; }
    Platform::NetworkUpdater* getNetworkUpdater() const override { return nullptr; }
    Platform::IHwBus* getHwBus() const override { return nullptr; }
    void selectDevice(int) override { }
    void beginActivity() override { }
    void endActivity() override { }
    bool areAnimationsEnabled() const override { return false; }
};

// A serial device whose unit describes its firmware as `description`; it keeps its unit.
class SerialDevice {
public:
    explicit SerialDevice(const QByteArray& description)
    {
        ScriptedSerialPeer::ScriptUnitInBootloader(m_unit, description);
        m_device = std::make_shared<Devices::SolvarineDeviceImpl>(m_unit);
    }
    const Devices::SharedDeviceImpl& device() const { return m_device; }
    int writes() const { return int(m_unit.writes().size()); }

private:
    ScriptedSerialPeer m_unit;
    Devices::SharedDeviceImpl m_device;
};

} // namespace

class TestSolvarineModels : public QObject {
    Q_OBJECT

private slots:
    void serialDeviceMakesTheModelReady();
    void headsetLeavesTheModelQuiet();
    void lossKeepsTheLastVersion();
    void nextSerialDeviceBringsItsVersion();
    void deviceCurrentAtConstructionIsLoadedOnRequest();

    void uiModelPublishesTheVersionThenAnnouncesReady();
    void uiModelIgnoresHeadsets();
    void uiModelKeepsTheVersionAfterLoss();
};

void TestSolvarineModels::serialDeviceMakesTheModelReady()
{
    Devices::DeviceProxy proxy;
    SolvarineDeviceModel model(proxy);
    QSignalSpy ready(&model, &SolvarineDeviceModel::deviceReady);
    QCOMPARE(model.getFwVersion(), QString());
    QVERIFY(!model.isHw());

    SerialDevice serial("SLV-DSP 2.4.1");
    QVERIFY(serial.device()->isValid());
    const int writesAfterBuild = serial.writes();
    QVERIFY(proxy.setDevice(serial.device()));

    QCOMPARE(ready.count(), 1);
    QCOMPARE(model.getFwVersion(), QStringLiteral("SLV-DSP 2.4.1"));
    QVERIFY(model.isHw());
    // The version was read when the device was built; becoming current costs no traffic.
    QCOMPARE(serial.writes(), writesAfterBuild);
}

void TestSolvarineModels::headsetLeavesTheModelQuiet()
{
    Devices::DeviceProxy proxy;
    SolvarineDeviceModel model(proxy);
    QSignalSpy ready(&model, &SolvarineDeviceModel::deviceReady);
    QSignalSpy lost(&model, &SolvarineDeviceModel::deviceLost);

    QVERIFY(proxy.setDevice(std::make_shared<Devices::FakeKestrinDeviceImpl>()));
    QCOMPARE(ready.count(), 0);
    QCOMPARE(model.getFwVersion(), QString());
    QVERIFY(!model.isHw());

    // Any device that leaves is passed on.
    lost.clear();
    QVERIFY(proxy.resetImpl());
    QCOMPARE(lost.count(), 1);
    QCOMPARE(ready.count(), 0);
}

void TestSolvarineModels::lossKeepsTheLastVersion()
{
    Devices::DeviceProxy proxy;
    SolvarineDeviceModel model(proxy);
    QSignalSpy ready(&model, &SolvarineDeviceModel::deviceReady);
    QSignalSpy lost(&model, &SolvarineDeviceModel::deviceLost);
    SerialDevice serial("v1.0");
    QVERIFY(proxy.setDevice(serial.device()));

    lost.clear();
    QVERIFY(proxy.resetImpl());
    QCOMPARE(lost.count(), 1);
    QCOMPARE(model.getFwVersion(), QStringLiteral("v1.0"));

    // A headset after it changes nothing either.
    QVERIFY(proxy.setDevice(std::make_shared<Devices::FakeKestrinDeviceImpl>()));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(model.getFwVersion(), QStringLiteral("v1.0"));
}

void TestSolvarineModels::nextSerialDeviceBringsItsVersion()
{
    Devices::DeviceProxy proxy;
    SolvarineDeviceModel model(proxy);
    QSignalSpy ready(&model, &SolvarineDeviceModel::deviceReady);
    QSignalSpy lost(&model, &SolvarineDeviceModel::deviceLost);
    SerialDevice first("v1.0");
    SerialDevice second("v2.0");

    QVERIFY(proxy.setDevice(first.device()));
    lost.clear();
    QVERIFY(proxy.setDevice(second.device()));
    QCOMPARE(lost.count(), 1);
    QCOMPARE(ready.count(), 2);
    QCOMPARE(model.getFwVersion(), QStringLiteral("v2.0"));
}

void TestSolvarineModels::deviceCurrentAtConstructionIsLoadedOnRequest()
{
    Devices::DeviceProxy proxy;
    SerialDevice serial("v3.1");
    QVERIFY(proxy.setDevice(serial.device()));

    SolvarineDeviceModel model(proxy);
    QCOMPARE(model.getFwVersion(), QString());
    model.loadData();
    QCOMPARE(model.getFwVersion(), QStringLiteral("v3.1"));
}

void TestSolvarineModels::uiModelPublishesTheVersionThenAnnouncesReady()
{
    Devices::DeviceProxy proxy;
    NoAppServices app;
    UIModels::UISolvarineModel model(proxy, app, nullptr);
    auto* fw = qobject_cast<UIMediators::UISlvFwMediator*>(model.property("fwMediator").value<QObject*>());
    QVERIFY(fw);
    QCOMPARE(fw->parent(), &model);
    QCOMPARE(model.property("type").toInt(), int(IUIModel::Solvarine));
    QCOMPARE(fw->property("fwVer").toString(), QString());

    // fwVer is announced by the mediator's modelReady.
    const QMetaProperty fwVer = fw->metaObject()->property(fw->metaObject()->indexOfProperty("fwVer"));
    QCOMPARE(QByteArray(fwVer.notifySignal().name()), QByteArray("modelReady"));
    QVERIFY(!fwVer.isWritable());

    QStringList order;
    QString versionAtReady;
    connect(fw, &UIMediators::UISlvFwMediator::modelReady, this, [&] { order << "fwVer"; });
    connect(&model, &IUIModel::categoryChanged, this, [&] { order << "category"; });
    connect(&model, &IUIModel::modelReady, this, [&] {
        order << "modelReady";
        versionAtReady = fw->getFwVer();
    });

    SerialDevice serial("SLV-DSP 2.4.1");
    QVERIFY(proxy.setDevice(serial.device()));
    QCOMPARE(order, (QStringList{"fwVer", "category", "modelReady"}));
    QCOMPARE(versionAtReady, QStringLiteral("SLV-DSP 2.4.1"));
    QCOMPARE(fw->property("fwVer").toString(), QStringLiteral("SLV-DSP 2.4.1"));
    QCOMPARE(model.getCategory(), IUIModel::Hardware);
    QCOMPARE(model.property("category").toInt(), int(IUIModel::Hardware));
}

void TestSolvarineModels::uiModelIgnoresHeadsets()
{
    Devices::DeviceProxy proxy;
    NoAppServices app;
    UIModels::UISolvarineModel model(proxy, app, nullptr);
    QSignalSpy ready(&model, &IUIModel::modelReady);
    QSignalSpy fwReady(model.fwMediator(), &UIMediators::UISlvFwMediator::modelReady);

    QVERIFY(proxy.setDevice(std::make_shared<Devices::FakeKestrinDeviceImpl>()));
    QCOMPARE(ready.count(), 0);
    QCOMPARE(fwReady.count(), 0);
    // The category is read live even so.
    QCOMPARE(model.getCategory(), IUIModel::Software);
}

void TestSolvarineModels::uiModelKeepsTheVersionAfterLoss()
{
    Devices::DeviceProxy proxy;
    NoAppServices app;
    UIModels::UISolvarineModel model(proxy, app, nullptr);
    SerialDevice serial("v1.0");
    QVERIFY(proxy.setDevice(serial.device()));
    QSignalSpy ready(&model, &IUIModel::modelReady);
    QSignalSpy fwReady(model.fwMediator(), &UIMediators::UISlvFwMediator::modelReady);

    QVERIFY(proxy.resetImpl());
    QCOMPARE(model.fwMediator()->getFwVer(), QStringLiteral("v1.0"));
    QCOMPARE(model.getCategory(), IUIModel::Stub);
    QCOMPARE(ready.count(), 0);
    QCOMPARE(fwReady.count(), 0);
}

QTEST_GUILESS_MAIN(TestSolvarineModels)
#include "tst_solvarine_models.moc"
