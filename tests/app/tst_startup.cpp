// Start-up as a user meets it: the built program started as a process, alone or beside another
// start of itself. Each test gives its processes a private home, runtime folder and temporary
// folder, so they meet each other and never an instance the user runs.

#include "FakeDesktopServices.h"
#include "PrivateBus.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <functional>
#include <memory>

#include <grp.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int ProcessTimeoutMs = 60000;
const QString DriverRemovalOption = QStringLiteral("--remove-kestrin-drivers");

// A private set of the folders the program uses. Processes started in one sandbox see each other.
class Sandbox {
public:
    Sandbox()
    {
        QDir root(m_root.path());
        for (const char* folder : {"tmp", "runtime", "data", "config", "cache"})
            root.mkpath(QLatin1String(folder));
        QFile::setPermissions(runtimeFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    ~Sandbox()
    {
        // A process killed on purpose leaves its System V objects behind in the kernel.
        RemoveIpcObjects(tempFolder());
    }

    QString tempFolder() const { return m_root.filePath(QStringLiteral("tmp")); }
    QString runtimeFolder() const { return m_root.filePath(QStringLiteral("runtime")); }
    QString logFolder() const { return m_root.filePath(QStringLiteral("data/Velmor/Velmor/Logs")); }
    // The lock file a running instance of this user holds.
    QString launchLockPath() const
    {
        return QDir(runtimeFolder())
            .filePath(
                QStringLiteral("VELMOR_QORN_LAUNCH_MEM_8100bc42-a4ab-4d2c-b373-725b56e5adb3_%1.lock").arg(::getuid()));
    }

    QStringList logFiles() const { return QDir(logFolder()).entryList(QDir::Files, QDir::Name); }
    QByteArray readLog(const QString& name) const
    {
        QFile file(QDir(logFolder()).filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The files Qt names the shared memory segments and their locks after.
    QStringList ipcKeyFiles() const { return QDir(tempFolder()).entryList({QStringLiteral("qipc_*")}, QDir::Files); }
    QStringList lockFiles() const { return QDir(runtimeFolder()).entryList({QStringLiteral("*.lock")}, QDir::Files); }

    // Whether a segment still exists in the kernel for every segment key file.
    bool segmentsExist() const
    {
        const QStringList files = QDir(tempFolder()).entryList({QStringLiteral("qipc_sharedmemory_*")}, QDir::Files);
        if (files.isEmpty())
            return false;
        for (const QString& name : files) {
            if (::shmget(KeyOf(QDir(tempFolder()).filePath(name)), 0, 0) == -1)
                return false;
        }
        return true;
    }

    // The session bus the processes find; none by default.
    void setSessionBus(const QString& address) { m_sessionBus = address; }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   m_sessionBus.isEmpty() ? TestSupport::PrivateBus::NoBusAddress() : m_sessionBus);
        env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), TestSupport::PrivateBus::NoBusAddress());
        env.insert(QStringLiteral("HOME"), m_root.path());
        env.insert(QStringLiteral("TMPDIR"), tempFolder());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_root.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_root.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), m_root.filePath(QStringLiteral("cache")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    static key_t KeyOf(const QString& path) { return ::ftok(QFile::encodeName(path).constData(), 'Q'); }

    // Removes the System V objects whose key files lie in `folder`.
    static void RemoveIpcObjects(const QString& folder)
    {
        const QStringList files = QDir(folder).entryList({QStringLiteral("qipc_*")}, QDir::Files);
        for (const QString& name : files) {
            const key_t key = KeyOf(QDir(folder).filePath(name));
            if (key == -1)
                continue;
            if (const int segment = ::shmget(key, 0, 0); segment != -1)
                ::shmctl(segment, IPC_RMID, nullptr);
            if (const int semaphore = ::semget(key, 0, 0); semaphore != -1)
                ::semctl(semaphore, 0, IPC_RMID);
        }
    }

private:
    QTemporaryDir m_root;
    QString m_sessionBus;
};

// One started program with its merged output collected as it comes.
class Run {
public:
    Run(const Sandbox& sandbox, const QString& program, const QStringList& arguments = {})
        : Run(sandbox.environment(), program, arguments)
    {
    }

