#include "device_models/KestrinDeviceModelBuffer.h"
#include "support/devices/ManualWorkerTimers.h"
#include "support/devices/TestKestrinDevice.h"

#include <QTest>

#include <functional>

using DeviceModels::KestrinDeviceModel;
using TestSupport::ManualWorkerTimers;
using TestSupport::TestKestrinDevice;
using Buffer = KestrinDeviceModel::Buffer;
using Setting = Devices::KestrinSetting;
using StoreOperation = std::function<void(Buffer&)>;
Q_DECLARE_METATYPE(StoreOperation)

class TestKestrinBuffer : public QObject {
    Q_OBJECT

    struct Fixture {
        explicit Fixture(DeviceType type = DeviceType::kestrin_2, const TestKestrinDevice::State& state = {})
            : device(
                  [type] {
                      TestKestrinDevice::Options options;
                      options.type = type;
                      return options;
                  }(),
                  state)
            , buffer(timers)
        {
            buffer.setDevMain(&device, type);
        }
        ManualWorkerTimers timers;
        TestKestrinDevice device;
        Buffer buffer;
    };

    static TestKestrinDevice::State withBands(std::initializer_list<uint8_t> presets)
    {
        TestKestrinDevice::State state;
        for (uint8_t preset : presets)
            state.bands[preset] = TestKestrinDevice::Bands({0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        return state;
    }

private slots:
    void repeatedChangesOfOneSettingCoalesce()
    {
        Fixture f;
        f.buffer.setSidetoneLevel(3);
        f.buffer.setSidetoneLevel(4);
        f.buffer.setSidetoneLevel(5);
        f.timers.advance(100);
        QCOMPARE(f.device.calls(QStringLiteral("set")), QStringList{QStringLiteral("setSidetoneLevel 5")});
        QCOMPARE(f.device.headset().sidetoneLevel, uint8_t(5));
    }

    void keysGoOutInOrderOnePerTick()
    {
        Fixture f;
        f.buffer.setVpLevel(4);
        f.buffer.setAmpGain(100);
        f.buffer.setVpLevel(5); // already pending: keeps its place, sends the newest value
        f.buffer.setSidetoneEnabled(true);
        f.buffer.setAutoPowerOff(600);
        QVERIFY(!f.buffer.isFree());

        f.timers.advance(0); // the first tick runs at once
        QCOMPARE(f.device.calls(), QStringList{QStringLiteral("setVpLevel 5")});
        f.timers.advance(10);
        f.timers.advance(10);
        f.timers.advance(10);
        QCOMPARE(f.device.calls(),
                 QStringList({QStringLiteral("setVpLevel 5"), QStringLiteral("setAmpGain 100"),
                              QStringLiteral("setSidetone true"), QStringLiteral("setAutoPowerOff 600")}));
        QVERIFY(!f.buffer.isFree());
        f.timers.advance(10); // finds nothing and stops
        QVERIFY(f.buffer.isFree());
        QCOMPARE(f.timers.activeCount(), 0);
    }

    // Walks the settings table: each setting the model hands to the queue reaches the headset
    // through its row's set operation (the headset then holds the value), a refusal is recorded
    // once under the setting's key, and a setting the queue does not send stays unsent.
    void everySettingIsSentAsItsRowSays_data()
    {
        QTest::addColumn<int>("setting");
        for (const Devices::KestrinSettingInfo& info : Devices::c_kestrinSettings)
            QTest::newRow(info.name) << int(info.setting);
    }

    void everySettingIsSentAsItsRowSays()
    {
        QFETCH(int, setting);
        const Devices::KestrinSettingInfo& info = Devices::SettingInfo(Devices::KestrinSetting(setting));
        // The ANC headset has every setting; the value is one the headset does not hold yet.
        Fixture f(DeviceType::kestrin_2_anc);
        uint16_t before = 0;
        QVERIFY(info.load(f.device, before));
        const uint16_t value = uint16_t(before == info.min ? info.min + 1 : info.min);
        f.device.clearCalls();
        f.buffer.store(info.setting, value);
        f.timers.advance(0);
        f.timers.advance(10);
        QVERIFY(f.buffer.isFree());
        const QStringList sent = f.device.calls(QStringLiteral("set"));
        if (!info.queued) {
            QVERIFY(sent.isEmpty());
            QVERIFY(f.buffer.readFailedKeys().empty());
            return;
        }
        QCOMPARE(sent.size(), 1);
        uint16_t held = 0;
        QVERIFY(info.load(f.device, held));
        QCOMPARE(held, value);

        f.device.clearCalls();
        f.device.refuse(sent.front().section(QLatin1Char(' '), 0, 0));
        f.buffer.store(info.setting, before);
        f.timers.advance(100);
        QCOMPARE(f.device.calls(QStringLiteral("set")).size(), 1);
        QCOMPARE(f.buffer.readFailedKeys(), std::vector<Buffer::Key>{Buffer::MakeKey(info.setting)});
        QVERIFY(f.buffer.readFailedKeys().empty());
    }

    // The named store operations are the table's, setting by setting.
    void namedStoreOperationsReachTheirSetters_data()
    {
        QTest::addColumn<StoreOperation>("store");
        QTest::addColumn<QString>("call");
        const auto row = [](const char* name, StoreOperation store, const char* call) {
            QTest::newRow(name) << store << QString::fromLatin1(call);
        };
        row(
            "game/chat mix", [](Buffer& b) { b.setGameChatMix(7); }, "setGameChatMix 7");
        row(
            "noise reduction", [](Buffer& b) { b.setNoiseReduction(2); }, "setNoiseReduction 2");
        row(
            "anc mode", [](Buffer& b) { b.setAncMode(DeviceData::AncMode::off); }, "setAncMode 2");
        row(
            "voice prompts", [](Buffer& b) { b.setVpLevel(7); }, "setVpLevel 7");
        row(
            "earcup balance", [](Buffer& b) { b.setEarcupBalance(125); }, "setEarcupBalance 125");
        row(
            "amp gain", [](Buffer& b) { b.setAmpGain(7); }, "setAmpGain 7");
        row(
            "mic level", [](Buffer& b) { b.setMicLevel(7); }, "setMicLevel 7");
        row(
            "sidetone level", [](Buffer& b) { b.setSidetoneLevel(7); }, "setSidetoneLevel 7");
        row(
            "sidetone", [](Buffer& b) { b.setSidetoneEnabled(true); }, "setSidetone true");
        row(
            "auto power-off", [](Buffer& b) { b.setAutoPowerOff(7); }, "setAutoPowerOff 7");
    }

    void namedStoreOperationsReachTheirSetters()
    {
        QFETCH(StoreOperation, store);
        QFETCH(QString, call);
        Fixture f(DeviceType::kestrin_2_anc);
        store(f.buffer);
        f.timers.advance(0);
        QCOMPARE(f.device.calls(QStringLiteral("set")), QStringList{call});
    }

    void stoppedTimerRestartsWithItsId()
    {
        Fixture f;
        f.buffer.setGameChatMix(1);
        f.timers.advance(0);
        QCOMPARE(f.timers.activeCount(), 1);
        QCOMPARE(f.timers.intervalOf(0), uint32_t(10));
        f.timers.advance(10);
        QCOMPARE(f.timers.activeCount(), 0);
        QVERIFY(f.buffer.isFree());

        f.buffer.setGameChatMix(2);
        QVERIFY(f.timers.isActive(0));
        f.timers.advance(0);
        QCOMPARE(f.device.headset().gameChatMix, uint8_t(2));
    }

    void pausedTicksSkip()
    {
        Fixture f;
        f.buffer.setPaused(true);
        f.buffer.setAmpGain(9);
        f.timers.advance(100);
        QVERIFY(f.device.calls().isEmpty());
        QVERIFY(!f.buffer.isFree());
        f.buffer.setPaused(false);
        f.timers.advance(10);
        QCOMPARE(f.device.calls(), QStringList{QStringLiteral("setAmpGain 9")});
    }

    void newDeviceDropsPendingKeysUnsent()
    {
        Fixture f;
        f.buffer.setAmpGain(9);
        f.buffer.setVpLevel(3);
        f.buffer.addFailedKey(Buffer::MakeKey(Setting::micLevel));
        TestKestrinDevice other;
        f.buffer.setDevMain(&other, DeviceType::kestrin_2);
        QVERIFY(f.buffer.isFree());
        QCOMPARE(f.timers.activeCount(), 0);
        f.timers.advance(100);
        QVERIFY(f.device.calls().isEmpty());
        QVERIFY(other.calls().isEmpty());
        QVERIFY(f.buffer.readFailedKeys().empty());
    }

    void noDeviceWritesNothing()
    {
        ManualWorkerTimers timers;
        Buffer buffer(timers);
        buffer.setAmpGain(9);
        timers.advance(100);
        QVERIFY(buffer.isFree());
        QVERIFY(buffer.readFailedKeys().empty());
    }

    void eachPresetKeepsItsOwnPendingBands()
    {
        Fixture f(DeviceType::kestrin_2, withBands({7, 8}));
        const auto bands7 = TestKestrinDevice::Bands({1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
        const auto bands8 = TestKestrinDevice::Bands({-2, -2, -2, -2, -2, -2, -2, -2, -2, -2});
        f.buffer.setEqBands(7, bands7);
        f.buffer.setEqBands(8, bands8);
        f.timers.advance(100);
        QCOMPARE(f.device.headset().bands.at(7), bands7);
        QCOMPARE(f.device.headset().bands.at(8), bands8);
    }

    void eqIndexChangeWritesPendingBandsFirst()
    {
        Fixture f(DeviceType::kestrin_2, withBands({7, 8}));
        const auto bands7 = TestKestrinDevice::Bands({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        const auto bands8 = TestKestrinDevice::Bands({3, 3, 3, 3, 3, 3, 3, 3, 3, 3});
        f.buffer.setEqBands(7, bands7);
        f.buffer.setAmpGain(50);
        f.buffer.setEqBands(8, bands8);
        f.buffer.setCurrentEqIndex(8);
        QCOMPARE(f.device.calls(),
                 QStringList({QStringLiteral("setEqBands 7 1,2,3,4,5,6,7,8,9,10"),
                              QStringLiteral("setEqBands 8 3,3,3,3,3,3,3,3,3,3"), QStringLiteral("setEqIndex 8")}));
        QVERIFY(f.buffer.readFailedKeys().empty());
        QVERIFY(!f.buffer.isPaused());
        // The other settings still go out through the queue.
        f.timers.advance(100);
        QCOMPARE(f.device.calls().last(), QStringLiteral("setAmpGain 50"));
        QCOMPARE(f.device.calls(QStringLiteral("setEqBands")).size(), 2);
    }

    void bandsThatKeepFailingHoldTheIndexBack()
    {
        Fixture f(DeviceType::kestrin_2, withBands({7}));
        f.device.refuse(QStringLiteral("setEqBands"));
        f.buffer.setEqBands(7, TestKestrinDevice::Bands({1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
        f.buffer.setCurrentEqIndex(8);
        QCOMPARE(f.device.calls(QStringLiteral("setEqBands")).size(), Buffer::EqBandsAttempts);
        QVERIFY(f.device.calls(QStringLiteral("setEqIndex")).isEmpty());
        QCOMPARE(f.device.headset().eqIndex, uint8_t(1));
        QCOMPARE(f.buffer.readFailedKeys(), std::vector<Buffer::Key>({10, Buffer::Key(7 << 8 | 11)}));
    }

    void bandsSucceedingOnARetryLetTheIndexThrough()
    {
        Fixture f(DeviceType::kestrin_2, withBands({7}));
        f.device.refuse(QStringLiteral("setEqBands"), 3);
        f.buffer.setEqBands(7, TestKestrinDevice::Bands({1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
        f.buffer.setCurrentEqIndex(7);
        QCOMPARE(f.device.calls(QStringLiteral("setEqBands")).size(), 4);
        QCOMPARE(f.device.headset().eqIndex, uint8_t(7));
        QVERIFY(f.buffer.readFailedKeys().empty());
    }

    void refusedIndexIsAFailedKey()
    {
        Fixture f;
        f.device.refuse(QStringLiteral("setEqIndex"));
        f.buffer.setCurrentEqIndex(3);
        QCOMPARE(f.buffer.readFailedKeys(), std::vector<Buffer::Key>{10});
    }

    void ancHeadsetGetsOnlyTheChangedBands()
    {
        Fixture f(DeviceType::kestrin_2_anc, withBands({7}));
        auto bands = TestKestrinDevice::Bands({0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        bands[4].setGain(-5);
        f.buffer.setEqBands(7, bands);
        f.timers.advance(0);
        QCOMPARE(f.device.calls(QStringLiteral("write")),
                 QStringList{QStringLiteral("writeUserEqBiquad 7 4 6 500 -5")});
        QCOMPARE(f.device.headset().bands.at(7), bands);
        QVERIFY(f.buffer.readFailedKeys().empty());
    }

    void ancBandsThatCannotBeComparedAreLeftAlone_data()
    {
        QTest::addColumn<bool>("loadFails");
        QTest::newRow("bands cannot be loaded") << true;
        QTest::newRow("band count differs") << false;
    }

    void ancBandsThatCannotBeComparedAreLeftAlone()
    {
        QFETCH(bool, loadFails);
        auto state = withBands({7});
        if (loadFails)
            state.bands.clear();
        else
            state.bands[7].pop_back();
        Fixture f(DeviceType::kestrin_2_anc, state);
        f.buffer.setEqBands(7, TestKestrinDevice::Bands({2, 2, 2, 2, 2, 2, 2, 2, 2, 2}));
        f.timers.advance(0);
        QVERIFY(f.device.calls(QStringLiteral("write")).isEmpty());
        // Not recorded either: the model would queue it again, and it would fail again, for ever.
        QVERIFY(f.buffer.readFailedKeys().empty());
        f.timers.advance(10);
        QVERIFY(f.buffer.isFree());

        // Before an index change the same bands give up at once.
        f.buffer.setEqBands(7, TestKestrinDevice::Bands({2, 2, 2, 2, 2, 2, 2, 2, 2, 2}));
        f.device.clearCalls();
        f.buffer.setCurrentEqIndex(7);
        QCOMPARE(f.device.calls(QStringLiteral("loadEqBands")).size(), 1);
        QVERIFY(f.device.calls(QStringLiteral("setEqIndex")).isEmpty());
        QCOMPARE(f.buffer.readFailedKeys(), std::vector<Buffer::Key>({10, Buffer::Key(7 << 8 | 11)}));
    }

    void ancBiquadRefusalIsAFailedKey()
    {
        Fixture f(DeviceType::kestrin_2_anc, withBands({9}));
        f.device.refuse(QStringLiteral("writeUserEqBiquad"), 1);
        f.buffer.setEqBands(9, TestKestrinDevice::Bands({1, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
        f.timers.advance(0);
        // Every changed band is tried; one refusal fails the key.
        QCOMPARE(f.device.calls(QStringLiteral("write")).size(), 2);
        QCOMPARE(f.buffer.readFailedKeys(), std::vector<Buffer::Key>{Buffer::Key(9 << 8 | 11)});
    }

    void pendingKeysAreVisible()
    {
        Fixture f;
        f.buffer.setMicLevel(3);
        QVERIFY(f.buffer.isPending(Buffer::MakeKey(Setting::micLevel)));
        QVERIFY(!f.buffer.isPending(Buffer::MakeKey(Setting::ampGain)));
        f.timers.advance(0);
        QVERIFY(!f.buffer.isPending(Buffer::MakeKey(Setting::micLevel)));
    }

    void keyBeingWrittenCountsAsPending()
    {
        Fixture f;
        const Buffer::Key key = Buffer::MakeKey(Setting::ampGain);
        bool pendingDuringWrite = false;
        f.device.setCallHook([&](const QString&) { pendingDuringWrite = f.buffer.isPending(key); });
        f.device.refuse(QStringLiteral("setAmpGain"));
        f.buffer.setAmpGain(3);
        f.timers.advance(0);
        // The model must not put the old value back while a newer one is still on its way.
        QVERIFY(pendingDuringWrite);
        QVERIFY(!f.buffer.isPending(key));
        QCOMPARE(f.buffer.readFailedKeys(), std::vector<Buffer::Key>{key});
    }

    void drainsOnTheWorkerThread()
    {
        auto timers = DeviceModels::CreateThreadWorkerTimers();
        TestKestrinDevice device;
        Buffer buffer(*timers);
        buffer.setDevMain(&device, DeviceType::kestrin_2);
        for (uint8_t level = 0; level <= 20; ++level) {
            buffer.setGameChatMix(level);
            buffer.setSidetoneLevel(level);
        }
        QTRY_VERIFY_WITH_TIMEOUT(buffer.isFree(), 10000);
        QCOMPARE(device.headset().gameChatMix, uint8_t(20));
        QCOMPARE(device.headset().sidetoneLevel, uint8_t(20));
    }
};

QTEST_GUILESS_MAIN(TestKestrinBuffer)
#include "tst_kestrin_buffer.moc"
