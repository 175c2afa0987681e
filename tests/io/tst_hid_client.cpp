#include "HidEmulator.h"

#include "io/KestrinHidApiClient.h"
#include "io/SupportedVidPids.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <hidapi.h>

using Platform::KestrinHidApiClient;
using Platform::SupportedVidPids;

Q_DECLARE_METATYPE(DeviceType)
Q_DECLARE_METATYPE(KestrinHwType)
Q_DECLARE_METATYPE(HidEmu::Bytes)

class TestHidClient : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void productTable_data();
    void productTable();
    void opensEveryProductAndClassifies_data() { productTable_data(); }
    void opensEveryProductAndClassifies();
    void wiredHeadsetComesBeforeDongle();
    void onlyDonglesOpensFirstDongleInTableOrder();
    void productWithoutControlInterfaceOpensNothing();
    void decoyInterfaceIsSkipped();
    void secondOpenReturnsNull();
    void openFailureLeavesClientClosed();
    void nothingOpenAnswersDefaults();
    void closeWithoutDeviceEmitsNothing();
    void destructionClosesTheDevice();
    void closeEmitsDeviceGoneOutsideTheLock();
    void failedTransfersCloseOnce_data();
    void failedTransfersCloseOnce();
    void readPacing_data();
    void readPacing();
    void readReturnsTheReport();
    void readHidTimeoutReturnsCountAndZeroWhenEmpty();
    void wiredDeviceConnected();
    void typeIsReadableWhileAnotherThreadOpensAndCloses();
    void singletonIsOneInstance();
    void emulatorRecordsProtocolErrors_data();
    void emulatorRecordsProtocolErrors();
    void findsSerialDeviceInSysfs();
};

void TestHidClient::initTestCase()
{
    // Building a client initialises hidapi once for the process.
    KestrinHidApiClient client;
    KestrinHidApiClient other;
    QCOMPARE(HidEmu::Bus::instance().initCalls(), 1);
}

void TestHidClient::init()
{
    HidEmu::Bus::instance().reset();
}

void TestHidClient::productTable_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<DeviceType>("type");
    QTest::addColumn<KestrinHwType>("hwType");
    QTest::addColumn<bool>("dongle");
    QTest::newRow("4B1E") << 0x4B1E << DeviceType::kestrin << KestrinHwType::xbox_headset << false;
    QTest::newRow("4B1A") << 0x4B1A << DeviceType::kestrin << KestrinHwType::ps_headset << false;
    QTest::newRow("4B2E") << 0x4B2E << DeviceType::kestrin_2 << KestrinHwType::xbox_headset << false;
    QTest::newRow("4B2A") << 0x4B2A << DeviceType::kestrin_2 << KestrinHwType::ps_headset << false;
    QTest::newRow("4BAE") << 0x4BAE << DeviceType::kestrin_2_anc << KestrinHwType::xbox_headset << false;
    QTest::newRow("4BAA") << 0x4BAA << DeviceType::kestrin_2_anc << KestrinHwType::ps_headset << false;
    QTest::newRow("4B18") << 0x4B18 << DeviceType::kestrin << KestrinHwType::xbox_dongle << true;
    QTest::newRow("4B19") << 0x4B19 << DeviceType::kestrin << KestrinHwType::ps_dongle << true;
    QTest::newRow("4B28") << 0x4B28 << DeviceType::kestrin_2 << KestrinHwType::xbox_dongle << true;
    QTest::newRow("4B29") << 0x4B29 << DeviceType::kestrin_2 << KestrinHwType::ps_dongle << true;
    QTest::newRow("4BA8") << 0x4BA8 << DeviceType::kestrin_2_anc << KestrinHwType::xbox_dongle << true;
    QTest::newRow("4BA9") << 0x4BA9 << DeviceType::kestrin_2_anc << KestrinHwType::ps_dongle << true;
}

void TestHidClient::productTable()
{
    QFETCH(int, pid);
    QFETCH(DeviceType, type);
    QFETCH(KestrinHwType, hwType);
    QFETCH(bool, dongle);

    const auto* product = SupportedVidPids::FindKestrinProduct(uint16_t(pid));
    QVERIFY(product);
    QCOMPARE(product->type, type);
    QCOMPARE(product->hwType, hwType);
    QCOMPARE(product->dongle, dongle);
    QCOMPARE(KestrinHidApiClient::IsDongle(uint16_t(pid)), dongle);
    QCOMPARE(KestrinHidApiClient::GetDevType(uint16_t(pid)), type);
    // Headsets are tried before dongles.
    const int position = int(product - SupportedVidPids::KestrinProducts().data());
    QCOMPARE(position < SupportedVidPids::KestrinWiredCount, !dongle);
}