    // `inChild` runs in the child before the program (to change its user, for example).
    Run(const QProcessEnvironment& environment, const QString& program, const QStringList& arguments = {},
        const std::function<void()>& inChild = {})
    {
        m_process.setProcessEnvironment(environment);
        if (inChild)
            m_process.setChildProcessModifier(inChild);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&m_process, &QProcess::readyRead, [this] { m_output += m_process.readAll(); });
        m_process.start(program, arguments);
    }

    ~Run()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(ProcessTimeoutMs);
        }
    }

    QProcess& process() { return m_process; }
    bool running() const { return m_process.state() == QProcess::Running; }
    QByteArray output()
    {
        m_output += m_process.readAll();
        return m_output;
    }

    // Waits for the end; the exit code, or -1000 when it did not end normally.
    int finish()
    {
        if (!m_process.waitForFinished(ProcessTimeoutMs))
            return -1000;
        output();
        if (m_process.exitStatus() != QProcess::NormalExit)
            return -1000;
        return m_process.exitCode();
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

const QString Velmor = QStringLiteral(VELMOR_BIN);
const QString Probe = QStringLiteral(VELMOR_PROBE_BIN);
const QString BrokenMain = QStringLiteral(VELMOR_BROKEN_MAIN_BIN);

// The probe's window prints this once loaded.
const QByteArray ProbeLoaded = "probe loaded";
const QByteArray ProbeShowRequest = "probe got the show-window request";
constexpr int ProbeQuitWhenLoaded = 42;
constexpr int ProbeShowRequested = 43;

} // namespace

#define VERIFY_EXIT(run, code)                                                                                         \
    do {                                                                                                               \
        const int exitCode_ = (run).finish();                                                                          \
        QVERIFY2(exitCode_ == (code), qPrintable(QStringLiteral("exit code %1, expected %2; output:\n%3")              \
                                                     .arg(exitCode_)                                                   \
                                                     .arg(code)                                                        \
                                                     .arg(QString::fromLocal8Bit((run).output()))));                   \
    } while (false)

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void driverRemovalRun_data();
    void driverRemovalRun();
    void driverRemovalWhileAnInstanceRuns();
    void optionMustMatchExactly_data();
    void optionMustMatchExactly();
    void namesAndVersionReachTheWindow();
    void desktopWithoutAnimations();
    void secondStartHandsOverToTheFirst();
    void secondStartOfTheApplication();
    void secondStartThatCannotHandOverGivesUp();
    void secondUserHasAnInstanceOfTheirOwn();
    void lockLeftByAKillDoesNotBlock_data();
    void lockLeftByAKillDoesNotBlock();
    void brokenMainEndsWithMinusOne();
    void startAfterACrashedInstance();
};

void TestStartup::driverRemovalRun_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("alone") << QStringList{DriverRemovalOption};
    QTest::newRow("after other arguments")
        << QStringList{QStringLiteral("--verbose"), QStringLiteral("x"), DriverRemovalOption};
    QTest::newRow("before other arguments") << QStringList{DriverRemovalOption, QStringLiteral("--verbose")};
    QTest::newRow("twice") << QStringList{DriverRemovalOption, DriverRemovalOption};
}

