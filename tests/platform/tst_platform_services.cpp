// The application extensions' rules over a scripted stand-in for the operating system; the real
// services against fakes of the desktop's D-Bus services (logind, the desktop portal, a file
// manager) on a bus of the test's own; the show-in-folder hand-off to the desktop; and the
// handling of termination requests.

#include "platform/DesktopAppExtensions.h"
#include "platform/FilesHelper.h"
#include "platform/TerminationSignals.h"
#include "support/TestAppData.h"

#include "FakeDesktopServices.h"
#include "PrivateBus.h"

#include <QAbstractNativeEventFilter>
#include <QDBusConnection>
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
    explicit ScriptedServices(ServiceLog& log)
        : m_log(log)
    {
    }
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
                                                  QStringLiteral("VELMOR_TEST_ext_") +
                                                      QUuid::createUuid().toString(QUuid::WithoutBraces));
}

// Everything the process-wide logger wrote in this run.
QByteArray LogText()
{
    QByteArray text;
    const QDir folder(TestSupport::AppDataPath(QStringLiteral("Logs")));
    for (const QString& name : folder.entryList(QDir::Files)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            text += file.readAll();
    }
    return text;
}

std::unique_ptr<DesktopAppExtensions> MakeRealExtensions()
{
    return std::make_unique<DesktopAppExtensions>(CreateSystemServices(),
                                                  QStringLiteral("VELMOR_TEST_ext_") +
                                                      QUuid::createUuid().toString(QUuid::WithoutBraces));
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
    void initTestCase();
    void cleanupTestCase();

    void animationsSetting_data();
    void animationsSetting();
    void activitiesNest();
    void unmatchedEndChangesNothing();
    void nativeWindowDecoratedOnce();
    void noFilterWhereThereIsNoFrame();
    void noNativeFrameToAdjust();

    void inhibitorTakenOnceForNestedActivities();
    void noLogindLetsTheSystemSleep();
    void desktopAnimationSetting_data();
    void desktopAnimationSetting();

    void fileManagerShowsTheFile();
    void withoutFileManagerTheFolderOpens();
    void showFileInFolderWithoutPath();
    void showFileInFolderReportsFailure();

    void terminationSignalIsReported_data();
    void terminationSignalIsReported();
    void terminationHandlingEndsWithTheObject();

private:
    std::unique_ptr<TestSupport::PrivateBus> m_bus;
};

void TestPlatformServices::initTestCase()
{
    TestSupport::UseTestAppData();
    TestSupport::ClearAppData();
    m_bus = std::make_unique<TestSupport::PrivateBus>();
    QVERIFY2(!m_bus->address().isEmpty(), qPrintable(m_bus->errorString()));
    // Both buses are chosen at their first use, which is after this.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_bus->address().toUtf8());
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus->address().toUtf8());
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QVERIFY(QDBusConnection::systemBus().isConnected());
}

void TestPlatformServices::cleanupTestCase()
{
    m_bus.reset();
}

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

void TestPlatformServices::noNativeFrameToAdjust()
{
    QVERIFY(!CreateSystemServices()->createNativeEventFilter());
}

void TestPlatformServices::inhibitorTakenOnceForNestedActivities()
{
    TestSupport::FakeDesktopServices desktop(m_bus->address(), TestSupport::FakeDesktopServices::Logind);
    QVERIFY(desktop.isReady());
    const auto extensions = MakeRealExtensions();

    extensions->beginActivity();
    QCOMPARE(desktop.logind().calls().size(), 1);
    const QStringList arguments = desktop.logind().calls().first();
    QCOMPARE(arguments.size(), 4);
    QCOMPARE(arguments[0], QStringLiteral("sleep:idle"));
    QCOMPARE(arguments[1], QStringLiteral("Velmor"));
    QVERIFY(!arguments[2].isEmpty());
    QCOMPARE(arguments[3], QStringLiteral("block"));
    QCOMPARE(desktop.logind().heldLocks(), 1);

    // Nested: no second lock, and the first one stays until the outermost end.
    extensions->beginActivity();
    extensions->endActivity();
    QCOMPARE(desktop.logind().calls().size(), 1);
    QCOMPARE(desktop.logind().heldLocks(), 1);
    extensions->endActivity();
    QTRY_COMPARE_WITH_TIMEOUT(desktop.logind().heldLocks(), 0, 10000);

    // An unmatched end asks nothing; the next activity takes a new lock.
    extensions->endActivity();
    extensions->beginActivity();
    QCOMPARE(desktop.logind().calls().size(), 2);
    QCOMPARE(desktop.logind().heldLocks(), 1);
    extensions->endActivity();
    QTRY_COMPARE_WITH_TIMEOUT(desktop.logind().heldLocks(), 0, 10000);
}