void TestHidClient::opensEveryProductAndClassifies()
{
    QFETCH(int, pid);
    QFETCH(DeviceType, type);
    QFETCH(KestrinHwType, hwType);
    QFETCH(bool, dongle);

    auto device = HidEmu::Plug(uint16_t(pid));
    KestrinHidApiClient client;
    QVERIFY(client.openDevice() != nullptr);
    QVERIFY(client.hasDevice());
    QCOMPARE(client.getOpenedDeviceType(), type);
    QCOMPARE(client.getOpenedType(), hwType);
    QCOMPARE(client.isOpenedDongle(), dongle);
    uint16_t vid = 0;
    uint16_t openedPid = 0;
    QVERIFY(client.getOpenedVidPid(vid, openedPid));
    QCOMPARE(vid, uint16_t(0x3329));
    QCOMPARE(openedPid, uint16_t(pid));
    QVERIFY(client.closeDevice());
    QCOMPARE(HidEmu::Bus::instance().openHandles(), 0);
}

void TestHidClient::wiredHeadsetComesBeforeDongle()
{
    HidEmu::Plug(0x4B18);
    HidEmu::Plug(0x4B2E);
    KestrinHidApiClient client;
    QVERIFY(client.openDevice());
    uint16_t vid = 0, pid = 0;
    QVERIFY(client.getOpenedVidPid(vid, pid));
    QCOMPARE(pid, uint16_t(0x4B2E));
    QVERIFY(!client.isOpenedDongle());
}

void TestHidClient::onlyDonglesOpensFirstDongleInTableOrder()
{
    HidEmu::Plug(0x4BA9);
    HidEmu::Plug(0x4B19);
    HidEmu::Plug(0x4B28);
    KestrinHidApiClient client;
    QVERIFY(client.openDevice());
    uint16_t vid = 0, pid = 0;
    QVERIFY(client.getOpenedVidPid(vid, pid));
    QCOMPARE(pid, uint16_t(0x4B19));
    QVERIFY(client.isOpenedDongle());
    QCOMPARE(client.getOpenedType(), KestrinHwType::ps_dongle);
}

void TestHidClient::productWithoutControlInterfaceOpensNothing()
{
    auto first = HidEmu::Plug(0x4B1E);
    first->setInterfaces({HidEmu::Interface{0x000C, 0x0001, 0}, HidEmu::Interface{0xFF13, 0x0002, 1}});
    HidEmu::Plug(0x4B1A);
    KestrinHidApiClient client;
    QVERIFY(client.openDevice() == nullptr);
    QVERIFY(!client.hasDevice());
    // The attempt still names the model it looked at; the lower-ranked product was not tried.
    QCOMPARE(client.getOpenedDeviceType(), DeviceType::kestrin);
    QCOMPARE(HidEmu::Bus::instance().openHandles(), 0);
}

void TestHidClient::decoyInterfaceIsSkipped()
{
    auto device = HidEmu::Plug(0x4B2A);
    // The decoy comes first in the enumeration; talking to it would fail.
    QCOMPARE(device->interfaces().front().usagePage, uint16_t(0x000C));
    KestrinHidApiClient client;
    QVERIFY(client.openDevice());
    const uint8_t report[62] = {6, 1, 0, 0x05};
    QVERIFY(client.write(report, sizeof report));
    QCOMPARE(device->outReports().size(), size_t(1));
}

void TestHidClient::secondOpenReturnsNull()
{
    HidEmu::Plug(0x4B2A);
    KestrinHidApiClient client;
    QSignalSpy gone(&client, &KestrinHidApiClient::deviceGone);
    hid_device* handle = client.openDevice();
    QVERIFY(handle);
    QVERIFY(client.openDevice() == nullptr);
    QVERIFY(client.hasDevice());
    QCOMPARE(gone.count(), 0);
    QCOMPARE(HidEmu::Bus::instance().openHandles(), 1);
}

