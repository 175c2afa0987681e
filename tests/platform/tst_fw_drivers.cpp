#include "platform/KestrinDriversHelper.h"
#include "platform/KestrinDriversUninstaller.h"

#include "HidEmulator.h"
#include "core/GlobalLogger.h"
#include "support/TestAppData.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

#include <sys/types.h>
#include <unistd.h>

using Platform::IKestrinDriversUninstaller;
using Platform::KestrinDriversHelper;
using Platform::KestrinDriversUninstaller;
using Status = IKestrinDriversUninstaller::Status;

Q_DECLARE_METATYPE(IKestrinDriversUninstaller::Status)

namespace {

// Generous: the poll runs every 200 ms and CI may be slow.
constexpr int WaitMs = 20000;

QString LogText()
{
    // Debug lines are buffered; a warning flushes them.
    GlobalLogger::Instance()->message(QtWarningMsg, "-- log read by the test --");
    QDir logs(TestSupport::AppDataPath(QStringLiteral("Logs")));
    QString text;
    for (const QString& name : logs.entryList(QDir::Files, QDir::Name)) {
        QFile file(logs.absoluteFilePath(name));
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}

} // namespace

// Whether a headset or dongle of the family is attached, asked of the (emulated) USB bus, and the
// removal flow that starts a second run of the program and maps its answer.
class TestFwDrivers : public QObject {
    Q_OBJECT

    QTemporaryDir m_scripts;
    int m_processesMade = 0;

    // A stand-in for the program's executable: a shell script that checks it was asked for the
    // removal run, then does `body`.
    QString script(const QString& name, const QString& body)
    {
        const QString path = m_scripts.filePath(name);
        QFile file(path);
        [&] {
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("#!/bin/sh\n"
                       "[ \"$#\" -eq 1 ] && [ \"$1\" = \"--remove-kestrin-drivers\" ] || exit 99\n");
            file.write(body.toUtf8());
            file.write("\n");
            file.close();
            QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
        }();
        return path;
    }

    std::unique_ptr<KestrinDriversUninstaller> make(const QString& program,
                                                    int waitMs = KestrinDriversUninstaller::DefaultWaitMs)
    {
        KestrinDriversUninstaller::Options options;
        options.createProcess = [this] {
            ++m_processesMade;
            return Platform::CreateDriversRemovalProcess();
        };
        options.program = program;
        options.waitMs = waitMs;
        return std::make_unique<KestrinDriversUninstaller>(options);
    }

    // Starts a removal and waits for its end state; the statuses signalled on the way.
    QList<Status> run(KestrinDriversUninstaller& uninstaller)
    {
        QList<Status> seen;
        connect(&uninstaller, &IKestrinDriversUninstaller::sigStatusChanged, this,
                [&] { seen << uninstaller.getStatus(); });
        uninstaller.start();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(uninstaller.getStatus() != IKestrinDriversUninstaller::Running, WaitMs); }();
        disconnect(&uninstaller, nullptr, this, nullptr);
        return seen;
    }

private slots:
    void initTestCase()
    {
        TestSupport::UseTestAppData();
        // LogText reads the log files by name, which orders "-10" before "-2": start from none,
        // so that this run's lines are always the last ones read.
        QVERIFY(TestSupport::ClearAppData());
        QVERIFY(m_scripts.isValid());
    }
    void init()
    {
        HidEmu::Bus::instance().reset();
        m_processesMade = 0;
    }
    void cleanup() { HidEmu::Bus::instance().reset(); }

    void familyDevicesCount_data()
    {
        QTest::addColumn<int>("productId");
        QTest::addColumn<bool>("counts");
        QTest::newRow("kestrin ps headset") << 0x4B1A << true;
        QTest::newRow("kestrin xbox headset") << 0x4B1E << true;
        QTest::newRow("kestrin_2 xbox dongle") << 0x4B28 << true;
        QTest::newRow("kestrin_2_anc ps dongle") << 0x4BA9 << true;
        QTest::newRow("kestrin_2_anc xbox headset") << 0x4BAE << true;
        QTest::newRow("other product of the maker") << 0x4B1B << false;
        QTest::newRow("other product, anc range") << 0x4BAB << false;
    }
    void familyDevicesCount()
    {
        QFETCH(int, productId);
        QFETCH(bool, counts);
        QVERIFY(!KestrinDriversHelper::IsAnyKestrinConnected());
        auto device = HidEmu::Plug(uint16_t(productId));
        QCOMPARE(KestrinDriversHelper::IsAnyKestrinConnected(), counts);
        HidEmu::Bus::instance().unplug(device);
        QVERIFY(!KestrinDriversHelper::IsAnyKestrinConnected());
    }

    void removalIsNotAvailableHere()
    {
        // Nothing is removed, attached device or not, and the run never claims success.
        QCOMPARE(KestrinDriversHelper::UninstallKestrinDrivers(), int(KestrinDriversHelper::OtherFailure));
        auto device = HidEmu::Plug(0x4B2A);
        QCOMPARE(KestrinDriversHelper::UninstallKestrinDrivers(), int(KestrinDriversHelper::OtherFailure));
    }

