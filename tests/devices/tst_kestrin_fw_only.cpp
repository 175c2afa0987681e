// The headset that answers only for a firmware update, against the emulated headset.

#include "KestrinRig.h"

#include "devices/KestrinFwOnlyDeviceImpl.h"

#include <QQuaternion>
#include <QtTest>

using namespace HidEmu;
using Devices::KestrinFwOnlyDeviceImpl;

namespace {

std::shared_ptr<KestrinFwOnlyDeviceImpl> Build(KestrinRig& rig)
{
    return rig.build<KestrinFwOnlyDeviceImpl>();
}

} // namespace

class TestKestrinFwOnly : public QObject {
    Q_OBJECT

private slots:
    void versionOfHeadsetOrDongle_data();
    void versionOfHeadsetOrDongle();
    void secondVersionReadMustSucceedToo();
    void closedDeviceIsInvalid();
    void settingsFailWithoutTraffic();
    void factoryResetIsAlwaysSent();
};

void TestKestrinFwOnly::versionOfHeadsetOrDongle_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<bool>("dongle");
    QTest::addColumn<QStringList>("requests");
    QTest::newRow("headset") << 0x4B2E << false << QStringList{"get fw_version", "get fw_version"};
    QTest::newRow("dongle") << 0x4BA8 << true << QStringList{"get fw_version @dongle", "get fw_version @dongle"};
}

void TestKestrinFwOnly::versionOfHeadsetOrDongle()
{
    QFETCH(int, pid);
    QFETCH(bool, dongle);
    QFETCH(QStringList, requests);

    KestrinRig rig{uint16_t(pid)};
    rig.headset->firmwareVersion = "0.0.1-broken";
    rig.headset->dongleFirmwareVersion = "4.4.4";
    auto device = Build(rig);
    QVERIFY(device->isValid());
    QVERIFY(device->isFwOnly());
    QCOMPARE(device->isDongle(), dongle);
    QCOMPARE(device->getCategory(), Devices::DeviceCategory::Hardware);
    QCOMPARE(ToStringList(rig.log()), requests);

    QString headsetVersion = "untouched";
    QString dongleVersion = "untouched";
    QCOMPARE(device->loadFwVersion(headsetVersion), !dongle);
    QCOMPARE(device->loadDongleFwVersion(dongleVersion), dongle);
    QCOMPARE(headsetVersion, dongle ? QString("untouched") : QString("0.0.1-broken"));
    QCOMPARE(dongleVersion, dongle ? QString("4.4.4") : QString("untouched"));
    uint16_t vid = 0;
    uint16_t gotPid = 0;
    QVERIFY(device->getVidPid(vid, gotPid));
    QCOMPARE(int(gotPid), pid);
}

void TestKestrinFwOnly::secondVersionReadMustSucceedToo()
{
    KestrinRig rig{0x4B1A};
    auto answered = std::make_shared<int>(0);
    rig.headset->setHandler(Kestrin::kFirmwareVersion, [answered](Exchange& ex) {
        // Answers once, then refuses.
        const uint8_t status = (*answered)++ == 0 ? 0 : 1;
        ex.respond({status});
        if (status == 0)
            ex.notify({0x00, 0x00, 3, '1', '.', '0'});
    });
    auto device = Build(rig);
    QVERIFY(!device->isValid());
    QString version = "kept";
    QVERIFY(!device->loadFwVersion(version));
    QCOMPARE(version, QString("kept"));
}

void TestKestrinFwOnly::closedDeviceIsInvalid()
{
    KestrinRig rig{0x4B1A};
    rig.client->closeDevice();
    rig.headset->clearLog();
    auto device = Build(rig);
    QVERIFY(!device->isValid());
    QCOMPARE(rig.requestCount(), size_t(0));
}

void TestKestrinFwOnly::settingsFailWithoutTraffic()
{
    KestrinRig rig{0x4B2A};
    auto device = Build(rig);
    QVERIFY(device->isValid());
    rig.headset->clearLog();

    uint8_t value = 5;
    QQuaternion position(0.5f, 0.5f, 0.5f, 0.5f);
    std::vector<DeviceData::KestrinEqBandParams> bands{{100, 1}};
    QVERIFY(!device->loadGameChatMix(value));
    QVERIFY(!device->readBatteryLevel(value));
    QVERIFY(!device->setEqIndex(3));
    QVERIFY(!device->readPosition(position));
    QVERIFY(!device->loadEqBands(7, bands));
    QVERIFY(!device->setGyroSensorEnabled(true, 60));
    QCOMPARE(value, uint8_t(5));
    QCOMPARE(position, QQuaternion(0.5f, 0.5f, 0.5f, 0.5f));
    QCOMPARE(bands.size(), size_t(1));
    QCOMPARE(rig.requestCount(), size_t(0));
}

void TestKestrinFwOnly::factoryResetIsAlwaysSent()
{
    KestrinRig rig{0x4B19};
    rig.headset->setDongleHandler(Kestrin::kFirmwareVersion, [](Exchange& ex) { ex.respond({0x02}); });
    auto device = Build(rig);
    QVERIFY(!device->isValid());
    rig.headset->clearLog();
    QVERIFY(device->factoryReset());
    QCOMPARE(ToStringList(rig.log()), QStringList{"factory_reset"});
    QCOMPARE(rig.state->factoryResets, 1);
}

QTEST_GUILESS_MAIN(TestKestrinFwOnly)
#include "tst_kestrin_fw_only.moc"
