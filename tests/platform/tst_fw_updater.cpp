#include "core/GlobalLogger.h"
#include "platform/IKestrinDfuLibrary.h"
#include "platform/IKestrinDriversUninstaller.h"
#include "platform/KestrinDriversHelper.h"
#include "platform/KestrinFwUpdater.h"
#include "support/DriverRemovalRun.h"
#include "support/TestAppData.h"
#include "support/devices/TestKestrinDevice.h"
#include "support/fw/FwTestDoubles.h"
#include "support/fw/ScriptedDfuLibrary.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Platform::DesktopKestrinFwUpdater;
using Platform::IKestrinDfuLibrary;
using Platform::IKestrinFwUpdater;
using Platform::KestrinFwUpdater;
using Status = IKestrinFwUpdater::Status;
using TestSupport::DfuEvent;
using TestSupport::RecordingHwBus;
using TestSupport::ScriptedDfuLibrary;
using TestSupport::TestKestrinDevice;

Q_DECLARE_METATYPE(QList<DfuEvent>)

namespace {

constexpr int WaitMs = 15000;

// Short waits, so that an update runs in a fraction of a second; the watchdog stays far above
// any pause a loaded machine makes unless a test is about it.
KestrinFwUpdater::Timings FastTimings(int watchdogMs = 10000)
{
    KestrinFwUpdater::Timings t;
    t.pollMs = 20;
    t.setupDelayMs = 20;
    t.transferDelayMs = 20;
    t.factoryResetSettleMs = 60;
    t.ancReadyWaitMs = 300;
    t.watchdogMs = watchdogMs;
    return t;
}

DfuEvent Progress(const char* percent)
{
    return {IKestrinDfuLibrary::ResultInfo, IKestrinDfuLibrary::MsgIdProgress, percent};
}
const DfuEvent ReadyToApply{IKestrinDfuLibrary::ResultReadyToApply, 0, {}};
// Late enough that the poll sees Applying first.
const DfuEvent Done{IKestrinDfuLibrary::ResultDone, 0, {}, 150};

// This run's log file: the newest one (the private data folder keeps the files of earlier runs).
QString LogText()
{
    GlobalLogger::Instance()->message(QtWarningMsg, "-- test marker --"); // flushes what came before
    const QDir logs(TestSupport::AppDataPath(QStringLiteral("Logs")));
    const QStringList files = logs.entryList(QDir::Files, QDir::Time);
    QFile file(files.isEmpty() ? QString() : logs.absoluteFilePath(files.first()));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

std::shared_ptr<TestKestrinDevice> Device(DeviceType type, bool dongle = false, bool fwOnly = false, int battery = 80)
{
    TestKestrinDevice::Options options;
    options.type = type;
    options.dongle = dongle;
    options.fwOnly = fwOnly;
    options.hwType = dongle ? KestrinHwType::ps_dongle : KestrinHwType::ps_headset;
    TestKestrinDevice::State state;
    state.batteryLevel = uint8_t(battery);
    return std::make_shared<TestKestrinDevice>(options, state);
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// What the GUI side of an updater showed, signal by signal, and on which thread.
struct Seen {
    QList<Status> statuses;
    QList<float> progress;
    bool offGuiThread = false;
};

std::shared_ptr<Seen> Watch(IKestrinFwUpdater& updater)
{
    auto seen = std::make_shared<Seen>();
    QObject::connect(&updater, &IKestrinFwUpdater::sigStatusChanged, &updater, [seen, &updater] {
        seen->statuses << updater.getStatus(nullptr);
        seen->offGuiThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
    });
    QObject::connect(&updater, &IKestrinFwUpdater::sigProgressChanged, &updater, [seen, &updater] {
        IKestrinFwUpdater::StatusParams params;
        updater.getStatus(&params);
        seen->progress << params.progress;
        seen->offGuiThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
    });
    return seen;
}

} // namespace

class TestFwUpdater : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_common;
    QString m_image;
    RecordingHwBus m_bus;
    std::unique_ptr<ScriptedDfuLibrary> m_library;

    std::unique_ptr<DesktopKestrinFwUpdater> make(const KestrinFwUpdater::Timings& timings = FastTimings(),
                                                  const QString& image = QString())
    {
        return std::make_unique<DesktopKestrinFwUpdater>(image.isEmpty() ? m_image : image, m_bus, m_library->library(),
                                                         m_common->path(), timings);
    }

    QStringList setupCalls(int recipient, const QString& path) const
    {
        return {QStringLiteral("initialize 0x1234:0x5678"),
                QStringLiteral("setTargetDevice %1").arg(recipient),
                QStringLiteral("registerUpdateResultCallback"),
                QStringLiteral("requestDfuInfo"),
                QStringLiteral("setDfuMode 0"),
                QStringLiteral("setBatteryLevel 20"),
                QStringLiteral("setDfuAgentFilepath ") + path,
                QStringLiteral("setPingTimerFlag 0"),
                QStringLiteral("startDataTransfer")};
    }

private slots:
    void initTestCase()
    {
        TestSupport::UseTestAppData();
        qRegisterMetaType<QList<DfuEvent>>();
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_common = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid() && m_common->isValid());
        m_image = m_dir->filePath(QStringLiteral("ps_headset.bin"));
        WriteFile(m_image, "image bytes");
        m_bus.calls.clear();
        m_bus.holdStops = false;
        m_bus.heldStops.clear();
        m_library = std::make_unique<ScriptedDfuLibrary>();
    }

