#pragma once

// The whole application as its start-up builds it, for the tests that drive the real main window:
// the application object over fresh per-user folders (RunWithApp), and the real Main.qml loaded
// over it, built either in the smallest incubation slices or by the application's own pacer
// (MainWindowRun), as a test starts it once or again and again. Header-only; link velmor_app,
// velmor_qml and velmor_test_support.

#include "app/App.h"
#include "app/MetadataInitializer.h"
#include "support/MainWindowProbe.h"
#include "support/TestAppData.h"
#include "utils/Utils.h"

#include <QDir>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlError>
#include <QQuickWindow>
#include <QSettings>
#include <QStringList>
#include <QtTest>

#include <functional>

namespace TestSupport {

class MainWindowRun {
public:
    enum class Building {
        // One step of the engine's building per event-loop turn.
        SmallestSlices,
        // As the real start-up does: the application's pacer builds from the first frame on.
        ApplicationPacer,
    };

    // `beforeBuilding` sees the loaded window before anything is built asynchronously or drawn,
    // so that a test can watch every frame from the first.
    MainWindowRun(App& app, Building building, const std::function<void(QQuickWindow*)>& beforeBuilding = {})
    {
        if (building == Building::SmallestSlices)
            m_engine.setIncubationController(&m_smallest);
        QObject::connect(&m_engine, &QQmlEngine::warnings, &m_engine, [this](const QList<QQmlError>& warnings) {
            for (const QQmlError& warning : warnings)
                m_warnings << warning.toString();
        });
        m_engine.rootContext()->setContextProperty(QStringLiteral("App"), &app);
        m_engine.addImportPath(QStringLiteral(":/qml"));
        m_engine.load(QUrl(QStringLiteral("qrc:/qml/Velmor/Main.qml")));
        if (beforeBuilding && window())
            beforeBuilding(window());
        if (building == Building::ApplicationPacer)
            app.takeOverIncubation(m_engine);
    }

    // The window, or null when Main.qml did not load.
    QQuickWindow* window() const
    {
        return m_engine.rootObjects().size() == 1 ? qobject_cast<QQuickWindow*>(m_engine.rootObjects().constFirst())
                                                  : nullptr;
    }

    // What the engine warned about since Main.qml began to load.
    QStringList warnings() const { return m_warnings; }

private:
    // The controller outlives the engine that uses it.
    SmallestSliceIncubation m_smallest;
    QStringList m_warnings;
    QQmlApplicationEngine m_engine;
};

// How RunWithApp starts the application.
struct AppStart {
    // The legal terms were accepted in an earlier run (the settings file says so).
    bool legalTermsAccepted = false;
    // The first-frame event comes only through a drawn frame: the fallback lies beyond any test's
    // timeout, so that a lost frame hook fails the test instead of passing on the fallback.
    bool firstFrameOnly = false;
};

// Runs the test object `Test`, made as `Test(App&)`, over the application object as the start-up
// makes it: the program's names and version, fresh per-user folders, the enum types that the
// screens import, the main thread marked. Returns what QTest::qExec returns.
template <typename Test>
int RunWithApp(int argc, char** argv, const AppStart& start = {})
{
    UseTestAppData();
    ClearAppData();
    if (start.legalTermsAccepted) {
        QDir().mkpath(AppDataPath());
        QSettings settings(AppDataPath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        settings.setValue(QStringLiteral("license_accepted"), true);
    }
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.48"));
    MetadataInitializer metadata;
    Utils::SetUpMainThread();
    App app(argc, argv);
    if (start.firstFrameOnly)
        app.setFirstFrameFallbackMs(10 * 60 * 1000);
    Test test(app);
    return QTest::qExec(&test, argc, argv);
}

} // namespace TestSupport
