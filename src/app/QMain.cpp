#include "app/QMain.h"

#include "app/App.h"
#include "app/MetadataInitializer.h"
#include "platform/KestrinDriversHelper.h"
#include "platform/PlatformFactories.h"
#include "platform/TerminationSignals.h"
#include "utils/Utils.h"

#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QUrl>

#include <cstring>

namespace {

constexpr char DriverRemovalOption[] = "--remove-kestrin-drivers";

// The QML module "Velmor" lies under this import path; its component "Main" is the window.
constexpr char QmlImportPath[] = ":/qml";
constexpr char MainComponentUrl[] = "qrc:/qml/Velmor/Main.qml";

bool IsDriverRemovalRun(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && std::strcmp(argv[i], DriverRemovalOption) == 0)
            return true;
    }
    return false;
}

// Everything per user (settings, logs, caches) is filed under these names, so they are set
// before anything can write a log line, the driver-removal run included.
void SetApplicationIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("Velmor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Velmor"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.48"));
}

} // namespace

int qMain(int argc, char** argv)
{
    qunsetenv("QT_PLUGIN_PATH");
    SetApplicationIdentity();

    // A running instance starts this run as a second process of its own, so it comes before the
    // single-instance check.
    if (IsDriverRemovalRun(argc, argv))
        return Platform::KestrinDriversHelper::UninstallKestrinDrivers();

    const auto launcher = Platform::CreatePlatformLauncher();
    const auto extensions = Platform::CreateAppExtensions();
    if (launcher->isOtherInstanceRunning()) {
        extensions->showRunningApp();
        return 0;
    }

    MetadataInitializer metadata;
    Utils::SetUpMainThread();

    App app(argc, argv);
    extensions->decorateNativeWindow(&app);
    // Asked to stop (log-out, Ctrl+C): end the event loop for good, whatever the window would
    // make of a quit request, so the run cleans up after itself.
    Platform::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &Platform::TerminationSignals::terminationRequested, &app,
        [] { QCoreApplication::exit(0); });

    QQmlApplicationEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("App"), &app);
    engine.addImportPath(QString::fromLatin1(QmlImportPath));
    engine.load(QUrl(QString::fromLatin1(MainComponentUrl)));
    if (engine.rootObjects().isEmpty())
        return -1;
    app.runChecksAfterFirstFrame(qobject_cast<QQuickWindow*>(engine.rootObjects().constFirst()));
    return app.exec();
}