void TestHidClient::openFailureLeavesClientClosed()
{
    HidEmu::Plug(0x4BAA);
    HidEmu::Bus::instance().failNextOpen("Permission denied");
    KestrinHidApiClient client;
    QVERIFY(client.openDevice() == nullptr);
    QVERIFY(!client.hasDevice());
    // The next poll tries again and succeeds.
    QVERIFY(client.openDevice() != nullptr);
}

void TestHidClient::nothingOpenAnswersDefaults()
{
    KestrinHidApiClient client;
    QVERIFY(client.openDevice() == nullptr);
    QCOMPARE(client.getOpenedType(), Enumer<KestrinHwType>::Invalid());
    QCOMPARE(int(client.getOpenedType()), 4);
    uint16_t vid = 7, pid = 9;
    QVERIFY(!client.getOpenedVidPid(vid, pid));
    QCOMPARE(vid, uint16_t(7));
    QCOMPARE(pid, uint16_t(9));
    uint8_t buffer[62] = {7};
    QVERIFY(!client.write(buffer, sizeof buffer));
    QVERIFY(!client.read(buffer, sizeof buffer));
    QCOMPARE(client.read_hid_timeout(buffer, 14, 0), 0);
}

void TestHidClient::closeWithoutDeviceEmitsNothing()
{
    KestrinHidApiClient client;
    QSignalSpy gone(&client, &KestrinHidApiClient::deviceGone);
    QVERIFY(!client.closeDevice());
    QCOMPARE(gone.count(), 0);
}

void TestHidClient::destructionClosesTheDevice()
{
    HidEmu::Plug(0x4B2E);
    int gone = 0;
    {
        KestrinHidApiClient client;
        QVERIFY(client.openDevice());
        connect(
            &client, &KestrinHidApiClient::deviceGone, this, [&gone](void*) { ++gone; }, Qt::DirectConnection);
        QCOMPARE(HidEmu::Bus::instance().openHandles(), 1);
    }
    QCOMPARE(HidEmu::Bus::instance().openHandles(), 0);
    QCOMPARE(gone, 1);
}

void TestHidClient::closeEmitsDeviceGoneOutsideTheLock()
{
    HidEmu::Plug(0x4B2E);
    KestrinHidApiClient client;
    hid_device* handle = client.openDevice();
    QVERIFY(handle);
    bool sawClosed = false;
    // A direct receiver may call back into the client: the mutex is already released.
    connect(
        &client, &KestrinHidApiClient::deviceGone, this,
        [&](void* gone) {
            QCOMPARE(gone, static_cast<void*>(handle));
            sawClosed = !client.hasDevice();
        },
        Qt::DirectConnection);
    QVERIFY(client.closeDevice());
    QVERIFY(sawClosed);
    // The model of the closed device stays known.
    QCOMPARE(client.getOpenedDeviceType(), DeviceType::kestrin_2);
}

void TestHidClient::failedTransfersCloseOnce_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("short write") << "short write";
    QTest::newRow("failed write") << "failed write";
    QTest::newRow("failed read") << "failed read";
    QTest::newRow("unplugged read") << "unplugged read";
    QTest::newRow("unplugged interrupt read") << "unplugged interrupt read";
}

void TestHidClient::failedTransfersCloseOnce()
{
    QFETCH(QString, fault);
    auto device = HidEmu::Plug(0x4B2A);
    KestrinHidApiClient client;
    client.setReadPacing(0, 0);
    hid_device* handle = client.openDevice();
    QVERIFY(handle);
    QSignalSpy gone(&client, &KestrinHidApiClient::deviceGone);

    uint8_t buffer[62] = {6, 1, 0, 0x05};
    if (fault == "short write") {
        device->shortWrites(1); // hidapi reports one byte less than requested
        QVERIFY(!client.write(buffer, sizeof buffer));
    } else if (fault == "failed write") {
        device->failWrites(1);
        QVERIFY(!client.write(buffer, sizeof buffer));
    } else if (fault == "failed read") {
        device->failReads(1);
        buffer[0] = 7;
        QVERIFY(!client.read(buffer, sizeof buffer));
    } else if (fault == "unplugged read") {
        HidEmu::Bus::instance().unplug(device);
        buffer[0] = 7;
        QVERIFY(!client.read(buffer, sizeof buffer));
    } else {
        HidEmu::Bus::instance().unplug(device);
        QVERIFY(client.read_hid_timeout(buffer, 14, 0) < 0);
    }
    QCOMPARE(gone.count(), 1);
    QCOMPARE(gone.at(0).at(0).value<void*>(), static_cast<void*>(handle));
    QVERIFY(!client.hasDevice());
    // Further calls fail quietly without closing again.
    QVERIFY(!client.write(buffer, sizeof buffer));
    QCOMPARE(gone.count(), 1);
    QCOMPARE(HidEmu::Bus::instance().openHandles(), 0);
}

