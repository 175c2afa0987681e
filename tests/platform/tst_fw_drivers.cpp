#include "platform/KestrinDriversHelper.h"

#include "HidEmulator.h"

#include <QtTest>

using Platform::KestrinDriversHelper;

// Whether a headset or dongle of the family is attached, asked of the (emulated) USB bus.
class TestFwDrivers : public QObject {
    Q_OBJECT

private slots:
    void init() { HidEmu::Bus::instance().reset(); }
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
};

QTEST_GUILESS_MAIN(TestFwDrivers)
#include "tst_fw_drivers.moc"