void TestStartup::driverRemovalRun()
{
    QFETCH(QStringList, arguments);
    Sandbox sandbox;
    Run run(sandbox, Velmor, arguments);
    // The removal is not available on this system: "any other failure".
    VERIFY_EXIT(run, 3);
    // Its result, in one line on the terminal.
    QCOMPARE(run.output().count("Driver removal"), 1);
    QVERIFY2(run.output().contains("Driver removal did not complete; the log says why. (exit code 3)\n"),
             run.output().constData());

    // No single-instance check and no window: no marker, no lock, no channel.
    QVERIFY(sandbox.lockFiles().isEmpty());
    QVERIFY(sandbox.ipcKeyFiles().isEmpty());
    // Its log lands in the product's folder, which needs the names set first.
    const QStringList logs = sandbox.logFiles();
    QCOMPARE(logs.size(), 1);
    QVERIFY(sandbox.readLog(logs.first()).contains("Driver removal is not available"));
}

void TestStartup::driverRemovalWhileAnInstanceRuns()
{
    Sandbox sandbox;
    Run first(sandbox, Probe);
    QTRY_VERIFY_WITH_TIMEOUT(first.output().contains(ProbeLoaded), ProcessTimeoutMs);

    Run removal(sandbox, Velmor, {DriverRemovalOption});
    VERIFY_EXIT(removal, 3);

    // The running instance got no show-window request from it: a real hand-over still comes
    // through as the first one.
    QVERIFY(first.running());
    Run second(sandbox, Velmor);
    VERIFY_EXIT(second, 0);
    VERIFY_EXIT(first, ProbeShowRequested);
    QCOMPARE(first.output().count(ProbeShowRequest), 1);
}

void TestStartup::optionMustMatchExactly_data()
{
    QTest::addColumn<QString>("argument");
    QTest::newRow("upper case") << QStringLiteral("--REMOVE-KESTRIN-DRIVERS");
    QTest::newRow("mixed case") << QStringLiteral("--Remove-Kestrin-Drivers");
    QTest::newRow("suffix") << QStringLiteral("--remove-kestrin-drivers2");
    QTest::newRow("value") << QStringLiteral("--remove-kestrin-drivers=1");
    QTest::newRow("single dash") << QStringLiteral("-remove-kestrin-drivers");
    QTest::newRow("leading blank") << QStringLiteral(" --remove-kestrin-drivers");
}

void TestStartup::optionMustMatchExactly()
{
    QFETCH(QString, argument);
    Sandbox sandbox;
    Run run(sandbox, Probe, {argument, QStringLiteral("--quit-when-loaded")});
    // A normal start: the window loaded.
    VERIFY_EXIT(run, ProbeQuitWhenLoaded);
    QVERIFY(run.output().contains(ProbeLoaded));
}

void TestStartup::namesAndVersionReachTheWindow()
{
    Sandbox sandbox;
    Run run(sandbox, Probe, {QStringLiteral("--quit-when-loaded")});
    VERIFY_EXIT(run, ProbeQuitWhenLoaded);
    const QByteArray output = run.output();
    QVERIFY2(output.contains("identity=Velmor|" VELMOR_VERSION "|Velmor;"), output.constData());
    QVERIFY2(output.contains("animations=true;"), output.constData());
    QVERIFY2(output.contains("uiModel=null"), output.constData());

    // The run's log: the product's folder, the day's first name, the banner first.
    const QStringList logs = sandbox.logFiles();
    QCOMPARE(logs.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}\\.\\d{2}\\.\\d{2}-1\\.log$")).match(logs.first()).hasMatch(),
             qPrintable(logs.first()));
    const QByteArray log = sandbox.readLog(logs.first());
    QVERIFY2(log.startsWith("OS: "), log.constData());
    QVERIFY2(log.contains("\nVelmor version: " VELMOR_VERSION " ("), log.constData());
    // No desktop to ask: animations stay on, and the log says why.
    QVERIFY2(log.contains("No session bus, so the desktop's animation setting cannot be read; animations stay on."),
             log.constData());
}