void TestHidClient::readPacing_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<int>("minimumMs");
    QTest::newRow("cabled") << 0x4B2A << 10;
    QTest::newRow("dongle") << 0x4B29 << 50;
}

void TestHidClient::readPacing()
{
    QFETCH(int, pid);
    QFETCH(int, minimumMs);
    HidEmu::Plug(uint16_t(pid));
    KestrinHidApiClient client;
    QVERIFY(client.openDevice());
    uint8_t buffer[62] = {7};
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 3; ++i) {
        buffer[0] = 7;
        QVERIFY(client.read(buffer, sizeof buffer));
    }
    QVERIFY2(timer.elapsed() >= 3 * minimumMs, qPrintable(QString::number(timer.elapsed())));
}

void TestHidClient::readReturnsTheReport()
{
    auto device = HidEmu::Plug(0x4B2A);
    device->injectBytes({0x05, 0x5B, 0x03, 0x00, 0xD6, 0x0C, 0x00});
    KestrinHidApiClient client;
    client.setReadPacing(0, 0);
    QVERIFY(client.openDevice());
    uint8_t buffer[62] = {7};
    QVERIFY(client.read(buffer, sizeof buffer));
    QCOMPARE(buffer[0], uint8_t(7));
    QCOMPARE(buffer[1], uint8_t(7));
    QCOMPARE(buffer[3], uint8_t(0x05));
    QCOMPARE(buffer[9], uint8_t(0x00));
}

void TestHidClient::readHidTimeoutReturnsCountAndZeroWhenEmpty()
{
    auto device = HidEmu::Plug(0x4BAA);
    KestrinHidApiClient client;
    QVERIFY(client.openDevice());
    uint8_t buffer[14] = {};
    QCOMPARE(client.read_hid_timeout(buffer, sizeof buffer, 0), 0);
    device->queueInputReport({3, 1, 0, 2, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0});
    QCOMPARE(client.read_hid_timeout(buffer, sizeof buffer, 0), 14);
    QCOMPARE(buffer[0], uint8_t(3));
    QVERIFY(client.hasDevice());
}

void TestHidClient::wiredDeviceConnected()
{
    KestrinHidApiClient client;
    QVERIFY(!client.isWiredDeviceConnected());
    HidEmu::Plug(0x4BA8);
    QVERIFY(!client.isWiredDeviceConnected());
    HidEmu::Plug(0x4BAE);
    QVERIFY(client.isWiredDeviceConnected()); // attached, not opened
    QVERIFY(!client.hasDevice());
}

void TestHidClient::typeIsReadableWhileAnotherThreadOpensAndCloses()
{
    HidEmu::Plug(0x4BA9);
    KestrinHidApiClient client;
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::thread reader([&] {
        while (!stop.load()) {
            const DeviceType type = client.getOpenedDeviceType();
            if (type != DeviceType::none && type != DeviceType::kestrin_2_anc)
                ++unexpected;
        }
    });
    for (int i = 0; i < 200; ++i) {
        QVERIFY(client.openDevice());
        QVERIFY(client.closeDevice());
    }
    stop = true;
    reader.join();
    QCOMPARE(unexpected.load(), 0);
}

