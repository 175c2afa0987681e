// The application object with the real window of the module "Velmor", loaded headless as the
// start-up loads it.

#include "app/App.h"
#include "app/MetadataInitializer.h"
#include "core/Preferences.h"
#include "devices/IDeviceImpl.h"
#include "platform/PlatformFactories.h"
#include "support/TestAppData.h"
#include "theme/DarkTheme.h"
#include "utils/Utils.h"

#include <QDir>
#include <QDirIterator>
#include <QFontDatabase>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <memory>

class TestAppWindow : public QObject {
    Q_OBJECT

public:
    explicit TestAppWindow(App& app)
        : m_app(app)
    {
    }

private slots:
    void initTestCase();
    void mainIsTheRootWindow();
    void themeAndFontsAreReady();
    void preferencesReadTheSettingsFile();
    void showAppWindowShowsAHiddenWindow();
    void anotherStartShowsTheWindow();
    void screenFollowsConsentAndModel();
    void permissionBoxOpensOnce();
    void closingBlockRefusesCloseQuitAndDrawers();
    void trayHidesTheWindowEvenWhileBlocked();
    void quitAppQuitsOnce();
    void closeAfterQuitEndsTheWindow();
    void withoutATrayClosingEndsTheProgram();
    void everyModuleFileCompiles();
    void moduleImportsByName();
    void sharedDeviceTypeIsRegistered();
    void enumTypesAreRegistered_data();
    void enumTypesAreRegistered();
    void enumsReachQml();
    void cleanupTestCase();

private:
    QQuickWindow* window() const;
    // The item that the window's loader of this name holds; null while it holds none.
    QObject* loaded(const char* loaderName) const;
    QObject* appMediator() const { return m_app.getAppMediator(); }
    bool titleBarAction(int id) const;
    bool trayAvailable() const;

    App& m_app;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
};

void TestAppWindow::initTestCase()
{
    m_engine = std::make_unique<QQmlApplicationEngine>();
    QSignalSpy warnings(m_engine.get(), &QQmlEngine::warnings);
    m_engine->rootContext()->setContextProperty(QStringLiteral("App"), &m_app);
    m_engine->addImportPath(QStringLiteral(":/qml"));
    m_engine->load(QUrl(QStringLiteral("qrc:/qml/Velmor/Main.qml")));
    QCOMPARE(m_engine->rootObjects().size(), 1);
    // As the start-up does: the screens are built a slice per turn once the first frame is drawn.
    m_app.takeOverIncubation(*m_engine);
    // The title bar and the tray follow the first frame.
    QTRY_VERIFY(loaded("titleBarLoader"));
    QTRY_VERIFY(window()->findChild<QObject*>(QStringLiteral("systemTrayIcon")));
    QCOMPARE(warnings.count(), 0);
}

QQuickWindow* TestAppWindow::window() const
{
    return qobject_cast<QQuickWindow*>(m_engine->rootObjects().value(0));
}

QObject* TestAppWindow::loaded(const char* loaderName) const
{
    auto* loader = window()->findChild<QObject*>(QLatin1String(loaderName));
    return loader ? loader->property("item").value<QObject*>() : nullptr;
}

bool TestAppWindow::titleBarAction(int id) const
{
    QObject* titleBar = loaded("titleBarLoader");
    return titleBar && QMetaObject::invokeMethod(titleBar, "action", Q_ARG(int, id));
}

bool TestAppWindow::trayAvailable() const
{
    QObject* tray = window()->findChild<QObject*>(QStringLiteral("systemTrayIcon"));
    return tray && tray->property("available").toBool();
}

namespace {

bool IsA(QObject* object, const char* qmlType)
{
    return object && QByteArray(object->metaObject()->className()).startsWith(qmlType);
}

// The title-bar buttons' values.
constexpr int SettingsButton = 8;
constexpr int SystemButtons = 7;
constexpr int AllButtons = 31;

} // namespace

void TestAppWindow::mainIsTheRootWindow()
{
    QQuickWindow* root = window();
    QVERIFY(root);
    QVERIFY(root->isVisible());
    QCOMPARE(root->width(), 1200);
    QCOMPARE(root->height(), 688);
}