void TestPlatformServices::noLogindLetsTheSystemSleep()
{
    // A container or another init: nothing answers for logind. One line says so, and the program
    // goes on as before.
    const auto extensions = MakeRealExtensions();
    const int before = LogText().count("Cannot keep the system awake");
    extensions->beginActivity();
    extensions->beginActivity();
    extensions->endActivity();
    extensions->endActivity();
    const QByteArray log = LogText();
    QCOMPARE(log.count("Cannot keep the system awake"), before + 1);
    QVERIFY2(log.contains("it may sleep during the operation."), log.constData());
    QVERIFY(log.contains("org.freedesktop.DBus.Error.ServiceUnknown"));
}

void TestPlatformServices::desktopAnimationSetting_data()
{
    QTest::addColumn<bool>("portal");
    QTest::addColumn<QVariant>("value"); // invalid: the key is not there
    QTest::addColumn<bool>("wrapped");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QByteArray>("logged");
    QTest::newRow("off") << true << QVariant(false) << false << false << QByteArray("animations are off");
    QTest::newRow("on") << true << QVariant(true) << false << true << QByteArray("animations are on");
    QTest::newRow("off, in two variants")
        << true << QVariant(false) << true << false << QByteArray("animations are off");
    QTest::newRow("no such key") << true << QVariant() << false << true << QByteArray("portal.Error.NotFound");
    QTest::newRow("not a yes or no") << true << QVariant(QStringLiteral("false")) << false << true
                                     << QByteArray("not a yes or no");
    QTest::newRow("no portal") << false << QVariant() << false << true << QByteArray("DBus.Error.ServiceUnknown");
}

void TestPlatformServices::desktopAnimationSetting()
{
    QFETCH(bool, portal);
    QFETCH(QVariant, value);
    QFETCH(bool, wrapped);
    QFETCH(bool, enabled);
    QFETCH(QByteArray, logged);
    TestSupport::FakeDesktopServices desktop(m_bus->address(), portal ? TestSupport::FakeDesktopServices::Portal : 0);
    QVERIFY(desktop.isReady());
    if (value.isValid())
        desktop.portal().setValue(QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("enable-animations"),
                                  value, wrapped);

    const int before = LogText().count(logged);
    const auto extensions = MakeRealExtensions();
    QCOMPARE(extensions->areAnimationsEnabled(), enabled);
    QCOMPARE(LogText().count(logged), before + 1);
    if (portal) {
        QCOMPARE(desktop.portal().reads(), QList<QStringList>({{QStringLiteral("org.gnome.desktop.interface"),
                                                                QStringLiteral("enable-animations")}}));
    }
}

void TestPlatformServices::fileManagerShowsTheFile()
{
    TestSupport::FakeDesktopServices desktop(m_bus->address(), TestSupport::FakeDesktopServices::FileManager);
    QVERIFY(desktop.isReady());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("saved logs")));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");

    QVERIFY(FilesHelper::ShowFileInFolder(dir.filePath(QStringLiteral("saved logs/app logs #1.zip"))));
    QTRY_COMPARE_WITH_TIMEOUT(desktop.fileManager().shown().size(), 1, 10000);
    const QString uri = QStringLiteral("file://") + dir.path() + QStringLiteral("/saved%20logs/app%20logs%20%231.zip");
    QCOMPARE(desktop.fileManager().shown().first(), QStringList{uri});
    QCOMPARE(QUrl(uri).toLocalFile(), dir.filePath(QStringLiteral("saved logs/app logs #1.zip")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    // The file manager took it: no folder opened besides.
    QVERIFY(catcher.urls.isEmpty());
}

void TestPlatformServices::withoutFileManagerTheFolderOpens()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("saved logs")));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");

    const int before = LogText().count("No file manager can show the file");
    QVERIFY(FilesHelper::ShowFileInFolder(dir.filePath(QStringLiteral("saved logs/app logs.zip"))));
    QTRY_COMPARE_WITH_TIMEOUT(catcher.urls.size(), 1, 10000);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(catcher.urls.first(), QUrl::fromLocalFile(dir.filePath(QStringLiteral("saved logs"))));
    QCOMPARE(LogText().count("No file manager can show the file"), before + 1);
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
    // No file manager, and a handler object without the named slot: the desktop services report
    // that nothing opened either, and the log says so.
    QObject noHandler;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &noHandler, "open");
    const int before = LogText().count("Cannot open the folder");
    FilesHelper::ShowFileInFolder(QDir::temp().filePath(QStringLiteral("x.zip")));
    QTRY_COMPARE_WITH_TIMEOUT(LogText().count("Cannot open the folder"), before + 1, 10000);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
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