void TestHidClient::emulatorRecordsProtocolErrors_data()
{
    // The fixture must catch a host that breaks the report format, or the tests above prove little.
    QTest::addColumn<int>("pid");
    QTest::addColumn<HidEmu::Bytes>("report");
    const HidEmu::Bytes request{0x05, 0x5A, 0x04, 0x00, 0x01, 0x09, 0x2C, 0x00};
    HidEmu::Bytes wrongId = HidEmu::MakeOutReport(request, false);
    wrongId[0] = 5;
    HidEmu::Bytes badCount = HidEmu::MakeOutReport(request, false);
    badCount[1] = 60;
    HidEmu::Bytes dirtyPadding = HidEmu::MakeOutReport(request, false);
    dirtyPadding[61] = 1;
    HidEmu::Bytes unknownFlag = HidEmu::MakeOutReport(request, false);
    unknownFlag[2] = 0x40;
    HidEmu::Bytes shortReport = HidEmu::MakeOutReport(request, false);
    shortReport.resize(20);
    HidEmu::Bytes badMarker = HidEmu::MakeOutReport({0x07, 0x5A, 0x04, 0x00, 0x01, 0x09, 0x2C, 0x00}, false);
    QTest::newRow("report id 5") << 0x4B2A << wrongId;
    QTest::newRow("60 bytes claimed") << 0x4B2A << badCount;
    QTest::newRow("padding not zero") << 0x4B2A << dirtyPadding;
    QTest::newRow("flag 0x40") << 0x4B2A << unknownFlag;
    QTest::newRow("20-byte report") << 0x4B2A << shortReport;
    QTest::newRow("no frame marker") << 0x4B2A << badMarker;
    QTest::newRow("relay flag on a cabled headset") << 0x4B2A << HidEmu::MakeOutReport(request, true);
    QTest::newRow("response kind from the host")
        << 0x4B2A << HidEmu::MakeOutReport({0x05, 0x5B, 0x04, 0x00, 0x01, 0x09, 0x2C, 0x00}, false);
}

void TestHidClient::emulatorRecordsProtocolErrors()
{
    QFETCH(int, pid);
    QFETCH(HidEmu::Bytes, report);
    auto device = HidEmu::Plug(uint16_t(pid));
    KestrinHidApiClient client;
    hid_device* handle = client.openDevice();
    QVERIFY(handle);
    hid_write(handle, report.data(), report.size());
    QVERIFY(!device->violations().empty());

    // A well-formed request is answered and leaves no trace there.
    device->clearLog();
    const HidEmu::Bytes good = HidEmu::MakeOutReport({0x05, 0x5A, 0x04, 0x00, 0x01, 0x09, 0x2C, 0x00}, false);
    QCOMPARE(hid_write(handle, good.data(), good.size()), 62);
    QVERIFY(device->violations().empty());
    QCOMPARE(device->requests().size(), size_t(1));
    QVERIFY(device->pendingOutput() > 0);
}

void TestHidClient::singletonIsOneInstance()
{
    QCOMPARE(KestrinHidApiClient::GetKestrinHidApiClient(), KestrinHidApiClient::GetKestrinHidApiClient());
}

void TestHidClient::findsSerialDeviceInSysfs()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QDir dir(root.path());
    // ttyACM0: another USB serial device; ttyACM1: ours; tty0: a virtual terminal without device.
    auto makeUsb = [&](const QString& usbDevice, const char* vid, const char* pid) {
        QVERIFY(dir.mkpath(usbDevice + "/1-1:1.0"));
        QFile v(dir.filePath(usbDevice + "/idVendor"));
        QVERIFY(v.open(QIODevice::WriteOnly));
        v.write(vid);
        QFile p(dir.filePath(usbDevice + "/idProduct"));
        QVERIFY(p.open(QIODevice::WriteOnly));
        p.write(pid);
    };
    makeUsb("devices/usb1", "2753\n", "1112\n");
    makeUsb("devices/usb2", "2753\n", "1111\n");
    QVERIFY(dir.mkpath("class/tty/ttyACM0"));
    QVERIFY(dir.mkpath("class/tty/ttyACM1"));
    QVERIFY(dir.mkpath("class/tty/tty0"));
    QVERIFY(QFile::link(dir.filePath("devices/usb1/1-1:1.0"), dir.filePath("class/tty/ttyACM0/device")));
    QVERIFY(QFile::link(dir.filePath("devices/usb2/1-1:1.0"), dir.filePath("class/tty/ttyACM1/device")));

    std::wstring port;
    QVERIFY(SupportedVidPids::FindSolvarineIn(dir.filePath("class/tty"), &port));
    QCOMPARE(QString::fromStdWString(port), QStringLiteral("/dev/ttyACM1"));
    QVERIFY(SupportedVidPids::FindSolvarineIn(dir.filePath("class/tty"), nullptr));

    QVERIFY(QFile::remove(dir.filePath("class/tty/ttyACM1/device")));
    port.clear();
    QVERIFY(!SupportedVidPids::FindSolvarineIn(dir.filePath("class/tty"), &port));
    QVERIFY(port.empty());
}

QTEST_GUILESS_MAIN(TestHidClient)
#include "tst_hid_client.moc"
