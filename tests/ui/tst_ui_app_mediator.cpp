#include "TestHttpServer.h"
#include "core/GlobalLogger.h"
#include "core/Preferences.h"
#include "platform/NetworkUpdater.h"
#include "ui_mediators/UIAppMediator.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using UIMediators::UIAppMediator;

namespace {

const QString c_running_version = QStringLiteral("1.2.48");
const QString c_app_manifest = QStringLiteral("/Velmor_App/velmor_app.json");

QByteArray AppManifest(const QString& version, const QString& link)
{
    return QStringLiteral("{\"win_amd64_version\": \"%1\", \"win_amd64_link\": \"%2\"}").arg(version, link).toUtf8();
}

// Every updateChanged as "<status> <version>".
class UpdateLog : public QObject {
public:
    explicit UpdateLog(UIAppMediator& mediator)
    {
        connect(&mediator, &UIAppMediator::updateChanged, this, [this, &mediator] {
            const char* name = QMetaEnum::fromType<UIAppMediator::Status>().valueToKey(mediator.getUpdateStatus());
            lines << QStringLiteral("%1 %2").arg(QLatin1String(name), mediator.getUpdateVersion()).trimmed();
        });
    }
    QStringList lines;
};

// Receives what the mediator hands to the desktop instead of opening it.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    OpenedUrls() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> urls;
    QString workingDirWhenOpened;
public slots:
    void open(const QUrl& url)
    {
        urls << url;
        workingDirWhenOpened = QDir::currentPath();
    }
};

// Stands in for the installer service of a system that runs the maker's installer: it hands the
// installer to the desktop, where the test's URL handler (OpenedUrls) receives it.
class DesktopInstaller final : public Platform::IAppInstaller {
public:
    QString unavailableReason() const override { return QString(); }
    bool start(const QString& path) override { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }
};

std::unique_ptr<Platform::IAppInstaller> Installer()
{
    return std::make_unique<DesktopInstaller>();
}

// This run's log so far.
QString LogText()
{
    GlobalLogger::Instance()->message(QtWarningMsg, "-- test marker --"); // flushes what came before
    const QDir logs(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/Logs");
    const QStringList files = logs.entryList(QDir::Files, QDir::Time);
    QFile file(files.isEmpty() ? QString() : logs.absoluteFilePath(files.first()));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A network updater whose hosts are a local HTTPS server that the test trusts.
struct Fixture {
    Fixture()
        : updater(Endpoints(server), nullptr)
    {
        updater.setSslConfiguration(TestNet::TestHttpServer::clientSslConfiguration());
    }
    static Platform::NetworkUpdater::Endpoints Endpoints(TestNet::TestHttpServer& server)
    {
        if (!server.listen())
            qFatal("The local test server does not listen");
        return {server.origin(), server.origin(), server.origin(), server.origin()};
    }

    void offer(const QString& version, const QString& installerName = QStringLiteral("VelmorSetup.exe"),
               TestNet::TestHttpServer::Fault installerFault = TestNet::TestHttpServer::Fault::None)
    {
        server.serve(c_app_manifest, AppManifest(version, server.origin("/files/" + installerName)));
        server.serve("/files/" + installerName, QByteArrayLiteral("MZ installer bytes"), installerFault);
    }

    // Runs a check and waits until the updater has its answer.
    bool check()
    {
        updater.checkForAppUpdate();
        return QTest::qWaitFor(
            [&] { return updater.getAppUpdateStatus() != Platform::NetworkUpdater::Status::InProgress; }, 20000);
    }

    TestNet::TestHttpServer server{true};
    Platform::NetworkUpdater updater;
    Preferences preferences;
};

} // namespace

class TestUiAppMediator : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void preferencesRoundTrip();
    void closingBlocksCount();
    void nothingToUpdate();
    void offerDownloadInstall();
    void whileTheInstallerDownloads();
    void downloadThatFails_data();
    void downloadThatFails();
    void offerOfTheRunningVersionIsNoUpdate();
    void failedCheckIsAnnouncedOnce();
    void stateAtConstruction();
    void installerThatCannotBeOpened();
    void logsNeedALocalFile();
    void onlyLaterVersionsAreOffered_data();
    void onlyLaterVersionsAreOffered();
    void noOfferWhereTheInstallerCannotRun();
    void savedLogsEndInLog_data();
    void savedLogsEndInLog();
};

void TestUiAppMediator::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Velmor"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmor"));
    QCoreApplication::setApplicationVersion(c_running_version);
}

