#include "app/QMain.h"

#include "app/App.h"
#include "app/IncubationPacer.h"
#include "app/MetadataInitializer.h"
#include "app/WindowFit.h"
#include "core/GlobalLogger.h"
#include "platform/KestrinDriversHelper.h"
#include "platform/NewsImageAccess.h"
#include "platform/PlatformFactories.h"
#include "platform/TerminationSignals.h"
#include "utils/Utils.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlNetworkAccessManagerFactory>
#include <QQuickWindow>
#include <QUrl>

#include <cstdio>
#include <cstring>

namespace {

constexpr char DriverRemovalOption[] = "--remove-kestrin-drivers";

// A running instance takes a show request within a tenth of a second, unless its window is busy
// for a moment; one that is ending never takes it, and ends within a second or two.
constexpr int ShowRequestAnswerMs = 2000;
constexpr int EndingInstanceWaitMs = 10000;

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

const char* DriverRemovalResultText(int result)
{
    using Helper = Platform::KestrinDriversHelper;
    switch (result) {
    case Helper::Removed: return "Driver removal: the Kestrin drivers were removed, or there were none.";
    case Helper::DeviceConnected:
        return "Driver removal: a Kestrin headset or dongle is connected; nothing was removed.";
    case Helper::AccessDenied: return "Driver removal: the system refused a removal (access denied).";
    default: return "Driver removal did not complete; the log says why.";
    }
}

// Everything per user (settings, logs, caches) is filed under these names, so they are set
// before anything can write a log line, the driver-removal run included.
void SetApplicationIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("Velmor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Velmor"));
    // The build's one version number (project(VERSION) in CMakeLists.txt).
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(VELMOR_VERSION_MAJOR).arg(VELMOR_VERSION_MINOR).arg(VELMOR_VERSION_PATCH));
}

// What the interface loads from the network (the news pictures) is fetched under the same rules
// as every other download.
class RuledNetworkAccessFactory final : public QQmlNetworkAccessManagerFactory {
public:
    QNetworkAccessManager* create(QObject* parent) override { return new Platform::NewsImageAccess(parent); }
};

} // namespace

int qMain(int argc, char** argv)
{
    qunsetenv("QT_PLUGIN_PATH");
    SetApplicationIdentity();

    // A running instance starts this run as a second process of its own, so it comes before the
    // single-instance check. Run by hand, it says on the terminal what came of it.
    if (IsDriverRemovalRun(argc, argv)) {
        const int result = Platform::KestrinDriversHelper::UninstallKestrinDrivers();
        std::fprintf(stderr, "%s (exit code %d)\n", DriverRemovalResultText(result), result);
        return result;
    }

    const auto launcher = Platform::CreatePlatformLauncher();
    const auto extensions = Platform::CreateAppExtensions();
    if (launcher->isOtherInstanceRunning()) {
        const qint64 pid = launcher->runningInstancePid();
        const QByteArray holder = pid > 0 ? QByteArray::number(pid) : QByteArrayLiteral("unknown");
        if (!extensions->showRunningApp()) {
            GlobalLogger::Instance()->message(
                QtWarningMsg,
                "Another instance runs (pid %s), but it cannot be asked to show its window; this "
                "start gives up.",
                holder.constData());
            return 0;
        }
        if (extensions->waitForRequestTaken(ShowRequestAnswerMs)) {
            GlobalLogger::Instance()->message(
                QtInfoMsg, "Another instance runs (pid %s); asked it to show its window. This start ends here.",
                holder.constData());
            return 0;
        }
        // An instance that no longer listens is ending: the user's start goes on once it has.
        if (!launcher->waitForOtherInstanceToEnd(EndingInstanceWaitMs)) {
            GlobalLogger::Instance()->message(QtWarningMsg,
                                              "Another instance runs (pid %s) but neither shows its window nor ends; "
                                              "this start gives up.",
                                              holder.constData());
            return 0;
        }
        GlobalLogger::Instance()->message(QtInfoMsg,
                                          "Another instance (pid %s) was ending; this start waited for it and goes on.",
                                          holder.constData());
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

    // Outlives the engine, which holds it until the end.
    IncubationPacer incubationPacer;
    RuledNetworkAccessFactory networkAccess;
    QQmlApplicationEngine engine;
    engine.setNetworkAccessManagerFactory(&networkAccess);
    engine.rootContext()->setContextProperty(QStringLiteral("App"), &app);
    engine.addImportPath(QString::fromLatin1(QmlImportPath));
    engine.load(QUrl(QString::fromLatin1(MainComponentUrl)));
    if (engine.rootObjects().isEmpty())
        return -1;
    auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().constFirst());
    // The offscreen platform's screen is a nominal 800x600 that no one looks at.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        FitWindowToScreen(window);
    // The fonts' thread starts before the building resumes, which will soon wait for them.
    app.deferUntilFirstFrame(window);
    // After the load: the window installs a controller of its own while it is created.
    incubationPacer.install(engine);
    incubationPacer.holdUntilFirstFrame(window);
    return app.exec();
}
