// The application object's own paths that the screens do not show directly, end to end: the real
// App with its real hardware bus and HID client over the emulated USB bus (our hid_* functions,
// linked directly), its real network updater (whose hosts are a closed local port in test builds,
// or the local HTTPS server where a test needs an answer) and its real notifications mediator.
//
// - the six-hourly update checks: the app update, the news, and the firmware of each connected
//   hardware device, never of the simulated headset;
// - the firmware check when a device arrives whose type has no firmware list yet;
// - the news following the current device as it becomes ready and is lost.

#include "HeadsetPlugging.h"
#include "TestHttpServer.h"

#include "app/App.h"
#include "core/Enumer.h"
#include "core/Notification.h"
#include "devices/DeviceProxy.h"
#include "devices/IKestrinDeviceMain.h"
#include "platform/IHwBus.h"
#include "platform/NetworkUpdater.h"
#include "support/TestAppData.h"
#include "support/WorkerThreadBus.h"
#include "support/devices/TestKestrinDevice.h"
#include "ui_models/UIKestrinModel.h"
#include "ui_models/UINotificationsModel.h"

#include <QAbstractItemModel>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace HidEmu;
using Devices::DeviceCategory;
using Platform::NetworkUpdater;
using TestNet::TestHttpServer;

namespace {

// The bus polls every second; generous for a slow, sanitised CI machine.
constexpr int WaitMs = 20000;
constexpr int SixHoursMs = 6 * 60 * 60 * 1000;

// The manifest paths of the product's hosts (all of them the same closed local port here).
const QString AppPath = QStringLiteral("/Velmor_App/velmor_app.json");
const QString NewsPath = QStringLiteral("/Velmor_App/Notifications/Notifications.json");
const QString KestrinFwPath = QStringLiteral("/kestrin-fw.json");
const QString Kestrin2FwPath = QStringLiteral("/kestrin-2-fw.json");
const QString Kestrin2AncFwPath = QStringLiteral("/kestrin-2-ANC-fw.json");

Notification TextNews(int id, std::initializer_list<DeviceType> devices)
{
    Notification news;
    news.id = id;
    news.type = Notification::Type::text;
    news.content = QStringLiteral("news %1").arg(id);
    for (DeviceType type : devices)
        news.devices.insert(type);
    return news;
}

using TestSupport::WorkerThreadBus;

Devices::SharedDeviceImpl HardwareDevice(DeviceType type)
{
    return TestSupport::TestKestrinDevice::Make(type);
}

} // namespace

Q_DECLARE_METATYPE(DeviceType)

class TestAppPaths : public QObject {
    Q_OBJECT

public:
    TestAppPaths(int& argc, char** argv)
        : m_argc(argc)
        , m_argv(argv)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void updatesTimerChecksEachConnectedHardwareDevice();
    void arrivalChecksFirmwareOnlyWithoutAList();
    void newsFollowTheCurrentDevice();

private:
    void startApp();
    // Waits until the product `pid` is the current device and its UI model is shown.
    void waitForHeadset(uint16_t pid);
    QNetworkAccessManager* network() const;
    // Waits until the network updater has no request running.
    void waitForNoRequest();
    // The paths of the requests running now.
    QStringList runningRequests() const;
    QTimer* updatesTimer() const;
    // The ids of the downloaded news the drawer would show, in its order.
    QList<int> visibleNews() const;

    int& m_argc;
    char** m_argv;
    App* m_app = nullptr;
};

void TestAppPaths::initTestCase()
{
    TestSupport::UseTestAppData();
    qRegisterMetaType<DeviceType>();
}

void TestAppPaths::init()
{
    QVERIFY(TestSupport::ClearAppData());
    Bus::instance().reset();
}

void TestAppPaths::cleanup()
{
    delete m_app;
    m_app = nullptr;
    QCOMPARE(Bus::instance().openHandles(), 0);
    Bus::instance().reset();
}

void TestAppPaths::startApp()
{
    m_app = new App(m_argc, m_argv);
    // The stub model once the first probe found nothing: the bus runs.
    QTRY_COMPARE_WITH_TIMEOUT(m_app->uiModel(), static_cast<QObject*>(m_app->stubModel()), WaitMs);
}

void TestAppPaths::waitForHeadset(uint16_t pid)
{
    auto currentPid = [this] {
        const auto device = m_app->deviceProxy().getDevice();
        uint16_t vid = 0;
        uint16_t got = 0;
        if (device->getCategory() == DeviceCategory::Hardware && device->getKestrinDevice())
            device->getKestrinDevice()->getVidPid(vid, got);
        return got;
    };
    QTRY_COMPARE_WITH_TIMEOUT(currentPid(), pid, WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_app->uiModel(), static_cast<QObject*>(m_app->kestrinModel()), WaitMs);
}

QNetworkAccessManager* TestAppPaths::network() const
{
    return m_app->getNetworkUpdater()->findChild<QNetworkAccessManager*>();
}

