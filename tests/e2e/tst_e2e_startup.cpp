// The application object's first-frame event, which everything that would cost the window's
// first frame follows: the registration of the application fonts, the app-update and news
// checks (they load the TLS back end) and the building of asynchronous QML (the title bar and
// the screens). A window that draws no frame gets the event after the fallback time, with a
// warning in the log. Over the emulated USB bus, so that no device of the machine is touched.
//
// Where a frame is drawn, the fallback lies far beyond each wait of the test: only the frame can
// bring the event, so a lost frame hook fails the test instead of passing on the fallback.

#include "app/App.h"
#include "support/serial/SerialLog.h"
#include "theme/DarkTheme.h"
#include "ui_mediators/UIAppMediator.h"

#include <QFontDatabase>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

using UIMediators::UIAppMediator;

namespace {

// Beyond every wait of this test (and its CTest timeout).
constexpr int NoFallbackMs = 10 * 60 * 1000;
constexpr int WaitMs = 15000;
constexpr char FallbackWarning[] = "The window has drawn no frame within";

constexpr int LoaderReady = 1;   // Loader.Ready
constexpr int LoaderLoading = 2; // Loader.Loading

} // namespace

class TestE2eStartup : public QObject {
    Q_OBJECT

public:
    TestE2eStartup(int& argc, char** argv)
        : m_argc(argc)
        , m_argv(argv)
    {
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    // First: the fonts, once registered, stay for the rest of the process.
    void fontsAreRegisteredWhileTheWindowLoads();
    void updateChecksWaitForTheFirstFrame_data();
    void updateChecksWaitForTheFirstFrame();
    void asynchronousBuildingWaitsForTheFirstFrame();

private:
    int& m_argc;
    char** m_argv;
    SerialLog m_log;
};

// The fonts are registered off the GUI thread from the application's start, in parallel with
// the window's loading: they need no window and no frame.
void TestE2eStartup::fontsAreRegisteredWhileTheWindowLoads()
{
    App app(m_argc, m_argv);
    app.setFirstFrameFallbackMs(NoFallbackMs);
    QTRY_VERIFY_WITH_TIMEOUT(QFontDatabase::families().contains(QLatin1String(Theme::CaptionFontFamily)), WaitMs);
    QVERIFY(!app.isFirstFrameShown());
}

void TestE2eStartup::updateChecksWaitForTheFirstFrame_data()
{
    QTest::addColumn<bool>("window");
    QTest::newRow("window drawn") << true;
    QTest::newRow("no frame comes") << false;
}

void TestE2eStartup::updateChecksWaitForTheFirstFrame()
{
    QFETCH(bool, window);

    m_log.restart();
    App app(m_argc, m_argv);
    app.setFirstFrameFallbackMs(window ? NoFallbackMs : 300);
    QSignalSpy firstFrame(&app, &App::firstFrameShownChanged);
    const auto status = [&] { return app.getAppMediator()->property("updateStatus").toInt(); };
    // Nothing is asked for while the window is being built.
    QCOMPARE(status(), int(UIAppMediator::None));
    QCoreApplication::processEvents();
    QCOMPARE(status(), int(UIAppMediator::None));

    QQuickWindow quickWindow;
    if (window) {
        quickWindow.resize(320, 200);
        app.watchFirstFrame(&quickWindow);
        QCoreApplication::processEvents();
        QCOMPARE(status(), int(UIAppMediator::None));
        quickWindow.show();
    }
    QTRY_VERIFY_WITH_TIMEOUT(status() != int(UIAppMediator::None), WaitMs);
    QCOMPARE(firstFrame.count(), 1);
    QVERIFY(app.isFirstFrameShown());
    // The fallback says so in the log; a drawn frame needs no word.
    QCOMPARE(m_log.text().contains(FallbackWarning), !window);
}

void TestE2eStartup::asynchronousBuildingWaitsForTheFirstFrame()
{
    App app(m_argc, m_argv);
    app.setFirstFrameFallbackMs(NoFallbackMs);
    QQmlEngine engine;
    QQuickWindow quickWindow;
    quickWindow.resize(320, 200);
    app.watchFirstFrame(&quickWindow);
    app.takeOverIncubation(engine);

    QQmlComponent component(&engine);
    component.setData("import QtQuick\n"
                      "Loader { asynchronous: true; sourceComponent: Component { Rectangle { width: 10 } } }\n",
                      QUrl());
    const std::unique_ptr<QObject> loader(component.create());
    QVERIFY2(loader, qPrintable(component.errorString()));
    QTest::qWait(300);
    QCOMPARE(loader->property("status").toInt(), LoaderLoading);

    quickWindow.show();
    QTRY_COMPARE_WITH_TIMEOUT(loader->property("status").toInt(), LoaderReady, WaitMs);
    QVERIFY(app.isFirstFrameShown());
}

int main(int argc, char** argv)
{
    TestE2eStartup test(argc, argv);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_startup.moc"