void TestUiAppMediator::cleanup()
{
    // Each test starts without a cached installer.
    QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/app_update").removeRecursively();
}

void TestUiAppMediator::preferencesRoundTrip()
{
    Platform::NetworkUpdater updater;
    {
        Preferences preferences;
        UIAppMediator mediator(updater, preferences, nullptr);
        QVERIFY(!mediator.isEulaAccepted());
        QVERIFY(!mediator.getMinimizeToTray());
        QSignalSpy eula(&mediator, &UIAppMediator::eulaAcceptedChanged);
        QSignalSpy tray(&mediator, &UIAppMediator::minimizeToTrayChanged);

        QVERIFY(mediator.setProperty("eulaAccepted", true));
        mediator.setEulaAccepted(true); // unchanged: nothing
        mediator.setMinimizeToTray(true);
        QCOMPARE(eula.count(), 1);
        QCOMPARE(tray.count(), 1);
        QVERIFY(mediator.isEulaAccepted());
        QVERIFY(mediator.getMinimizeToTray());

        // A change made elsewhere reaches the mediator too.
        preferences.setBool(Preferences::BoolProperty::minimize_to_tray, false);
        QCOMPARE(tray.count(), 2);
        QVERIFY(!mediator.property("minimizeToTray").toBool());
        mediator.setMinimizeToTray(true);
    }
    // The next run reads them back.
    Preferences preferences;
    UIAppMediator mediator(updater, preferences, nullptr);
    QVERIFY(mediator.isEulaAccepted());
    QVERIFY(mediator.getMinimizeToTray());
    mediator.setEulaAccepted(false);
    mediator.setMinimizeToTray(false);
}

void TestUiAppMediator::closingBlocksCount()
{
    Platform::NetworkUpdater updater;
    Preferences preferences;
    UIAppMediator mediator(updater, preferences, nullptr);
    QVERIFY(!mediator.isClosingBlocked());
    mediator.addClosingBlock();
    mediator.addClosingBlock();
    mediator.removeClosingBlock();
    QVERIFY(mediator.isClosingBlocked());
    mediator.removeClosingBlock();
    QVERIFY(!mediator.isClosingBlocked());
    // An unmatched removal is a fault of the caller; it keeps the window from closing rather than
    // letting a later block go unnoticed.
    mediator.removeClosingBlock();
    QVERIFY(mediator.isClosingBlocked());
}

void TestUiAppMediator::nothingToUpdate()
{
    Fixture f;
    UIAppMediator mediator(f.updater, f.preferences, Installer(), nullptr);
    QSignalSpy changed(&mediator, &UIAppMediator::updateChanged);
    QCOMPARE(mediator.getUpdateStatus(), UIAppMediator::None);
    QVERIFY(!mediator.notificationBadge());
    QVERIFY(!mediator.isDialogNeeded());
    QVERIFY(mediator.proceedUpdate());
    QCOMPARE(mediator.getUpdateStatus(), UIAppMediator::None);
    QCOMPARE(changed.count(), 0);
    QVERIFY(f.server.requests().isEmpty());
}

void TestUiAppMediator::offerDownloadInstall()
{
    Fixture f;
    f.offer(QStringLiteral("1.3.0"), QStringLiteral("VelmorSetup-1.3.0.exe"));
    UIAppMediator mediator(f.updater, f.preferences, Installer(), nullptr);
    UpdateLog log(mediator);
    QSignalSpy badge(&mediator, &UIAppMediator::notificationBadgeChanged);

    QVERIFY(f.check());
    QCOMPARE(log.lines, (QStringList{"None", "Checking", "None", "CanDownload 1.3.0"}));
    QVERIFY(mediator.notificationBadge());
    QCOMPARE(badge.count(), 1);
    QVERIFY(mediator.isDialogNeeded());
    mediator.dialogShowed();
    QVERIFY(!mediator.isDialogNeeded());

    // Download: Checking without a version while it runs, then the version again.
    log.lines.clear();
    QVERIFY(mediator.proceedUpdate());
    QTRY_COMPARE_WITH_TIMEOUT(mediator.getUpdateStatus(), UIAppMediator::CanInstall, 20000);
    QCOMPARE(log.lines, (QStringList{"None 1.3.0", "Checking", "None", "CanInstall 1.3.0"}));
    QVERIFY(mediator.isDialogNeeded());
    QVERIFY(mediator.notificationBadge());
    QVERIFY(f.server.requests().contains("/files/VelmorSetup-1.3.0.exe"));

    // Install: the saved installer goes to the desktop, from its own folder, and the
    // application's event loop ends with code 0.
    OpenedUrls opened;
    const QString workingDir = QDir::currentPath();
    bool result = false;
    QTimer::singleShot(0, &mediator, [&] { result = mediator.proceedUpdate(); });
    QTimer guard; // ends the loop only if the mediator did not
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-7); });
    guard.start(20000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(result);
    QCOMPARE(opened.urls.size(), 1);
    const QString installer = opened.urls.first().toLocalFile();
    QCOMPARE(QFileInfo(installer).fileName(), QStringLiteral("VelmorSetup-1.3.0.exe"));
    QCOMPARE(QDir(opened.workingDirWhenOpened), QFileInfo(installer).absoluteDir());
    QCOMPARE(QDir::currentPath(), workingDir);
    QFile file(installer);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("MZ installer bytes"));
}