void TestAppWindow::themeAndFontsAreReady()
{
    QVERIFY(dynamic_cast<Theme::DarkTheme*>(m_app.theme()));
    // A family read from the theme is registered by then, frame or no frame.
    QCOMPARE(m_app.theme()->property("fontFamily").toString(), QLatin1String(Theme::BodyFontFamily));
    // Transparent, so the rounded corners of the content show the desktop.
    QCOMPARE(window()->color(), QColor(Qt::transparent));
    const QStringList families = QFontDatabase::families();
    QVERIFY2(families.contains(QLatin1String(Theme::BodyFontFamily)), qPrintable(families.join(u',')));
    QVERIFY(families.contains(QLatin1String(Theme::CaptionFontFamily)));
}

void TestAppWindow::preferencesReadTheSettingsFile()
{
    Preferences* preferences = m_app.getPreferences();
    QVERIFY(preferences);
    QVERIFY(preferences->getBool(Preferences::BoolProperty::license_accepted));
    QVERIFY(!preferences->getBool(Preferences::BoolProperty::minimize_to_tray));
}

void TestAppWindow::showAppWindowShowsAHiddenWindow()
{
    QQuickWindow* root = window();
    root->hide();
    QVERIFY(!root->isVisible());
    emit m_app.showAppWindow();
    QVERIFY(root->isVisible());
}

void TestAppWindow::anotherStartShowsTheWindow()
{
    QQuickWindow* root = window();
    root->hide();
    // What a second start does before it exits.
    QVERIFY(Platform::CreateAppExtensions()->showRunningApp());
    QTRY_VERIFY_WITH_TIMEOUT(root->isVisible(), 10000);
}

void TestAppWindow::screenFollowsConsentAndModel()
{
    // Consent given: the no-device screen once the bus has started without a device.
    QTRY_VERIFY_WITH_TIMEOUT(IsA(loaded("mainLoader"), "WidgetNoDevice"), 10000);
    QObject* titleBar = loaded("titleBarLoader");
    QVERIFY(IsA(titleBar, "WidgetTitleBarWindows"));
    QCOMPARE(titleBar->property("visibleButtons").toInt(), AllButtons);

    // The simulated headset: the headset screen.
    m_app.selectDevice(1);
    QTRY_VERIFY_WITH_TIMEOUT(IsA(loaded("mainLoader"), "WidgetKesMain"), 10000);

    // Screens are built a piece per frame: each comes up shortly after the change.
    QVERIFY(appMediator()->setProperty("eulaAccepted", false));
    QCOMPARE(titleBar->property("visibleButtons").toInt(), SystemButtons);
    QTRY_VERIFY_WITH_TIMEOUT(IsA(loaded("mainLoader"), "WidgetLegalTerms"), 10000);
    // Accepting on the screen stores the consent and brings the headset screen back.
    QVERIFY(QMetaObject::invokeMethod(loaded("mainLoader"), "accepted"));
    QCOMPARE(appMediator()->property("eulaAccepted").toBool(), true);
    QTRY_VERIFY_WITH_TIMEOUT(IsA(loaded("mainLoader"), "WidgetKesMain"), 10000);
    QCOMPARE(titleBar->property("visibleButtons").toInt(), AllButtons);
}

void TestAppWindow::permissionBoxOpensOnce()
{
    emit m_app.requestInputMonitoring();
    QObject* box = loaded("permissionsMessageLoader");
    QVERIFY(IsA(box, "DlgConfirmBox"));
    QTRY_VERIFY(box->property("opened").toBool());
    QCOMPARE(box->property("title").toString(), QStringLiteral("Grant Permissions"));
    QCOMPARE(box->property("text").toString(),
             QStringLiteral("Please grant Input Monitoring permission for your Velmor product"));
    QCOMPARE(box->property("positiveText").toString(), QStringLiteral("Open Permissions"));
    emit m_app.requestInputMonitoring();
    QCOMPARE(loaded("permissionsMessageLoader"), box);
    QVERIFY(box->property("opened").toBool());
    QVERIFY(QMetaObject::invokeMethod(box, "close"));
    QTRY_VERIFY(!box->property("visible").toBool());
}

