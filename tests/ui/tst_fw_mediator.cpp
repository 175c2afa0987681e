#include "core/Preferences.h"
#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "devices/FakeKestrinDeviceImpl.h"
#include "platform/IKestrinDriversUninstaller.h"
#include "platform/KestrinFwUpdater.h"
#include "platform/NetworkUpdater.h"
#include "support/DriverRemovalRun.h"
#include "support/TestAppData.h"
#include "support/devices/TestKestrinDevice.h"
#include "support/fw/FwTestDoubles.h"
#include "support/fw/ScriptedDfuLibrary.h"
#include "ui_mediators/UIKesFwMediator.h"
#include "ui_models/IAppServices.h"
#include "ui_models/UIKestrinModel.h"

#include "TestHttpServer.h"

#include <QtTest>

#include <memory>

using Platform::IKestrinFwUpdater;
using Platform::NetworkUpdater;
using TestNet::TestHttpServer;
using TestSupport::ScriptedDriversUninstaller;
using TestSupport::ScriptedFwUpdaterFactory;
using TestSupport::TestKestrinDevice;
using UIMediators::UIKesFwMediator;
using Uninstaller = Platform::IKestrinDriversUninstaller;

namespace {

constexpr int WaitMs = 15000;

QString ManifestPath(DeviceType type)
{
    switch (type) {
    case DeviceType::kestrin: return QStringLiteral("/kes/kestrin-fw.json");
    case DeviceType::kestrin_2: return QStringLiteral("/kes2/kestrin-2-fw.json");
    default: return QStringLiteral("/kes2/kestrin-2-ANC-fw.json");
    }
}

// The application object with a real network updater and preferences and a recording bus.
class FwAppServices final : public UIModels::IAppServices {
public:
    FwAppServices(NetworkUpdater& updater, Platform::IHwBus& bus)
        : m_updater(updater)
        , m_bus(bus)
    {
    }

    Preferences* getPreferences() const override { return const_cast<Preferences*>(&m_preferences); }
    Platform::NetworkUpdater* getNetworkUpdater() const override { return &m_updater; }
    Platform::IHwBus* getHwBus() const override { return &m_bus; }
    void selectDevice(int type) override { selected << type; }
    void beginActivity() override { ++activities; }
    void endActivity() override { --activities; }
    bool areAnimationsEnabled() const override { return true; }

    QList<int> selected;
    int activities = 0;

private:
    Preferences m_preferences;
    NetworkUpdater& m_updater;
    Platform::IHwBus& m_bus;
};

struct DeviceSetup {
    DeviceType type = DeviceType::kestrin_2;
    bool dongle = false;
    bool fwOnly = false;
    QString fwVersion = QStringLiteral("1.2.3");
    QString dongleFwVersion = QStringLiteral("4.5.6");
    uint16_t autoPowerOff = 300;
    Devices::DeviceCategory category = Devices::DeviceCategory::Hardware;
};

std::shared_ptr<TestKestrinDevice> MakeDevice(const DeviceSetup& wanted)
{
    TestKestrinDevice::Options options;
    options.type = wanted.type;
    options.dongle = wanted.dongle;
    options.fwOnly = wanted.fwOnly;
    options.category = wanted.category;
    options.hwType = wanted.dongle ? KestrinHwType::xbox_dongle : KestrinHwType::xbox_headset;
    TestKestrinDevice::State state;
    state.fwVersion = wanted.fwVersion;
    state.dongleFwVersion = wanted.dongleFwVersion;
    state.autoPowerOff = wanted.autoPowerOff;
    return std::make_shared<TestKestrinDevice>(options, state);
}

} // namespace

