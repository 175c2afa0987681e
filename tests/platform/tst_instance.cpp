// The single-instance check and the show-window hand-over, within one process: each test uses
// keys of its own, so nothing here meets a real instance of the application.

#include "platform/DesktopAppExtensions.h"
#include "platform/Launcher.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSharedMemory>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryFile>
#include <QTest>
#include <QUuid>

#include <chrono>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace Platform;

namespace {

class QuietServices : public ISystemServices {
public:
    std::optional<bool> readAnimationsEnabled() override { return true; }
    void keepSystemAwake(bool) override { }
    std::unique_ptr<QAbstractNativeEventFilter> createNativeEventFilter() override { return nullptr; }
};

std::unique_ptr<AppExtensions> MakeExtensions(const QString& key)
{
    return std::make_unique<DesktopAppExtensions>(std::make_unique<QuietServices>(), key);
}

QString UniqueKey(const char* role)
{
    return QStringLiteral("VELMOR_TEST_%1_%2")
        .arg(QLatin1String(role), QUuid::createUuid().toString(QUuid::WithoutBraces));
}

} // namespace

class TestInstance : public QObject {
    Q_OBJECT

private slots:
    void firstLauncherIsAlone();
    void secondLauncherSeesTheFirst();
    void launcherAfterTheFirstEndedIsAlone();
    void staleLaunchMarkerDoesNotCount();
    void launcherHoldsLockWhileAlive();
    void lockFileLeftBehind_data();
    void lockFileLeftBehind();
    void keysArePerUser();

    void startWaitsForAnEndingInstance_data();
    void startWaitsForAnEndingInstance();
    void requestNobodyTakesIsWithdrawn();
    void createdChannelStartsWithNothingPending();
    void requestReachesListeningInstance();
    void twoRequestsWithinOneTickGiveOneSignal();
    void listenStartsAndStopsChecking();
    void channelOfWrongSizeIsNotUsed();
    void channelThatCannotBeMadeIsNotUsed();
};

void TestInstance::firstLauncherIsAlone()
{
    const Launcher launcher(UniqueKey("launch"));
    QVERIFY(!launcher.isOtherInstanceRunning());
}

void TestInstance::secondLauncherSeesTheFirst()
{
    const QString key = UniqueKey("launch");
    const Launcher first(key);
    const Launcher second(key);
    QVERIFY(!first.isOtherInstanceRunning());
    QVERIFY(second.isOtherInstanceRunning());
}

void TestInstance::launcherAfterTheFirstEndedIsAlone()
{
    const QString key = UniqueKey("launch");
    {
        const Launcher first(key);
        QVERIFY(!first.isOtherInstanceRunning());
    }
    const Launcher next(key);
    QVERIFY(!next.isOtherInstanceRunning());
    QSharedMemory marker(key);
    QVERIFY2(marker.attach(), "the running instance holds the launch marker");
}

void TestInstance::staleLaunchMarkerDoesNotCount()
{
    // What a crashed instance leaves: the marker segment, with no live process behind it.
    const QString key = UniqueKey("launch");
    QSharedMemory leftOver(key);
    QVERIFY(leftOver.create(1));

    const Launcher launcher(key);
    QVERIFY(!launcher.isOtherInstanceRunning());
    const Launcher second(key);
    QVERIFY(second.isOtherInstanceRunning());
}

void TestInstance::launcherHoldsLockWhileAlive()
{
    const QString key = UniqueKey("launch");
    const QString lockPath = Launcher::LockFilePath(key);
    {
        const Launcher launcher(key);
        QVERIFY(QFileInfo::exists(lockPath));
    }
    QVERIFY(!QFileInfo::exists(lockPath));
}

namespace {

// A pid that belonged to a process which has ended.
qint64 DeadPid()
{
    QProcess process;
    process.start(QStringLiteral("true"));
    if (!process.waitForFinished(30000))
        return 0;
    return process.processId() ? process.processId() : 0;
}

QByteArray LockContent(qint64 pid, const QString& host)
{
    return QByteArray::number(pid) + '\n' + QCoreApplication::applicationName().toUtf8() + '\n' + host.toUtf8() + '\n';
}

} // namespace