    // A probe that holds the bus when the update starts closes the device only when it ends; the
    // library must not open the device before then.
    void libraryWaitsUntilTheBusHasClosedTheDevice()
    {
        m_library->setTransferScript({ReadyToApply});
        m_library->setApplyScript({Done});
        auto device = Device(DeviceType::kestrin_2);
        auto updater = make();
        m_bus.holdStops = true;

        QVERIFY(updater->start(device, false));
        QCOMPARE(updater->getStatus(nullptr), Status::Transferring);
        QVERIFY(!QTest::qWaitFor([&] { return !m_library->calls().isEmpty(); }, 300));

        m_bus.releaseStops();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getStatus(nullptr), Status::Succeeded, WaitMs);
        QCOMPARE(m_library->calls().first(), QStringLiteral("initialize 0x1234:0x5678"));
        QCOMPARE(m_bus.calls, QStringList({"stopBus close", "runBus"}));
    }

    void headsetUpdateSucceeds()
    {
        DfuEvent later = Progress("100");
        later.delayMs = 150; // the poll copies only the latest value; give it time to see 50 %
        m_library->setTransferScript({Progress("50"), later, ReadyToApply});
        m_library->setApplyScript({Done});
        auto device = Device(DeviceType::kestrin_2);
        auto updater = make();
        QCOMPARE(updater->getStatus(nullptr), Status::Idle);
        const auto seen = Watch(*updater);

        QVERIFY(updater->start(device, false));
        QCOMPARE(updater->getStatus(nullptr), Status::Transferring); // at once, with its signal
        QCOMPARE(seen->statuses, QList<Status>{Status::Transferring});
        QCOMPARE(m_bus.calls, QStringList{"stopBus close"});
        QCOMPARE(device->calls(), QStringList({"readBatteryLevel", "setGyroSensorEnabled false 1"}));

        QTRY_COMPARE_WITH_TIMEOUT(updater->getStatus(nullptr), Status::Succeeded, WaitMs);
        QCOMPARE(seen->statuses, QList<Status>({Status::Transferring, Status::Applying, Status::Succeeded}));
        QCOMPARE(m_library->calls(), setupCalls(0, m_image) + QStringList({"applyNewFirmware 20", "close"}));
        QCOMPARE(m_library->imageSeen(), QByteArray("image bytes"));
        QCOMPARE(m_bus.calls, QStringList({"stopBus close", "runBus"}));
        QVERIFY(!m_library->isOpen());
        QVERIFY(m_library->callbacksOnLibraryThread());
        QVERIFY(!seen->offGuiThread);

        // 0.6 % for the set-up, the transfer on 1..95 %, 100 % at the end; never backwards.
        QCOMPARE(seen->progress.first(), 0.006f);
        QVERIFY(seen->progress.contains(0.48f));
        QCOMPARE(seen->progress.last(), 1.0f);
        for (int i = 1; i < seen->progress.size(); ++i)
            QVERIFY(seen->progress[i] >= seen->progress[i - 1]);
        IKestrinFwUpdater::StatusParams params;
        updater->getStatus(&params);
        QCOMPARE(params.progress, 1.0f);
        QVERIFY(LogText().contains("Updating kestrin_2 FW succeeded."));
    }

    void transferProgress_data()
    {
        QTest::addColumn<int>("percent");
        QTest::addColumn<float>("progress");
        QTest::newRow("half") << 50 << 0.48f;
        QTest::newRow("zero") << 0 << 0.01f;
        QTest::newRow("all") << 100 << 0.95f;
        QTest::newRow("above") << 150 << 0.95f;
        QTest::newRow("below") << -5 << 0.01f;
    }
    void transferProgress()
    {
        QFETCH(int, percent);
        QFETCH(float, progress);
        QCOMPARE(KestrinFwUpdater::GenerateProgress(percent), progress);
    }

    void unreadableProgressChangesNothing()
    {
        DfuEvent unreadable = Progress("abc");
        unreadable.delayMs = 150;
        m_library->setTransferScript({Progress("50"), unreadable, Progress(""), ReadyToApply});
        m_library->setApplyScript({Done});
        auto updater = make();
        const auto seen = Watch(*updater);
        QVERIFY(updater->start(Device(DeviceType::kestrin_2), false));
        QTRY_COMPARE_WITH_TIMEOUT(updater->getStatus(nullptr), Status::Succeeded, WaitMs);
        QCOMPARE(seen->progress, QList<float>({0.006f, 0.48f, 1.0f}));
    }

    void libraryOutcomes_data()
    {
        QTest::addColumn<bool>("viaDongle");
        QTest::addColumn<QList<DfuEvent>>("transfer");
        QTest::addColumn<QList<DfuEvent>>("apply");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("log");

        const DfuEvent linkLost{IKestrinDfuLibrary::ResultLinkLost, 0, {}};
        const DfuEvent dfuError{IKestrinDfuLibrary::ResultDfuError, 7, "bad crc"};
        const DfuEvent failDisconnected{IKestrinDfuLibrary::ResultFail, IKestrinDfuLibrary::MsgIdLinkDisconnected, {}};
        const DfuEvent timeoutDisconnected{
            IKestrinDfuLibrary::ResultTimeout, IKestrinDfuLibrary::MsgIdLinkDisconnected, {}, 150};
        const DfuEvent failOther{IKestrinDfuLibrary::ResultFail, 17, {}};
        const DfuEvent linkState{IKestrinDfuLibrary::ResultInfo, IKestrinDfuLibrary::MsgIdLinkState, "\x01"};
        const DfuEvent unknown{42, 1, "x"};

        QTest::newRow("link lost") << false << QList<DfuEvent>{Progress("10"), linkLost} << QList<DfuEvent>()
                                   << int(Status::Failed) << "Error: SPP is disconnected, stop DFU.";
        QTest::newRow("dfu error") << false << QList<DfuEvent>{dfuError} << QList<DfuEvent>() << int(Status::Failed)
                                   << "[DFU] status=8, msgID=7, msg=bad crc";
        QTest::newRow("local: disconnect is not the end")
            << false << QList<DfuEvent>{failDisconnected, ReadyToApply} << QList<DfuEvent>{Done}
            << int(Status::Succeeded) << "target isn't remote";
        QTest::newRow("remote: disconnect while transferring")
            << true << QList<DfuEvent>{Progress("30"), failDisconnected} << QList<DfuEvent>() << int(Status::Failed)
            << "Error: SPP is disconnected, please reconnect device with dongle";
        QTest::newRow("remote: disconnect while applying")
            << true << QList<DfuEvent>{ReadyToApply} << QList<DfuEvent>{timeoutDisconnected} << int(Status::Succeeded)
            << "Let's hope kestrin_2 HS is updated via the dongle.";
        QTest::newRow("remote: other failures go on")
            << true << QList<DfuEvent>{failOther, linkState, unknown, ReadyToApply} << QList<DfuEvent>{Done}
            << int(Status::Succeeded) << "Error: SPP is disconnected, please wait for reconnect.";
    }
    void libraryOutcomes()
    {
        QFETCH(bool, viaDongle);
        QFETCH(QList<DfuEvent>, transfer);
        QFETCH(QList<DfuEvent>, apply);
        QFETCH(int, expected);
        QFETCH(QString, log);

        m_library->setTransferScript(transfer);
        m_library->setApplyScript(apply);
        const QString logBefore = LogText();
        auto updater = make();
        const auto seen = Watch(*updater);
        QVERIFY(updater->start(Device(DeviceType::kestrin_2, viaDongle), viaDongle));
        QTRY_VERIFY_WITH_TIMEOUT(seen->statuses.contains(Status(expected)), WaitMs);
        QCOMPARE(seen->statuses.last(), Status(expected));
        QCOMPARE(m_library->calls().mid(1, 1),
                 QStringList{QStringLiteral("setTargetDevice %1").arg(viaDongle ? 1 : 0)});
        QCOMPARE(m_library->calls().last(), QStringLiteral("close"));
        QCOMPARE(m_bus.calls, QStringList({"stopBus close", "runBus"}));
        QVERIFY(LogText().mid(logBefore.size()).contains(log));
        QVERIFY(!seen->offGuiThread);
    }

    void refusals_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<bool>("dongle");
        QTest::addColumn<bool>("fwOnly");
        QTest::addColumn<bool>("viaDongle");
        QTest::addColumn<int>("battery");
        QTest::addColumn<int>("batteryFailures");
        QTest::addColumn<bool>("started");
        QTest::addColumn<QString>("log");

        const int k2 = int(DeviceType::kestrin_2);
        QTest::newRow("battery 19") << k2 << false << false << false << 19 << 0 << false
                                    << "Battery level shold be at least 20%.";
        QTest::newRow("battery 20") << k2 << false << false << false << 20 << 0 << true << "";
        QTest::newRow("battery unreadable")
            << k2 << false << false << false << 80 << 2 << false << "Failed to read battery level.";
        QTest::newRow("battery read again") << k2 << false << false << false << 80 << 1 << true << "";
        QTest::newRow("headset via dongle: low battery")
            << k2 << true << false << true << 5 << 0 << false << "Battery level shold be at least 20%.";
        QTest::newRow("dongle itself: no battery check") << k2 << true << true << false << 0 << 2 << true << "";
        QTest::newRow("via dongle needs a dongle") << k2 << false << false << true << 80 << 0 << false << "";
        QTest::newRow("via dongle needs its headset") << k2 << true << true << true << 80 << 0 << false << "";
        QTest::newRow("not a headset") << int(DeviceType::solvarine) << false << false << false << 80 << 0 << false
                                       << "";
        QTest::newRow("no device type") << int(DeviceType::none) << false << false << false << 80 << 0 << false << "";
    }
    void refusals()
    {
        QFETCH(int, type);
        QFETCH(bool, dongle);
        QFETCH(bool, fwOnly);
        QFETCH(bool, viaDongle);
        QFETCH(int, battery);
        QFETCH(int, batteryFailures);
        QFETCH(bool, started);
        QFETCH(QString, log);

        auto device = Device(DeviceType(type), dongle, fwOnly, battery);
        if (batteryFailures)
            device->refuse("readBatteryLevel", batteryFailures);
        const QString logBefore = LogText();
        auto updater = make();
        QSignalSpy statusSpy(updater.get(), &IKestrinFwUpdater::sigStatusChanged);
        QCOMPARE(updater->start(device, viaDongle), started);
        if (started) {
            QCOMPARE(updater->getStatus(nullptr), Status::Transferring);
            QCOMPARE(m_bus.calls, QStringList{"stopBus close"});
            QCOMPARE(device->calls("readBatteryLevel").size(), dongle && !viaDongle ? 0 : batteryFailures + 1);
            return;
        }
        QCOMPARE(updater->getStatus(nullptr), Status::Idle);
        QCOMPARE(statusSpy.count(), 0);
        QVERIFY(m_bus.calls.isEmpty());
        QVERIFY(device->calls("setGyroSensorEnabled").isEmpty());
        QVERIFY(device->calls("factoryReset").isEmpty());
        if (!log.isEmpty())
            QVERIFY(LogText().mid(logBefore.size()).contains(log));
        // Nothing was scheduled either.
        QTest::qWait(100);
        QVERIFY(m_library->calls().isEmpty());
        // A refused updater may start later.
        QVERIFY(updater->start(Device(DeviceType::kestrin_2), false));
    }

    void connectFailureEndsTheUpdate()
    {
        m_library->setInitializeResult(0);
        const QString logBefore = LogText();
        auto updater = make();
        const auto seen = Watch(*updater);
        QVERIFY(updater->start(Device(DeviceType::kestrin), false));
        QTRY_COMPARE_WITH_TIMEOUT(updater->getStatus(nullptr), Status::Failed, WaitMs);
        QCOMPARE(seen->statuses, QList<Status>({Status::Transferring, Status::Failed}));
        QCOMPARE(m_library->calls(), QStringList({"initialize 0x1234:0x5678", "close"}));
        QCOMPARE(m_bus.calls, QStringList({"stopBus close", "runBus"}));
        const QString log = LogText().mid(logBefore.size());
        QVERIFY(log.contains("Connect fail(0). 0x1234:0x5678"));
        QVERIFY(log.contains("Updating kestrin FW failed."));
    }

    void silentLibraryTimesOut_data()
    {
        QTest::addColumn<bool>("dongle");
        QTest::addColumn<QList<DfuEvent>>("transfer");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("log");
        QTest::newRow("transferring") << false << QList<DfuEvent>{Progress("40")} << int(Status::Failed)
                                      << "kestrin_2 FW update timeout.";
        QTest::newRow("dongle applying") << true << QList<DfuEvent>{ReadyToApply} << int(Status::Succeeded)
                                         << "Let's hope the dongle is updated.";
        QTest::newRow("headset applying")
            << false << QList<DfuEvent>{ReadyToApply} << int(Status::Failed) << "kestrin_2 FW update timeout.";
    }
    void silentLibraryTimesOut()
    {
        QFETCH(bool, dongle);
        QFETCH(QList<DfuEvent>, transfer);
        QFETCH(int, expected);
        QFETCH(QString, log);
        m_library->setTransferScript(transfer);
        const QString logBefore = LogText();
        auto updater = make(FastTimings(600));
        const auto seen = Watch(*updater);
        QVERIFY(updater->start(Device(DeviceType::kestrin_2, dongle, dongle), false));
        QTRY_COMPARE_WITH_TIMEOUT(updater->getStatus(nullptr), Status(expected), WaitMs);
        QCOMPARE(seen->statuses.last(), Status(expected));
        QCOMPARE(m_library->calls().last(), QStringLiteral("close"));
        QCOMPARE(m_bus.calls, QStringList({"stopBus close", "runBus"}));
        QVERIFY(LogText().mid(logBefore.size()).contains(log));
    }

    void noiseCancellingHeadsetIsResetAndAwaited()
    {
        m_library->setTransferScript({ReadyToApply});
        m_library->setApplyScript({Done});
        auto device = Device(DeviceType::kestrin_2_anc);
        auto updater = make();
        const auto seen = Watch(*updater);
        QVERIFY(updater->start(device, false));
        QCOMPARE(m_bus.calls, QStringList({"stopBus keep", "stopBus close"}));
        QCOMPARE(device->calls("factoryReset").size(), 1);

        // The image is in: 97 % and the library closed while the headset restarts.
        QTRY_COMPARE_WITH_TIMEOUT(m_library->calls().contains("close"), true, WaitMs);
        QCOMPARE(updater->getStatus(nullptr), Status::Applying);
        IKestrinFwUpdater::StatusParams params;
        updater->getStatus(&params);
        QCOMPARE(params.progress, 0.97f);
        QCOMPARE(m_bus.calls, QStringList({"stopBus keep", "stopBus close"}));

        QTRY_COMPARE_WITH_TIMEOUT(updater->getStatus(nullptr), Status::Succeeded, WaitMs);
        updater->getStatus(&params);
        QCOMPARE(params.progress, 1.0f);
        QCOMPARE(seen->statuses, QList<Status>({Status::Transferring, Status::Applying, Status::Succeeded}));
        QCOMPARE(m_bus.calls, QStringList({"stopBus keep", "stopBus close", "runBus"}));
        QCOMPARE(m_library->calls().count("close"), 1);
    }

    void noiseCancellingDongleNeedsNoResetNorWait()
    {
        m_library->setTransferScript({ReadyToApply});
        m_library->setApplyScript({Done});
        auto device = Device(DeviceType::kestrin_2_anc, true, true, 0);
        auto updater = make(FastTimings());
        const auto seen = Watch(*updater);
        QVERIFY(updater->start(device, false));
        QCOMPARE(m_bus.calls, QStringList{"stopBus close"});
        QVERIFY(device->calls("factoryReset").isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(updater->getStatus(nullptr), Status::Succeeded, WaitMs);
        QVERIFY(!seen->progress.contains(0.97f));
    }

    void failedFactoryResetRestartsTheBus()
    {
        auto device = Device(DeviceType::kestrin_2_anc);
        device->refuse("factoryReset");
        const QString logBefore = LogText();
        auto updater = make();
        QVERIFY(!updater->start(device, false));
        QCOMPARE(updater->getStatus(nullptr), Status::Idle);
        QCOMPARE(m_bus.calls, QStringList({"stopBus keep", "runBus"}));
        QVERIFY(LogText().mid(logBefore.size()).contains("Failed to factory reset."));
    }

    void oneUpdaterAtATime()
    {
        auto first = make();
        QCOMPARE(first->getStatus(nullptr), Status::Idle);
        auto second = make();
        QCOMPARE(second->getStatus(nullptr), Status::Failed);
        QVERIFY(!second->start(Device(DeviceType::kestrin_2), false));
        second.reset(); // a refused updater does not free the live one's place
        QCOMPARE(make()->getStatus(nullptr), Status::Failed);
        first.reset();
        QCOMPARE(make()->getStatus(nullptr), Status::Idle);
    }

    void missingImageFailsAtOnce()
    {
        auto updater = make(FastTimings(), m_dir->filePath("nothing.bin"));
        QCOMPARE(updater->getStatus(nullptr), Status::Failed);
        QVERIFY(!updater->start(Device(DeviceType::kestrin_2), false));
        QVERIFY(m_bus.calls.isEmpty());
    }

    void deletedDuringAnUpdateClosesTheLibrary()
    {
        m_library->setTransferScript({Progress("10")});
        auto updater = make();
        QVERIFY(updater->start(Device(DeviceType::kestrin_2), false));
        QTRY_VERIFY_WITH_TIMEOUT(m_library->calls().contains("startDataTransfer"), WaitMs);
        updater.reset();
        QVERIFY(!m_library->isOpen());
        QCOMPARE(m_library->calls().last(), QStringLiteral("close"));
        // The callback finds no updater now.
        m_library->post(Progress("20"));
    }

    void nonAsciiImageIsCopiedAndRemoved()
    {
        const QString image = m_dir->filePath(QStringLiteral("Прошивка/ps_headset.bin"));
        WriteFile(image, "non-ascii image");
        m_library->setTransferScript({ReadyToApply});
        m_library->setApplyScript({Done});
        auto updater = make(FastTimings(), image);
        QVERIFY(updater->start(Device(DeviceType::kestrin_2), false));
        QTRY_COMPARE_WITH_TIMEOUT(updater->getStatus(nullptr), Status::Succeeded, WaitMs);

        const QString copy = m_common->filePath(QStringLiteral("Velmor/Velmor/ps_headset.bin"));
        QCOMPARE(m_library->imagePath(), copy);
        QCOMPARE(m_library->imageSeen(), QByteArray("non-ascii image"));
        QVERIFY(QFile::exists(copy));
        updater.reset();
        QVERIFY(!QFile::exists(copy));
        QVERIFY(!QFileInfo::exists(m_common->filePath("Velmor")));
        QVERIFY(QFileInfo::exists(m_common->path()));
        QVERIFY(QFile::exists(image)); // the download stays
    }

    void copyKeepsFoldersInUse()
    {
        const QString image = m_dir->filePath(QStringLiteral("Ünïcode/ps_headset.bin"));
        WriteFile(image, "x");
        WriteFile(m_common->filePath("Velmor/other.txt"), "kept");
        m_library->setTransferScript({ReadyToApply});
        m_library->setApplyScript({Done});
        auto updater = make(FastTimings(), image);
        QVERIFY(updater->start(Device(DeviceType::kestrin_2), false));
        QTRY_COMPARE_WITH_TIMEOUT(updater->getStatus(nullptr), Status::Succeeded, WaitMs);
        updater.reset();
        QVERIFY(!QFileInfo::exists(m_common->filePath("Velmor/Velmor")));
        QVERIFY(QFile::exists(m_common->filePath("Velmor/other.txt")));
    }

    void nonAsciiFileNameCannotBeHandedOver()
    {
        const QString image = m_dir->filePath(QStringLiteral("образ.bin"));
        WriteFile(image, "x");
        const QString logBefore = LogText();
        auto updater = make(FastTimings(), image);
        QVERIFY(updater->start(Device(DeviceType::kestrin_2), false));
        QTRY_COMPARE_WITH_TIMEOUT(updater->getStatus(nullptr), Status::Failed, WaitMs);
        QCOMPARE(m_library->calls(), QStringList{"close"}); // never opened
        QCOMPARE(m_bus.calls, QStringList({"stopBus close", "runBus"}));
        QVERIFY(LogText().mid(logBefore.size()).contains("Failed obtaining local file."));
        QVERIFY(QDir(m_common->path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden) ||
                !QFileInfo::exists(m_common->filePath("Velmor/Velmor/образ.bin")));
    }

    // ---- What this system offers ----

    void platformUpdaterSaysItIsUnavailable()
    {
        const QString logBefore = LogText();
        auto updater = Platform::CreateKestrinFwUpdater(m_image, m_bus);
        QCOMPARE(updater->getStatus(nullptr), Status::Idle);
        QVERIFY(!updater->start(Device(DeviceType::kestrin_2), false));
        QCOMPARE(updater->getStatus(nullptr), Status::Idle);
        QVERIFY(m_bus.calls.isEmpty()); // the headset was neither reset nor disconnected
        QVERIFY(LogText().mid(logBefore.size()).contains("Firmware update is not available on this system."));

        auto library = Platform::CreateKestrinDfuLibrary();
        QVERIFY(!library->isAvailable());
        QVERIFY(library->initialize(0x3329, 0x4B2A) != 1);
        QVERIFY(
            LogText().mid(logBefore.size()).contains("The firmware update library is not available on this system"));
    }

    void platformDriverRemovalSaysItIsUnavailable()
    {
        QVERIFY(!Platform::IKestrinDriversUninstaller::IsSupported());
        const QString logBefore = LogText();
        auto uninstaller = Platform::CreateKestrinDriversUninstaller();
        QCOMPARE(uninstaller->getStatus(), Platform::IKestrinDriversUninstaller::Idle);
        for (int run = 0; run < 2; ++run) {
            QList<int> seen;
            connect(uninstaller.get(), &Platform::IKestrinDriversUninstaller::sigStatusChanged, this,
                    [&] { seen << uninstaller->getStatus(); });
            uninstaller->start();
            // The program's removal run (this executable, answering as the program) has nothing
            // to remove here.
            QTRY_COMPARE_WITH_TIMEOUT(uninstaller->getStatus(), Platform::IKestrinDriversUninstaller::Failed, 20000);
            QCOMPARE(seen, QList<int>({Platform::IKestrinDriversUninstaller::Running,
                                       Platform::IKestrinDriversUninstaller::Failed}));
            disconnect(uninstaller.get(), nullptr, this, nullptr);
        }
        QCOMPARE(Platform::KestrinDriversHelper::UninstallKestrinDrivers(),
                 int(Platform::KestrinDriversHelper::OtherFailure));
        QVERIFY(LogText().mid(logBefore.size()).contains("Driver removal is not available on this system"));
        QVERIFY(LogText().mid(logBefore.size()).contains("Error code is 3."));
    }
};

VELMOR_TEST_MAIN_WITH_REMOVAL_RUN(TestFwUpdater, QTEST_QAPP_SETUP(QCoreApplication))
#include "tst_fw_updater.moc"