    void attachedDeviceStopsTheRemovalBeforeItStarts()
    {
        auto device = HidEmu::Plug(0x4BA9);
        auto uninstaller = make(script(QStringLiteral("removed.sh"), QStringLiteral("exit 0")));
        QSignalSpy changed(uninstaller.get(), &IKestrinDriversUninstaller::sigStatusChanged);
        uninstaller->start();
        // At once, without a second run.
        QCOMPARE(uninstaller->getStatus(), IKestrinDriversUninstaller::DeviceConnected);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(m_processesMade, 0);
        QVERIFY(LogText().contains(QStringLiteral("WARN:   ")));
        QVERIFY(LogText().contains(QStringLiteral("Kestrin is still connected.")));

        // Unplugged, the same object runs the removal.
        HidEmu::Bus::instance().unplug(device);
        QCOMPARE(run(*uninstaller),
                 QList<Status>({IKestrinDriversUninstaller::Running, IKestrinDriversUninstaller::Done}));
        QCOMPARE(m_processesMade, 1);
    }

    void exitCodeOfTheRemovalRun_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<Status>("status");
        QTest::addColumn<QString>("logged");
        QTest::newRow("removed") << "exit 0" << IKestrinDriversUninstaller::Done << "Error code is 0.";
        QTest::newRow("device attached") << "exit 1" << IKestrinDriversUninstaller::DeviceConnected
                                         << "Error code is 1.";
        QTest::newRow("access denied") << "exit 2" << IKestrinDriversUninstaller::Failed << "Error code is 2.";
        QTest::newRow("other failure") << "exit 3" << IKestrinDriversUninstaller::Failed << "Error code is 3.";
        QTest::newRow("killed") << "kill -9 $$" << IKestrinDriversUninstaller::Failed << "Failed getting error code.";
    }
    void exitCodeOfTheRemovalRun()
    {
        QFETCH(QString, body);
        QFETCH(Status, status);
        QFETCH(QString, logged);
        auto uninstaller = make(script(QStringLiteral("%1.sh").arg(QTest::currentDataTag()).replace(' ', '_'), body));
        const QString before = LogText();
        QCOMPARE(run(*uninstaller), QList<Status>({IKestrinDriversUninstaller::Running, status}));
        QCOMPARE(m_processesMade, 1);
        const QString added = LogText().mid(before.size());
        QVERIFY(added.contains(QStringLiteral("Uninstalling Kestrin drivers...")));
        QVERIFY(added.contains(QStringLiteral("Starting uninstaller in admin mode...")));
        QVERIFY2(added.contains(logged), qPrintable(added));
    }

    void removalRunThatDoesNotStart()
    {
        auto uninstaller = make(m_scripts.filePath(QStringLiteral("missing")));
        const QString before = LogText();
        QCOMPARE(run(*uninstaller),
                 QList<Status>({IKestrinDriversUninstaller::Running, IKestrinDriversUninstaller::NoElevation}));
        QVERIFY(LogText().mid(before.size()).contains(QStringLiteral("Failed to run in admin mode.")));
    }

    void removalRunThatOutlivesTheWait()
    {
        const QString pidFile = m_scripts.filePath(QStringLiteral("sleeper.pid"));
        QFile::remove(pidFile);
        auto uninstaller = make(
            script(QStringLiteral("sleeper.sh"), QStringLiteral("echo $$ > '%1'\nexec sleep 60").arg(pidFile)), 500);
        const QString before = LogText();
        QCOMPARE(run(*uninstaller),
                 QList<Status>({IKestrinDriversUninstaller::Running, IKestrinDriversUninstaller::Failed}));
        QVERIFY(LogText().mid(before.size()).contains(QStringLiteral("Failed waiting the uninstaller process.")));

        // The run is not left behind once the worker has ended.
        uninstaller.reset();
        QFile file(pidFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const pid_t pid = pid_t(file.readAll().trimmed().toInt());
        QVERIFY(pid > 0);
        QVERIFY(::kill(pid, 0) != 0);
    }

    void startWhileRunningIsIgnored()
    {
        auto uninstaller = make(script(QStringLiteral("slow.sh"), QStringLiteral("sleep 1\nexit 0")));
        QSignalSpy changed(uninstaller.get(), &IKestrinDriversUninstaller::sigStatusChanged);
        uninstaller->start();
        QCOMPARE(uninstaller->getStatus(), IKestrinDriversUninstaller::Running);
        uninstaller->start();
        QCOMPARE(changed.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(uninstaller->getStatus(), IKestrinDriversUninstaller::Done, WaitMs);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(m_processesMade, 1);

        // After an end state a new run starts.
        QCOMPARE(run(*uninstaller),
                 QList<Status>({IKestrinDriversUninstaller::Running, IKestrinDriversUninstaller::Done}));
        QCOMPARE(m_processesMade, 2);
    }

    void programsOwnRemovalRunEndsAsFailed()
    {
        // The program itself, started as the removal run, has nothing to remove here and says so.
        auto uninstaller = make(QStringLiteral(VELMOR_BIN));
        const QString before = LogText();
        QCOMPARE(run(*uninstaller),
                 QList<Status>({IKestrinDriversUninstaller::Running, IKestrinDriversUninstaller::Failed}));
        QVERIFY(LogText().mid(before.size()).contains(QStringLiteral("Error code is 3.")));
        QVERIFY(!IKestrinDriversUninstaller::IsSupported());
    }

    void platformUninstallerStartsIdle()
    {
        const auto uninstaller = Platform::CreateKestrinDriversUninstaller();
        QCOMPARE(uninstaller->getStatus(), IKestrinDriversUninstaller::Idle);
        // Its pre-check is the family scan.
        auto device = HidEmu::Plug(0x4B2E);
        uninstaller->start();
        QCOMPARE(uninstaller->getStatus(), IKestrinDriversUninstaller::DeviceConnected);
    }
};

QTEST_GUILESS_MAIN(TestFwDrivers)
#include "tst_fw_drivers.moc"
