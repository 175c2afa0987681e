#include "FakeAppServices.h"

#include "devices/DeviceProxy.h"
#include "devices/FakeKestrinDeviceImpl.h"
#include "ui_mediators/UIKesFwMediator.h"
#include "ui_mediators/UIKesSettingsMediator.h"
#include "ui_models/QmlEnumTypes.h"
#include "ui_models/UIKestrinModel.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QStandardPaths>
#include <QtTest>

// The headset UI model as the screens reach it: through QML property bindings, the registered
// "Velmor.Enums" types, and writes from QML.
class TestUiQml : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void bindingsFollowTheSimulatedHeadset();

private:
    FakeAppServices m_app;
};

void TestUiQml::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    UIModels::RegisterQmlEnumTypes();
}

void TestUiQml::bindingsFollowTheSimulatedHeadset()
{
    Devices::DeviceProxy proxy;
    UIModels::UIKestrinModel model(&proxy, &m_app, nullptr);

    QQmlEngine engine;
    engine.rootContext()->setContextProperty("uiModel", &model);
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQml
        import Velmor.Enums 1.0
        QtObject {
            readonly property var settings: uiModel.settingsMediator
            readonly property bool isKestrin: uiModel.type === UIModel.Kestrin
            readonly property bool isSoftware: uiModel.category === UIModel.Software
            readonly property bool isFirstModel: uiModel.kestrinType === UIKestrinModel.Kestrin_1
            readonly property int gameChatMix: settings.gameChatMix
            readonly property bool fiveMinutes: settings.shutdownTime === UIKesSettingsMediator.Minutes_5
            readonly property bool limiter: settings.volumeLimiter
            readonly property int bands: settings.eqBandsModel.rowCount()
            readonly property int names: settings.customEqsNamesModel.rowCount()
            readonly property var ancModes: settings.ancModes
            readonly property bool fwNotStarted: uiModel.fwMediator.status === UIKesFwMediator.NotStarted
            readonly property int battery: uiModel.statusMediator.batteryPercentage
            function setMix(value) { settings.gameChatMix = value }
            function setShutdown() { settings.shutdownTime = UIKesSettingsMediator.Hours_1 }
        }
    )",
                      QUrl("qrc:/tst_ui_qml/inline.qml"));
    std::unique_ptr<QObject> root(component.create());
    QVERIFY2(root, qPrintable(component.errorString()));
    QCOMPARE(root->property("isKestrin").toBool(), true);
    QCOMPARE(root->property("isSoftware").toBool(), false);

    QVERIFY(proxy.setDevice(std::make_shared<Devices::FakeKestrinDeviceImpl>()));

    QCOMPARE(root->property("isSoftware").toBool(), true);
    QCOMPARE(root->property("isFirstModel").toBool(), true);
    QCOMPARE(root->property("gameChatMix").toInt(), 10);
    QCOMPARE(root->property("fiveMinutes").toBool(), true);
    QCOMPARE(root->property("limiter").toBool(), true);
    QCOMPARE(root->property("names").toInt(), 4);
    QCOMPARE(root->property("ancModes").toStringList(), (QStringList{"On", "Off", "Transparency"}));
    QCOMPARE(root->property("fwNotStarted").toBool(), true);
    QCOMPARE(root->property("battery").toInt(), 0);

    QMetaObject::invokeMethod(root.get(), "setMix", Q_ARG(QVariant, 17));
    QCOMPARE(model.settingsMediator()->getGameChatMix(), 17);
    QCOMPARE(root->property("gameChatMix").toInt(), 17);

    QMetaObject::invokeMethod(root.get(), "setShutdown");
    QCOMPARE(model.settingsMediator()->getShutdownTime(), UIMediators::UIKesSettingsMediator::Hours_1);
    QCOMPARE(root->property("fiveMinutes").toBool(), false);

    // A change from the device side reaches the binding.
    model.settingsMediator()->setGameChatMix(3);
    QCOMPARE(root->property("gameChatMix").toInt(), 3);
}

QTEST_MAIN(TestUiQml)
#include "tst_ui_qml.moc"