void TestAppWindow::closingBlockRefusesCloseQuitAndDrawers()
{
    QQuickWindow* root = window();
    root->show();
    QSignalSpy quit(m_engine.get(), &QQmlEngine::quit);
    QVERIFY(QMetaObject::invokeMethod(appMediator(), "addClosingBlock"));

    QVERIFY(!root->close());
    QVERIFY(root->isVisible());
    emit m_app.quitApp();
    QCOMPARE(quit.count(), 0);
    QVERIFY(titleBarAction(SettingsButton));
    QVERIFY(!loaded("popupLoader"));

    QVERIFY(QMetaObject::invokeMethod(appMediator(), "removeClosingBlock"));
    QVERIFY(titleBarAction(SettingsButton));
    QObject* drawer = loaded("popupLoader");
    QVERIFY(IsA(drawer, "PopupAppSettings"));
    QTRY_VERIFY(drawer->property("opened").toBool());
    // While a drawer is shown only the system buttons are enabled.
    QCOMPARE(loaded("titleBarLoader")->property("enabledButtons").toInt(), SystemButtons);
    QVERIFY(QMetaObject::invokeMethod(drawer, "close"));
    QTRY_COMPARE(loaded("titleBarLoader")->property("enabledButtons").toInt(), AllButtons);
}

void TestAppWindow::trayHidesTheWindowEvenWhileBlocked()
{
    if (!trayAvailable())
        QSKIP("no system tray on this desktop");
    QQuickWindow* root = window();
    root->show();
    QSignalSpy quit(m_engine.get(), &QQmlEngine::quit);
    QVERIFY(appMediator()->setProperty("minimizeToTray", true));
    QVERIFY(QMetaObject::invokeMethod(appMediator(), "addClosingBlock"));

    QVERIFY(!root->close());
    QVERIFY(!root->isVisible());
    emit m_app.quitApp();
    QCOMPARE(quit.count(), 0);
    emit m_app.showAppWindow();
    QVERIFY(root->isVisible());

    QVERIFY(QMetaObject::invokeMethod(appMediator(), "removeClosingBlock"));
    QVERIFY(!root->close());
    QVERIFY(!root->isVisible());
    root->show();
}

void TestAppWindow::quitAppQuitsOnce()
{
    QSignalSpy quit(m_engine.get(), &QQmlEngine::quit);
    emit m_app.quitApp();
    emit m_app.quitApp();
    QCOMPARE(quit.count(), 1);
}

void TestAppWindow::closeAfterQuitEndsTheWindow()
{
    // Committed to ending: the tray option no longer hides the window, the close goes through.
    QQuickWindow* root = window();
    root->show();
    QVERIFY(appMediator()->setProperty("minimizeToTray", true));
    m_app.setQuitOnLastWindowClosed(false);
    QVERIFY(root->close());
    QVERIFY(!root->isVisible());
    m_app.setQuitOnLastWindowClosed(true);
    QVERIFY(appMediator()->setProperty("minimizeToTray", false));
}

void TestAppWindow::withoutATrayClosingEndsTheProgram()
{
    if (trayAvailable())
        QSKIP("this desktop has a system tray");
    QQuickWindow* root = window();
    root->show();
    QVERIFY(appMediator()->setProperty("minimizeToTray", true));
    QObject* tray = window()->findChild<QObject*>(QStringLiteral("systemTrayIcon"));
    QVERIFY(!tray->property("visible").toBool());

    // The drawer's switch keeps the stored option but is disabled and says why.
    QVERIFY(titleBarAction(SettingsButton));
    QObject* drawer = loaded("popupLoader");
    QTRY_VERIFY(drawer->property("opened").toBool());
    QObject* traySwitch = drawer->findChild<QObject*>(QStringLiteral("traySwitch"));
    QVERIFY(traySwitch);
    QVERIFY(traySwitch->property("checked").toBool());
    QVERIFY(!traySwitch->property("enabled").toBool());
    QVERIFY(!traySwitch->property("hint").toString().isEmpty());
    QVERIFY(QMetaObject::invokeMethod(drawer, "close"));
    QTRY_VERIFY(!drawer->property("visible").toBool());

    // Closing goes through instead of hiding the window (a hidden window refuses the close):
    // the last window closes, which ends the program (held back here so that the test goes on).
    m_app.setQuitOnLastWindowClosed(false);
    QVERIFY(root->close());
    m_app.setQuitOnLastWindowClosed(true);
    QVERIFY(!root->isVisible());
    QVERIFY(appMediator()->setProperty("minimizeToTray", false));
}