class TestFwMediator : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<NetworkUpdater> m_updater;
    std::unique_ptr<TestSupport::RecordingHwBus> m_bus;
    std::unique_ptr<FwAppServices> m_app;
    std::unique_ptr<Devices::DeviceProxy> m_proxy;
    std::unique_ptr<UIModels::UIKestrinModel> m_model;
    ScriptedFwUpdaterFactory m_factory;
    QPointer<ScriptedDriversUninstaller> m_uninstaller;
    int m_uninstallersMade = 0;
    bool m_familyConnected = false;
    // Used by real updaters; they outlive the model.
    std::unique_ptr<TestSupport::ScriptedDfuLibrary> m_library;
    std::unique_ptr<QTemporaryDir> m_common;

    UIKesFwMediator* fw() const { return m_model->fwMediator(); }

    void serveFw(DeviceType type, const QString& version)
    {
        QJsonObject manifest{{"version", version}};
        for (KestrinHwType hw : Enumer<KestrinHwType>::Values()) {
            const QString path = QStringLiteral("/img/%1/%2.bin").arg(version, Enumer<KestrinHwType>::NameOrNull(hw));
            manifest.insert(Enumer<KestrinHwType>::NameOrNull(hw), m_server->origin(path));
            m_server->serve(path, "image " + path.toUtf8());
        }
        m_server->serve(ManifestPath(type), QJsonDocument(manifest).toJson());
    }

    // The network updater downloads `version` for `type` and keeps it in its cache.
    void saveFw(DeviceType type, const QString& version)
    {
        serveFw(type, version);
        m_updater->checkForKestrinFw(type);
        QTRY_COMPARE_WITH_TIMEOUT(m_updater->getKestrinFwStatus(type), NetworkUpdater::Status::Ready, WaitMs);
    }

    std::shared_ptr<TestKestrinDevice> plug(const DeviceSetup& wanted = DeviceSetup())
    {
        auto device = MakeDevice(wanted);
        [&] { QVERIFY(m_proxy->setDevice(device)); }();
        return device;
    }

    // An install that has started, through the scripted updater.
    TestSupport::ScriptedFwUpdater* startInstall(bool remote = false)
    {
        [&] { QCOMPARE(fw()->installFw(remote), UIKesFwMediator::Started); }();
        return m_factory.last;
    }