void TestAppPaths::waitForNoRequest()
{
    QTRY_VERIFY_WITH_TIMEOUT(runningRequests().isEmpty(), WaitMs);
}

// Sorted.
QStringList TestAppPaths::runningRequests() const
{
    QStringList paths;
    for (const QNetworkReply* reply : network()->findChildren<QNetworkReply*>()) {
        if (reply->isRunning())
            paths << reply->request().url().path();
    }
    paths.sort();
    return paths;
}

QTimer* TestAppPaths::updatesTimer() const
{
    QTimer* found = nullptr;
    for (QTimer* timer : m_app->findChildren<QTimer*>(Qt::FindDirectChildrenOnly)) {
        if (timer->interval() == SixHoursMs) {
            if (found)
                return nullptr; // not one timer for it
            found = timer;
        }
    }
    return found;
}

QList<int> TestAppPaths::visibleNews() const
{
    const auto* model = m_app->getNotificationsMediator()->property("notificationsModel").value<QAbstractItemModel*>();
    QList<int> ids;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        const int type = model->data(index, UIModels::UINotificationsModel::typeRole).toInt();
        if (type != UIModels::UINotificationsModel::Text)
            continue;
        // "news <id>"
        ids << model->data(index, UIModels::UINotificationsModel::dataRole).toString().section(' ', 1).toInt();
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

void TestAppPaths::updatesTimerChecksEachConnectedHardwareDevice()
{
    auto ownBus = std::make_unique<WorkerThreadBus>();
    WorkerThreadBus* bus = ownBus.get();
    m_app = new App(m_argc, m_argv, std::move(ownBus));
    QTRY_COMPARE_WITH_TIMEOUT(m_app->uiModel(), static_cast<QObject*>(m_app->stubModel()), WaitMs);
    QTimer* timer = updatesTimer();
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QVERIFY(!timer->isSingleShot());

    // Two hardware devices of different types besides the simulated headset (type kestrin).
    const auto headset = HardwareDevice(DeviceType::kestrin_2);
    const auto ancHeadset = HardwareDevice(DeviceType::kestrin_2_anc);
    bus->arrive(headset);
    bus->arrive(ancHeadset);
    QTRY_COMPARE_WITH_TIMEOUT(m_app->devices().size(), size_t(3), WaitMs);
    QCOMPARE(m_app->devices().front()->getCategory(), DeviceCategory::Software);
    QCOMPARE(m_app->devices().front()->getDeviceType(), DeviceType::kestrin);
    waitForNoRequest();

    QSignalSpy fwChecks(m_app->getNetworkUpdater(), &NetworkUpdater::sigKestrinFwStatusChanged);
    QSignalSpy appChecks(m_app->getNetworkUpdater(), &NetworkUpdater::sigAppUpdateStatusChanged);
    QMetaObject::invokeMethod(timer, "timeout");

    // The checks are asked for at once: the app update, the news, one firmware manifest per
    // hardware device in the order they arrived, none for the simulated headset's type.
    QStringList expected{AppPath, NewsPath, Kestrin2FwPath, Kestrin2AncFwPath};
    expected.sort();
    QCOMPARE(runningRequests(), expected);
    QCOMPARE(fwChecks.count(), 2);
    QCOMPARE(fwChecks.at(0).at(0).value<DeviceType>(), DeviceType::kestrin_2);
    QCOMPARE(fwChecks.at(1).at(0).value<DeviceType>(), DeviceType::kestrin_2_anc);
    QCOMPARE(appChecks.count(), 1);
    QCOMPARE(m_app->getNetworkUpdater()->getKestrinFwStatus(DeviceType::kestrin), NetworkUpdater::Status::None);

    // A device that has gone is no longer checked.
    bus->remove(ancHeadset);
    QTRY_COMPARE_WITH_TIMEOUT(m_app->devices().size(), size_t(2), WaitMs);
    waitForNoRequest();
    QMetaObject::invokeMethod(timer, "timeout");
    expected.removeOne(Kestrin2AncFwPath);
    QCOMPARE(runningRequests(), expected);
}

void TestAppPaths::arrivalChecksFirmwareOnlyWithoutAList()
{
    startApp();
    waitForNoRequest();
    // Made once the application object exists: it serves from the application's event loop.
    TestHttpServer server(true);
    QVERIFY(server.listen());

    // The firmware list of kestrin_2 is already saved, from the local server.
    NetworkUpdater* updater = m_app->getNetworkUpdater();
    updater->setSslConfiguration(TestHttpServer::clientSslConfiguration());
    const QString manifestPath = QStringLiteral("/kes2/manifest.json");
    QJsonObject manifest{{QStringLiteral("version"), QStringLiteral("2.0.1")}};
    for (KestrinHwType hw : Enumer<KestrinHwType>::Values()) {
        const QString name = Enumer<KestrinHwType>::NameOrNull(hw);
        const QString path = QStringLiteral("/kes2/%1.bin").arg(name);
        server.serve(path, "image " + name.toUtf8());
        manifest.insert(name, server.origin(path));
    }
    server.serve(manifestPath, QJsonDocument(manifest).toJson());
    updater->overrideKestrinFwUrl(DeviceType::kestrin_2, QUrl(server.origin(manifestPath)));
    QTRY_COMPARE_WITH_TIMEOUT(updater->getKestrinFwStatus(DeviceType::kestrin_2), NetworkUpdater::Status::Ready,
                              WaitMs);
    QVERIFY(updater->hasKestrinFwUpdate(DeviceType::kestrin_2));
    QCOMPARE(server.requestCount(manifestPath), 1);
    QVERIFY(!updater->hasKestrinFwUpdate(DeviceType::kestrin_2_anc));
    QCOMPARE(updater->getKestrinFwStatus(DeviceType::kestrin_2_anc), NetworkUpdater::Status::None);

    QSignalSpy fwChecks(updater, &NetworkUpdater::sigKestrinFwStatusChanged);
    QStringList finished;
    QObject scope; // ends the connection with the test, before the requests of the clean-up
    connect(network(), &QNetworkAccessManager::finished, &scope,
            [&finished](QNetworkReply* reply) { finished << reply->request().url().path(); });

    // A headset of the type with a list: no check.
    auto headset = PlugKestrin(0x4B2A);
    waitForHeadset(0x4B2A);
    Unplug(headset);
    QTRY_COMPARE_WITH_TIMEOUT(m_app->devices().size(), size_t(1), WaitMs);
    // A headset of a type without one: its manifest is asked for.
    PlugKestrin(0x4BAA);
    waitForHeadset(0x4BAA);
    QTRY_VERIFY_WITH_TIMEOUT(finished.contains(Kestrin2AncFwPath), WaitMs);
    QCOMPARE(finished.count(Kestrin2AncFwPath), 1);

    QCOMPARE(server.requestCount(manifestPath), 1);
    QVERIFY(!finished.contains(manifestPath));
    QVERIFY(!finished.contains(Kestrin2FwPath));
    QVERIFY(updater->hasKestrinFwUpdate(DeviceType::kestrin_2));
    for (const QList<QVariant>& check : fwChecks)
        QCOMPARE(check.at(0).value<DeviceType>(), DeviceType::kestrin_2_anc);
    QVERIFY(!fwChecks.isEmpty());
}

void TestAppPaths::newsFollowTheCurrentDevice()
{
    // Cached news: one for every device, one for each of three headset types, the first of them
    // the simulated headset's.
    {
        QFile cache(Notification::GetFileLocation());
        QVERIFY(QDir().mkpath(QFileInfo(cache).absolutePath()));
        QVERIFY(cache.open(QIODevice::WriteOnly));
        cache.write(
            Notification::ToJson({TextNews(1, {}), TextNews(2, {DeviceType::kestrin_2}),
                                  TextNews(3, {DeviceType::kestrin_2_anc}), TextNews(4, {DeviceType::kestrin})}));
    }
    startApp();
    QObject* news = m_app->getNotificationsMediator();
    QCOMPARE(visibleNews(), QList<int>({1}));
    QCOMPARE(news->property("newNotificationsCount").toInt(), 1);

    QSignalSpy countChanged(news, SIGNAL(newsCountChanged()));
    auto headset = PlugKestrin(0x4B2E);
    waitForHeadset(0x4B2E);
    QTRY_COMPARE_WITH_TIMEOUT(visibleNews(), QList<int>({1, 2}), WaitMs);
    QCOMPARE(news->property("newNotificationsCount").toInt(), 2);
    QVERIFY(!countChanged.isEmpty());

    // Lost: the simulated headset stands in for a moment (its news shown), then no device is
    // current and only the news of no particular device remain.
    QList<QList<int>> shown;
    auto scope = std::make_unique<QObject>();
    connect(&m_app->deviceProxy(), &Devices::DeviceProxy::deviceReady, scope.get(), [&] { shown << visibleNews(); });
    Unplug(headset);
    QTRY_COMPARE_WITH_TIMEOUT(m_app->deviceProxy().getCategory(), DeviceCategory::Stub, WaitMs);
    QCOMPARE(shown, QList<QList<int>>({{1, 4}}));
    QCOMPARE(visibleNews(), QList<int>({1}));
    QCOMPARE(news->property("newNotificationsCount").toInt(), 1);
    scope.reset();

    // Another type of headset: its own news.
    PlugKestrin(0x4BAE);
    waitForHeadset(0x4BAE);
    QTRY_COMPARE_WITH_TIMEOUT(visibleNews(), QList<int>({1, 3}), WaitMs);
}

int main(int argc, char** argv)
{
    TestAppPaths test(argc, argv);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_app_paths.moc"