void TestStartup::desktopWithoutAnimations()
{
    // The desktop's own setting, read through the portal, reaches the window.
    TestSupport::PrivateBus bus;
    QVERIFY2(!bus.address().isEmpty(), qPrintable(bus.errorString()));
    TestSupport::FakeDesktopServices desktop(bus.address(), TestSupport::FakeDesktopServices::Portal);
    QVERIFY(desktop.isReady());
    desktop.portal().setValue(QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("enable-animations"), false,
                              true);
    Sandbox sandbox;
    sandbox.setSessionBus(bus.address());

    Run run(sandbox, Probe, {QStringLiteral("--quit-when-loaded")});
    VERIFY_EXIT(run, ProbeQuitWhenLoaded);
    QVERIFY2(run.output().contains("animations=false;"), run.output().constData());
    // Read once (the platform's own theme may ask for other settings).
    QCOMPARE(desktop.portal().reads().count(
                 {QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("enable-animations")}),
             1);
}

void TestStartup::secondStartHandsOverToTheFirst()
{
    Sandbox sandbox;
    Run first(sandbox, Probe);
    QTRY_VERIFY_WITH_TIMEOUT(first.output().contains(ProbeLoaded), ProcessTimeoutMs);
    const qint64 firstPid = first.process().processId();

    Run second(sandbox, Velmor);
    VERIFY_EXIT(second, 0);
    QVERIFY(!second.output().contains("qml"));
    // The first instance sees the request and ends on it (the probe's window does).
    VERIFY_EXIT(first, ProbeShowRequested);
    QCOMPARE(first.output().count(ProbeShowRequest), 1);
    // The second start built nothing, and its log says where it went.
    const QStringList logs = sandbox.logFiles();
    QCOMPARE(logs.size(), 2);
    const QByteArray handOver = sandbox.readLog(logs.last());
    QVERIFY2(handOver.contains(QByteArray("Another instance runs (pid ") + QByteArray::number(firstPid) +
                               "); asked it to show its window."),
             handOver.constData());
    QVERIFY2(sandbox.readLog(logs.first()).contains("Another start asked to show the window."),
             sandbox.readLog(logs.first()).constData());
}

void TestStartup::secondStartThatCannotHandOverGivesUp()
{
    // The running instance is there, but this start cannot reach the show-window channel (its
    // temporary folder is a file): it ends without a second window and its log says why.
    Sandbox sandbox;
    Run first(sandbox, Probe);
    QTRY_VERIFY_WITH_TIMEOUT(first.output().contains(ProbeLoaded), ProcessTimeoutMs);

    QTemporaryFile notAFolder;
    QVERIFY(notAFolder.open());
    QProcessEnvironment environment = sandbox.environment();
    environment.insert(QStringLiteral("TMPDIR"), notAFolder.fileName());
    Run second(environment, Velmor);
    VERIFY_EXIT(second, 0);
    QVERIFY(first.running());

    const QStringList logs = sandbox.logFiles();
    QCOMPARE(logs.size(), 2);
    const QByteArray log = sandbox.readLog(logs.last());
    QVERIFY2(log.contains("Cannot open the show-window channel"), log.constData());
    QVERIFY2(log.contains("Cannot ask the running instance to show its window"), log.constData());
    QVERIFY2(log.contains("cannot be asked to show its window; this start gives up."), log.constData());
}