void TestAppWindow::everyModuleFileCompiles()
{
    int files = 0;
    QDirIterator it(QStringLiteral(":/qml/Velmor"), {QStringLiteral("*.qml")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QUrl url(QStringLiteral("qrc") + it.next());
        QQmlComponent component(m_engine.get(), url);
        QVERIFY2(!component.isError(), qPrintable(url.toString() + u'\n' + component.errorString()));
        ++files;
    }
    QVERIFY(files >= 1);
}

void TestAppWindow::moduleImportsByName()
{
    // The import path and the resource prefix agree: "Velmor" 1.0 is found by name.
    QQmlComponent component(m_engine.get());
    component.setData("import QtQuick\nimport Velmor 1.0\nItem {}\n", QUrl());
    QVERIFY2(!component.isError(), qPrintable(component.errorString()));
}

void TestAppWindow::sharedDeviceTypeIsRegistered()
{
    MetadataInitializer metadata;
    const QMetaType type = QMetaType::fromName("Devices::SharedDeviceImpl");
    QVERIFY(type.isValid());
    QCOMPARE(type, QMetaType::fromType<Devices::SharedDeviceImpl>());
}

void TestAppWindow::enumTypesAreRegistered_data()
{
    QTest::addColumn<QString>("typeName");
    QTest::addColumn<QString>("reason");
    for (const char* name :
         {"UIKestrinModel", "UINotificationsModel", "UIAppMediator", "UIKesFwMediator", "UIKesSettingsMediator"}) {
        QTest::newRow(name) << QString::fromLatin1(name)
                            << QStringLiteral("Error - class %1 uncreatable").arg(QLatin1String(name));
    }
    QTest::newRow("UIModel") << QStringLiteral("UIModel") << QStringLiteral("Error - class IUIModel uncreatable");
}

void TestAppWindow::enumTypesAreRegistered()
{
    QFETCH(QString, typeName);
    QFETCH(QString, reason);
    MetadataInitializer metadata;

    // Known to QML, and never made by it.
    QQmlComponent made(m_engine.get());
    made.setData(QStringLiteral("import QtQuick\nimport Velmor.Enums 1.0\n%1 {}\n").arg(typeName).toUtf8(), QUrl());
    std::unique_ptr<QObject> object(made.create());
    QVERIFY(!object);
    QVERIFY2(made.errorString().contains(reason), qPrintable(made.errorString()));
}

void TestAppWindow::enumsReachQml()
{
    MetadataInitializer metadata;
    QQmlComponent component(m_engine.get());
    component.setData("import QtQuick\nimport Velmor.Enums 1.0\n"
                      "Item { property int hardware: UIModel.Hardware; property int kestrin: UIModel.Kestrin }\n",
                      QUrl());
    std::unique_ptr<QObject> item(component.create());
    QVERIFY2(item, qPrintable(component.errorString()));
    QCOMPARE(item->property("hardware").toInt(), 2);
    QCOMPARE(item->property("kestrin").toInt(), 1);
}

void TestAppWindow::cleanupTestCase()
{
    m_engine.reset();
}

int main(int argc, char** argv)
{
    TestSupport::UseTestAppData();
    // A settings file from an earlier run, for the application object to read.
    QDir().mkpath(TestSupport::AppDataPath());
    const QString settingsPath = TestSupport::AppDataPath(QStringLiteral("settings.ini"));
    QFile::remove(settingsPath);
    {
        QSettings earlier(settingsPath, QSettings::IniFormat);
        earlier.setValue(QStringLiteral("license_accepted"), true);
    }
    // As the start-up does: the types that screens import exist before the window loads.
    MetadataInitializer metadata;
    Utils::SetUpMainThread();
    App app(argc, argv);
    // Beyond the test's own timeout: the title bar, the screens and the tray come only through the
    // window's first frame, so a lost frame hook fails the test.
    app.setFirstFrameFallbackMs(10 * 60 * 1000);
    TestAppWindow test(app);
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app_window.moc"
