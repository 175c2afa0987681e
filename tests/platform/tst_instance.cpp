// The single-instance check and the show-window hand-over, within one process: each test uses
// keys of its own, so nothing here meets a real instance of the application.

#include "platform/DesktopAppExtensions.h"
#include "platform/Launcher.h"

#include <QFile>
#include <QFileInfo>
#include <QSharedMemory>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <QUuid>

#include <memory>

using namespace Platform;

namespace {

class QuietServices : public ISystemServices {
public:
    std::optional<bool> readAnimationsEnabled() override { return true; }
    void keepSystemAwake(bool) override {}
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

void TestInstance::createdChannelStartsWithNothingPending()
{
    const auto extensions = MakeExtensions(UniqueKey("ext"));
    QVERIFY(extensions->accessMemoryData());
    QCOMPARE(*extensions->accessMemoryData(), 0);
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