void TestUiAppMediator::whileTheInstallerDownloads()
{
    Fixture f;
    const QString installer = QStringLiteral("/files/VelmorSetup-1.5.0.exe");
    f.offer(QStringLiteral("1.5.0"), QStringLiteral("VelmorSetup-1.5.0.exe"), TestNet::TestHttpServer::Fault::Held);
    UIAppMediator mediator(f.updater, f.preferences, Installer(), nullptr);
    QVERIFY(f.check());
    QCOMPARE(mediator.getUpdateStatus(), UIAppMediator::CanDownload);

    QVERIFY(mediator.proceedUpdate());
    QTRY_COMPARE_WITH_TIMEOUT(f.server.heldCount(), 1, 20000);
    QCOMPARE(mediator.getUpdateStatus(), UIAppMediator::Checking);
    QVERIFY(mediator.getUpdateVersion().isEmpty());
    QVERIFY(!mediator.notificationBadge());

    // Asking again while it runs neither starts a second download nor opens anything.
    OpenedUrls opened;
    QVERIFY(mediator.proceedUpdate());
    QCOMPARE(f.server.requestCount(installer), 1);
    QVERIFY(opened.urls.isEmpty());

    f.server.release();
    QTRY_COMPARE_WITH_TIMEOUT(mediator.getUpdateStatus(), UIAppMediator::CanInstall, 20000);
    QCOMPARE(mediator.getUpdateVersion(), QStringLiteral("1.5.0"));
    QVERIFY(mediator.notificationBadge());
}

void TestUiAppMediator::downloadThatFails_data()
{
    QTest::addColumn<TestNet::TestHttpServer::Fault>("fault");
    QTest::newRow("server error") << TestNet::TestHttpServer::Fault::ServerError;
    QTest::newRow("not found") << TestNet::TestHttpServer::Fault::NotFound;
    QTest::newRow("cut short") << TestNet::TestHttpServer::Fault::Truncated;
}

void TestUiAppMediator::downloadThatFails()
{
    QFETCH(TestNet::TestHttpServer::Fault, fault);
    Fixture f;
    f.offer(QStringLiteral("1.6.0"), QStringLiteral("VelmorSetup.exe"), fault);
    UIAppMediator mediator(f.updater, f.preferences, Installer(), nullptr);
    QVERIFY(f.check());
    QSignalSpy badge(&mediator, &UIAppMediator::notificationBadgeChanged);

    QVERIFY(mediator.proceedUpdate());
    QTRY_COMPARE_WITH_TIMEOUT(mediator.getUpdateStatus(), UIAppMediator::Failed, 20000);
    QVERIFY(mediator.getUpdateVersion().isEmpty());
    QVERIFY(!mediator.notificationBadge());
    QCOMPARE(badge.count(), 1);
    QVERIFY(!mediator.isDialogNeeded());

    // Nothing was stored that could be installed.
    OpenedUrls opened;
    QVERIFY(mediator.proceedUpdate());
    QVERIFY(opened.urls.isEmpty());
}

void TestUiAppMediator::offerOfTheRunningVersionIsNoUpdate()
{
    Fixture f;
    f.offer(c_running_version);
    UIAppMediator mediator(f.updater, f.preferences, Installer(), nullptr);
    UpdateLog log(mediator);

    QVERIFY(f.check());
    QCOMPARE(f.updater.getAppUpdateStatus(), Platform::NetworkUpdater::Status::Available);
    QCOMPARE(mediator.getUpdateStatus(), UIAppMediator::None);
    QCOMPARE(mediator.getUpdateVersion(), c_running_version);
    QVERIFY(!mediator.notificationBadge());
    QVERIFY(!mediator.isDialogNeeded());
    // Checking, then None with the version: the version alone is a change.
    QCOMPARE(log.lines, (QStringList{"None", "Checking", "None", "None " + c_running_version}));

    OpenedUrls opened;
    QVERIFY(mediator.proceedUpdate()); // nothing to do
    QVERIFY(opened.urls.isEmpty());
    QVERIFY(!f.server.requests().contains("/files/VelmorSetup.exe"));
}

