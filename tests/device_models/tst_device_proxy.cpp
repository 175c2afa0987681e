#include "device_data/AncMode.h"
#include "devices/DeviceProxy.h"
#include "devices/FakeKestrinDeviceImpl.h"
#include "devices/NullDeviceImpl.h"

#include <QSignalSpy>
#include <QTest>

#include <thread>
#include <vector>

using namespace Devices;
using DeviceData::AncMode;

namespace {

// A device without the headset interface, as the serial-port device is.
class OtherDevice final : public IDeviceImpl {
public:
    bool isValid() const override { return true; }
    DeviceCategory getCategory() const override { return DeviceCategory::Hardware; }
    DeviceType getDeviceType() const override { return DeviceType::solvarine; }
};

// Records the proxy's signals in order, with the id of the device held at each.
struct SignalLog {
    explicit SignalLog(DeviceProxy& proxy)
    {
        QObject::connect(&proxy, &DeviceProxy::deviceLost,
                         [this, &proxy] { events << QStringLiteral("lost %1").arg(proxy.getInstanceId()); });
        QObject::connect(&proxy, &DeviceProxy::deviceReady,
                         [this, &proxy] { events << QStringLiteral("ready %1").arg(proxy.getInstanceId()); });
    }
    QStringList events;
};

} // namespace

