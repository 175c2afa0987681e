#include "device_models/KestrinDeviceModel.h"
#include "device_models/KestrinDeviceModelBuffer.h"
#include "devices/DeviceProxy.h"
#include "devices/FakeKestrinDeviceImpl.h"
#include "devices/NullDeviceImpl.h"
#include "support/devices/ManualWorkerTimers.h"
#include "support/devices/TestKestrinDevice.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using DeviceData::AncMode;
using DeviceData::KestrinEqBandParams;
using DeviceModels::KestrinDeviceModel;
using TestSupport::ManualWorkerTimers;
using TestSupport::TestKestrinDevice;
using Polling = KestrinDeviceModel::PollingParam;
Q_DECLARE_METATYPE(DeviceType)

namespace {

TestKestrinDevice::Options optionsOf(DeviceType type,
                                     Devices::DeviceCategory category = Devices::DeviceCategory::Hardware)
{
    TestKestrinDevice::Options options;
    options.type = type;
    options.category = category;
    return options;
}

// A model on virtual worker time. Nothing runs on the worker until advance(); the 100 ms
// publishing tick is called directly (tick()).
struct Fixture {
    explicit Fixture(const TestKestrinDevice::Options& options = optionsOf(DeviceType::kestrin_2),
                     const TestKestrinDevice::State& state = {})
        : device(std::make_shared<TestKestrinDevice>(options, state))
    {
        auto manual = std::make_unique<ManualWorkerTimers>();
        timers = manual.get();
        model = std::make_unique<KestrinDeviceModel>(&proxy, std::move(manual));
    }

    // Makes the device current and lets the worker do the first load's reads.
    void connectDevice()
    {
        QVERIFY(proxy.setDevice(device));
        advance(0);
    }
    // Runs the worker jobs due by then and hands their results to the model.
    void advance(int64_t ms)
    {
        timers->advance(ms);
        QCoreApplication::sendPostedEvents();
    }
    void tick() { model->onTimeout(); }
    // Preset bands come from the worker: asked for by the first call, cached once it ran.
    bool loadBands(uint8_t eqIndex, std::vector<KestrinEqBandParams>& out)
    {
        if (model->loadEqBands(eqIndex, out))
            return true;
        // Jobs posted before the request go first, one per millisecond.
        for (int ms = 0; ms < 10; ++ms) {
            advance(ms == 0 ? 0 : 1);
            if (model->loadEqBands(eqIndex, out))
                return true;
        }
        return false;
    }
    // Lets the queue drain and publishes.
    void settle()
    {
        advance(200);
        tick();
    }
    bool publishingTimerRuns() const
    {
        const auto qtimers = model->findChildren<QTimer*>();
        return std::any_of(qtimers.begin(), qtimers.end(), [](QTimer* t) { return t->isActive(); });
    }

    Devices::DeviceProxy proxy;
    std::shared_ptr<TestKestrinDevice> device;
    ManualWorkerTimers* timers = nullptr;
    std::unique_ptr<KestrinDeviceModel> model;
};

TestKestrinDevice::State withBands(std::initializer_list<uint8_t> presets, std::vector<int> gains = {})
{
    if (gains.empty())
        gains.assign(10, 0);
    TestKestrinDevice::State state;
    for (uint8_t preset : presets)
        state.bands[preset] = TestKestrinDevice::Bands(gains);
    return state;
}

} // namespace

class TestKestrinDeviceModel : public QObject {
    Q_OBJECT

private slots:
    void loadsEverySettingWhenAHeadsetBecomesCurrent()
    {
        TestKestrinDevice::State state;
        state.autoPowerOff = 1200;
        state.gameChatMix = 4;
        state.noiseReduction = 1;
        state.vpLevel = 9;
        state.earcupBalance = 130;
        state.ampGain = 120;
        state.eqIndex = 3;
        state.sidetoneLevel = 6;
        state.maxSidetoneLevel = 30;
        state.micLevel = 12;
        state.ancMode = AncMode::transparency;
        state.sidetone = true;
        state.newFilm = true;
        state.batteryLevel = 64;
        auto options = optionsOf(DeviceType::kestrin_2_anc);
        options.dongle = true;
        options.hwType = KestrinHwType::xbox_dongle;
        Fixture f(options, state);
        QSignalSpy ready(f.model.get(), &KestrinDeviceModel::deviceReady);
        f.connectDevice();

        QCOMPARE(ready.count(), 1);
        const KestrinDeviceModel& m = *f.model;
        QCOMPARE(m.getDeviceType(), DeviceType::kestrin_2_anc);
        QCOMPARE(m.getHwType(), KestrinHwType::xbox_dongle);
        QCOMPARE(m.getAutoPowerOff(), uint16_t(1200));
        QCOMPARE(m.getGameChatMix(), uint8_t(4));
        QCOMPARE(m.getNoiseReduction(), uint8_t(1));
        QCOMPARE(m.getVpLevel(), uint8_t(9));
        QCOMPARE(m.getEarcupBalance(), uint8_t(130));
        QCOMPARE(m.getAmpGain(), uint8_t(120));
        QCOMPARE(m.getCurrentEqIndex(), uint8_t(3));
        QCOMPARE(m.getSidetoneLevel(), uint8_t(6));
        QCOMPARE(m.getMaxSidetoneLevel(), uint8_t(30));
        QCOMPARE(m.getMicLevel(), uint8_t(12));
        QCOMPARE(m.getAncMode(), AncMode::transparency);
        QVERIFY(m.isSidetoneOn());
        QVERIFY(m.isNewFilm());
        QVERIFY(m.isPoweredOn());
        QVERIFY(m.isDongle());
        QVERIFY(m.isHw());
        QVERIFY(m.isFullHw());
        QVERIFY(!m.isFwOnly());
        QCOMPARE(m.getFwVersion(), QStringLiteral("1.2.3"));
        QCOMPARE(m.getDongleFwVersion(), QStringLiteral("4.5.6"));
        // Battery and mute are read at once and published as soon as the reading is back, not at
        // the next tick, which then has nothing new.
        QCOMPARE(m.getBatteryLevel(), uint8_t(64));
        QVERIFY(m.isStatusRead());
        QSignalSpy battery(f.model.get(), &KestrinDeviceModel::sigBatteryLevelChanged);
        f.tick();
        QCOMPARE(m.getBatteryLevel(), uint8_t(64));
        QCOMPARE(battery.count(), 0);
        QVERIFY(f.publishingTimerRuns());
        // Nothing was out of range, so nothing was written.
        QVERIFY(f.device->calls(QStringLiteral("set")).isEmpty());
        QCOMPARE(f.timers->activeCount(), 0);
    }