void TestUiAppMediator::failedCheckIsAnnouncedOnce()
{
    Fixture f; // the server has no manifest: 404
    UIAppMediator mediator(f.updater, f.preferences, Installer(), nullptr);
    UpdateLog log(mediator);
    QSignalSpy updaterSignals(&f.updater, &Platform::NetworkUpdater::sigAppUpdateStatusChanged);

    QVERIFY(f.check());
    QTRY_COMPARE_WITH_TIMEOUT(mediator.getUpdateStatus(), UIAppMediator::Failed, 20000);
    QTest::qWait(50); // a second report of the same failure, if any, has arrived by now
    QCOMPARE(log.lines, (QStringList{"None", "Checking", "None", "Failed"}));
    QVERIFY(!mediator.notificationBadge());

    OpenedUrls opened;
    QVERIFY(mediator.proceedUpdate()); // nothing to do
    QVERIFY(opened.urls.isEmpty());
    QCOMPARE(mediator.getUpdateStatus(), UIAppMediator::Failed);

    // The next check recovers.
    f.offer(QStringLiteral("2.0.0"));
    QVERIFY(f.check());
    QCOMPARE(mediator.getUpdateStatus(), UIAppMediator::CanDownload);
    QCOMPARE(mediator.getUpdateVersion(), QStringLiteral("2.0.0"));
}

void TestUiAppMediator::stateAtConstruction()
{
    Fixture f;
    f.offer(QStringLiteral("1.4.0"));
    QVERIFY(f.check());

    UIAppMediator mediator(f.updater, f.preferences, Installer(), nullptr);
    QCOMPARE(mediator.getUpdateStatus(), UIAppMediator::CanDownload);
    QCOMPARE(mediator.property("updateVersion").toString(), QStringLiteral("1.4.0"));
    QVERIFY(mediator.isDialogNeeded());
    QVERIFY(mediator.notificationBadge());

    // The same answer again changes nothing the screens see.
    UpdateLog log(mediator);
    QVERIFY(f.check());
    QCOMPARE(log.lines, (QStringList{"None 1.4.0", "Checking", "None", "CanDownload 1.4.0"}));
}

void TestUiAppMediator::installerThatCannotBeOpened()
{
    // Without a handler, only the offscreen platform is sure to refuse to open a file rather than
    // start a program for it.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QSKIP("needs the offscreen platform, which opens nothing");

    Fixture f;
    f.offer(QStringLiteral("1.3.1"));
    UIAppMediator mediator(f.updater, f.preferences, Installer(), nullptr);
    QVERIFY(f.check());
    QVERIFY(mediator.proceedUpdate());
    QTRY_COMPARE_WITH_TIMEOUT(mediator.getUpdateStatus(), UIAppMediator::CanInstall, 20000);

    const QString workingDir = QDir::currentPath();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("does not support QPlatformServices::openDocument"));
    QVERIFY(!mediator.proceedUpdate());
    QCOMPARE(QDir::currentPath(), workingDir);
    // Still offered: the user may try again.
    QCOMPARE(mediator.getUpdateStatus(), UIAppMediator::CanInstall);
    QString path;
    QVERIFY(f.updater.readAppUpdateFilePath(path));
    QVERIFY(QFileInfo::exists(path));
}

void TestUiAppMediator::logsNeedALocalFile()
{
    Platform::NetworkUpdater updater;
    Preferences preferences;
    UIAppMediator mediator(updater, preferences, nullptr);
    QVERIFY(!mediator.saveLogsToFile(QUrl("https://example.invalid/logs.zip")));
    QVERIFY(!mediator.saveLogsToFile(QUrl()));
}

void TestUiAppMediator::onlyLaterVersionsAreOffered_data()
{
    QTest::addColumn<QString>("offered");
    QTest::addColumn<bool>("later");
    QTest::newRow("much older") << "1.0.0" << false;
    QTest::newRow("one patch older") << "1.2.47" << false;
    QTest::newRow("9 is less than 48") << "1.2.9" << false;
    QTest::newRow("same with a zero more") << "1.2.48.0" << false;
    QTest::newRow("no numbers") << "latest" << false;
    QTest::newRow("one patch later") << "1.2.49" << true;
    QTest::newRow("10 is more than 2") << "1.10.0" << true;
    QTest::newRow("shorter but later") << "2" << true;
}