private slots:
    void initTestCase()
    {
        TestSupport::UseTestAppData();
        qRegisterMetaType<DeviceType>();
    }

    void init()
    {
        QVERIFY(TestSupport::ClearAppData());
        m_server = std::make_unique<TestHttpServer>(true);
        QVERIFY(m_server->listen());
        m_updater = std::make_unique<NetworkUpdater>(
            NetworkUpdater::Endpoints{m_server->origin("/soft"), m_server->origin("/kes"), m_server->origin("/kes2"),
                                      m_server->origin("/slv")},
            nullptr);
        m_updater->setSslConfiguration(TestHttpServer::clientSslConfiguration());
        m_bus = std::make_unique<TestSupport::RecordingHwBus>();
        m_app = std::make_unique<FwAppServices>(*m_updater, *m_bus);
        m_proxy = std::make_unique<Devices::DeviceProxy>();
        m_model = std::make_unique<UIModels::UIKestrinModel>(m_proxy.get(), m_app.get(), nullptr);

        m_factory = ScriptedFwUpdaterFactory();
        m_uninstallersMade = 0;
        m_familyConnected = false;
        UIKesFwMediator::PlatformServices services;
        services.createFwUpdater = [this](const QString& path, Platform::IHwBus& bus) {
            return m_factory.create(path, bus);
        };
        services.createDriversUninstaller = [this]() -> std::unique_ptr<Uninstaller> {
            ++m_uninstallersMade;
            auto uninstaller = std::make_unique<ScriptedDriversUninstaller>();
            m_uninstaller = uninstaller.get();
            return uninstaller;
        };
        services.isAnyKestrinConnected = [this] { return m_familyConnected; };
        services.driverRemovalSupported = true;
        fw()->setPlatformServices(services);
    }

    void cleanup()
    {
        m_model.reset();
        m_library.reset();
        m_common.reset();
        m_proxy.reset();
        m_app.reset();
        m_bus.reset();
        m_updater.reset();
        m_server.reset();
    }

    // ---- Versions and the offer ----

    void offer_data()
    {
        QTest::addColumn<bool>("dongle");
        QTest::addColumn<bool>("fwOnly");
        QTest::addColumn<QString>("fwVer");
        QTest::addColumn<QString>("dongleFwVer");
        QTest::addColumn<int>("category");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<bool>("offered");
        QTest::addColumn<bool>("mismatch");
        const int hw = int(Devices::DeviceCategory::Hardware);
        const int sw = int(Devices::DeviceCategory::Software);
        QTest::newRow("headset up to date") << false << false << "2.0.0"
                                            << "" << hw << true << false << false;
        QTest::newRow("headset older") << false << false << "1.9.0"
                                       << "" << hw << true << true << false;
        QTest::newRow("nothing saved") << false << false << "1.9.0"
                                       << "" << hw << false << false << false;
        QTest::newRow("simulated headset") << false << false << "1.9.0"
                                           << "" << sw << true << false << false;
        QTest::newRow("dongle older, headset current") << true << false << "2.0.0"
                                                       << "1.0.0" << hw << true << true << true;
        QTest::newRow("dongle and headset current") << true << false << "2.0.0"
                                                    << "2.0.0" << hw << true << false << false;
        QTest::newRow("lone dongle current") << true << true << "0.0.1"
                                             << "2.0.0" << hw << true << false << false;
        QTest::newRow("lone dongle older") << true << true << "2.0.0"
                                           << "1.0.0" << hw << true << true << false;
    }
    void offer()
    {
        QFETCH(bool, dongle);
        QFETCH(bool, fwOnly);
        QFETCH(QString, fwVer);
        QFETCH(QString, dongleFwVer);
        QFETCH(int, category);
        QFETCH(bool, saved);
        QFETCH(bool, offered);
        QFETCH(bool, mismatch);
        if (saved)
            saveFw(DeviceType::kestrin_2, "2.0.0");
        QSignalSpy ready(fw(), &UIKesFwMediator::modelReady);
        plug({DeviceType::kestrin_2, dongle, fwOnly, fwVer, dongleFwVer, 300, Devices::DeviceCategory(category)});
        QCOMPARE(ready.count(), 1);
        if (!fwOnly) // a lone dongle reports no headset
            QCOMPARE(fw()->getFwVer(), fwVer);
        QCOMPARE(fw()->getDongleFwVer(), dongle ? dongleFwVer : QString());
        QCOMPARE(fw()->isDongle(), dongle);
        QCOMPARE(fw()->isFwOnly(), fwOnly);
        QCOMPARE(fw()->getAvailableFw(), saved && category == int(Devices::DeviceCategory::Hardware) ? "2.0.0" : "");
        QCOMPARE(fw()->hasFwUpdate(), offered);
        QCOMPARE(fw()->isFwMismatch(), mismatch);
    }

    void forcedOfferLastsUntilAnInstall()
    {
        saveFw(DeviceType::kestrin_2, "1.2.3");
        plug();
        QVERIFY(!fw()->hasFwUpdate());
        QSignalSpy offer(fw(), &UIKesFwMediator::hasFwUpdateChanged);
        fw()->forceAllowUpdate();
        QCOMPARE(offer.count(), 1);
        QVERIFY(fw()->hasFwUpdate());
        startInstall();
        QVERIFY(!fw()->hasFwUpdate());
        QCOMPARE(offer.count(), 2);
    }

    void followsTheNetworkUpdater()
    {
        plug();
        QSignalSpy available(fw(), &UIKesFwMediator::availableFwChanged);
        QSignalSpy checking(fw(), &UIKesFwMediator::isCheckingChanged);
        serveFw(DeviceType::kestrin_2, "2.0.0");
        m_server->setFault(ManifestPath(DeviceType::kestrin_2), TestHttpServer::Fault::Held);
        m_updater->checkForKestrinFw(DeviceType::kestrin_2);
        QVERIFY(fw()->isChecking());
        QCOMPARE(checking.count(), 1);
        QVERIFY(fw()->getAvailableFw().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(m_server->heldCount(), 1, WaitMs);
        m_server->setFault(ManifestPath(DeviceType::kestrin_2), TestHttpServer::Fault::None);
        m_server->release();
        QTRY_VERIFY_WITH_TIMEOUT(!fw()->isChecking(), WaitMs);
        QCOMPARE(checking.count(), 2);
        QCOMPARE(fw()->getAvailableFw(), QStringLiteral("2.0.0"));
        QCOMPARE(available.count(), 1);
        QVERIFY(fw()->hasFwUpdate());

        // Another model's firmware is not this device's.
        available.clear();
        saveFw(DeviceType::kestrin, "9.9.9");
        QCOMPARE(available.count(), 0);
        QCOMPARE(fw()->getAvailableFw(), QStringLiteral("2.0.0"));
    }

    // ---- Install ----

    void installRefusals_data()
    {
        QTest::addColumn<bool>("saved");
        QTest::addColumn<int>("category");
        QTest::addColumn<int>("updaterStatus");
        QTest::addColumn<bool>("startResult");
        QTest::addColumn<int>("updatersMade");
        QTest::addColumn<int>("status"); // the mediator's afterwards
        const int hw = int(Devices::DeviceCategory::Hardware);
        QTest::newRow("nothing saved") << false << hw << int(IKestrinFwUpdater::Idle) << true << 0
                                       << int(UIKesFwMediator::NotStarted);
        QTest::newRow("simulated headset")
            << true << int(Devices::DeviceCategory::Software) << int(IKestrinFwUpdater::Idle) << true << 0
            << int(UIKesFwMediator::NotStarted);
        QTest::newRow("updater not ready")
            << true << hw << int(IKestrinFwUpdater::Failed) << true << 1 << int(UIKesFwMediator::NotStarted);
        QTest::newRow("updater refuses") << true << hw << int(IKestrinFwUpdater::Idle) << false << 1
                                         << int(UIKesFwMediator::Starting);
    }
    void installRefusals()
    {
        QFETCH(bool, saved);
        QFETCH(int, category);
        QFETCH(int, updaterStatus);
        QFETCH(bool, startResult);
        QFETCH(int, updatersMade);
        QFETCH(int, status);
        if (saved)
            saveFw(DeviceType::kestrin_2, "2.0.0");
        plug({DeviceType::kestrin_2, false, false, "1.0.0", "", 300, Devices::DeviceCategory(category)});
        m_factory.initialStatus = IKestrinFwUpdater::Status(updaterStatus);
        m_factory.startResult = startResult;
        QSignalSpy statusSpy(fw(), &UIKesFwMediator::statusChanged);
        QCOMPARE(fw()->installFw(false), UIKesFwMediator::StartFailed);
        QCOMPARE(m_factory.created, updatersMade);
        QVERIFY(m_factory.last.isNull()); // none left behind
        QCOMPARE(int(fw()->getStatus()), status);
        QCOMPARE(statusSpy.count(), status == UIKesFwMediator::Starting ? 1 : 0);
        QCOMPARE(m_app->activities, 0);
        // Nothing stops a later, well-prepared install.
        if (saved && category == int(Devices::DeviceCategory::Hardware)) {
            m_factory.initialStatus = IKestrinFwUpdater::Idle;
            m_factory.startResult = true;
            QCOMPARE(fw()->installFw(false), UIKesFwMediator::Started);
        }
    }

    void imageFollowsTheVariant_data()
    {
        QTest::addColumn<bool>("dongle");
        QTest::addColumn<bool>("remote");
        QTest::addColumn<QString>("file");
        QTest::newRow("headset") << false << false << "xbox_headset.bin";
        QTest::newRow("dongle itself") << true << false << "xbox_dongle.bin";
        QTest::newRow("headset via dongle") << true << true << "xbox_headset.bin";
    }
    void imageFollowsTheVariant()
    {
        QFETCH(bool, dongle);
        QFETCH(bool, remote);
        QFETCH(QString, file);
        saveFw(DeviceType::kestrin_2, "2.0.0");
        auto device = plug({DeviceType::kestrin_2, dongle, false, "1.0.0", "1.0.0"});
        auto* updater = startInstall(remote);
        QVERIFY(updater);
        QCOMPARE(QFileInfo(m_factory.lastPath).fileName(), file);
        QVERIFY(QFile::exists(m_factory.lastPath));
        QCOMPARE(m_factory.lastBus, m_bus.get());
        QCOMPARE(updater->startedDevice, std::static_pointer_cast<Devices::IDeviceImpl>(device));
        QCOMPARE(updater->startedViaDongle, remote);
    }

    void successfulInstall()
    {
        saveFw(DeviceType::kestrin_2, "2.0.0");
        plug({DeviceType::kestrin_2, false, false, "1.0.0", "", 300});
        QList<int> statuses;
        QObject::connect(fw(), &UIKesFwMediator::statusChanged, this, [&] { statuses << fw()->getStatus(); });
        QSignalSpy progress(fw(), &UIKesFwMediator::progressChanged);

        auto* updater = startInstall();
        QCOMPARE(m_app->activities, 1);
        QCOMPARE(statuses, QList<int>({UIKesFwMediator::Starting, UIKesFwMediator::Updating}));
        QCOMPARE(fw()->installFw(false), UIKesFwMediator::StartFailed); // one at a time
        QCOMPARE(m_factory.created, 1);

        updater->setProgress(0.5f);
        updater->setProgress(0.5f); // unchanged: no signal
        QCOMPARE(progress.count(), 1);
        QCOMPARE(fw()->getProgress(), 0.5f);
        updater->setStatus(IKestrinFwUpdater::Applying);
        updater->setProgress(1.0f);
        updater->setStatus(IKestrinFwUpdater::Succeeded);
        QCOMPARE(statuses, QList<int>({UIKesFwMediator::Starting, UIKesFwMediator::Updating, UIKesFwMediator::Applying,
                                       UIKesFwMediator::Success}));
        QCOMPARE(fw()->getProgress(), 1.0f);
        QCOMPARE(m_app->activities, 0);
        QCOMPARE(m_app->selected, QList<int>{1});
        QCOMPARE(m_model->deviceModel()->getAutoPowerOff(), uint16_t(3600));
        QTRY_VERIFY(m_factory.last.isNull()); // dropped once its signal returned

        // A later install starts again at Starting.
        statuses.clear();
        startInstall();
        QCOMPARE(statuses.first(), int(UIKesFwMediator::Starting));
    }

    void failedInstall()
    {
        saveFw(DeviceType::kestrin_2, "2.0.0");
        plug({DeviceType::kestrin_2, false, false, "1.0.0", "", 900});
        auto* updater = startInstall();
        updater->setStatus(IKestrinFwUpdater::Failed);
        QCOMPARE(fw()->getStatus(), UIKesFwMediator::Failed);
        QCOMPARE(m_app->activities, 0);
        QVERIFY(m_app->selected.isEmpty());
        QCOMPARE(m_model->deviceModel()->getAutoPowerOff(), uint16_t(900)); // only 300 is raised
        QTRY_VERIFY(m_factory.last.isNull());
    }

    void powerOffRaisedWhenTheHeadsetIsBack_data()
    {
        QTest::addColumn<bool>("dongle");
        QTest::addColumn<bool>("remote");
        QTest::addColumn<int>("expected");
        QTest::newRow("headset") << false << false << 3600;
        QTest::newRow("headset via dongle") << true << true << 3600;
        QTest::newRow("dongle itself") << true << false << 300;
    }
    void powerOffRaisedWhenTheHeadsetIsBack()
    {
        QFETCH(bool, dongle);
        QFETCH(bool, remote);
        QFETCH(int, expected);
        saveFw(DeviceType::kestrin_2, "2.0.0");
        plug({DeviceType::kestrin_2, dongle, false, "1.0.0", "1.0.0"});
        auto* updater = startInstall(remote);
        // The updated device went away; the simulated headset stands in.
        QVERIFY(m_proxy->setDevice(std::make_shared<Devices::FakeKestrinDeviceImpl>()));
        updater->setStatus(IKestrinFwUpdater::Succeeded);
        plug({DeviceType::kestrin_2, false, false, "2.0.0", "", 300});
        QCOMPARE(int(m_model->deviceModel()->getAutoPowerOff()), expected);
        // Only once.
        m_model->deviceModel()->setAutoPowerOff(300);
        plug({DeviceType::kestrin_2, false, false, "2.0.0", "", 300});
        QCOMPARE(int(m_model->deviceModel()->getAutoPowerOff()), 300);
    }

    void factoryResetRaisesPowerOffOnReconnect()
    {
        auto device = plug();
        QVERIFY(fw()->factoryReset());
        QTRY_COMPARE(device->calls("factoryReset").size(), 1);
        plug({DeviceType::kestrin_2, false, false, "1.2.3", "", 300});
        QCOMPARE(m_model->deviceModel()->getAutoPowerOff(), uint16_t(3600));
    }

    void pairingAsksTheBus()
    {
        fw()->pairing();
        QCOMPARE(m_bus->calls, QStringList{"tryPairKestrinDongle"});
    }

    // ---- Rollback ----

    void rollbackMenu()
    {
        m_server->serve(
            "/kes2/kestrin-2-rollback.json",
            QJsonDocument(
                QJsonObject{{"firmwares",
                             QJsonArray{QJsonObject{{"version", "1.0"}, {"link", m_server->origin("/r/1.0.json")}},
                                        QJsonObject{{"version", "1.1"}, {"link", m_server->origin("/r/1.1.json")}}}}})
                .toJson());
        plug();
        QTRY_COMPARE_WITH_TIMEOUT(
            fw()->getRollbackFwVersions(),
            QStringList({"Rollback firmware to 1.0", "Rollback firmware to 1.1", "Install the latest firmware"}),
            WaitMs);
        QSignalSpy rollback(fw(), &UIKesFwMediator::isRollbackChanged);
        fw()->setRollbackFwIndex(0);
        QVERIFY(fw()->isRollback());
        QTRY_VERIFY_WITH_TIMEOUT(m_server->requestCount("/r/1.0.json") == 1, WaitMs); // the older one is fetched
        fw()->setRollbackFwIndex(2);
        QVERIFY(!fw()->isRollback());
        fw()->setRollbackFwIndex(1);
        QVERIFY(fw()->isRollback());
        fw()->setRollbackFwIndex(-1);
        QVERIFY(!fw()->isRollback());
        QCOMPARE(rollback.count(), 4);

        // Another model clears the choice.
        fw()->setRollbackFwIndex(0);
        QVERIFY(fw()->isRollback());
        plug({DeviceType::kestrin_2_anc});
        QVERIFY(!fw()->isRollback());

        // Not offered for the simulated headset.
        QVERIFY(m_proxy->setDevice(std::make_shared<Devices::FakeKestrinDeviceImpl>()));
        QVERIFY(fw()->getRollbackFwVersions().isEmpty());
    }

    void rollbackListAskedAgainWhenEmpty()
    {
        plug();
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount("/kes2/kestrin-2-rollback.json"), 1, WaitMs);
        QVERIFY(fw()->getRollbackFwVersions().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requestCount("/kes2/kestrin-2-rollback.json"), 2, WaitMs);
    }

    // ---- Driver removal ----

    void driverRemoval_data()
    {
        QTest::addColumn<int>("end");
        QTest::addColumn<bool>("hardware");
        QTest::addColumn<int>("expected");
        QTest::newRow("done, headset here") << int(Uninstaller::Done) << true << int(UIKesFwMediator::DrSuccess);
        QTest::newRow("done, no headset")
            << int(Uninstaller::Done) << false << int(UIKesFwMediator::DrWaitForDeviceReconnect);
        QTest::newRow("device connected")
            << int(Uninstaller::DeviceConnected) << true << int(UIKesFwMediator::DrDeviceConnected);
        QTest::newRow("no elevation") << int(Uninstaller::NoElevation) << true << int(UIKesFwMediator::DrAccessDenied);
        QTest::newRow("failed") << int(Uninstaller::Failed) << true << int(UIKesFwMediator::DrFailed);
        QTest::newRow("idle") << int(Uninstaller::Idle) << true << int(UIKesFwMediator::DrNotStarted);
    }
    void driverRemoval()
    {
        QFETCH(int, end);
        QFETCH(bool, hardware);
        QFETCH(int, expected);
        if (hardware)
            plug();
        QList<int> seen;
        QObject::connect(fw(), &UIKesFwMediator::drStatusChanged, this, [&] { seen << fw()->getDrStatus(); });

        m_familyConnected = true;
        fw()->continueReinstallingDrivers();
        fw()->continueReinstallingDrivers();
        QCOMPARE(seen, QList<int>({UIKesFwMediator::DrUnplugDevices, UIKesFwMediator::DrUnplugDevices}));
        QCOMPARE(m_uninstallersMade, 0);

        m_familyConnected = false;
        fw()->continueReinstallingDrivers();
        QCOMPARE(fw()->getDrStatus(), UIKesFwMediator::DrUninstalling);
        fw()->continueReinstallingDrivers(); // running: nothing
        QCOMPARE(seen.size(), 3);
        QCOMPARE(m_uninstaller->starts, 1);

        m_uninstaller->setStatus(Uninstaller::Status(end));
        QCOMPARE(int(fw()->getDrStatus()), expected);
        QCOMPARE(seen.size(), 4);

        if (expected == UIKesFwMediator::DrWaitForDeviceReconnect) {
            fw()->continueReinstallingDrivers(); // waiting: nothing
            QCOMPARE(seen.size(), 4);
            plug();
            QCOMPARE(fw()->getDrStatus(), UIKesFwMediator::DrSuccess);
            QCOMPARE(seen.size(), 5);
        }

        // From an end state back to the start; a second run uses the same uninstaller.
        if (fw()->getDrStatus() != UIKesFwMediator::DrNotStarted) {
            fw()->continueReinstallingDrivers();
            QCOMPARE(fw()->getDrStatus(), UIKesFwMediator::DrNotStarted);
        }
        fw()->continueReinstallingDrivers();
        QCOMPARE(fw()->getDrStatus(), UIKesFwMediator::DrUninstalling);
        QCOMPARE(m_uninstallersMade, 1);
        QCOMPARE(m_uninstaller->starts, 2);

        // Reset does not stop the run, which tells its end later.
        fw()->resetReinstallingDrivers();
        QCOMPARE(fw()->getDrStatus(), UIKesFwMediator::DrNotStarted);
        m_uninstaller->setStatus(Uninstaller::Failed);
        QCOMPARE(fw()->getDrStatus(), UIKesFwMediator::DrFailed);
    }

    void resetAlwaysSignals()
    {
        QSignalSpy spy(fw(), &UIKesFwMediator::drStatusChanged);
        fw()->resetReinstallingDrivers();
        fw()->resetReinstallingDrivers();
        QCOMPARE(spy.count(), 2);
        QCOMPARE(fw()->getDrStatus(), UIKesFwMediator::DrNotStarted);
    }

    void installThroughTheUpdaterAndTheLibrary()
    {
        // The real updater over the scripted chip library, with short waits.
        m_library = std::make_unique<TestSupport::ScriptedDfuLibrary>();
        TestSupport::ScriptedDfuLibrary& library = *m_library;
        library.setTransferScript(
            {{Platform::IKestrinDfuLibrary::ResultInfo, Platform::IKestrinDfuLibrary::MsgIdProgress, "50"},
             {Platform::IKestrinDfuLibrary::ResultReadyToApply, 0, {}, 100}});
        library.setApplyScript({{Platform::IKestrinDfuLibrary::ResultDone, 0, {}, 100}});
        m_common = std::make_unique<QTemporaryDir>();
        QTemporaryDir& common = *m_common;
        UIKesFwMediator::PlatformServices services;
        services.createFwUpdater = [&](const QString& path, Platform::IHwBus& bus) {
            Platform::KestrinFwUpdater::Timings timings;
            timings.pollMs = 20;
            timings.setupDelayMs = 20;
            timings.transferDelayMs = 20;
            return std::unique_ptr<IKestrinFwUpdater>(
                new Platform::DesktopKestrinFwUpdater(path, bus, library.library(), common.path(), timings));
        };
        fw()->setPlatformServices(services);

        saveFw(DeviceType::kestrin_2, "2.0.0");
        plug({DeviceType::kestrin_2, false, false, "1.0.0"});
        QList<int> statuses;
        QObject::connect(fw(), &UIKesFwMediator::statusChanged, this, [&] { statuses << fw()->getStatus(); });
        QCOMPARE(fw()->installFw(false), UIKesFwMediator::Started);
        QCOMPARE(m_bus->calls, QStringList{"stopBus close"});
        QTRY_COMPARE_WITH_TIMEOUT(fw()->getStatus(), UIKesFwMediator::Success, WaitMs);
        QCOMPARE(statuses, QList<int>({UIKesFwMediator::Starting, UIKesFwMediator::Updating, UIKesFwMediator::Applying,
                                       UIKesFwMediator::Success}));
        QCOMPARE(fw()->getProgress(), 1.0f);
        QCOMPARE(m_bus->calls, QStringList({"stopBus close", "runBus"}));
        QCOMPARE(library.calls().last(), QStringLiteral("close"));
        QCOMPARE(library.imageSeen(), QByteArray("image /img/2.0.0/xbox_headset.bin"));
        QCOMPARE(m_app->selected, QList<int>{1});
        QCOMPARE(m_app->activities, 0);

        // The finished updater is gone: the next install may start.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(fw()->installFw(false), UIKesFwMediator::Started);
        m_model.reset(); // deleting the mediator during an update closes the library
        QVERIFY(!library.isOpen());
    }

    // ---- This system's own services ----

    void platformServicesSayWhatIsUnavailable()
    {
        fw()->setPlatformServices(UIKesFwMediator::PlatformServices::Default());
        QVERIFY(!fw()->canRemoveDriver());

        // No driver to remove here: the removal runs (this executable, answering as the program)
        // and fails, never reporting success.
        fw()->continueReinstallingDrivers();
        QCOMPARE(fw()->getDrStatus(), UIKesFwMediator::DrUninstalling);
        QTRY_COMPARE_WITH_TIMEOUT(fw()->getDrStatus(), UIKesFwMediator::DrFailed, WaitMs);

        // No update library here: an install is refused before anything is touched.
        saveFw(DeviceType::kestrin_2, "2.0.0");
        auto device = plug({DeviceType::kestrin_2, false, false, "1.0.0"});
        QVERIFY(fw()->hasFwUpdate());
        QCOMPARE(fw()->installFw(false), UIKesFwMediator::StartFailed);
        QCOMPARE(fw()->getStatus(), UIKesFwMediator::Starting);
        QVERIFY(m_bus->calls.isEmpty());
        QVERIFY(device->calls("factoryReset").isEmpty());
        QCOMPARE(m_app->activities, 0);
    }
};

VELMOR_TEST_MAIN_WITH_REMOVAL_RUN(TestFwMediator, QTEST_MAIN_SETUP())
#include "tst_fw_mediator.moc"