void TestStartup::secondUserHasAnInstanceOfTheirOwn()
{
    // Two users on one machine share the temporary folder, where the show-window channel and the
    // launch marker get their key files. The second user's instance must still get a channel of
    // its own, and a second start of that user must reach it.
    if (::getuid() != 0)
        QSKIP("starting a process as another user needs root");
    constexpr uid_t OtherUser = 65534; // nobody
    constexpr gid_t OtherGroup = 65534;

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QDir folder(root.path());
    QVERIFY(QFile::setPermissions(root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                   QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                                   QFile::ExeGroup));
    // A shared temporary folder like /tmp (sticky, writable by all).
    QVERIFY(folder.mkdir(QStringLiteral("tmp")));
    const QByteArray sharedTmp = QFile::encodeName(folder.filePath(QStringLiteral("tmp")));
    QCOMPARE(::chmod(sharedTmp.constData(), 01777), 0);
    // Ends after every process below: whatever they left in the kernel goes, even after a failure.
    const struct SharedIpcCleanup {
        QString folder;
        ~SharedIpcCleanup() { Sandbox::RemoveIpcObjects(folder); }
    } sharedIpcCleanup{QString::fromLocal8Bit(sharedTmp)};

    // The first user: the test's own sandbox, with the shared temporary folder.
    Sandbox firstUser;
    QProcessEnvironment firstEnvironment = firstUser.environment();
    firstEnvironment.insert(QStringLiteral("TMPDIR"), QString::fromLocal8Bit(sharedTmp));
    Run first(firstEnvironment, Probe);
    QTRY_VERIFY_WITH_TIMEOUT(first.output().contains(ProbeLoaded), ProcessTimeoutMs);

    // The second user: a home of their own.
    const QString home = folder.filePath(QStringLiteral("other"));
    for (const char* sub : {"", "/runtime", "/data", "/config", "/cache"})
        QVERIFY(QDir().mkpath(home + QLatin1String(sub)));
    for (const char* sub : {"", "/runtime", "/data", "/config", "/cache"}) {
        const QByteArray path = QFile::encodeName(home + QLatin1String(sub));
        QCOMPARE(::chown(path.constData(), OtherUser, OtherGroup), 0);
        QCOMPARE(::chmod(path.constData(), 0700), 0);
    }
    QProcessEnvironment otherEnvironment = firstEnvironment;
    otherEnvironment.insert(QStringLiteral("HOME"), home);
    otherEnvironment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
    otherEnvironment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    otherEnvironment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    otherEnvironment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    const auto asOtherUser = [] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(OtherGroup) != 0 || ::setuid(OtherUser) != 0)
            ::_exit(99);
    };

    Run other(otherEnvironment, Probe, {}, asOtherUser);
    QTRY_VERIFY_WITH_TIMEOUT(other.output().contains(ProbeLoaded), ProcessTimeoutMs);

    Run otherSecond(otherEnvironment, Velmor, {}, asOtherUser);
    VERIFY_EXIT(otherSecond, 0);
    // The second user's own instance got the request; the first user's did not.
    VERIFY_EXIT(other, ProbeShowRequested);
    QVERIFY(first.running());
    // Ended cleanly, so nothing stays behind in the kernel from the shared folder.
    first.process().terminate();
    VERIFY_EXIT(first, 0);

    const QDir otherLogs(home + QStringLiteral("/data/Velmor/Velmor/Logs"));
    QByteArray logs;
    for (const QString& name : otherLogs.entryList(QDir::Files)) {
        QFile file(otherLogs.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        logs += file.readAll();
    }
    QVERIFY2(!logs.contains("Cannot open the show-window channel"), logs.constData());
    QVERIFY2(logs.contains("asked it to show its window"), logs.constData());
}

void TestStartup::lockLeftByAKillDoesNotBlock_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("garbage") << QByteArray("\x01\x02 not a lock\n");
    QTest::newRow("foreign host") << QByteArray("4242\nVelmor\nelsewhere.example\n");
}

void TestStartup::lockLeftByAKillDoesNotBlock()
{
    // A kill right after the lock file was made leaves it empty or half written; the next start
    // must run, not hand over to nobody and exit.
    QFETCH(QByteArray, content);
    Sandbox sandbox;
    QFile lock(sandbox.launchLockPath());
    QVERIFY(lock.open(QIODevice::WriteOnly));
    QCOMPARE(lock.write(content), content.size());
    lock.close();

    Run run(sandbox, Probe, {QStringLiteral("--quit-when-loaded")});
    VERIFY_EXIT(run, ProbeQuitWhenLoaded);
    const QStringList logs = sandbox.logFiles();
    QCOMPARE(logs.size(), 1);
    if (!content.isEmpty()) {
        QVERIFY2(sandbox.readLog(logs.first()).contains("The instance lock of an earlier run was left behind"),
                 sandbox.readLog(logs.first()).constData());
    }
}