void TestUiAppMediator::onlyLaterVersionsAreOffered()
{
    QFETCH(QString, offered);
    QFETCH(bool, later);
    QCOMPARE(UIAppMediator::IsNewerVersion(offered, c_running_version), later);

    Fixture f;
    f.offer(offered);
    UIAppMediator mediator(f.updater, f.preferences, Installer(), nullptr);
    const QString logBefore = LogText();
    QVERIFY(f.check());
    QCOMPARE(mediator.getUpdateStatus(), later ? UIAppMediator::CanDownload : UIAppMediator::None);
    QCOMPARE(mediator.notificationBadge(), later);
    QVERIFY(mediator.proceedUpdate());
    if (later)
        QTRY_COMPARE_WITH_TIMEOUT(mediator.getUpdateStatus(), UIAppMediator::CanInstall, 20000);
    else
        QVERIFY(!f.server.requests().contains("/files/VelmorSetup.exe"));
    const QString log = LogText().mid(logBefore.size());
    QCOMPARE(log.contains(QStringLiteral("App update version %1 is not offered: it is not later than the running "
                                         "version 1.2.48")
                              .arg(offered)),
             !later);
}

void TestUiAppMediator::noOfferWhereTheInstallerCannotRun()
{
    // This system's own installer service: the maker's installer is for Windows only.
    Fixture f;
    f.offer(QStringLiteral("1.3.0"));
    UIAppMediator mediator(f.updater, f.preferences, nullptr);
    UpdateLog log(mediator);
    const QString logBefore = LogText();
    QVERIFY(f.check());
    QCOMPARE(mediator.getUpdateStatus(), UIAppMediator::None);
    QVERIFY(!mediator.notificationBadge());
    QVERIFY(!mediator.isDialogNeeded());
    QCOMPARE(log.lines, (QStringList{"None", "Checking", "None", "None 1.3.0"}));
    QVERIFY(f.check()); // asked again: said once

    // Nothing is downloaded or opened: no request is even started.
    OpenedUrls opened;
    QVERIFY(mediator.proceedUpdate());
    QCOMPARE(f.updater.getAppUpdateStatus(), Platform::NetworkUpdater::Status::Available);
    QVERIFY(f.updater.findChildren<QNetworkReply*>().isEmpty());
    QVERIFY(opened.urls.isEmpty());
    QCOMPARE(mediator.getUpdateStatus(), UIAppMediator::None);
    const QString text = LogText().mid(logBefore.size());
    QCOMPARE(text.count(QStringLiteral("App update version 1.3.0 is not offered: the maker publishes the application "
                                       "only as a Windows installer, which cannot be installed on this system")),
             1);
}

// Stands in for the desktop's file manager: records the folders it is asked to show.
class FolderRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

void TestUiAppMediator::savedLogsEndInLog_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("typed without extension") << "support logs"
                                             << "support logs.log";
    QTest::newRow("typed with extension") << "support.log"
                                          << "support.log";
    QTest::newRow("extension in capitals") << "SUPPORT.LOG"
                                           << "SUPPORT.LOG";
    QTest::newRow("another extension") << "support.txt"
                                       << "support.txt.log";
}

// A file dialog hands back the name as typed; the saved file always carries ".log", so the
// dialog's "Log files (*.log)" filter lists it, and the file manager is shown its folder.
void TestUiAppMediator::savedLogsEndInLog()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    GlobalLogger::Instance()->message(QtInfoMsg, "A line for the collected logs.");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    FolderRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    const auto unset = qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });

    Platform::NetworkUpdater updater;
    Preferences preferences;
    UIAppMediator mediator(updater, preferences, nullptr);
    QVERIFY(mediator.saveLogsToFile(QUrl::fromLocalFile(folder.filePath(typed))));

    QDir dir(folder.path());
    QCOMPARE(dir.entryList(QDir::Files), QStringList{saved});
    QVERIFY(QFileInfo(folder.filePath(saved)).size() > 0);
    QCOMPARE(dir.entryList({QStringLiteral("*.log")}, QDir::Files), QStringList{saved});
    QCOMPARE(recorder.opened, QList<QUrl>{QUrl::fromLocalFile(folder.path())});
}

QTEST_MAIN(TestUiAppMediator)
#include "tst_ui_app_mediator.moc"