void TestInstance::lockFileLeftBehind_data()
{
    // Whatever a run that is gone left in its lock file, the next start runs; only a lock that a
    // live process holds counts as a running instance.
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("unreadable");
    QTest::addColumn<bool>("heldByLiveProcess");
    QTest::addColumn<bool>("otherInstance");
    const QString host = QSysInfo::machineHostName();
    const qint64 ownPid = QCoreApplication::applicationPid();
    QTest::newRow("no file") << false << QByteArray() << false << false << false;
    QTest::newRow("empty (killed while starting)") << true << QByteArray() << false << false << false;
    QTest::newRow("garbage") << true << QByteArray("\x00\xff\x13garbage\n\n", 12) << false << false << false;
    QTest::newRow("foreign host") << true << LockContent(4242, QStringLiteral("elsewhere.example")) << false << false
                                  << false;
    QTest::newRow("dead pid") << true << LockContent(DeadPid(), host) << false << false << false;
    QTest::newRow("live pid, not held") << true << LockContent(ownPid, host) << false << false << false;
    QTest::newRow("unreadable (for any user but root)") << true << LockContent(ownPid, host) << true << false << false;
    QTest::newRow("held by a live process") << true << LockContent(ownPid, host) << false << true << true;
}

void TestInstance::lockFileLeftBehind()
{
    QFETCH(bool, fileExists);
    QFETCH(QByteArray, content);
    QFETCH(bool, unreadable);
    QFETCH(bool, heldByLiveProcess);
    QFETCH(bool, otherInstance);

    const QString key = UniqueKey("launch");
    const QString lockPath = Launcher::LockFilePath(key);
    int holder = -1;
    if (fileExists) {
        QFile file(lockPath);
        QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(lockPath));
        QCOMPARE(file.write(content), content.size());
        file.close();
        if (unreadable)
            QVERIFY(file.setPermissions(QFileDevice::Permissions()));
        if (heldByLiveProcess) {
            // What a running instance holds; a lock of another open file counts like another
            // process's.
            holder = ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_CLOEXEC);
            QVERIFY(holder >= 0);
            QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        }
    }

    {
        const Launcher launcher(key);
        QCOMPARE(launcher.isOtherInstanceRunning(), otherInstance);
        QCOMPARE(launcher.runningInstancePid(), otherInstance ? QCoreApplication::applicationPid() : 0);
        if (!otherInstance) {
            // This start is now the instance the next one finds.
            const Launcher next(key);
            QVERIFY(next.isOtherInstanceRunning());
            QCOMPARE(next.runningInstancePid(), QCoreApplication::applicationPid());
        }
    }
    if (holder >= 0)
        ::close(holder);
    QFile::setPermissions(lockPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile::remove(lockPath);
}

void TestInstance::keysArePerUser()
{
    // Shared memory keys become files in the one temporary folder that all users share: two
    // users' keys, and the names the system derives from them, must differ.
    QCOMPARE(Launcher::LaunchKey(), Launcher::LaunchKeyFor(::getuid()));
    QCOMPARE(AppExtensions::ExtensionsKey(), AppExtensions::ExtensionsKeyFor(::getuid()));
    for (const auto& keyOf : {&Launcher::LaunchKeyFor, &AppExtensions::ExtensionsKeyFor}) {
        const QString first = keyOf(1000);
        const QString second = keyOf(1001);
        QVERIFY(first != second);
        QVERIFY(QSharedMemory(first).nativeKey() != QSharedMemory(second).nativeKey());
        QVERIFY(Launcher::LockFilePath(first) != Launcher::LockFilePath(second));
    }
    QVERIFY(Launcher::LaunchKeyFor(1000) != AppExtensions::ExtensionsKeyFor(1000));
}

void TestInstance::createdChannelStartsWithNothingPending()
{
    const auto extensions = MakeExtensions(UniqueKey("ext"));
    QVERIFY(extensions->accessMemoryData());
    QCOMPARE(*extensions->accessMemoryData(), 0);
}

void TestInstance::startWaitsForAnEndingInstance_data()
{
    QTest::addColumn<int>("endsAfterMs");
    QTest::addColumn<bool>("started");
    QTest::newRow("ends while the start waits") << 300 << true;
    QTest::newRow("keeps running") << -1 << false;
}