void TestStartup::secondStartOfTheApplication()
{
    Sandbox sandbox;
    Run first(sandbox, Velmor);
    // The run's log appears once the application object exists, after the single-instance check.
    QTRY_VERIFY_WITH_TIMEOUT(!sandbox.logFiles().isEmpty(), ProcessTimeoutMs);

    for (int start = 0; start < 2; ++start) {
        Run second(sandbox, Velmor);
        VERIFY_EXIT(second, 0);
    }
    QVERIFY(first.running());
    // The first run's log and one of each hand-over.
    QCOMPARE(sandbox.logFiles().size(), 3);
    // The first has served a hand-over, so its event loop runs and it answers a stop request (the
    // offscreen platform says it cannot raise the window it shows). Stopped earlier, while it
    // still builds its window, it would end without cleaning up.
    QTRY_VERIFY_WITH_TIMEOUT(first.output().contains("does not support raise()"), ProcessTimeoutMs);

    // Asked to stop, the first ends as after a quit and leaves nothing behind.
    first.process().terminate();
    VERIFY_EXIT(first, 0);
    QVERIFY2(sandbox.ipcKeyFiles().isEmpty(), qPrintable(sandbox.ipcKeyFiles().join(u' ')));
    QVERIFY(sandbox.lockFiles().isEmpty());
    QVERIFY(sandbox.readLog(sandbox.logFiles().first()).contains("received; quitting."));
    // Two requests within one check count once.
    QVERIFY(sandbox.readLog(sandbox.logFiles().first()).contains("Another start asked to show the window."));
}

void TestStartup::brokenMainEndsWithMinusOne()
{
    Sandbox sandbox;
    Run run(sandbox, BrokenMain);
    VERIFY_EXIT(run, 255);
    QVERIFY2(run.output().contains("Main.qml"), run.output().constData());

    // It released the instance lock: the next start is a first start again.
    Run next(sandbox, Probe, {QStringLiteral("--quit-when-loaded")});
    VERIFY_EXIT(next, ProbeQuitWhenLoaded);
}

void TestStartup::startAfterACrashedInstance()
{
    Sandbox sandbox;
    {
        Run crashed(sandbox, Probe);
        QTRY_VERIFY_WITH_TIMEOUT(crashed.output().contains(ProbeLoaded), ProcessTimeoutMs);
        crashed.process().kill();
        QVERIFY(crashed.process().waitForFinished(ProcessTimeoutMs));
    }
    // What a crash leaves: the segments in the kernel and the lock file of a dead process.
    QVERIFY(sandbox.segmentsExist());
    QCOMPARE(sandbox.lockFiles().size(), 1);

    // The next start runs normally instead of handing over to nobody...
    Run next(sandbox, Probe);
    QTRY_VERIFY_WITH_TIMEOUT(next.output().contains(ProbeLoaded), ProcessTimeoutMs);
    // ...and is the instance that later starts hand over to.
    Run second(sandbox, Velmor);
    VERIFY_EXIT(second, 0);
    VERIFY_EXIT(next, ProbeShowRequested);

    // A clean end removes the segments and the lock the crash had left.
    QVERIFY(!sandbox.segmentsExist());
    QVERIFY(sandbox.lockFiles().isEmpty());
    // The crashed run's log, the next run's, the hand-over's.
    const QStringList logs = sandbox.logFiles();
    QCOMPARE(logs.size(), 3);
    QVERIFY(sandbox.readLog(logs[1]).contains("left behind; starting normally"));
    QVERIFY(sandbox.readLog(logs[1]).contains("its holder is gone, starting normally"));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
