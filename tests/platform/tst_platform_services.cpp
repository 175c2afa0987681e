// The application extensions' rules over a scripted stand-in for the operating system, the
// show-in-folder hand-off to the desktop, and the handling of termination requests.

#include "platform/DesktopAppExtensions.h"
#include "platform/FilesHelper.h"
#include "platform/TerminationSignals.h"

#include <QAbstractNativeEventFilter>
#include <QDesktopServices>
#include <QDir>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QUuid>

#include <csignal>
#include <memory>
#include <vector>

using namespace Platform;

namespace {

struct ServiceLog {
    std::optional<bool> animations;
    bool offerFilter = false;
    std::vector<bool> keepAwakeCalls;
    int filtersMade = 0;
};

class CountingFilter : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray&, void*, qintptr*) override { return false; }
};

class ScriptedServices : public ISystemServices {
public:
    explicit ScriptedServices(ServiceLog& log) : m_log(log) {}
    std::optional<bool> readAnimationsEnabled() override { return m_log.animations; }
    void keepSystemAwake(bool on) override { m_log.keepAwakeCalls.push_back(on); }
    std::unique_ptr<QAbstractNativeEventFilter> createNativeEventFilter() override
    {
        if (!m_log.offerFilter)
            return nullptr;
        ++m_log.filtersMade;
        return std::make_unique<CountingFilter>();
    }

private:
    ServiceLog& m_log;
};

std::unique_ptr<DesktopAppExtensions> MakeExtensions(ServiceLog& log)
{
    return std::make_unique<DesktopAppExtensions>(std::make_unique<ScriptedServices>(log),
        QStringLiteral("VELMOR_TEST_ext_") + QUuid::createUuid().toString(QUuid::WithoutBraces));
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

} // namespace

Q_DECLARE_METATYPE(std::optional<bool>)

class TestPlatformServices : public QObject {
    Q_OBJECT

private slots:
    void animationsSetting_data();
    void animationsSetting();
    void activitiesNest();
    void unmatchedEndChangesNothing();
    void nativeWindowDecoratedOnce();
    void noFilterWhereThereIsNoFrame();
    void systemServicesClaimNothingTheyCannotDo();

    void showFileInFolderOpensItsFolder();
    void showFileInFolderWithoutPath();
    void showFileInFolderReportsFailure();

    void terminationSignalIsReported_data();
    void terminationSignalIsReported();
    void terminationHandlingEndsWithTheObject();
};

void TestPlatformServices::animationsSetting_data()
{
    QTest::addColumn<std::optional<bool>>("setting");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("on") << std::optional<bool>(true) << true;
    QTest::newRow("off") << std::optional<bool>(false) << false;
    QTest::newRow("unreadable") << std::optional<bool>() << true;
}

void TestPlatformServices::animationsSetting()
{
    QFETCH(std::optional<bool>, setting);
    QFETCH(bool, enabled);
    ServiceLog log;
    log.animations = setting;
    const auto extensions = MakeExtensions(log);
    QCOMPARE(extensions->areAnimationsEnabled(), enabled);
    // Read once: a later change of the desktop's setting does not reach this run.
    log.animations = !enabled;
    QCOMPARE(extensions->areAnimationsEnabled(), enabled);
}

void TestPlatformServices::activitiesNest()
{
    ServiceLog log;
    const auto extensions = MakeExtensions(log);
    extensions->beginActivity();
    QCOMPARE(log.keepAwakeCalls, std::vector<bool>({true}));
    extensions->beginActivity();
    extensions->endActivity();
    QCOMPARE(log.keepAwakeCalls, std::vector<bool>({true}));
    extensions->endActivity();
    QCOMPARE(log.keepAwakeCalls, std::vector<bool>({true, false}));
    extensions->beginActivity();
    QCOMPARE(log.keepAwakeCalls, std::vector<bool>({true, false, true}));
}

void TestPlatformServices::unmatchedEndChangesNothing()
{
    ServiceLog log;
    const auto extensions = MakeExtensions(log);
    extensions->endActivity();
    QVERIFY(log.keepAwakeCalls.empty());
    extensions->beginActivity();
    extensions->endActivity();
    extensions->endActivity();
    QCOMPARE(log.keepAwakeCalls, std::vector<bool>({true, false}));
}

void TestPlatformServices::nativeWindowDecoratedOnce()
{
    ServiceLog log;
    log.offerFilter = true;
    const auto extensions = MakeExtensions(log);
    extensions->decorateNativeWindow(QCoreApplication::instance());
    extensions->decorateNativeWindow(QCoreApplication::instance());
    QCOMPARE(log.filtersMade, 1);
}

void TestPlatformServices::noFilterWhereThereIsNoFrame()
{
    ServiceLog log;
    const auto extensions = MakeExtensions(log);
    extensions->decorateNativeWindow(QCoreApplication::instance());
    extensions->decorateNativeWindow(nullptr);
    QCOMPARE(log.filtersMade, 0);
}

void TestPlatformServices::systemServicesClaimNothingTheyCannotDo()
{
    // This desktop has no animation setting to read and no native frame to adjust: the services
    // say so, and the extensions fall back to animating.
    const auto services = CreateSystemServices();
    QVERIFY(!services->readAnimationsEnabled().has_value());
    QVERIFY(!services->createNativeEventFilter());
    DesktopAppExtensions extensions(CreateSystemServices(),
        QStringLiteral("VELMOR_TEST_ext_") + QUuid::createUuid().toString(QUuid::WithoutBraces));
    QVERIFY(extensions.areAnimationsEnabled());
}

void TestPlatformServices::showFileInFolderOpensItsFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("saved logs")));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");

    const QString file = dir.filePath(QStringLiteral("saved logs/app logs.zip"));
    QVERIFY(FilesHelper::ShowFileInFolder(file));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls.first(), QUrl::fromLocalFile(dir.filePath(QStringLiteral("saved logs"))));
}

void TestPlatformServices::showFileInFolderWithoutPath()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    QVERIFY(!FilesHelper::ShowFileInFolder(QString()));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QVERIFY(catcher.urls.isEmpty());
}

void TestPlatformServices::showFileInFolderReportsFailure()
{
    // A handler object without the named slot: the desktop services report that nothing opened.
    QObject noHandler;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &noHandler, "open");
    const bool shown = FilesHelper::ShowFileInFolder(QDir::temp().filePath(QStringLiteral("x.zip")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QVERIFY(!shown);
}

void TestPlatformServices::terminationSignalIsReported_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestPlatformServices::terminationSignalIsReported()
{
    QFETCH(int, signalNumber);
    TerminationSignals handler;
    QSignalSpy requested(&handler, &TerminationSignals::terminationRequested);
    // Still alive after raising it: the handler took the signal instead of the default action.
    QCOMPARE(::raise(signalNumber), 0);
    QTRY_COMPARE_WITH_TIMEOUT(requested.count(), 1, 10000);
    QCOMPARE(requested.first().first().toInt(), signalNumber);
}

void TestPlatformServices::terminationHandlingEndsWithTheObject()
{
    {
        TerminationSignals handler;
        struct sigaction current = {};
        QCOMPARE(::sigaction(SIGTERM, nullptr, &current), 0);
        QVERIFY(current.sa_handler != SIG_DFL);
    }
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current = {};
        QCOMPARE(::sigaction(signalNumber, nullptr, &current), 0);
        QVERIFY(current.sa_handler == SIG_DFL);
    }
}

QTEST_MAIN(TestPlatformServices)
#include "tst_platform_services.moc"