    void modelTypeDecidesWhatIsLoaded()
    {
        TestKestrinDevice::State state;
        state.micLevel = 12;
        state.ancMode = AncMode::off;
        Fixture first(optionsOf(DeviceType::kestrin), state);
        first.connectDevice();
        QCOMPARE(first.model->getMicLevel(), uint8_t(0));
        QCOMPARE(first.model->getAncMode(), AncMode::on);
        QVERIFY(first.device->calls(QStringLiteral("loadAncMode")).isEmpty());

        Fixture second(optionsOf(DeviceType::kestrin_2), state);
        second.connectDevice();
        QCOMPARE(second.model->getMicLevel(), uint8_t(12));
        QCOMPARE(second.model->getAncMode(), AncMode::on);
        QVERIFY(!second.model->isDongle());
        QVERIFY(second.model->getDongleFwVersion().isEmpty());
    }

    void outOfRangeValuesAreRepairedBeforeReady_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("loaded");
        QTest::addColumn<int>("repaired");
        QTest::addColumn<QString>("write");
        QTest::newRow("voice prompts") << "vp" << 20 << 15 << "setVpLevel 15";
        QTest::newRow("game/chat mix") << "gcm" << 25 << 20 << "setGameChatMix 20";
        QTest::newRow("noise reduction") << "nr" << 5 << 2 << "setNoiseReduction 2";
        QTest::newRow("balance too low") << "balance" << 100 << 122 << "setEarcupBalance 122";
        QTest::newRow("balance too high") << "balance" << 140 << 134 << "setEarcupBalance 134";
        QTest::newRow("anc mode") << "anc" << 7 << 0 << "setAncMode 0";
    }

    void outOfRangeValuesAreRepairedBeforeReady()
    {
        QFETCH(QString, setting);
        QFETCH(int, loaded);
        QFETCH(int, repaired);
        QFETCH(QString, write);
        TestKestrinDevice::State state;
        if (setting == QLatin1String("vp"))
            state.vpLevel = uint8_t(loaded);
        else if (setting == QLatin1String("gcm"))
            state.gameChatMix = uint8_t(loaded);
        else if (setting == QLatin1String("nr"))
            state.noiseReduction = uint8_t(loaded);
        else if (setting == QLatin1String("balance"))
            state.earcupBalance = uint8_t(loaded);
        else
            state.ancMode = AncMode(loaded);
        Fixture f(optionsOf(DeviceType::kestrin_2_anc), state);

        QStringList order;
        const auto note = [&order](const char* what) { return [&order, what] { order << QLatin1String(what); }; };
        connect(f.model.get(), &KestrinDeviceModel::sigVpLevelChanged, this, note("changed"));
        connect(f.model.get(), &KestrinDeviceModel::sigGameChatMixChanged, this, note("changed"));
        connect(f.model.get(), &KestrinDeviceModel::sigNoiseReductionChanged, this, note("changed"));
        connect(f.model.get(), &KestrinDeviceModel::sigEarcupBalanceChanged, this, note("changed"));
        connect(f.model.get(), &KestrinDeviceModel::sigAncModeChanged, this, note("changed"));
        connect(f.model.get(), &KestrinDeviceModel::deviceReady, this, note("ready"));
        f.connectDevice();
        QCOMPARE(order, QStringList({QStringLiteral("changed"), QStringLiteral("ready")}));

        const KestrinDeviceModel& m = *f.model;
        const int value = setting == QLatin1String("vp")        ? m.getVpLevel()
                          : setting == QLatin1String("gcm")     ? m.getGameChatMix()
                          : setting == QLatin1String("nr")      ? m.getNoiseReduction()
                          : setting == QLatin1String("balance") ? m.getEarcupBalance()
                                                                : int(m.getAncMode());
        QCOMPARE(value, repaired);
        f.settle();
        QCOMPARE(f.device->calls(QStringLiteral("set")), QStringList{write});
    }

    void refusedBalanceRepairKeepsTheLoadedValue()
    {
        TestKestrinDevice::State state;
        state.earcupBalance = 100;
        Fixture f(optionsOf(DeviceType::kestrin_2), state);
        f.device->refuse(QStringLiteral("setEarcupBalance"));
        QSignalSpy balance(f.model.get(), &KestrinDeviceModel::sigEarcupBalanceChanged);
        f.connectDevice();
        QCOMPARE(f.model->getEarcupBalance(), uint8_t(100));
        QCOMPARE(balance.count(), 0);
    }

    void settersRefuseValuesOutOfRange_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("setter");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("accepted");
        const int k1 = int(DeviceType::kestrin), k2 = int(DeviceType::kestrin_2), anc = int(DeviceType::kestrin_2_anc);
        QTest::newRow("game/chat mix 20") << k2 << "gcm" << 20 << true;
        QTest::newRow("game/chat mix 21") << k2 << "gcm" << 21 << false;
        QTest::newRow("noise reduction 2") << k2 << "nr" << 2 << true;
        QTest::newRow("noise reduction 3") << k2 << "nr" << 3 << false;
        QTest::newRow("voice prompts 15") << k2 << "vp" << 15 << true;
        QTest::newRow("voice prompts 16") << k2 << "vp" << 16 << false;
        QTest::newRow("balance 121") << k2 << "balance" << 121 << false;
        QTest::newRow("balance 122") << k2 << "balance" << 122 << true;
        QTest::newRow("balance 134") << k2 << "balance" << 134 << true;
        QTest::newRow("balance 135") << k2 << "balance" << 135 << false;
        QTest::newRow("mic level on the first model") << k1 << "mic" << 5 << false;
        QTest::newRow("mic level on the second model") << k2 << "mic" << 5 << true;
        QTest::newRow("anc mode without anc") << k2 << "anc" << int(AncMode::off) << false;
        QTest::newRow("anc mode off") << anc << "anc" << int(AncMode::off) << true;
        QTest::newRow("anc mode not a mode") << anc << "anc" << 3 << false;
    }

    void settersRefuseValuesOutOfRange()
    {
        QFETCH(int, type);
        QFETCH(QString, setter);
        QFETCH(int, value);
        QFETCH(bool, accepted);
        Fixture f(optionsOf(DeviceType(type)));
        f.connectDevice();
        f.device->clearCalls();
        KestrinDeviceModel& m = *f.model;
        bool result = false;
        if (setter == QLatin1String("gcm"))
            result = m.setGameChatMix(uint8_t(value));
        else if (setter == QLatin1String("nr"))
            result = m.setNoiseReduction(uint8_t(value));
        else if (setter == QLatin1String("vp"))
            result = m.setVpLevel(uint8_t(value));
        else if (setter == QLatin1String("balance"))
            result = m.setEarcupBalance(uint8_t(value));
        else if (setter == QLatin1String("mic"))
            result = m.setMicLevel(uint8_t(value));
        else
            result = m.setAncMode(AncMode(value));
        QCOMPARE(result, accepted);
        f.settle();
        QCOMPARE(f.device->calls(QStringLiteral("set")).size(), accepted ? 1 : 0);
    }

    void setterChangesAtOnceAndWritesLater()
    {
        Fixture f;
        f.connectDevice();
        QSignalSpy changed(f.model.get(), &KestrinDeviceModel::sigSidetoneLevelChanged);
        QVERIFY(f.model->setSidetoneLevel(5));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(f.model->getSidetoneLevel(), uint8_t(5));
        QCOMPARE(f.device->headset().sidetoneLevel, uint8_t(0));
        f.advance(0);
        QCOMPARE(f.device->headset().sidetoneLevel, uint8_t(5));

        // The same value again: no write, no signal.
        f.device->clearCalls();
        QVERIFY(f.model->setSidetoneLevel(5));
        f.settle();
        QCOMPARE(changed.count(), 1);
        QVERIFY(f.device->calls(QStringLiteral("set")).isEmpty());
    }

    void refusedWriteIsPutBack_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("game/chat mix") << "setGameChatMix";
        QTest::newRow("noise reduction") << "setNoiseReduction";
        QTest::newRow("anc mode") << "setAncMode";
        QTest::newRow("voice prompts") << "setVpLevel";
        QTest::newRow("amp gain") << "setAmpGain";
        QTest::newRow("mic level") << "setMicLevel";
        QTest::newRow("sidetone level") << "setSidetoneLevel";
        QTest::newRow("sidetone") << "setSidetone";
        QTest::newRow("auto power-off") << "setAutoPowerOff";
    }

    void refusedWriteIsPutBack()
    {
        QFETCH(QString, operation);
        Fixture f(optionsOf(DeviceType::kestrin_2_anc));
        f.connectDevice();
        f.device->refuse(operation);
        KestrinDeviceModel& m = *f.model;
        int signals_ = 0;
        const auto count = [&signals_] { ++signals_; };
        const auto before = f.device->headset();
        std::function<int()> value;
        if (operation == QLatin1String("setGameChatMix")) {
            connect(&m, &KestrinDeviceModel::sigGameChatMixChanged, this, count);
            QVERIFY(m.setGameChatMix(17));
            value = [&m] { return int(m.getGameChatMix()); };
            QCOMPARE(value(), 17);
            f.settle();
            QCOMPARE(value(), int(before.gameChatMix));
        } else if (operation == QLatin1String("setNoiseReduction")) {
            connect(&m, &KestrinDeviceModel::sigNoiseReductionChanged, this, count);
            QVERIFY(m.setNoiseReduction(2));
            f.settle();
            QCOMPARE(m.getNoiseReduction(), before.noiseReduction);
        } else if (operation == QLatin1String("setAncMode")) {
            connect(&m, &KestrinDeviceModel::sigAncModeChanged, this, count);
            QVERIFY(m.setAncMode(AncMode::off));
            f.settle();
            QCOMPARE(m.getAncMode(), before.ancMode);
        } else if (operation == QLatin1String("setVpLevel")) {
            connect(&m, &KestrinDeviceModel::sigVpLevelChanged, this, count);
            QVERIFY(m.setVpLevel(3));
            f.settle();
            QCOMPARE(m.getVpLevel(), before.vpLevel);
        } else if (operation == QLatin1String("setAmpGain")) {
            connect(&m, &KestrinDeviceModel::sigAmpGainChanged, this, count);
            QVERIFY(m.setAmpGain(3));
            f.settle();
            QCOMPARE(m.getAmpGain(), before.ampGain);
        } else if (operation == QLatin1String("setMicLevel")) {
            connect(&m, &KestrinDeviceModel::sigMicLevelChanged, this, count);
            QVERIFY(m.setMicLevel(3));
            f.settle();
            QCOMPARE(m.getMicLevel(), before.micLevel);
        } else if (operation == QLatin1String("setSidetoneLevel")) {
            connect(&m, &KestrinDeviceModel::sigSidetoneLevelChanged, this, count);
            QVERIFY(m.setSidetoneLevel(5));
            f.settle();
            QCOMPARE(m.getSidetoneLevel(), before.sidetoneLevel);
        } else if (operation == QLatin1String("setSidetone")) {
            connect(&m, &KestrinDeviceModel::sigSidetoneChanged, this, count);
            QVERIFY(m.setSidetone(true));
            f.settle();
            QCOMPARE(m.isSidetoneOn(), before.sidetone);
        } else {
            connect(&m, &KestrinDeviceModel::sigAutoPowerOffChanged, this, count);
            QVERIFY(m.setAutoPowerOff(900));
            f.settle();
            QCOMPARE(m.getAutoPowerOff(), before.autoPowerOff);
        }
        // Once for the change, once for putting the headset's value back.
        QCOMPARE(signals_, 2);
        QCOMPARE(f.device->calls(operation).size(), 1);
    }

    void refusedValueIsNotPutBackOverANewerOne()
    {
        Fixture f;
        f.connectDevice();
        f.device->refuse(QStringLiteral("setAmpGain"), 1);
        QVERIFY(f.model->setAmpGain(50));
        f.advance(0);                     // refused
        QVERIFY(f.model->setAmpGain(60)); // queued again before the tick looked at the refusal
        f.tick();
        QCOMPARE(f.model->getAmpGain(), uint8_t(60));
        f.settle();
        QCOMPARE(f.model->getAmpGain(), uint8_t(60));
        QCOMPARE(f.device->headset().ampGain, uint8_t(60));
    }

    void balanceIsTakenOnceTheHeadsetAcceptedIt()
    {
        Fixture f;
        f.connectDevice();
        QSignalSpy changed(f.model.get(), &KestrinDeviceModel::sigEarcupBalanceChanged);
        QVERIFY(f.model->setEarcupBalance(125));
        // Written ahead of the queue by the worker; shown only once the headset took it.
        QCOMPARE(f.model->getEarcupBalance(), uint8_t(128));
        QCOMPARE(changed.count(), 0);
        f.advance(0);
        QCOMPARE(f.device->headset().earcupBalance, uint8_t(125));
        QCOMPARE(f.model->getEarcupBalance(), uint8_t(125));
        QCOMPARE(changed.count(), 1);

        f.device->refuse(QStringLiteral("setEarcupBalance"));
        QVERIFY(f.model->setEarcupBalance(126));
        f.advance(0);
        f.tick();
        QCOMPARE(f.model->getEarcupBalance(), uint8_t(125));
        QCOMPARE(changed.count(), 1);
        QVERIFY(!f.model->setEarcupBalance(135));
    }

    void balanceGoesBackToTheValueWhileAWriteIsOnItsWay()
    {
        Fixture f;
        f.connectDevice();
        QSignalSpy changed(f.model.get(), &KestrinDeviceModel::sigEarcupBalanceChanged);
        QVERIFY(f.model->setEarcupBalance(125));
        QVERIFY(f.model->setEarcupBalance(127));
        // Back to the shown value before the write went out: the headset must end there too, and
        // the queued write takes only the newest value.
        QVERIFY(f.model->setEarcupBalance(128));
        f.advance(0);
        f.advance(5);
        QCOMPARE(f.device->calls(QStringLiteral("setEarcupBalance")),
                 QStringList{QStringLiteral("setEarcupBalance 128")});
        QCOMPARE(f.device->headset().earcupBalance, uint8_t(128));
        QCOMPARE(f.model->getEarcupBalance(), uint8_t(128));
    }

    void refusedEqIndexIsPutBack()
    {
        Fixture f;
        f.connectDevice();
        f.device->refuse(QStringLiteral("setEqIndex"));
        QSignalSpy changed(f.model.get(), &KestrinDeviceModel::sigCurrentEqIndexChanged);
        QVERIFY(f.model->setCurrentEqIndex(8));
        QCOMPARE(f.model->getCurrentEqIndex(), uint8_t(8));
        QCOMPARE(changed.count(), 1);
        // Until the worker has sent it, the tick does not take the old index back.
        f.tick();
        QCOMPARE(f.model->getCurrentEqIndex(), uint8_t(8));
        f.advance(0);
        f.tick();
        QCOMPARE(f.model->getCurrentEqIndex(), uint8_t(1));
        QCOMPARE(changed.count(), 2);
    }

    void eqBandsAreLoadedOnceAndClamped()
    {
        Fixture f(optionsOf(DeviceType::kestrin_2), withBands({7}, {15, -13, 0, 1, 2, 3, 4, 5, 6, 7}));
        f.connectDevice();
        std::vector<KestrinEqBandParams> bands;
        QCOMPARE(f.model->getEqBandGain(7, 0), 0);
        QSignalSpy loaded(f.model.get(), &KestrinDeviceModel::sigEqBandsLoaded);
        QVERIFY(!f.model->loadEqBands(7, bands)); // asked for, not read on this thread
        QVERIFY(f.device->calls(QStringLiteral("loadEqBands")).isEmpty());
        f.advance(0);
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(loaded.at(0).at(0).value<uchar>(), uchar(7));
        QVERIFY(f.loadBands(7, bands));
        QCOMPARE(bands.size(), size_t(10));
        QCOMPARE(bands[0].gain, 12);
        QCOMPARE(bands[1].gain, -12);
        QCOMPARE(f.model->getEqBandGain(7, 9), 7);
        QVERIFY(f.loadBands(7, bands));
        QCOMPARE(f.device->calls(QStringLiteral("loadEqBands")).size(), 1);
        QVERIFY(!f.loadBands(6, bands));
        // A band beyond the preset reads as 0 rather than past the list.
        QCOMPARE(f.model->getEqBandGain(7, 10), 0);
        QCOMPARE(f.model->getEqBandGain(7, size_t(-1)), 0);
    }

    void bandGainEdits()
    {
        Fixture f(optionsOf(DeviceType::kestrin_2), withBands({7}));
        f.connectDevice();
        QVERIFY(f.model->setCurrentEqIndex(7));
        std::vector<KestrinEqBandParams> bands;
        QVERIFY(!f.model->setEqBandGain(0, 5)); // not loaded yet
        QVERIFY(f.loadBands(7, bands));
        QSignalSpy band(f.model.get(), &KestrinDeviceModel::sigEqBandChanged);

        QVERIFY(!f.model->setEqBandGain(0, 13));
        QVERIFY(!f.model->setEqBandGain(0, -13));
        QVERIFY(!f.model->setEqBandGain(10, 1));
        QVERIFY(f.model->setEqBandGain(0, 0)); // unchanged
        QCOMPARE(band.count(), 0);
        QVERIFY(f.model->setEqBandGain(0, -12));
        QCOMPARE(band.count(), 1);
        QCOMPARE(band.at(0).at(0).value<uchar>(), uchar(7));
        QCOMPARE(band.at(0).at(1).value<size_t>(), size_t(0));
        QCOMPARE(f.model->getEqBandGain(0), -12);
        f.settle();
        QCOMPARE(f.device->headset().bands.at(7)[0].gain, -12);
    }

    void allBandGainsAtOnce()
    {
        Fixture f(optionsOf(DeviceType::kestrin_2), withBands({9}));
        f.connectDevice();
        std::vector<KestrinEqBandParams> bands;
        QVERIFY(f.loadBands(9, bands));
        QSignalSpy band(f.model.get(), &KestrinDeviceModel::sigEqBandChanged);

        QVERIFY(!f.model->setEqBandsGains(9, {1, 1, 1, 1, 1, 1, 1, 1, 1}));
        QVERIFY(!f.model->setEqBandsGains(9, {1, 1, 1, 1, 1, 1, 1, 1, 1, 13}));
        QCOMPARE(f.model->getEqBandGain(9, 0), 0);
        QVERIFY(f.model->setEqBandsGains(9, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        QCOMPARE(band.count(), 0);
        f.settle();
        QVERIFY(f.device->calls(QStringLiteral("setEqBands")).isEmpty());

        QVERIFY(f.model->setEqBandsGains(9, {0, 4, 0, 0, 0, 0, 0, 0, 0, -4}));
        QCOMPARE(band.count(), 2);
        QCOMPARE(band.at(0).at(1).value<size_t>(), size_t(1));
        QCOMPARE(band.at(1).at(1).value<size_t>(), size_t(9));
        f.settle();
        QCOMPARE(f.device->headset().bands.at(9), TestKestrinDevice::Bands({0, 4, 0, 0, 0, 0, 0, 0, 0, -4}));
    }

    void refusedBandsAreSentAgain()
    {
        Fixture f(optionsOf(DeviceType::kestrin_2), withBands({8}));
        f.connectDevice();
        std::vector<KestrinEqBandParams> bands;
        QVERIFY(f.loadBands(8, bands));
        f.device->refuse(QStringLiteral("setEqBands"), 1);
        QVERIFY(f.model->setEqBandGain(8, 3, 6));
        f.advance(0); // refused
        QVERIFY(f.device->headset().bands.at(8)[3].gain == 0);
        f.tick(); // queued again from the model's bands
        f.settle();
        QCOMPARE(f.device->headset().bands.at(8)[3].gain, 6);
        QCOMPARE(f.model->getEqBandGain(8, 3), 6);
    }

    void ancEditThatCannotBeComparedIsNotQueuedAgain()
    {
        // The headset's bands for the preset cannot be loaded when the edit goes out: nothing is
        // written, and the edit is not queued again (bands that never compare would otherwise be
        // asked for on every tick).
        Fixture f(optionsOf(DeviceType::kestrin_2_anc), withBands({7}));
        f.connectDevice();
        std::vector<KestrinEqBandParams> bands;
        QVERIFY(f.loadBands(7, bands));
        f.device->refuse(QStringLiteral("loadEqBands"), 1);
        QVERIFY(f.model->setEqBandGain(7, 4, -5));
        f.advance(0);
        QVERIFY(f.device->calls(QStringLiteral("write")).isEmpty());
        f.device->clearCalls();
        f.tick();
        f.settle();
        QVERIFY(f.device->calls(QStringLiteral("loadEqBands")).isEmpty());
        QVERIFY(f.device->calls(QStringLiteral("write")).isEmpty());
        QCOMPARE(f.device->headset().bands.at(7)[4].gain, 0);
    }

    void eqIndexChangeFlushesPendingBandsFirst()
    {
        Fixture f(optionsOf(DeviceType::kestrin_2), withBands({7, 8}));
        f.connectDevice();
        std::vector<KestrinEqBandParams> bands;
        QVERIFY(f.loadBands(7, bands));
        f.device->clearCalls();
        QVERIFY(f.model->setEqBandGain(7, 2, 3));
        QVERIFY(f.model->setCurrentEqIndex(7));
        f.advance(0);
        QCOMPARE(f.device->calls(QStringLiteral("set")),
                 QStringList({QStringLiteral("setEqBands 7 0,0,3,0,0,0,0,0,0,0"), QStringLiteral("setEqIndex 7")}));
    }

    void pollingRunsOnlyForFullHardware()
    {
        Fixture f;
        f.model->setPollingParam(Polling::normal);
        QCOMPARE(f.timers->activeCount(), 0); // no device yet
        f.connectDevice();
        QCOMPARE(f.timers->activeCount(), 0); // losing the old device reset the parameter
        f.model->setPollingParam(Polling::normal);
        QCOMPARE(f.timers->activeCount(), 2);
        f.model->setPollingParam(Polling::none);
        QCOMPARE(f.timers->activeCount(), 0);
        f.model->setPollingParam(Polling::normal);
        f.model->setPollingParam(Polling::head_tracking);
        f.advance(0); // the sensor switch
        QCOMPARE(f.timers->activeCount(), 0);
        QCOMPARE(f.model->getPollingParam(), Polling::head_tracking);
        QVERIFY(!f.model->hasHeadtracking());
    }

    void pollsPickUpChangesMadeOnTheHeadset()
    {
        Fixture f(optionsOf(DeviceType::kestrin_2_anc));
        f.connectDevice();
        f.model->setPollingParam(Polling::normal);
        f.tick();
        QSignalSpy sidetone(f.model.get(), &KestrinDeviceModel::sigSidetoneLevelChanged);
        QSignalSpy anc(f.model.get(), &KestrinDeviceModel::sigAncModeChanged);
        QSignalSpy mute(f.model.get(), &KestrinDeviceModel::sigMicMuteChanged);
        QSignalSpy battery(f.model.get(), &KestrinDeviceModel::sigBatteryLevelChanged);
        f.device->onHeadset([](TestKestrinDevice::State& s) {
            s.sidetoneLevel = 9;
            s.ancMode = AncMode::off;
            s.micMute = true;
            s.batteryLevel = 42;
        });
        f.advance(50);
        f.tick();
        QCOMPARE(sidetone.count(), 0); // first poll after 100 ms
        f.advance(60);
        f.tick();
        QCOMPARE(f.model->getSidetoneLevel(), uint8_t(9));
        QCOMPARE(f.model->getAncMode(), AncMode::off);
        QVERIFY(f.model->getMicMute());
        QCOMPARE(sidetone.count(), 1);
        QCOMPARE(anc.count(), 1);
        QCOMPARE(mute.count(), 1);
        QCOMPARE(battery.count(), 1); // the battery poll starts with the state poll
        QCOMPARE(f.model->getBatteryLevel(), uint8_t(42));

        f.device->onHeadset([](TestKestrinDevice::State& s) { s.batteryLevel = 41; });
        f.advance(29000);
        f.tick();
        QCOMPARE(f.model->getBatteryLevel(), uint8_t(42));
        f.advance(1100);
        f.tick();
        QCOMPARE(f.model->getBatteryLevel(), uint8_t(41));
    }

    // Walks the settings table: a state poll reads the microphone mute and then exactly the
    // polled settings the headset model has, in the table's order, each through its row's read.
    void statePollReadsThePolledRows_data()
    {
        QTest::addColumn<DeviceType>("type");
        QTest::newRow("kestrin") << DeviceType::kestrin;
        QTest::newRow("kestrin_2") << DeviceType::kestrin_2;
        QTest::newRow("kestrin_2_anc") << DeviceType::kestrin_2_anc;
    }

    void statePollReadsThePolledRows()
    {
        QFETCH(DeviceType, type);
        const auto names = [](const QStringList& calls) {
            QStringList out;
            for (const QString& call : calls) {
                if (call != QStringLiteral("readBatteryLevel")) // the battery poll's
                    out << call.section(QLatin1Char(' '), 0, 0);
            }
            return out;
        };
        QStringList expected{QStringLiteral("readMicMute")};
        for (const Devices::KestrinSettingInfo& info : Devices::c_kestrinSettings) {
            if (!info.polled || !Devices::HasSetting(info.models, type))
                continue;
            QVERIFY2(info.read, info.name);
            TestKestrinDevice probe(optionsOf(type));
            uint16_t value = 0;
            info.read(probe, value);
            expected << names(probe.calls(QStringLiteral("read")));
        }

        Fixture f(optionsOf(type));
        f.connectDevice();
        f.device->clearCalls();
        f.model->setPollingParam(Polling::normal);
        f.advance(100);
        QCOMPARE(names(f.device->calls(QStringLiteral("read"))), expected);
    }

    void pollsWaitForTheQueue()
    {
        Fixture f;
        f.connectDevice();
        f.model->setPollingParam(Polling::normal);
        f.advance(100); // first polls done
        f.device->clearCalls();
        QVERIFY(f.model->setGameChatMix(3));
        QVERIFY(f.model->setVpLevel(3));
        // A headset-side change while our writes are pending is not published over them.
        f.device->onHeadset([](TestKestrinDevice::State& s) { s.sidetoneLevel = 4; });
        f.tick();
        QCOMPARE(f.model->getSidetoneLevel(), uint8_t(0));
        f.advance(20);
        QVERIFY(f.device->calls(QStringLiteral("read")).isEmpty());
        f.advance(1000);
        f.tick();
        QCOMPARE(f.model->getSidetoneLevel(), uint8_t(4));
        QCOMPARE(f.model->getGameChatMix(), uint8_t(3));
    }

    void simulatedHeadsetRunsWithoutPolling()
    {
        Fixture f(optionsOf(DeviceType::kestrin, Devices::DeviceCategory::Software));
        f.connectDevice();
        f.model->setPollingParam(Polling::normal);
        QCOMPARE(f.timers->activeCount(), 0);
        QVERIFY(!f.publishingTimerRuns());
        QVERIFY(!f.model->isHw());
        QCOMPARE(f.model->getBatteryLevel(), uint8_t(0));
        QVERIFY(!f.model->getMicMute());
    }

    void firmwareOnlyHeadsetShowsFixedValuesAndStartsNoTimers()
    {
        auto fwOnly = optionsOf(DeviceType::kestrin_2);
        fwOnly.fwOnly = true;
        Fixture f;
        f.connectDevice();
        f.model->setPollingParam(Polling::normal);
        QCOMPARE(f.timers->activeCount(), 2);

        // The next device is firmware-only: the full headset's polls must not carry over to it.
        auto other = std::make_shared<TestKestrinDevice>(fwOnly);
        QVERIFY(f.proxy.setDevice(other));
        f.model->setPollingParam(Polling::normal);
        QCOMPARE(f.timers->activeCount(), 0);
        QVERIFY(!f.publishingTimerRuns());
        QVERIFY(f.model->isFwOnly());
        QVERIFY(!f.model->isFullHw());
        QCOMPARE(f.model->getEarcupBalance(), uint8_t(128));
        QCOMPARE(f.model->getAmpGain(), uint8_t(136));
        QCOMPARE(f.model->getAutoPowerOff(), uint16_t(300));
        QCOMPARE(f.model->getVpLevel(), uint8_t(7));
        QCOMPARE(f.model->getFwVersion(), QStringLiteral("1.2.3"));
        QVERIFY(f.model->getDongleFwVersion().isEmpty());
        QCOMPARE(other->calls(QStringLiteral("read")), QStringList());
    }

    void firmwareOnlyFirstThenFullHeadsetPolls()
    {
        auto fwOnly = optionsOf(DeviceType::kestrin_2);
        fwOnly.fwOnly = true;
        Fixture f(fwOnly);
        f.connectDevice();
        QVERIFY(f.proxy.setDevice(std::make_shared<TestKestrinDevice>()));
        f.advance(0);
        f.model->setPollingParam(Polling::normal);
        QCOMPARE(f.timers->activeCount(), 2);
        QVERIFY(f.publishingTimerRuns());
    }

    void losingTheDeviceStopsEverything()
    {
        Fixture f;
        f.connectDevice();
        f.model->setPollingParam(Polling::normal);
        QVERIFY(f.model->setAmpGain(7));
        QSignalSpy lost(f.model.get(), &KestrinDeviceModel::deviceLost);
        QVERIFY(f.proxy.resetImpl());
        QCOMPARE(lost.count(), 1);
        QCOMPARE(f.timers->activeCount(), 0);
        QCOMPARE(f.model->getPollingParam(), Polling::none);
        QVERIFY(!f.publishingTimerRuns());
        f.advance(1000);
        QVERIFY(f.device->calls(QStringLiteral("set")).isEmpty()); // dropped unsent
        QCOMPARE(f.model->getAmpGain(), uint8_t(7));               // the cache stays until the next device
        QVERIFY(f.device.use_count() >= 1);
    }

    // A model made while the proxy already holds a headset writes to it like one announced later.
    void modelMadeOnACurrentHeadsetWritesToIt()
    {
        Devices::DeviceProxy proxy;
        auto device = std::make_shared<TestKestrinDevice>(optionsOf(DeviceType::kestrin_2));
        QVERIFY(proxy.setDevice(device));
        auto manual = std::make_unique<ManualWorkerTimers>();
        ManualWorkerTimers* timers = manual.get();
        KestrinDeviceModel model(&proxy, std::move(manual));

        QVERIFY(model.setSidetoneLevel(5));
        QVERIFY(model.setGameChatMix(3));
        timers->advance(200);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(device->headset().sidetoneLevel, uint8_t(5));
        QCOMPARE(device->headset().gameChatMix, uint8_t(3));
    }

    void deviceWithoutHeadsetInterfaceIsNotAnnounced()
    {
        class SerialDevice final : public Devices::IDeviceImpl {
        public:
            Devices::DeviceCategory getCategory() const override { return Devices::DeviceCategory::Hardware; }
            DeviceType getDeviceType() const override { return DeviceType::solvarine; }
        };
        Fixture f;
        QSignalSpy ready(f.model.get(), &KestrinDeviceModel::deviceReady);
        QVERIFY(f.proxy.setDevice(std::make_shared<SerialDevice>()));
        QCOMPARE(ready.count(), 0);
        QCOMPARE(f.model->getDeviceType(), DeviceType::none);
        QVERIFY(!f.model->setEarcupBalance(125));
    }

    void switchingHeadsetsReloads()
    {
        Fixture f;
        f.connectDevice();
        TestKestrinDevice::State state;
        state.vpLevel = 2;
        auto second = std::make_shared<TestKestrinDevice>(optionsOf(DeviceType::kestrin), state);
        QSignalSpy lost(f.model.get(), &KestrinDeviceModel::deviceLost);
        QSignalSpy ready(f.model.get(), &KestrinDeviceModel::deviceReady);
        QVERIFY(f.proxy.setDevice(second));
        QCOMPARE(lost.count(), 1);
        QCOMPARE(ready.count(), 1);
        QCOMPARE(f.model->getVpLevel(), uint8_t(2));
        QCOMPARE(f.model->getDeviceType(), DeviceType::kestrin);
        QVERIFY(f.model->setAmpGain(1));
        f.settle();
        QCOMPARE(second->headset().ampGain, uint8_t(1));
        QVERIFY(f.device->calls(QStringLiteral("setAmpGain")).isEmpty());
    }

    // --- On the real worker thread and the real 100 ms tick ---------------------------------

    void simulatedHeadsetEndToEnd()
    {
        Devices::DeviceProxy proxy;
        KestrinDeviceModel model(&proxy);
        auto fake = std::make_shared<Devices::FakeKestrinDeviceImpl>();
        fake->setVpLevel(20);
        QSignalSpy ready(&model, &KestrinDeviceModel::deviceReady);
        QVERIFY(proxy.setDevice(fake));
        QCOMPARE(ready.count(), 1);
        QCOMPARE(model.getVpLevel(), uint8_t(15));

        QSignalSpy sidetone(&model, &KestrinDeviceModel::sigSidetoneLevelChanged);
        QVERIFY(model.setSidetoneLevel(5));
        QVERIFY(model.setGameChatMix(17));
        QVERIFY(model.setAutoPowerOff(1800));
        QCOMPARE(sidetone.count(), 1);
        uint8_t value = 0;
        uint16_t seconds = 0;
        QTRY_VERIFY_WITH_TIMEOUT(fake->loadAutoPowerOff(seconds) && seconds == 1800, 10000);
        QVERIFY(fake->loadSidetoneLevel(value) && value == 5);
        QVERIFY(fake->loadGameChatMix(value) && value == 17);
        QVERIFY(fake->loadVpLevel(value) && value == 15);
        QVERIFY(!model.setMicLevel(3)); // the simulated headset is the first model
        QVERIFY(proxy.resetImpl());
    }

    void refusedWriteComesBackWithinATick()
    {
        Devices::DeviceProxy proxy;
        KestrinDeviceModel model(&proxy);
        auto device = std::make_shared<TestKestrinDevice>();
        QVERIFY(proxy.setDevice(device));
        device->refuse(QStringLiteral("setSidetoneLevel"));
        QSignalSpy sidetone(&model, &KestrinDeviceModel::sigSidetoneLevelChanged);
        QVERIFY(model.setSidetoneLevel(5));
        QCOMPARE(sidetone.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(sidetone.count(), 2, 5000);
        QCOMPARE(model.getSidetoneLevel(), uint8_t(0));
    }
};

QTEST_GUILESS_MAIN(TestKestrinDeviceModel)
#include "tst_kestrin_device_model.moc"
