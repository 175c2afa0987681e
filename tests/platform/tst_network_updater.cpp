#include "core/GlobalLogger.h"
#include "platform/NetworkUpdater.h"
#include "support/FullDisk.h"
#include "support/LogText.h"
#include "support/TestAppData.h"

#include "TestHttpServer.h"

#include <QNetworkReply>
#include <QProcess>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

using Platform::NetworkUpdater;
using Status = NetworkUpdater::Status;
using TestNet::TestHttpServer;
using Fault = TestHttpServer::Fault;

Q_DECLARE_METATYPE(DeviceType)
Q_DECLARE_METATYPE(Fault)

using TestSupport::LogText;

namespace {

// Generous: the conditions are met long before on any machine, and waiting ends as soon as they are.
constexpr int WaitMs = 60000;
// The time-out of the tests with a stalled server, whose other requests must still get through:
// well above the pace of a busy machine. The other tests keep the program's own time-out.
constexpr int StallTimeoutMs = 2000;

const QString c_app = QStringLiteral("/soft/Velmor_App/velmor_app.json");
const QString c_feed = QStringLiteral("/soft/Velmor_App/Notifications/Notifications.json");
const QString c_solvarine = QStringLiteral("/slv/solvarine_fw.json");

// The short time-out only where a request is meant to stall.
int TimeoutFor(Fault fault)
{
    return fault == Fault::Stall ? StallTimeoutMs : NetworkUpdater::DefaultTransferTimeoutMs;
}

// Test documents are written with ' for " to stay readable.
QByteArray Json(QByteArray text)
{
    return text.replace('\'', '"');
}

QString ManifestPath(DeviceType type)
{
    switch (type) {
    case DeviceType::kestrin: return QStringLiteral("/kes/kestrin-fw.json");
    case DeviceType::kestrin_2: return QStringLiteral("/kes2/kestrin-2-fw.json");
    default: return QStringLiteral("/kes2/kestrin-2-ANC-fw.json");
    }
}

QString Name(DeviceType type)
{
    return Enumer<DeviceType>::NameOrNull(type);
}

QString ImagePath(DeviceType type, const QString& version, KestrinHwType hw)
{
    return QStringLiteral("/img/%1/%2/%3.bin").arg(Name(type), version, Enumer<KestrinHwType>::NameOrNull(hw));
}

QByteArray ImageBody(DeviceType type, const QString& version, KestrinHwType hw)
{
    return QStringLiteral("image %1 %2 %3").arg(Name(type), version, Enumer<KestrinHwType>::NameOrNull(hw)).toUtf8();
}

QDir CacheDir(const QString& name)
{
    return QDir(TestSupport::AppDataPath(name));
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Every file of a cache folder, temporary ones included.
QStringList Files(const QString& folder)
{
    return CacheDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Set in the run of this program that diskFull() starts with a tiny file system on "kestrin".
// The line of a firmware marker that records the file `name` holding `bytes`.
QByteArray FileRecord(const QString& name, const QByteArray& bytes)
{
    return '\n' + name.toUtf8() + ' ' + QByteArray::number(bytes.size()) + ' ' +
           QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// The statuses an item reports each time it signals, in order.
template <typename Signal, typename Read>
auto Record(NetworkUpdater& updater, Signal signal, Read read)
{
    auto seen = std::make_shared<QList<decltype(read())>>();
    QObject::connect(&updater, signal, &updater, [seen, read] { seen->append(read()); });
    return seen;
}

} // namespace

class TestNetworkUpdater : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<TestHttpServer> m_plain; // plain HTTP, which must never be asked

    NetworkUpdater::Endpoints endpoints() const
    {
        return {m_server->origin("/soft"), m_server->origin("/kes"), m_server->origin("/kes2"),
                m_server->origin("/slv")};
    }

    std::unique_ptr<NetworkUpdater> makeUpdater(int transferTimeoutMs = NetworkUpdater::DefaultTransferTimeoutMs)
    {
        auto updater = std::make_unique<NetworkUpdater>(endpoints(), nullptr);
        updater->setSslConfiguration(TestHttpServer::clientSslConfiguration());
        updater->setTransferTimeout(transferTimeoutMs);
        return updater;
    }

    void serveAppManifest(const QString& version, const QString& link)
    {
        m_server->serve(c_app, Json("{ 'win_amd64_version': '" + version.toUtf8() + "', 'win_amd64_link': '" +
                                    link.toUtf8() + "' }"));
    }

    // A firmware manifest of `type` at `manifestPath` offering `version`, with its four images.
    void serveKestrinFw(DeviceType type, const QString& version, const QString& manifestPath = QString())
    {
        QJsonObject manifest{{"version", version}};
        for (KestrinHwType hw : Enumer<KestrinHwType>::Values()) {
            manifest.insert(Enumer<KestrinHwType>::NameOrNull(hw), m_server->origin(ImagePath(type, version, hw)));
            m_server->serve(ImagePath(type, version, hw), ImageBody(type, version, hw));
        }
        m_server->serve(manifestPath.isEmpty() ? ManifestPath(type) : manifestPath, QJsonDocument(manifest).toJson());
    }

    int imageRequests(DeviceType type, const QString& version)
    {
        int count = 0;
        for (KestrinHwType hw : Enumer<KestrinHwType>::Values())
            count += m_server->requestCount(ImagePath(type, version, hw));
        return count;
    }

    void verifyKestrinCache(DeviceType type, const QString& version)
    {
        const QDir dir = CacheDir(Name(type));
        QByteArray marker = version.toLatin1();
        for (KestrinHwType hw : Enumer<KestrinHwType>::Values())
            marker += FileRecord(NetworkUpdater::getFwFileName(hw), ImageBody(type, version, hw));
        QCOMPARE(ReadFile(dir.absoluteFilePath("fw_ver")), marker);
        for (KestrinHwType hw : Enumer<KestrinHwType>::Values())
            QCOMPARE(ReadFile(dir.absoluteFilePath(NetworkUpdater::getFwFileName(hw))), ImageBody(type, version, hw));
        QCOMPARE(Files(Name(type)),
                 QStringList({"fw_ver", "ps_dongle.bin", "ps_headset.bin", "xbox_dongle.bin", "xbox_headset.bin"}));
    }

    // Runs a check of `type` to its end and saves `version` in the cache.
    void saveKestrinFw(DeviceType type, const QString& version)
    {
        serveKestrinFw(type, version);
        auto updater = makeUpdater();
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
    }

private slots:
    void initTestCase()
    {
        TestSupport::UseTestAppData();
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.48"));
        qRegisterMetaType<DeviceType>();
    }

    void init()
    {
        // (A full-disk run has a file system of its own mounted on "kestrin", empty and not removable.)
        for (const char* folder : {"app_update", "kestrin", "kestrin_2", "kestrin_2_anc", "solvarine"})
            QVERIFY(CacheDir(folder).removeRecursively() || TestSupport::IsFullDiskRun());
        m_server = std::make_unique<TestHttpServer>(true);
        QVERIFY(m_server->listen());
        m_plain = std::make_unique<TestHttpServer>(false);
        QVERIFY(m_plain->listen());
    }

    void cleanup()
    {
        m_server.reset();
        m_plain.reset();
    }

    // ---- App update ----

    void appUpdateIsOfferedThenDownloaded()
    {
        const QString link = m_server->origin("/dl/VelmorSetup-1.3.0.exe");
        serveAppManifest("1.3.0", link);
        m_server->serve("/dl/VelmorSetup-1.3.0.exe", "installer 1.3.0");
        auto updater = makeUpdater();
        QCOMPARE(updater->getAppUpdateStatus(), Status::None);
        const auto seen = Record(*updater, &NetworkUpdater::sigAppUpdateStatusChanged,
                                 [u = updater.get()] { return u->getAppUpdateStatus(); });

        updater->checkForAppUpdate();
        QCOMPARE(*seen, QList<Status>{Status::InProgress});
        QTRY_COMPARE_WITH_TIMEOUT(seen->size(), 2, WaitMs);
        QCOMPARE(seen->last(), Status::Available);
        QString version, path;
        QVERIFY(updater->readAppUpdateVersion(version));
        QCOMPARE(version, QStringLiteral("1.3.0"));
        QVERIFY(!updater->readAppUpdateFilePath(path));
        QCOMPARE(m_server->requestCount("/dl/VelmorSetup-1.3.0.exe"), 0); // nothing downloaded unasked

        updater->downloadAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(seen->size(), 4, WaitMs);
        QCOMPARE(*seen, QList<Status>({Status::InProgress, Status::Available, Status::InProgress, Status::Ready}));
        QVERIFY(updater->readAppUpdateFilePath(path));
        QCOMPARE(path, CacheDir("app_update").absoluteFilePath("VelmorSetup-1.3.0.exe"));
        QCOMPARE(ReadFile(path), QByteArray("installer 1.3.0"));
        QCOMPARE(ReadFile(CacheDir("app_update").absoluteFilePath("ver")), QByteArray("1.3.0\nVelmorSetup-1.3.0.exe"));
        QCOMPARE(Files("app_update"), QStringList({"VelmorSetup-1.3.0.exe", "ver"}));
        QVERIFY(updater->readAppUpdateVersion(version));
        QCOMPARE(version, QStringLiteral("1.3.0"));

        // Asked again from Saved with the same offer: saved, without a download.
        updater->checkForAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(seen->size(), 6, WaitMs);
        QCOMPARE(seen->last(), Status::Ready);
        QCOMPARE(m_server->requestCount("/dl/VelmorSetup-1.3.0.exe"), 1);

        // A later run finds it in the cache.
        updater = makeUpdater();
        updater->checkForAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Ready, WaitMs);
        QVERIFY(updater->readAppUpdateFilePath(path));
        QCOMPARE(ReadFile(path), QByteArray("installer 1.3.0"));
        QCOMPARE(m_server->requestCount("/dl/VelmorSetup-1.3.0.exe"), 1);
    }

    void downloadOnlyWhenOffered()
    {
        auto updater = makeUpdater();
        QSignalSpy spy(updater.get(), &NetworkUpdater::sigAppUpdateStatusChanged);
        updater->downloadAppUpdate();
        QCOMPARE(spy.count(), 0);
        QCOMPARE(updater->getAppUpdateStatus(), Status::None);
        QVERIFY(m_server->requests().isEmpty());
    }

    void installerReachedThroughRedirection()
    {
        serveAppManifest("1.3.0", m_server->origin("/dl/latest"));
        m_server->redirect("/dl/latest", "/dl/files/Velmor%20Setup%201.3.0.exe");
        m_server->serve("/dl/files/Velmor Setup 1.3.0.exe", "installer");
        auto updater = makeUpdater();
        updater->checkForAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Available, WaitMs);
        updater->downloadAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Ready, WaitMs);
        QString path;
        QVERIFY(updater->readAppUpdateFilePath(path));
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("Velmor Setup 1.3.0.exe"));
        QCOMPARE(ReadFile(path), QByteArray("installer"));
    }

    void newOfferDropsTheCachedInstaller()
    {
        const QDir dir = CacheDir("app_update");
        WriteFile(dir.absoluteFilePath("old.exe"), "old installer");
        WriteFile(dir.absoluteFilePath("ver"), "1.2.9\nold.exe");
        serveAppManifest("1.3.0", m_server->origin("/dl/new.exe"));
        auto updater = makeUpdater();
        updater->checkForAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Available, WaitMs);
        QVERIFY(Files("app_update").isEmpty());
    }

    void appCheckFailures_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("failedSignals"); // a network error is signalled twice
        QTest::addColumn<QString>("logged");
        QTest::newRow("404") << QByteArray("{}") << Fault::NotFound << 2 << "Network Error, 203";
        QTest::newRow("500") << QByteArray("{}") << Fault::ServerError << 2 << "Network Error, 401";
        QTest::newRow("stalled") << QByteArray("{}") << Fault::Stall << 2 << "failed: timed out: no data for 2 s";
        QTest::newRow("cut short") << Json("{ 'win_amd64_version': '1.3.0', 'win_amd64_link': 'https://x/y.exe' }")
                                   << Fault::Truncated << 2 << "Network Error, 2";
        QTest::newRow("not JSON") << QByteArray("<html>") << Fault::None << 1 << "Reading app update JSON error: ";
        QTest::newRow("array") << QByteArray("[]") << Fault::None << 1 << "Reading app update JSON error: ";
        QTest::newRow("no link") << Json("{ 'win_amd64_version': '1.3.0' }") << Fault::None << 1
                                 << "App update JSON has no installer link";
        QTest::newRow("version not a string") << Json("{ 'win_amd64_version': 13, 'win_amd64_link': 'https://x/y' }")
                                              << Fault::None << 1 << "App update JSON has no version";
        const QByteArray offer = Json("{ 'win_amd64_version': '1.3.0', 'win_amd64_link': 'https://x/y.exe' }");
        QTest::newRow("compressed") << offer << Fault::Compressed << 2 << "compressed as \"gzip\"";
        QTest::newRow("1 GiB") << offer << Fault::Oversized << 2
                               << "the server announced 1073741824 bytes, more than the 262144 accepted";
        QTest::newRow("without end") << offer << Fault::Endless << 2 << "the body passed the 262144 bytes accepted";
    }
    void appCheckFailures()
    {
        QFETCH(QByteArray, body);
        QFETCH(Fault, fault);
        QFETCH(int, failedSignals);
        QFETCH(QString, logged);
        // An earlier offer is forgotten when a later check fails.
        serveAppManifest("1.3.0", m_server->origin("/dl/a.exe"));
        auto updater = makeUpdater(TimeoutFor(fault));
        updater->checkForAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Available, WaitMs);

        m_server->serve(c_app, body, fault);
        const QString logBefore = LogText();
        const auto seen = Record(*updater, &NetworkUpdater::sigAppUpdateStatusChanged,
                                 [u = updater.get()] { return u->getAppUpdateStatus(); });
        updater->checkForAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Failed, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(seen->size(), 1 + failedSignals, WaitMs);
        QList<Status> expected{Status::InProgress};
        for (int i = 0; i < failedSignals; ++i)
            expected.append(Status::Failed);
        QCOMPARE(*seen, expected);
        QString version;
        QVERIFY(!updater->readAppUpdateVersion(version));
        QVERIFY(LogText().mid(logBefore.size()).contains(logged));

        // Not stuck: the next check runs.
        serveAppManifest("1.3.1", m_server->origin("/dl/b.exe"));
        updater->checkForAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Available, WaitMs);
    }

    void installerDownloadFailures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Fault>("fault");
        QTest::newRow("404") << "/dl/setup.exe" << QByteArray("x") << Fault::NotFound;
        QTest::newRow("cut short") << "/dl/setup.exe" << QByteArray(100000, 'i') << Fault::Truncated;
        QTest::newRow("stalled") << "/dl/setup.exe" << QByteArray("x") << Fault::Stall;
        QTest::newRow("partial content") << "/dl/setup.exe" << QByteArray(1000, 'i') << Fault::Partial;
        QTest::newRow("empty") << "/dl/setup.exe" << QByteArray() << Fault::None;
        QTest::newRow("URL names no file") << "/dl/" << QByteArray("x") << Fault::None;
        QTest::newRow("URL names the marker") << "/dl/ver" << QByteArray("x") << Fault::None;
        QTest::newRow("name with a line end") << "/dl/Setup%0Aevil.exe" << QByteArray("x") << Fault::None;
        QTest::newRow("name with a tab") << "/dl/Setup%09.exe" << QByteArray("x") << Fault::None;
        QTest::newRow("name with DEL") << "/dl/Setup%7F.exe" << QByteArray("x") << Fault::None;
        QTest::newRow("name turned right to left") << "/dl/Setup%E2%80%AEexe.txt" << QByteArray("x") << Fault::None;
        QTest::newRow("name with a backslash") << "/dl/..%5C..%5Cevil.exe" << QByteArray("x") << Fault::None;
        QTest::newRow("without length") << "/dl/setup.exe" << QByteArray(100000, 'i') << Fault::Unannounced;
        QTest::newRow("cut without length") << "/dl/setup.exe" << QByteArray(100000, 'i') << Fault::CutUnannounced;
        QTest::newRow("chunks cut") << "/dl/setup.exe" << QByteArray(100000, 'i') << Fault::ChunkedCut;
        QTest::newRow("compressed") << "/dl/setup.exe" << QByteArray(1000, 'i') << Fault::Compressed;
        QTest::newRow("announced 1 GiB") << "/dl/setup.exe" << QByteArray(1000, 'i') << Fault::Oversized;
    }
    void installerDownloadFailures()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, body);
        QFETCH(Fault, fault);
        serveAppManifest("1.3.0", m_server->origin(file));
        m_server->serve(QUrl::fromPercentEncoding(file.toUtf8()), body, fault);
        auto updater = makeUpdater(TimeoutFor(fault));
        updater->checkForAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Available, WaitMs);
        updater->downloadAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Failed, WaitMs);
        QString path;
        QVERIFY(!updater->readAppUpdateFilePath(path));
        QVERIFY(Files("app_update").isEmpty()); // no marker, no half-written or temporary file
        // A failed download is not offered again until the next check.
        updater->downloadAppUpdate();
        QCOMPARE(updater->getAppUpdateStatus(), Status::Failed);
    }

    void startDropsTheRunningVersionsInstaller_data()
    {
        QTest::addColumn<QByteArray>("marker");
        QTest::addColumn<bool>("installerPresent");
        QTest::addColumn<bool>("removed");
        QTest::newRow("running version") << QByteArray("1.2.48\nsetup.exe") << true << true;
        QTest::newRow("installer missing") << QByteArray("1.2.48\nsetup.exe") << false << false;
        QTest::newRow("other version") << QByteArray("1.3.0\nsetup.exe") << true << false;
        QTest::newRow("one line") << QByteArray("1.2.48") << true << false;
        QTest::newRow("version with line end") << QByteArray("1.2.48\r\nsetup.exe") << true << false;
        QTest::newRow("1001 bytes") << QByteArray("1.2.48\nsetup.exe\n").leftJustified(1001, 'x') << true << false;
    }
    void startDropsTheRunningVersionsInstaller()
    {
        QFETCH(QByteArray, marker);
        QFETCH(bool, installerPresent);
        QFETCH(bool, removed);
        const QDir dir = CacheDir("app_update");
        WriteFile(dir.absoluteFilePath("ver"), marker);
        if (installerPresent)
            WriteFile(dir.absoluteFilePath("setup.exe"), "installer");
        const QStringList before = Files("app_update");
        auto updater = makeUpdater();
        QCOMPARE(Files("app_update"), removed ? QStringList() : before);
        QVERIFY(m_server->requests().isEmpty()); // construction asks for nothing
    }

    void markerNeverLeadsOutOfTheFolder()
    {
        const QString outside = TestSupport::AppDataPath("keep.txt");
        WriteFile(outside, "not ours");
        WriteFile(CacheDir("app_update").absoluteFilePath("ver"), "1.2.48\n../keep.txt");
        auto updater = makeUpdater();
        QCOMPARE(ReadFile(outside), QByteArray("not ours"));

        WriteFile(CacheDir("app_update").absoluteFilePath("ver"), "1.3.0\n../keep.txt");
        serveAppManifest("1.3.0", m_server->origin("/dl/setup.exe"));
        updater->checkForAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Available, WaitMs); // not taken as saved
        QCOMPARE(ReadFile(outside), QByteArray("not ours"));
        QVERIFY(QFile::remove(outside));
    }

    // ---- News ----

    void notificationsFeed()
    {
        m_server->serve(c_feed, Json("{ 'notifications': [ { 'id': 3, 'type': 'text', 'text': 'Hello', 'seen': true },"
                                     " { 'id': 4, 'type': 'image', 'imageUrl': 'https://x/y.png' } ] }"));
        auto updater = makeUpdater(StallTimeoutMs);
        QSignalSpy spy(updater.get(), &NetworkUpdater::sigNotificationsUpdated);
        updater->checkForNotifications();
        QVERIFY(spy.wait(WaitMs));
        QList<Notification> list = updater->getNotifications();
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[0].id, 3);
        QCOMPARE(list[0].content, QStringLiteral("Hello"));
        QVERIFY(!list[0].seen); // the feed's own flags are never read

        // A failed request keeps the list and says nothing.
        for (Fault fault : {Fault::NotFound, Fault::ServerError, Fault::Truncated, Fault::Stall, Fault::Compressed,
                            Fault::Oversized, Fault::Endless}) {
            m_server->setFault(c_feed, fault);
            const int before = m_server->requestCount(c_feed);
            updater->checkForNotifications();
            QTRY_COMPARE_WITH_TIMEOUT(updater->findChildren<QNetworkReply*>().size(), 0, WaitMs);
            QCOMPARE(m_server->requestCount(c_feed), before + 1);
            QCOMPARE(spy.count(), 1);
            QCOMPARE(updater->getNotifications(), list);
        }

        // A feed that arrives but cannot be read empties the list.
        m_server->serve(c_feed, "<html>");
        updater->checkForNotifications();
        QVERIFY(spy.wait(WaitMs));
        QVERIFY(updater->getNotifications().isEmpty());
    }

    // ---- Headset firmware ----

    void kestrinFirmwareIsDownloadedAndCached_data()
    {
        QTest::addColumn<DeviceType>("type");
        QTest::newRow("kestrin") << DeviceType::kestrin;
        QTest::newRow("kestrin_2") << DeviceType::kestrin_2;
        QTest::newRow("kestrin_2_anc") << DeviceType::kestrin_2_anc;
    }
    void kestrinFirmwareIsDownloadedAndCached()
    {
        QFETCH(DeviceType, type);
        serveKestrinFw(type, "2.1.0");
        auto updater = makeUpdater();
        const auto seen = Record(*updater, &NetworkUpdater::sigKestrinFwStatusChanged,
                                 [u = updater.get(), t = type] { return u->getKestrinFwStatus(t); });
        QSignalSpy spy(updater.get(), &NetworkUpdater::sigKestrinFwStatusChanged);

        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        QCOMPARE(*seen, QList<Status>({Status::InProgress, Status::Ready}));
        for (const QList<QVariant>& args : spy)
            QCOMPARE(args.at(0).value<DeviceType>(), type);
        QVERIFY(updater->hasKestrinFwUpdate(type));
        QString version;
        QVERIFY(updater->readKestrinFwVersion(type, version));
        QCOMPARE(version, QStringLiteral("2.1.0"));
        verifyKestrinCache(type, "2.1.0");

        // The other headset models are untouched.
        for (DeviceType other : {DeviceType::kestrin, DeviceType::kestrin_2, DeviceType::kestrin_2_anc}) {
            if (other != type) {
                QCOMPARE(updater->getKestrinFwStatus(other), Status::None);
                QVERIFY(!QFileInfo::exists(TestSupport::AppDataPath(Name(other))));
            }
        }

        // Image paths per hardware variant; through the dongle the headset's own image.
        const QDir dir = CacheDir(Name(type));
        const QList<std::pair<KestrinHwType, QString>> variants{{KestrinHwType::ps_headset, "ps_headset.bin"},
                                                                {KestrinHwType::ps_dongle, "ps_dongle.bin"},
                                                                {KestrinHwType::xbox_headset, "xbox_headset.bin"},
                                                                {KestrinHwType::xbox_dongle, "xbox_dongle.bin"}};
        const QStringList headsetFiles{"ps_headset.bin", "ps_headset.bin", "xbox_headset.bin", "xbox_headset.bin"};
        for (int i = 0; i < variants.size(); ++i) {
            QString path;
            QVERIFY(updater->readKestrinFw(type, variants[i].first, path));
            QCOMPARE(path, dir.absoluteFilePath(variants[i].second));
            QVERIFY(updater->readKestrinHeadsetFw(type, variants[i].first, path));
            QCOMPARE(path, dir.absoluteFilePath(headsetFiles[i]));
        }
        QString path = "untouched";
        QVERIFY(!updater->readKestrinFw(type, Enumer<KestrinHwType>::Invalid(), path));
        QCOMPARE(path, QStringLiteral("untouched"));

        // A later run, and a check from Saved, find the same version without downloading it.
        QCOMPARE(imageRequests(type, "2.1.0"), 4);
        updater->checkForKestrinFw(type);
        QCOMPARE(updater->getKestrinFwStatus(type), Status::InProgress);
        QVERIFY(!updater->readKestrinFwVersion(type, version));
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        updater = makeUpdater();
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        QCOMPARE(imageRequests(type, "2.1.0"), 4);
    }

    void otherTypesHaveNoFirmwareItem()
    {
        auto updater = makeUpdater();
        QSignalSpy spy(updater.get(), &NetworkUpdater::sigKestrinFwStatusChanged);
        for (DeviceType type : {DeviceType::none, DeviceType::solvarine, DeviceType(9)}) {
            updater->checkForKestrinFw(type);
            updater->forceCheckForKestrinFw(type);
            updater->setKestrinRollbackIndex(type, 0);
            updater->checkForKestrinRollbackFws(type, 0);
            QCOMPARE(updater->getKestrinFwStatus(type), Status::None);
            QVERIFY(!updater->hasKestrinFwUpdate(type));
            QVERIFY(updater->getAvailableKestrinFwNames(type).isEmpty());
            QString out;
            QVERIFY(!updater->readKestrinFw(type, KestrinHwType::ps_headset, out));
        }
        QCOMPARE(spy.count(), 0);
        QVERIFY(m_server->requests().isEmpty());
        QVERIFY(NetworkUpdater::IsKestrinRollbackSupported(DeviceType::kestrin_2));
        QVERIFY(!NetworkUpdater::IsKestrinRollbackSupported(DeviceType::solvarine));
    }

    void cacheThatDoesNotMatchIsDownloadedAgain_data()
    {
        QTest::addColumn<QByteArray>("marker");
        QTest::addColumn<QString>("missing");
        QTest::newRow("marker with line end") << QByteArray("2.1.0\n") << QString();
        QTest::newRow("one image missing") << QByteArray("2.1.0") << "xbox_dongle.bin";
        QTest::newRow("older version") << QByteArray("2.0.0") << QString();
        QTest::newRow("marker of an older run, without records") << QByteArray("2.1.0") << QString();
        QTest::newRow("1001-byte marker") << QByteArray("2.1.0").leftJustified(1001, ' ') << QString();
    }
    void cacheThatDoesNotMatchIsDownloadedAgain()
    {
        QFETCH(QByteArray, marker);
        QFETCH(QString, missing);
        const DeviceType type = DeviceType::kestrin_2;
        const QDir dir = CacheDir(Name(type));
        WriteFile(dir.absoluteFilePath("fw_ver"), marker);
        for (KestrinHwType hw : Enumer<KestrinHwType>::Values()) {
            if (NetworkUpdater::getFwFileName(hw) != missing)
                WriteFile(dir.absoluteFilePath(NetworkUpdater::getFwFileName(hw)), "stale");
        }
        serveKestrinFw(type, "2.1.0");
        auto updater = makeUpdater();
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        QCOMPARE(imageRequests(type, "2.1.0"), 4);
        verifyKestrinCache(type, "2.1.0");
    }

    void kestrinFailuresKeepTheCachedFirmware_data()
    {
        QTest::addColumn<QString>("path"); // the part that misbehaves: "manifest" or an image variant
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("imagesAsked");
        QTest::addColumn<QString>("logged");
        QTest::newRow("manifest 404") << "manifest" << QByteArray() << Fault::NotFound << false << "Network Error, 203";
        QTest::newRow("manifest 500") << "manifest" << QByteArray() << Fault::ServerError << false
                                      << "Network Error, 401";
        QTest::newRow("manifest stalled") << "manifest" << QByteArray() << Fault::Stall << false << "Network Error, 5";
        QTest::newRow("manifest cut short")
            << "manifest" << QByteArray() << Fault::Truncated << false << "Network Error, 2";
        QTest::newRow("manifest not JSON")
            << "manifest" << QByteArray("{ 'version': ") << Fault::None << false << "Reading kestrin FW JSON error: ";
        QTest::newRow("manifest an array")
            << "manifest" << QByteArray("[]") << Fault::None << false << "Reading kestrin FW JSON error: not an object";
        QTest::newRow("no version") << "manifest" << QByteArray("{ 'ps_headset': 'https://x/y' }") << Fault::None
                                    << false << "kestrin FW JSON has no version";
        QTest::newRow("three of four links")
            << "manifest" << QByteArray("3 links") << Fault::None << false << "kestrin FW JSON has no xbox_dongle link";
        QTest::newRow("image 404") << "ps_dongle" << QByteArray() << Fault::NotFound << true << "Network Error, 203";
        QTest::newRow("image 500") << "xbox_headset" << QByteArray() << Fault::ServerError << true
                                   << "Network Error, 401";
        QTest::newRow("image cut short") << "xbox_dongle" << QByteArray() << Fault::Truncated << true
                                         << "Network Error, 2";
        QTest::newRow("image partial") << "ps_dongle" << QByteArray() << Fault::Partial << true
                                       << "is incomplete: HTTP status 206";
        QTest::newRow("image stalled") << "ps_headset" << QByteArray() << Fault::Stall << true
                                       << "failed: timed out: no data for 2 s";
        QTest::newRow("image empty") << "ps_headset" << QByteArray("") << Fault::None << true
                                     << "The kestrin FW image ps_headset from ";
        QTest::newRow("image without length") << "xbox_headset" << QByteArray() << Fault::Unannounced << true
                                              << "the server announced no length and sent no chunks, so the 50000 "
                                                 "bytes received cannot be known to be all of it";
        QTest::newRow("image cut without length") << "ps_dongle" << QByteArray() << Fault::CutUnannounced << true
                                                  << "the server announced no length and sent no chunks, so the "
                                                     "25000 bytes received cannot be known to be all of it";
        QTest::newRow("image chunks cut")
            << "ps_dongle" << QByteArray() << Fault::ChunkedCut << true << "Network Error, ";
        QTest::newRow("image compressed") << "ps_headset" << QByteArray() << Fault::Compressed << true
                                          << "the server sent a body compressed as \"gzip\"";
        QTest::newRow("image of 1 GiB") << "xbox_dongle" << QByteArray() << Fault::Oversized << true
                                        << "the server announced 1073741824 bytes, more than the 67108864 accepted";
        QTest::newRow("image over http") << "manifest" << QByteArray("plain link") << Fault::None << false
                                         << "Refused to fetch the kestrin FW image ps_dongle from \"http://127.0.0.1:";
        QTest::newRow("image from a file") << "manifest" << QByteArray("file link") << Fault::None << false
                                           << "Refused to fetch the kestrin FW image ps_dongle from "
                                              "\"file:///etc/hostname\"";
        QTest::newRow("manifest of 1 GiB") << "manifest" << QByteArray() << Fault::Oversized << false
                                           << "the server announced 1073741824 bytes, more than the 262144 accepted";
        QTest::newRow("manifest without end")
            << "manifest" << QByteArray() << Fault::Endless << false << "the body passed the 262144 bytes accepted";
        QTest::newRow("manifest compressed") << "manifest" << QByteArray() << Fault::Compressed << false
                                             << "the server sent a body compressed as \"gzip\"";
    }
    void kestrinFailuresKeepTheCachedFirmware()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(Fault, fault);
        QFETCH(bool, imagesAsked);
        QFETCH(QString, logged);
        const DeviceType type = DeviceType::kestrin;
        saveKestrinFw(type, "1.0.0");

        serveKestrinFw(type, "2.0.0");
        if (path == "manifest") {
            if (body == "3 links") {
                QJsonObject manifest{{"version", "2.0.0"}};
                for (const char* hw : {"ps_headset", "ps_dongle", "xbox_headset"})
                    manifest.insert(hw, m_server->origin("/img/x.bin"));
                body = QJsonDocument(manifest).toJson();
            } else if (body == "plain link" || body == "file link") {
                // The same image, but served over plain HTTP, or a local file.
                QJsonObject manifest{{"version", "2.0.0"}};
                for (KestrinHwType hw : Enumer<KestrinHwType>::Values())
                    manifest.insert(Enumer<KestrinHwType>::NameOrNull(hw),
                                    m_server->origin(ImagePath(type, "2.0.0", hw)));
                const QString path = ImagePath(type, "2.0.0", KestrinHwType::ps_dongle);
                m_plain->serve(path, ImageBody(type, "2.0.0", KestrinHwType::ps_dongle));
                manifest.insert("ps_dongle", body == "plain link" ? m_plain->origin(path) : "file:///etc/hostname");
                body = QJsonDocument(manifest).toJson();
            }
            if (body.isEmpty())
                m_server->setFault(ManifestPath(type), fault);
            else
                m_server->serve(ManifestPath(type), Json(body), fault);
        } else {
            const QString image = ImagePath(type, "2.0.0", Enumer<KestrinHwType>::ValueOrDefault(path, {}));
            m_server->serve(image, fault == Fault::None ? body : QByteArray(50000, 'f'), fault);
        }

        auto updater = makeUpdater(TimeoutFor(fault));
        const QString logBefore = LogText();
        const auto seen = Record(*updater, &NetworkUpdater::sigKestrinFwStatusChanged,
                                 [u = updater.get(), t = type] { return u->getKestrinFwStatus(t); });
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Failed, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(updater->findChildren<QNetworkReply*>().size(), 0, WaitMs);
        QCOMPARE(seen->first(), Status::InProgress);
        QVERIFY(seen->size() >= 2);
        for (int i = 1; i < seen->size(); ++i)
            QCOMPARE(seen->at(i), Status::Failed);
        QVERIFY(!updater->hasKestrinFwUpdate(type));
        QString out;
        QVERIFY(!updater->readKestrinFwVersion(type, out));
        QVERIFY(!updater->readKestrinFw(type, KestrinHwType::ps_headset, out));
        QCOMPARE(imageRequests(type, "2.0.0") > 0, imagesAsked);
        QCOMPARE(m_server->requestCount("/img/x.bin"), 0);
        QVERIFY(m_plain->requests().isEmpty());
        QVERIFY2(LogText().mid(logBefore.size()).contains(logged), qPrintable(logged));

        // The firmware saved before is whole, and found again when offered.
        verifyKestrinCache(type, "1.0.0");
        serveKestrinFw(type, "1.0.0");
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        QCOMPARE(imageRequests(type, "1.0.0"), 4);
    }

    void newFirmwareReplacesTheCacheOnlyWhenComplete()
    {
        const DeviceType type = DeviceType::kestrin_2_anc;
        saveKestrinFw(type, "1.0.0");
        serveKestrinFw(type, "2.0.0");
        m_server->setFault(ImagePath(type, "2.0.0", KestrinHwType::xbox_headset), Fault::Held);
        auto updater = makeUpdater();
        updater->checkForKestrinFw(type);
        // Three images are in, the fourth is on its way: nothing is written yet.
        QTRY_COMPARE_WITH_TIMEOUT(m_server->heldCount(), 1, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(updater->findChildren<QNetworkReply*>().size(), 1, WaitMs);
        QCOMPARE(updater->getKestrinFwStatus(type), Status::InProgress);
        verifyKestrinCache(type, "1.0.0");

        m_server->release();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        verifyKestrinCache(type, "2.0.0");
    }

    void failedSaveLeavesNoVersionThatIsNotThere()
    {
        const DeviceType type = DeviceType::kestrin;
        saveKestrinFw(type, "1.0.0");
        // An image file that cannot be replaced: its name is taken by a folder.
        const QDir dir = CacheDir(Name(type));
        QVERIFY(QFile::remove(dir.absoluteFilePath("xbox_dongle.bin")));
        QVERIFY(QDir().mkpath(dir.absoluteFilePath("xbox_dongle.bin/inside")));

        serveKestrinFw(type, "2.0.0");
        auto updater = makeUpdater();
        const QString logBefore = LogText();
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Failed, WaitMs);
        const QString log = LogText().mid(logBefore.size());
        QVERIFY2(log.contains("cannot write " + dir.absoluteFilePath("xbox_dongle.bin")), qPrintable(log));
        // Nothing was replaced, and no temporary file is left.
        QCOMPARE(ReadFile(dir.absoluteFilePath("fw_ver")).split('\n').first(), QByteArray("1.0.0"));
        QCOMPARE(ReadFile(dir.absoluteFilePath("ps_headset.bin")), ImageBody(type, "1.0.0", KestrinHwType::ps_headset));
        QCOMPARE(Files(Name(type)), QStringList({"fw_ver", "ps_dongle.bin", "ps_headset.bin", "xbox_headset.bin"}));
    }

    // A download that fills the disk fails, says so, and leaves nothing behind. The full disk is a
    // 64 KiB file system mounted on the cache folder in a private namespace, in a second run of
    // this program.
    void diskFull()
    {
        const DeviceType type = DeviceType::kestrin;
        if (!TestSupport::IsFullDiskRun())
            VELMOR_RUN_ON_FULL_DISK(CacheDir(Name(type)).absolutePath(), "TestNetworkUpdater", "diskFull");
        for (KestrinHwType hw : Enumer<KestrinHwType>::Values())
            m_server->serve(ImagePath(type, "2.0.0", hw), QByteArray(100000, 'i'));
        QJsonObject manifest{{"version", "2.0.0"}};
        for (KestrinHwType hw : Enumer<KestrinHwType>::Values())
            manifest.insert(Enumer<KestrinHwType>::NameOrNull(hw), m_server->origin(ImagePath(type, "2.0.0", hw)));
        m_server->serve(ManifestPath(type), QJsonDocument(manifest).toJson());
        auto updater = makeUpdater();
        const QString logBefore = LogText();
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Failed, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(updater->findChildren<QNetworkReply*>().size(), 0, WaitMs);
        const QString log = LogText().mid(logBefore.size());
        QVERIFY2(log.contains(QStringLiteral("cannot write %1/").arg(CacheDir(Name(type)).absolutePath())) &&
                     log.contains("the disk is full"),
                 qPrintable(log));
        QVERIFY(Files(Name(type)).isEmpty());
        updater.reset();
        QVERIFY(QStorageInfo(CacheDir(Name(type)).absolutePath()).bytesAvailable() > 60000); // nothing kept
    }

    // A body that drips keeps the idle timer going; the minimum rate ends it, the log names that
    // limit, and the channel is free again: a later check and a rollback choice fetch afresh.
    void drippingBodyEndsByTheMinimumRate_data()
    {
        QTest::addColumn<QString>("part");
        QTest::newRow("manifest") << "manifest";
        QTest::newRow("image") << "image";
    }
    void drippingBodyEndsByTheMinimumRate()
    {
        QFETCH(QString, part);
        const DeviceType type = DeviceType::kestrin_2;
        serveKestrinFw(type, "2.0.0");
        const QString dripping =
            part == "manifest" ? ManifestPath(type) : ImagePath(type, "2.0.0", KestrinHwType::xbox_headset);
        m_server->setFault(dripping, Fault::Slow);
        m_server->setSlowPace(100, 600); // a byte or so every 100 ms, for a minute
        auto updater = makeUpdater();
        updater->setMinimumRate(1000, 1000);
        const QString logBefore = LogText();
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Failed, WaitMs);
        const QString log = LogText().mid(logBefore.size());
        QVERIFY2(log.contains(QStringLiteral("at %1 failed: too slow: ").arg(m_server->origin(dripping))) &&
                     log.contains("(the minimum rate limit)"),
                 qPrintable(log));
        QTRY_COMPARE_WITH_TIMEOUT(updater->findChildren<QNetworkReply*>().size(), 0, WaitMs);
        QVERIFY(Files(Name(type)).isEmpty());

        // A later check starts a fresh request.
        m_server->setFault(dripping, Fault::None);
        const int before = m_server->requestCount(dripping);
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        QCOMPARE(m_server->requestCount(dripping), before + 1);
        verifyKestrinCache(type, "2.0.0");
    }

    void rollbackChoiceDuringADrippingCheckIsFetched()
    {
        const DeviceType type = DeviceType::kestrin;
        serveKestrinFw(type, "3.0.0");
        serveKestrinFw(type, "2.0.0", "/old/2.0.0.json");
        m_server->serve("/kes/kestrin-new-rollback.json",
                        Json("{ 'firmwares': [ { 'version': '2.0.0', 'link': '" +
                             m_server->origin("/old/2.0.0.json").toUtf8() + "' } ] }"));
        m_server->setFault(ManifestPath(type), Fault::Slow);
        m_server->setSlowPace(100, 600);
        auto updater = makeUpdater();
        updater->setMinimumRate(1000, 1000);
        updater->checkForKestrinRollbackFws(type, 1);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAvailableKestrinFwNames(type), QStringList({"2.0.0"}), WaitMs);
        updater->checkForKestrinFw(type);
        QCOMPARE(updater->getKestrinFwStatus(type), Status::InProgress);
        updater->setKestrinRollbackIndex(type, 0);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        QString version;
        QVERIFY(updater->readKestrinFwVersion(type, version));
        QCOMPARE(version, QStringLiteral("2.0.0"));
        verifyKestrinCache(type, "2.0.0");
    }

    // A firmware image whose response is not consistent, or is plainly no image, is never cached;
    // the log names the header or the kind of body at fault.
    void inconsistentImageIsRefused_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("logged");
        const QByteArray image(65536, 'i');
        const QByteArray html = "<!DOCTYPE html>\n<html><body>Service unavailable</body></html>\n";
        QTest::newRow("two lengths") << Fault::DuplicateLength << QByteArray("application/octet-stream") << image
                                     << "conflicting Content-Length headers";
        QTest::newRow("invalid length") << Fault::InvalidLength << QByteArray("application/octet-stream") << image
                                        << "invalid Content-Length header \"12abc\"";
        QTest::newRow("HTML by its type")
            << Fault::None << QByteArray("text/html; charset=utf-8") << html << "Content-Type \"text/html\"";
        QTest::newRow("HTML by its first bytes")
            << Fault::None << QByteArray("application/octet-stream") << "  " + html << "an HTML or XML document";
        QTest::newRow("JSON by its first bytes") << Fault::None << QByteArray("application/octet-stream")
                                                 << QByteArray("{\"error\": \"not found\"}") << "a JSON document";
    }
    void inconsistentImageIsRefused()
    {
        QFETCH(Fault, fault);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QString, logged);
        const DeviceType type = DeviceType::kestrin;
        serveKestrinFw(type, "1.0.9");
        const QString path = ImagePath(type, "1.0.9", KestrinHwType::ps_headset);
        m_server->serve(path, body, fault);
        m_server->setContentType(path, contentType);
        auto updater = makeUpdater(StallTimeoutMs);
        const QString logBefore = LogText();
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Failed, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(updater->findChildren<QNetworkReply*>().size(), 0, WaitMs);
        const QString log = LogText().mid(logBefore.size());
        QVERIFY2(log.contains(QStringLiteral("at %1 failed: ").arg(m_server->origin(path))) && log.contains(logged) &&
                     !log.contains("timed out"),
                 qPrintable(log));
        QVERIFY(Files(Name(type)).isEmpty());

        // With the right server back the version is fetched and saved.
        serveKestrinFw(type, "1.0.9");
        m_server->setContentType(path, "application/octet-stream");
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        verifyKestrinCache(type, "1.0.9");
    }

    // A cached image changed on disk (same size, other bytes) no longer counts as saved.
    void changedCachedImageIsFetchedAgain()
    {
        const DeviceType type = DeviceType::kestrin_2;
        saveKestrinFw(type, "2.1.0");
        const QDir dir = CacheDir(Name(type));
        const QByteArray original = ImageBody(type, "2.1.0", KestrinHwType::ps_dongle);
        WriteFile(dir.absoluteFilePath("ps_dongle.bin"), QByteArray(original.size(), 'x'));
        const int before = imageRequests(type, "2.1.0");
        auto updater = makeUpdater();
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        QCOMPARE(imageRequests(type, "2.1.0"), before + 4);
        verifyKestrinCache(type, "2.1.0");
    }

    // Links in the cache folder are replaced by plain files, never written through; what they
    // pointed to stays as it was, and no file appears where a dangling link pointed.
    void linksInTheCacheAreReplaced()
    {
        const DeviceType type = DeviceType::kestrin_2;
        const QDir dir = CacheDir(Name(type));
        QVERIFY(QDir().mkpath(dir.absolutePath()));
        QTemporaryDir outside;
        const QString victim = outside.filePath("victim");
        WriteFile(victim, "not yours");
        QVERIFY(QFile::link(victim, dir.absoluteFilePath("fw_ver")));
        QVERIFY(QFile::link(victim, dir.absoluteFilePath("ps_headset.bin")));
        QVERIFY(QFile::link(outside.filePath("nothing"), dir.absoluteFilePath("xbox_dongle.bin")));
        serveKestrinFw(type, "2.1.0");
        auto updater = makeUpdater();
        const QString logBefore = LogText();
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        verifyKestrinCache(type, "2.1.0");
        for (const QString& name : Files(Name(type)))
            QVERIFY2(!QFileInfo(dir.absoluteFilePath(name)).isSymLink(), qPrintable(name));
        QCOMPARE(ReadFile(victim), QByteArray("not yours"));
        QVERIFY(!QFileInfo::exists(outside.filePath("nothing")));
        const QString log = LogText().mid(logBefore.size());
        QVERIFY2(log.contains(dir.absoluteFilePath("ps_headset.bin") + " was a link to " + victim +
                              "; it is replaced by a plain file"),
                 qPrintable(log));
    }

    // A FIFO in place of the marker is never opened (the read would block for good); the check
    // goes on as for an empty cache.
    void fifoMarkerIsRefused()
    {
        const DeviceType type = DeviceType::kestrin;
        const QDir dir = CacheDir(Name(type));
        QVERIFY(QDir().mkpath(dir.absolutePath()));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.absoluteFilePath("fw_ver")).constData(), 0600), 0);
        serveKestrinFw(type, "2.1.0");
        auto updater = makeUpdater();
        const QString logBefore = LogText();
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        verifyKestrinCache(type, "2.1.0");
        const QString log = LogText().mid(logBefore.size());
        QVERIFY2(
            log.contains("Cannot read the cache marker: " + dir.absoluteFilePath("fw_ver") + " is not a plain file"),
            qPrintable(log));
    }

    // A version holding a NUL and bidi controls is logged whole, every character escaped.
    void versionWithInvisibleCharactersIsLoggedWhole()
    {
        const DeviceType type = DeviceType::kestrin_2;
        const QString version = QStringLiteral("2.0") + QChar(0) + QStringLiteral("evil") + QChar(0x202E) +
                                QStringLiteral("exe.txt") + QChar(0x200B);
        serveKestrinFw(type, "2.0");
        QJsonObject manifest = QJsonDocument::fromJson(Json("{}")).object();
        manifest.insert("version", version);
        for (KestrinHwType hw : Enumer<KestrinHwType>::Values())
            manifest.insert(Enumer<KestrinHwType>::NameOrNull(hw), m_server->origin(ImagePath(type, "2.0", hw)));
        m_server->serve(ManifestPath(type), QJsonDocument(manifest).toJson());
        auto updater = makeUpdater();
        const QString logBefore = LogText();
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        const QString log = LogText().mid(logBefore.size());
        QVERIFY2(log.contains("kestrin_2 FW version 2.0\\x00evil\\u202eexe.txt\\u200b found"), qPrintable(log));
        QVERIFY(!log.contains(QChar(0x202E)) && !log.contains(QChar(0)));
    }

    // One news check at a time; once it ends a later one runs.
    void newsCheckRunsOnceAtATime()
    {
        m_server->serve(c_feed, Json("{ 'notifications': [ { 'id': 1, 'type': 'text', 'text': 'Hi' } ] }"),
                        Fault::Held);
        auto updater = makeUpdater();
        QSignalSpy spy(updater.get(), &NetworkUpdater::sigNotificationsUpdated);
        updater->checkForNotifications();
        QTRY_COMPARE_WITH_TIMEOUT(m_server->heldCount(), 1, WaitMs);
        updater->checkForNotifications();
        updater->checkForNotifications();
        QCOMPARE(updater->findChildren<QNetworkReply*>().size(), 1);
        m_server->release();
        QVERIFY(spy.wait(WaitMs));
        QCOMPARE(m_server->requestCount(c_feed), 1);
        m_server->setFault(c_feed, Fault::None);
        updater->checkForNotifications();
        QVERIFY(spy.wait(WaitMs));
        QCOMPARE(m_server->requestCount(c_feed), 2);
    }

    void checkWhileRunningDoesNothing()
    {
        const DeviceType type = DeviceType::kestrin_2;
        serveKestrinFw(type, "2.0.0");
        m_server->setFault(ManifestPath(type), Fault::Held);
        auto updater = makeUpdater();
        QSignalSpy spy(updater.get(), &NetworkUpdater::sigKestrinFwStatusChanged);
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->heldCount(), 1, WaitMs);
        updater->checkForKestrinFw(type);
        QCOMPARE(spy.count(), 1);
        m_server->release();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        QCOMPARE(m_server->requestCount(ManifestPath(type)), 1);
        QCOMPARE(spy.count(), 2);
    }

    void emptyImageEndsTheCheckAndLaterImagesAreIgnored()
    {
        const DeviceType type = DeviceType::kestrin;
        serveKestrinFw(type, "2.0.0");
        for (KestrinHwType hw : {KestrinHwType::ps_dongle, KestrinHwType::xbox_headset, KestrinHwType::xbox_dongle})
            m_server->setFault(ImagePath(type, "2.0.0", hw), Fault::Held);
        m_server->serve(ImagePath(type, "2.0.0", KestrinHwType::ps_headset), QByteArray());
        auto updater = makeUpdater();
        const auto seen = Record(*updater, &NetworkUpdater::sigKestrinFwStatusChanged,
                                 [u = updater.get(), t = type] { return u->getKestrinFwStatus(t); });
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Failed, WaitMs);
        // The other downloads of the failed check are given up at once.
        QTRY_COMPARE_WITH_TIMEOUT(updater->findChildren<QNetworkReply*>().size(), 0, WaitMs);
        const QList<Status> atFailure = *seen;
        m_server->release();
        // A new check is not disturbed by the answers meant for the old one.
        serveKestrinFw(type, "2.0.0");
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        QCOMPARE(seen->mid(atFailure.size()), QList<Status>({Status::InProgress, Status::Ready}));
        verifyKestrinCache(type, "2.0.0");
    }

    void slowDownloadIsNotAStall()
    {
        // Data keeps coming, more slowly than the time-out: the download goes on to the end.
        const DeviceType type = DeviceType::kestrin_2;
        serveKestrinFw(type, "2.0.0");
        m_server->setSlowPace(StallTimeoutMs / 6, 10);
        m_server->setFault(ImagePath(type, "2.0.0", KestrinHwType::ps_dongle), Fault::Slow);
        auto updater = makeUpdater(StallTimeoutMs);
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        verifyKestrinCache(type, "2.0.0");
    }

    void certificatesAreVerified()
    {
        serveKestrinFw(DeviceType::kestrin, "2.0.0");
        serveAppManifest("1.3.0", m_server->origin("/dl/setup.exe"));
        // The system's trust only: the test server's certificate is not accepted.
        NetworkUpdater updater(endpoints(), nullptr);
        const QString logBefore = LogText();
        updater.checkForKestrinFw(DeviceType::kestrin);
        updater.checkForAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(updater.getKestrinFwStatus(DeviceType::kestrin), Status::Failed, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(updater.getAppUpdateStatus(), Status::Failed, WaitMs);
        QVERIFY(LogText().mid(logBefore.size()).contains("Network Error, 6")); // SslHandshakeFailedError
        QVERIFY(m_server->requests().isEmpty());
    }

    void chunkedBodiesAreComplete()
    {
        const DeviceType type = DeviceType::kestrin_2;
        serveKestrinFw(type, "2.0.0");
        for (KestrinHwType hw : Enumer<KestrinHwType>::Values())
            m_server->setFault(ImagePath(type, "2.0.0", hw), Fault::Chunked);
        serveAppManifest("1.3.0", m_server->origin("/dl/setup.exe"));
        m_server->serve("/dl/setup.exe", "installer in chunks", Fault::Chunked);
        m_server->serve(c_solvarine,
                        Json("{ 'version': '0.9', 'link': '" + m_server->origin("/slv/fw.ldr").toUtf8() + "' }"));
        m_server->serve("/slv/fw.ldr", "loader in chunks", Fault::Chunked);
        auto updater = makeUpdater();
        updater->checkForKestrinFw(type);
        updater->checkForSolvarineFw();
        updater->checkForAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Available, WaitMs);
        updater->downloadAppUpdate();
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(updater->hasSolvarineFwUpdate(), WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Ready, WaitMs);
        verifyKestrinCache(type, "2.0.0");
        QCOMPARE(ReadFile(CacheDir("solvarine").absoluteFilePath("fw.ldr")), QByteArray("loader in chunks"));
        QCOMPARE(ReadFile(CacheDir("app_update").absoluteFilePath("setup.exe")), QByteArray("installer in chunks"));
    }

    // Whatever a manifest names, only https links are followed; the log names the refused one.
    void onlyHttpsLinksAreFollowed_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("link"); // "PLAIN" stands for the plain HTTP server
        QTest::newRow("installer over http") << "installer"
                                             << "PLAIN/dl/setup.exe";
        QTest::newRow("installer from a file") << "installer"
                                               << "file:///etc/hostname";
        QTest::newRow("rollback manifest over http") << "rollback"
                                                     << "PLAIN/old/1.0.json";
        QTest::newRow("rollback manifest from a file") << "rollback"
                                                       << "file:///etc/hostname";
        QTest::newRow("serial image over http") << "serial"
                                                << "PLAIN/slv/fw.ldr";
        QTest::newRow("serial image from a file") << "serial"
                                                  << "file:///etc/hostname";
    }
    void onlyHttpsLinksAreFollowed()
    {
        QFETCH(QString, what);
        QFETCH(QString, link);
        link.replace("PLAIN", m_plain->origin());
        // Everything the links lead to is there to be taken.
        m_plain->serve("/dl/setup.exe", "installer");
        m_plain->serve("/slv/fw.ldr", "loader");
        serveKestrinFw(DeviceType::kestrin_2, "1.0", "/old/1.0.json");
        for (KestrinHwType hw : Enumer<KestrinHwType>::Values())
            m_plain->serve(ImagePath(DeviceType::kestrin_2, "1.0", hw), ImageBody(DeviceType::kestrin_2, "1.0", hw));
        auto updater = makeUpdater();
        const QString logBefore = LogText();

        if (what == "installer") {
            serveAppManifest("1.3.0", link);
            updater->checkForAppUpdate();
            QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Available, WaitMs);
            updater->downloadAppUpdate();
            QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Failed, WaitMs);
            QVERIFY(Files("app_update").isEmpty());
        } else if (what == "rollback") {
            m_server->serve("/kes2/kestrin-2-rollback.json",
                            Json("{ 'firmwares': [ { 'version': '1.0', 'link': '" + link.toUtf8() + "' } ] }"));
            updater->checkForKestrinRollbackFws(DeviceType::kestrin_2, 0);
            QTRY_COMPARE_WITH_TIMEOUT(updater->getAvailableKestrinFwNames(DeviceType::kestrin_2), QStringList{"1.0"},
                                      WaitMs);
            updater->setKestrinRollbackIndex(DeviceType::kestrin_2, 0);
            QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(DeviceType::kestrin_2), Status::Failed, WaitMs);
            QVERIFY(Files("kestrin_2").isEmpty());
        } else {
            m_server->serve(c_solvarine, Json("{ 'version': '0.9', 'link': '" + link.toUtf8() + "' }"));
            updater->checkForSolvarineFw();
            QTRY_VERIFY_WITH_TIMEOUT(!updater->hasSolvarineFwUpdate() &&
                                         updater->findChildren<QNetworkReply*>().isEmpty() &&
                                         m_server->requestCount(c_solvarine) == 1,
                                     WaitMs);
            QVERIFY(Files("solvarine").isEmpty());
        }
        const QString log = LogText().mid(logBefore.size());
        QVERIFY2(log.contains("Refused to fetch the ") &&
                     log.contains("from \"" + link + "\": only https links are followed"),
                 qPrintable(log));
        QVERIFY(m_plain->requests().isEmpty());
    }

    // Each kind of body is stopped as soon as it passes its limit, and nothing of it is kept.
    void bodiesStopAtTheirLimit_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<qint64>("limit");
        QTest::newRow("app descriptor") << "app" << NetworkUpdater::SizeLimits().manifest;
        QTest::newRow("news feed") << "feed" << NetworkUpdater::SizeLimits().feed;
        QTest::newRow("serial image") << "serial" << NetworkUpdater::SizeLimits().serialImage;
        QTest::newRow("headset image (lowered)") << "image" << qint64(300000);
        QTest::newRow("installer (lowered)") << "installer" << qint64(300000);
    }
    void bodiesStopAtTheirLimit()
    {
        QFETCH(QString, what);
        QFETCH(qint64, limit);
        auto updater = makeUpdater();
        NetworkUpdater::SizeLimits limits;
        limits.image = limits.installer = 300000;
        updater->setSizeLimits(limits);
        QSignalSpy feed(updater.get(), &NetworkUpdater::sigNotificationsUpdated);
        const QString logBefore = LogText();
        QString path;
        if (what == "app") {
            path = c_app;
            m_server->serve(path, {}, Fault::Endless);
            updater->checkForAppUpdate();
            QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Failed, WaitMs);
        } else if (what == "feed") {
            path = c_feed;
            m_server->serve(path, {}, Fault::Endless);
            updater->checkForNotifications();
        } else if (what == "serial") {
            path = "/slv/fw.ldr";
            m_server->serve(c_solvarine,
                            Json("{ 'version': '0.9', 'link': '" + m_server->origin(path).toUtf8() + "' }"));
            m_server->serve(path, {}, Fault::Endless);
            updater->checkForSolvarineFw();
            QTRY_VERIFY_WITH_TIMEOUT(m_server->requestCount(path) == 1 && !updater->hasSolvarineFwUpdate(), WaitMs);
        } else if (what == "image") {
            serveKestrinFw(DeviceType::kestrin, "2.0.0");
            path = ImagePath(DeviceType::kestrin, "2.0.0", KestrinHwType::xbox_headset);
            m_server->setFault(path, Fault::Endless);
            updater->checkForKestrinFw(DeviceType::kestrin);
            QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(DeviceType::kestrin), Status::Failed, WaitMs);
        } else {
            path = "/dl/setup.exe";
            serveAppManifest("1.3.0", m_server->origin(path));
            m_server->serve(path, {}, Fault::Endless);
            updater->checkForAppUpdate();
            QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Available, WaitMs);
            updater->downloadAppUpdate();
            QTRY_COMPARE_WITH_TIMEOUT(updater->getAppUpdateStatus(), Status::Failed, WaitMs);
        }
        // The client hung up: the server's endless body ends.
        QTRY_COMPARE_WITH_TIMEOUT(m_server->endlessRunning(), 0, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(updater->findChildren<QNetworkReply*>().size(), 0, WaitMs);
        QVERIFY(m_server->bytesSent(path) > limit);
        const QString log = LogText().mid(logBefore.size());
        QVERIFY2(log.contains(QStringLiteral("the body passed the %1 bytes accepted").arg(limit)), qPrintable(log));
        QCOMPARE(feed.count(), 0);
        for (const char* folder : {"app_update", "kestrin", "solvarine"})
            QVERIFY2(Files(folder).isEmpty(), folder);
    }

    // ---- Rollback ----

    void rollbackList()
    {
        m_server->serve("/kes2/kestrin-2-rollback.json",
                        Json("{ 'firmwares': [ { 'version': '1.0', 'link': '" +
                             m_server->origin("/old/1.0.json").toUtf8() +
                             "' }, { 'version': 'broken', 'link': '' }, { 'version': 'bad', 'link': 'http://[x' },"
                             " { 'version': '1.1', 'link': '" +
                             m_server->origin("/old/1.1.json").toUtf8() + "' } ] }"));
        auto updater = makeUpdater();
        QSignalSpy spy(updater.get(), &NetworkUpdater::sigKestrinFwStatusChanged);
        updater->checkForKestrinRollbackFws(DeviceType::kestrin_2, 7); // the revision counts for kestrin only
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAvailableKestrinFwNames(DeviceType::kestrin_2),
                                  QStringList({"1.0", "1.1"}), WaitMs);
        QCOMPARE(spy.count(), 0);

        // A list that cannot be read leaves it empty.
        m_server->serve("/kes2/kestrin-2-rollback.json", "[]");
        const QString logBefore = LogText();
        updater->checkForKestrinRollbackFws(DeviceType::kestrin_2, 0);
        QVERIFY(updater->getAvailableKestrinFwNames(DeviceType::kestrin_2).isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(updater->findChildren<QNetworkReply*>().size(), 0, WaitMs);
        QVERIFY(LogText().mid(logBefore.size()).contains("Reading kestrin_2 Rollback JSON error not an object"));
        QVERIFY(updater->getAvailableKestrinFwNames(DeviceType::kestrin_2).isEmpty());
    }

    void rollbackListPerRevision_data()
    {
        QTest::addColumn<DeviceType>("type");
        QTest::addColumn<int>("revision");
        QTest::addColumn<QString>("path"); // empty: nothing is asked
        QTest::newRow("kestrin old") << DeviceType::kestrin << 0 << "/kes/kestrin-old-rollback.json";
        QTest::newRow("kestrin new") << DeviceType::kestrin << 1 << "/kes/kestrin-new-rollback.json";
        QTest::newRow("kestrin unknown") << DeviceType::kestrin << 2 << QString();
        QTest::newRow("kestrin_2_anc") << DeviceType::kestrin_2_anc << 1 << "/kes2/kestrin-2-anc-rollback.json";
    }
    void rollbackListPerRevision()
    {
        QFETCH(DeviceType, type);
        QFETCH(int, revision);
        QFETCH(QString, path);
        for (const char* p :
             {"/kes/kestrin-old-rollback.json", "/kes/kestrin-new-rollback.json", "/kes2/kestrin-2-anc-rollback.json"})
            m_server->serve(p,
                            Json("{ 'firmwares': [ { 'version': '" + QByteArray(p) + "', 'link': 'https://x/y' } ] }"));
        auto updater = makeUpdater();
        updater->checkForKestrinRollbackFws(type, 0);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAvailableKestrinFwNames(type).size(), 1, WaitMs);
        updater->checkForKestrinRollbackFws(type, revision);
        if (path.isEmpty()) {
            QVERIFY(updater->getAvailableKestrinFwNames(type).isEmpty()); // emptied, nothing asked
            QCOMPARE(m_server->requests().size(), 1);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(updater->getAvailableKestrinFwNames(type), QStringList({path}), WaitMs);
        }
    }

    void rollbackChoiceDuringACheckRunsAfterIt()
    {
        const DeviceType type = DeviceType::kestrin;
        serveKestrinFw(type, "3.0.0");
        serveKestrinFw(type, "2.0.0", "/old/2.0.0.json");
        m_server->serve("/kes/kestrin-new-rollback.json",
                        Json("{ 'firmwares': [ { 'version': '2.0.0', 'link': '" +
                             m_server->origin("/old/2.0.0.json").toUtf8() + "' } ] }"));
        auto updater = makeUpdater();
        updater->checkForKestrinRollbackFws(type, 1);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getAvailableKestrinFwNames(type), QStringList({"2.0.0"}), WaitMs);

        const auto seen = Record(*updater, &NetworkUpdater::sigKestrinFwStatusChanged,
                                 [u = updater.get(), t = type] { return u->getKestrinFwStatus(t); });
        m_server->setFault(ManifestPath(type), Fault::Held);
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->heldCount(), 1, WaitMs);
        updater->setKestrinRollbackIndex(type, 0);
        QCOMPARE(*seen, QList<Status>{Status::InProgress}); // the running check goes on
        m_server->setFault(ManifestPath(type), Fault::None);
        m_server->release();

        // The latest is saved unannounced and the chosen version fetched right after.
        QTRY_COMPARE_WITH_TIMEOUT(seen->size(), 3, WaitMs);
        QCOMPARE(*seen, QList<Status>({Status::InProgress, Status::InProgress, Status::Ready}));
        QString version;
        QVERIFY(updater->readKestrinFwVersion(type, version));
        QCOMPARE(version, QStringLiteral("2.0.0"));
        verifyKestrinCache(type, "2.0.0");

        // Back to the latest: an index past the end, then -1.
        updater->setKestrinRollbackIndex(type, 5);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        QVERIFY(updater->readKestrinFwVersion(type, version));
        QCOMPARE(version, QStringLiteral("3.0.0"));
        updater->setKestrinRollbackIndex(type, 0);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        updater->setKestrinRollbackIndex(type, -1);
        QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(type), Status::Ready, WaitMs);
        QVERIFY(updater->readKestrinFwVersion(type, version));
        QCOMPARE(version, QStringLiteral("3.0.0"));
        verifyKestrinCache(type, "3.0.0");
    }

    void recheckAfterAFailedCheck()
    {
        // The running check fails on the network: the re-check starts from its error and the
        // failed check's own end changes nothing.
        const DeviceType type = DeviceType::kestrin_2;
        serveKestrinFw(type, "2.0.0");
        m_server->setFault(ManifestPath(type), Fault::Held);
        auto updater = makeUpdater();
        const auto seen = Record(*updater, &NetworkUpdater::sigKestrinFwStatusChanged,
                                 [u = updater.get(), t = type] { return u->getKestrinFwStatus(t); });
        updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->heldCount(), 1, WaitMs);
        updater->forceCheckForKestrinFw(type);
        QCOMPARE(*seen, QList<Status>{Status::InProgress});
        m_server->setFault(ManifestPath(type), Fault::NotFound); // for the held request and the next
        m_server->release();
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount(ManifestPath(type)), 2, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(seen->size(), 4, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(updater->findChildren<QNetworkReply*>().size(), 0, WaitMs);
        // The first failure is not announced: the re-check replaces it; the re-check's failure is
        // announced by its error and its end, as every network failure.
        QCOMPARE(*seen, QList<Status>({Status::InProgress, Status::InProgress, Status::Failed, Status::Failed}));
    }

    // ---- Serial-device firmware ----

    void solvarineFirmware()
    {
        m_server->serve(c_solvarine,
                        Json("{ 'version': '0.9', 'link': '" + m_server->origin("/slv/fw.ldr").toUtf8() + "' }"));
        m_server->serve("/slv/fw.ldr", "loader image");
        auto updater = makeUpdater();
        const auto seen = Record(*updater, &NetworkUpdater::sigSolvarineFwStatusChanged,
                                 [u = updater.get()] { return u->hasSolvarineFwUpdate(); });
        updater->checkForSolvarineFw();
        QTRY_VERIFY_WITH_TIMEOUT(updater->hasSolvarineFwUpdate(), WaitMs);
        QCOMPARE(seen->size(), 2);
        const QDir dir = CacheDir("solvarine");
        QCOMPARE(ReadFile(dir.absoluteFilePath("fw.ldr")), QByteArray("loader image"));
        QCOMPARE(ReadFile(dir.absoluteFilePath("fw_ver")), "0.9" + FileRecord("fw.ldr", "loader image"));
        QCOMPARE(Files("solvarine"), QStringList({"fw.ldr", "fw_ver"}));
        QCOMPARE(NetworkUpdater::getSolvarineFwFileName(), QStringLiteral("fw.ldr"));

        // Found in the cache by a later run.
        updater = makeUpdater();
        updater->checkForSolvarineFw();
        QTRY_VERIFY_WITH_TIMEOUT(updater->hasSolvarineFwUpdate(), WaitMs);
        QCOMPARE(m_server->requestCount("/slv/fw.ldr"), 1);
    }

    void solvarineCacheLimits_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("taken");
        QTest::newRow("empty") << 0 << false;
        QTest::newRow("one byte") << 1 << true;
        QTest::newRow("1000000 bytes") << 1000000 << true;
        QTest::newRow("1000001 bytes") << 1000001 << false;
    }
    void solvarineCacheLimits()
    {
        QFETCH(int, size);
        QFETCH(bool, taken);
        const QDir dir = CacheDir("solvarine");
        WriteFile(dir.absoluteFilePath("fw_ver"), "0.9" + FileRecord("fw.ldr", QByteArray(size, 'l')));
        WriteFile(dir.absoluteFilePath("fw.ldr"), QByteArray(size, 'l'));
        m_server->serve(c_solvarine,
                        Json("{ 'version': '0.9', 'link': '" + m_server->origin("/slv/fw.ldr").toUtf8() + "' }"));
        m_server->serve("/slv/fw.ldr", "fresh image");
        auto updater = makeUpdater();
        updater->checkForSolvarineFw();
        QTRY_VERIFY_WITH_TIMEOUT(updater->hasSolvarineFwUpdate(), WaitMs);
        QCOMPARE(m_server->requestCount("/slv/fw.ldr"), taken ? 0 : 1);
    }

    void solvarineFailures_data()
    {
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<Fault>("manifestFault");
        QTest::addColumn<Fault>("imageFault");
        QTest::addColumn<QByteArray>("image");
        const QByteArray good = "{ 'version': '1.0', 'link': 'IMAGE' }";
        QTest::newRow("manifest 404") << good << Fault::NotFound << Fault::None << QByteArray("x");
        QTest::newRow("manifest stalled") << good << Fault::Stall << Fault::None << QByteArray("x");
        QTest::newRow("manifest not JSON") << QByteArray("{") << Fault::None << Fault::None << QByteArray("x");
        QTest::newRow("no version") << QByteArray("{ 'link': 'IMAGE' }") << Fault::None << Fault::None
                                    << QByteArray("x");
        QTest::newRow("no link") << QByteArray("{ 'version': '1.0' }") << Fault::None << Fault::None << QByteArray("x");
        QTest::newRow("image 500") << good << Fault::None << Fault::ServerError << QByteArray("x");
        QTest::newRow("image cut short") << good << Fault::None << Fault::Truncated << QByteArray(9000, 'x');
        QTest::newRow("image partial") << good << Fault::None << Fault::Partial << QByteArray(9000, 'x');
        QTest::newRow("image empty") << good << Fault::None << Fault::None << QByteArray();
        QTest::newRow("image without length") << good << Fault::None << Fault::Unannounced << QByteArray(9000, 'x');
        QTest::newRow("image cut without length")
            << good << Fault::None << Fault::CutUnannounced << QByteArray(9000, 'x');
        QTest::newRow("image compressed") << good << Fault::None << Fault::Compressed << QByteArray(9000, 'x');
        QTest::newRow("image of 1 GiB") << good << Fault::None << Fault::Oversized << QByteArray(9000, 'x');
    }
    void solvarineFailures()
    {
        QFETCH(QByteArray, manifest);
        QFETCH(Fault, manifestFault);
        QFETCH(Fault, imageFault);
        QFETCH(QByteArray, image);
        const QDir dir = CacheDir("solvarine");
        const QByteArray oldMarker = "0.9" + FileRecord("fw.ldr", "old image");
        WriteFile(dir.absoluteFilePath("fw_ver"), oldMarker);
        WriteFile(dir.absoluteFilePath("fw.ldr"), "old image");
        m_server->serve(c_solvarine, Json(manifest.replace("IMAGE", m_server->origin("/slv/fw.ldr").toUtf8())),
                        manifestFault);
        m_server->serve("/slv/fw.ldr", image, imageFault);
        auto updater = makeUpdater(TimeoutFor(manifestFault == Fault::Stall ? manifestFault : imageFault));
        QSignalSpy spy(updater.get(), &NetworkUpdater::sigSolvarineFwStatusChanged);
        updater->checkForSolvarineFw();
        QCOMPARE(spy.count(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(spy.count() >= 2 && updater->findChildren<QNetworkReply*>().isEmpty(), WaitMs);
        QVERIFY(!updater->hasSolvarineFwUpdate());
        QCOMPARE(ReadFile(dir.absoluteFilePath("fw.ldr")), QByteArray("old image"));
        QCOMPARE(ReadFile(dir.absoluteFilePath("fw_ver")), oldMarker);
        QCOMPARE(Files("solvarine"), QStringList({"fw.ldr", "fw_ver"}));
    }

    // ---- Life time ----

    void destroyedWhileRequestsRun()
    {
        serveKestrinFw(DeviceType::kestrin, "2.0.0");
        for (const QString& path : {c_app, c_feed, ManifestPath(DeviceType::kestrin), c_solvarine})
            m_server->serve(path, "{}", Fault::Held);
        auto updater = makeUpdater();
        int emitted = 0;
        connect(updater.get(), &NetworkUpdater::sigAppUpdateStatusChanged, this, [&] { ++emitted; });
        connect(updater.get(), &NetworkUpdater::sigNotificationsUpdated, this, [&] { ++emitted; });
        updater->checkForAppUpdate();
        updater->checkForNotifications();
        updater->checkForKestrinFw(DeviceType::kestrin);
        updater->checkForSolvarineFw();
        QTRY_COMPARE_WITH_TIMEOUT(m_server->heldCount(), 4, WaitMs);
        const int before = emitted;
        updater.reset();
        QCOMPARE(emitted, before);
        m_server->release(); // answers to nobody
    }
};

QTEST_GUILESS_MAIN(TestNetworkUpdater)
#include "tst_network_updater.moc"