class TestDeviceProxy : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Before anything else in this process builds a device.
        auto first = std::make_shared<FakeKestrinDeviceImpl>();
        auto second = std::make_shared<OtherDevice>();
        QCOMPARE(first->getInstanceId(), uint64_t(1));
        QCOMPARE(second->getInstanceId(), uint64_t(2));
    }

    void idsAreUniqueAcrossThreads()
    {
        std::vector<uint64_t> ids[4];
        std::vector<std::thread> threads;
        for (auto& list : ids)
            threads.emplace_back([&list] {
                for (int i = 0; i < 500; ++i)
                    list.push_back(InstanceId::Create());
            });
        for (auto& thread : threads)
            thread.join();
        QSet<uint64_t> all;
        for (const auto& list : ids)
            for (uint64_t id : list)
                all.insert(id);
        QCOMPARE(all.size(), 2000);
    }

    void nullDeviceIsSharedAndEmpty()
    {
        const SharedDeviceImpl& null = NullDeviceImpl::GetSharedInstance();
        QCOMPARE(null.get(), NullDeviceImpl::GetSharedInstance().get());
        QCOMPARE(null->getCategory(), DeviceCategory::Stub);
        QCOMPARE(null->getDeviceType(), DeviceType::none);
        QVERIFY(!null->isValid());
        QVERIFY(!null->getKestrinDevice());
        QVERIFY(!null->getSolvarineDevice());
    }

    void startsOnTheNullDevice()
    {
        DeviceProxy proxy;
        QCOMPARE(proxy.getInstanceId(), NullDeviceImpl::GetSharedInstance()->getInstanceId());
        QCOMPARE(proxy.getCategory(), DeviceCategory::Stub);
        QCOMPARE(proxy.getDeviceType(), DeviceType::none);
        QVERIFY(proxy.getDevice());
    }

    void emptyDeviceIsRefused()
    {
        DeviceProxy proxy;
        SignalLog log(proxy);
        QVERIFY(!proxy.setDevice(nullptr));
        QVERIFY(log.events.isEmpty());
        QCOMPARE(proxy.getInstanceId(), NullDeviceImpl::GetSharedInstance()->getInstanceId());
    }

    void leavingTheNullDeviceAnnouncesLostThenReady()
    {
        DeviceProxy proxy;
        SignalLog log(proxy);
        auto fake = std::make_shared<FakeKestrinDeviceImpl>();
        const auto nullId = NullDeviceImpl::GetSharedInstance()->getInstanceId();

        QVERIFY(proxy.setDevice(fake));
        // deviceLost while the null device is still held, deviceReady with the new one.
        QCOMPARE(log.events, QStringList({QStringLiteral("lost %1").arg(nullId),
                                          QStringLiteral("ready %1").arg(fake->getInstanceId())}));
        QCOMPARE(proxy.getCategory(), DeviceCategory::Software);
        QCOMPARE(proxy.getDeviceType(), DeviceType::kestrin);
        QCOMPARE(proxy.getDevice().get(), fake.get());
    }

    void sameDeviceIsSilent()
    {
        DeviceProxy proxy;
        auto fake = std::make_shared<FakeKestrinDeviceImpl>();
        proxy.setDevice(fake);
        SignalLog log(proxy);
        QVERIFY(proxy.setDevice(fake));
        QVERIFY(log.events.isEmpty());
    }

    void replacingADeviceAnnouncesEachOnce()
    {
        DeviceProxy proxy;
        auto first = std::make_shared<FakeKestrinDeviceImpl>();
        auto second = std::make_shared<OtherDevice>();
        proxy.setDevice(first);
        SignalLog log(proxy);
        QVERIFY(proxy.setDevice(second));
        QCOMPARE(log.events, QStringList({QStringLiteral("lost %1").arg(first->getInstanceId()),
                                          QStringLiteral("ready %1").arg(second->getInstanceId())}));
    }

    void resetAnnouncesLostOnlyOnce()
    {
        DeviceProxy proxy;
        auto fake = std::make_shared<FakeKestrinDeviceImpl>();
        proxy.setDevice(fake);
        SignalLog log(proxy);
        QVERIFY(proxy.resetImpl());
        QVERIFY(proxy.resetImpl());
        QCOMPARE(log.events, QStringList({QStringLiteral("lost %1").arg(fake->getInstanceId())}));
        QCOMPARE(proxy.getCategory(), DeviceCategory::Stub);
    }

    void proxySharesOwnership()
    {
        DeviceProxy proxy;
        std::weak_ptr<IDeviceImpl> watch;
        {
            auto fake = std::make_shared<FakeKestrinDeviceImpl>();
            watch = fake;
            proxy.setDevice(fake);
        }
        QVERIFY(!watch.expired());
        proxy.resetImpl();
        QVERIFY(watch.expired());
    }

    void ancModeMetadata()
    {
        QCOMPARE(Enumer<AncMode>::Values(), QList<AncMode>({AncMode::on, AncMode::off, AncMode::transparency}));
        QCOMPARE(Enumer<AncMode>::Translations(),
                 QStringList({QStringLiteral("On"), QStringLiteral("Off"), QStringLiteral("Transparency")}));
        QCOMPARE(Enumer<AncMode>::NameOrNull(AncMode::transparency), QStringLiteral("transparency"));
        QCOMPARE(Enumer<AncMode>::Default(), AncMode::on);
        QCOMPARE(int(Enumer<AncMode>::Invalid()), 3);
        QVERIFY(!Enumer<AncMode>::IsValid(AncMode(3)));
    }

    void simulatedHeadsetStartsWithPlausibleValues()
    {
        FakeKestrinDeviceImpl fake;
        IKestrinDeviceMain& dev = *fake.getKestrinDevice();
        uint8_t u8 = 0xEE;
        uint16_t u16 = 0;
        bool flag = true;
        QString text = QStringLiteral("x");
        QVERIFY(dev.loadGameChatMix(u8) && u8 == 10);
        QVERIFY(dev.loadVpLevel(u8) && u8 == 11);
        QVERIFY(dev.loadEarcupBalance(u8) && u8 == 128);
        QVERIFY(dev.loadAmpGain(u8) && u8 == 136);
        QVERIFY(dev.loadAutoPowerOff(u16) && u16 == 300);
        QVERIFY(dev.loadEqIndex(u8) && u8 == 1);
        QVERIFY(dev.loadSidetone(flag) && !flag);
        QVERIFY(dev.loadSidetoneLevel(u8) && u8 == 0);
        QVERIFY(dev.loadMaxSidetoneLevel(u8) && u8 == 25);
        QVERIFY(dev.loadMicLevel(u8) && u8 == 0);
        QVERIFY(dev.loadNoiseReduction(u8) && u8 == 0);
        QVERIFY(dev.readBatteryLevel(u8) && u8 == 0);
        flag = true;
        QVERIFY(dev.loadPoweredOn(flag) && !flag);
        flag = true;
        QVERIFY(dev.readMicMute(flag) && !flag);
        QVERIFY(dev.loadFwVersion(text) && text.isEmpty());
        text = QStringLiteral("x");
        QVERIFY(dev.loadDongleFwVersion(text) && text.isEmpty());
        QVERIFY(fake.isValid());
        QCOMPARE(fake.getCategory(), DeviceCategory::Software);
        QCOMPARE(fake.getDeviceType(), DeviceType::kestrin);
        QCOMPARE(dev.getHwType(), Enumer<KestrinHwType>::Invalid());
        QVERIFY(!dev.isDongle());
        QVERIFY(!dev.isFwOnly());
    }

    void simulatedHeadsetKeepsWhatIsSet()
    {
        FakeKestrinDeviceImpl fake;
        IKestrinDeviceMain& dev = *fake.getKestrinDevice();
        uint8_t value = 0;
        // No range rules here: those belong to the headset model.
        QVERIFY(dev.setVpLevel(200));
        QVERIFY(dev.loadVpLevel(value) && value == 200);
        QVERIFY(dev.readGameChatMix(value));
        QVERIFY(dev.setGameChatMix(3));
        QVERIFY(dev.readGameChatMix(value) && value == 3);
        QVERIFY(dev.setSidetoneLevel(25));
        QVERIFY(!dev.setSidetoneLevel(26));
        QVERIFY(dev.loadSidetoneLevel(value) && value == 25);
    }

    void simulatedHeadsetHasNoEqOrTracking()
    {
        FakeKestrinDeviceImpl fake;
        IKestrinDeviceMain& dev = *fake.getKestrinDevice();
        std::vector<DeviceData::KestrinEqBandParams> bands;
        QVERIFY(!dev.loadEqBands(7, bands));
        QVERIFY(!dev.setEqBands(7, bands));
        QVERIFY(!dev.factoryReset());
        QVERIFY(!dev.centralize());
        QVERIFY(!dev.setGyroSensorEnabled(true, 60));
        uint16_t vid = 7, pid = 9;
        QVERIFY(!dev.getVidPid(vid, pid));
        QCOMPARE(vid, uint16_t(7));
        QCOMPARE(pid, uint16_t(9));
    }
};

QTEST_GUILESS_MAIN(TestDeviceProxy)
#include "tst_device_proxy.moc"