// A start while the running instance is quitting waits for it to end and then is the running
// instance itself; one that keeps running is waited for only so long.
void TestInstance::startWaitsForAnEndingInstance()
{
    QFETCH(int, endsAfterMs);
    QFETCH(bool, started);
    const QString key = UniqueKey("launch");
    auto running = std::make_unique<Launcher>(key);
    Launcher start(key);
    QVERIFY(start.isOtherInstanceRunning());
    std::thread ending([&] {
        if (endsAfterMs < 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(endsAfterMs));
        running.reset();
    });
    const bool ended = start.waitForOtherInstanceToEnd(endsAfterMs < 0 ? 500 : 20000);
    ending.join();
    QCOMPARE(ended, started);
    QCOMPARE(start.isOtherInstanceRunning(), !started);
    // Whoever runs now is seen by the next start.
    const Launcher next(key);
    QVERIFY(next.isOtherInstanceRunning());
}

// An instance that is ending no longer listens: the request is not left behind for the next one.
void TestInstance::requestNobodyTakesIsWithdrawn()
{
    const QString key = UniqueKey("ext");
    const auto ending = MakeExtensions(key);
    const auto secondStart = MakeExtensions(key);
    QVERIFY(secondStart->showRunningApp());
    QVERIFY(!secondStart->waitForRequestTaken(300));
    QCOMPARE(*ending->accessMemoryData(), 0);
}

void TestInstance::requestReachesListeningInstance()
{
    const QString key = UniqueKey("ext");
    const auto running = MakeExtensions(key);
    QSignalSpy opened(running.get(), &AppExtensions::sigOpenWindow);
    running->listen(true);

    const auto secondStart = MakeExtensions(key);
    QVERIFY(secondStart->showRunningApp());

    QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 10000);
    QCOMPARE(*running->accessMemoryData(), 0);
}

void TestInstance::twoRequestsWithinOneTickGiveOneSignal()
{
    const QString key = UniqueKey("ext");
    const auto running = MakeExtensions(key);
    QSignalSpy opened(running.get(), &AppExtensions::sigOpenWindow);
    const auto secondStart = MakeExtensions(key);
    const auto thirdStart = MakeExtensions(key);

    QVERIFY(secondStart->showRunningApp());
    QVERIFY(thirdStart->showRunningApp());
    running->readMemory();
    QCOMPARE(opened.count(), 1);
    running->readMemory();
    QCOMPARE(opened.count(), 1);

    QVERIFY(secondStart->showRunningApp());
    running->readMemory();
    QCOMPARE(opened.count(), 2);
}

void TestInstance::listenStartsAndStopsChecking()
{
    const auto extensions = MakeExtensions(UniqueKey("ext"));
    QVERIFY(!extensions->isListening());
    extensions->listen(true);
    QVERIFY(extensions->isListening());
    extensions->listen(true);
    QVERIFY(extensions->isListening());
    extensions->listen(false);
    QVERIFY(!extensions->isListening());
    extensions->listen(false);
    QVERIFY(!extensions->isListening());
}

void TestInstance::channelOfWrongSizeIsNotUsed()
{
    // A segment under the key that cannot hold the flag: nothing is read or written through it.
    const QString key = UniqueKey("ext");
    QSharedMemory foreign(key);
    QVERIFY(foreign.create(1));
    static_cast<char*>(foreign.data())[0] = 1;

    const auto extensions = MakeExtensions(key);
    QSignalSpy opened(extensions.get(), &AppExtensions::sigOpenWindow);
    QVERIFY(!extensions->accessMemoryData());
    QVERIFY(!extensions->showRunningApp());
    extensions->listen(true);
    QVERIFY(!extensions->isListening());
    extensions->readMemory();
    QCOMPARE(opened.count(), 0);
    QCOMPARE(static_cast<char*>(foreign.data())[0], char(1));
}

void TestInstance::channelThatCannotBeMadeIsNotUsed()
{
    // Segment keys are files in the temporary folder; a "folder" that is a file takes none.
    QTemporaryFile notAFolder;
    QVERIFY(notAFolder.open());
    const bool tmpWasSet = qEnvironmentVariableIsSet("TMPDIR");
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(notAFolder.fileName()));
    const auto extensions = MakeExtensions(UniqueKey("ext"));
    const bool requested = extensions->showRunningApp();
    extensions->listen(true);
    const bool listening = extensions->isListening();
    extensions->readMemory();
    if (tmpWasSet)
        qputenv("TMPDIR", savedTmp);
    else
        qunsetenv("TMPDIR");

    QVERIFY(!extensions->accessMemoryData());
    QVERIFY(!requested);
    QVERIFY(!listening);
}

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
