// The headset device model driving the real headset implementation over the emulated headset:
// a setting changed in the model reaches the headset within a few queue ticks, a refused one is
// put back in the model, and changes made on the headset come back through the polls.

#include "KestrinModelRig.h"

#include "device_models/KestrinDeviceModel.h"
#include "device_models/KestrinDeviceModelBuffer.h"
#include "devices/DeviceProxy.h"
#include "devices/KestrinDeviceImpl.h"
#include "support/devices/ManualWorkerTimers.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>

using namespace HidEmu;
using DeviceData::AncMode;
using DeviceModels::KestrinDeviceModel;
using TestSupport::ManualWorkerTimers;

namespace {

constexpr int c_queueTickMs = 10;
// "A few" queue ticks: the write goes out on the first; a couple more leave room for the order.
constexpr int c_fewTicks = 3;

// Rig, real headset implementation, proxy and model. With manual timers the model's worker runs
// only when the test advances virtual time, so "within a few ticks" is exact.
struct EndToEnd : KestrinModelRig {
    using KestrinModelRig::KestrinModelRig;

    // Runs queue ticks until `done` holds; the number of ticks it took, or -1.
    int ticksUntil(const std::function<bool()>& done, int limit = 20)
    {
        for (int tick = 1; tick <= limit; ++tick) {
            timers->advance(c_queueTickMs);
            if (done())
                return tick;
        }
        return -1;
    }

    bool sent(const std::string& line) const
    {
        const auto log = rig.log();
        return std::find(log.begin(), log.end(), line) != log.end();
    }
};

} // namespace

using ModelChange = std::function<bool(KestrinDeviceModel&)>;
using HeadsetValue = std::function<int(const Kestrin::State&)>;
using ModelValue = std::function<int(const KestrinDeviceModel&)>;
Q_DECLARE_METATYPE(ModelChange)
Q_DECLARE_METATYPE(HeadsetValue)
Q_DECLARE_METATYPE(ModelValue)

class TestKestrinDeviceE2e : public QObject {
    Q_OBJECT

private slots:
    void modelLoadsTheHeadset();
    void unknownAncModeIsRepairedByTheModel();
    void settingReachesHeadset_data();
    void settingReachesHeadset();
    void refusedSettingIsRestored_data();
    void refusedSettingIsRestored();
    void eqBandReachesHeadset_data();
    void eqBandReachesHeadset();
    void ancBandsThatCannotBeComparedAreLeftAlone_data();
    void ancBandsThatCannotBeComparedAreLeftAlone();
    void headsetChangesComeBackThroughPolls();
    void realWorkerThread();
};

void TestKestrinDeviceE2e::modelLoadsTheHeadset()
{
    EndToEnd e2e(0x4BA9, true, [](Kestrin::State& s) {
        s.vpLevel = 20; // out of the model's range: written back as 15
        s.ancMode = 1;
        s.eqIndex = 9;
    });
    QSignalSpy ready(e2e.model.get(), &KestrinDeviceModel::deviceReady);
    QVERIFY(e2e.connect());
    QCOMPARE(ready.count(), 1);
    QCOMPARE(e2e.model->getDeviceType(), DeviceType::kestrin_2_anc);
    QCOMPARE(e2e.model->getHwType(), KestrinHwType::ps_dongle);
    QVERIFY(e2e.model->isDongle());
    QVERIFY(e2e.model->isFullHw());
    QCOMPARE(e2e.model->getAncMode(), AncMode::transparency);
    QCOMPARE(e2e.model->getCurrentEqIndex(), uint8_t(9));
    QCOMPARE(e2e.model->getDongleFwVersion(), QString::fromStdString(e2e.rig.headset->dongleFirmwareVersion));
    QCOMPARE(e2e.model->getVpLevel(), uint8_t(15));
    QVERIFY(e2e.ticksUntil([&] { return e2e.rig.state->vpLevel == 15; }) > 0);
}

void TestKestrinDeviceE2e::unknownAncModeIsRepairedByTheModel()
{
    // The headset reports a mode that does not exist while it is being opened.
    EndToEnd e2e(0x4BAE, true, [](Kestrin::State& s) {
        s.ancMode = 1;
        s.reportedAncMode = 3;
    });
    QVERIFY(e2e.device->isValid());
    e2e.rig.state->reportedAncMode.reset();

    QSignalSpy changed(e2e.model.get(), &KestrinDeviceModel::sigAncModeChanged);
    QVERIFY(e2e.connect());
    // A headset with all its settings, not a firmware-only one.
    QVERIFY(e2e.model->isFullHw());
    QCOMPARE(e2e.model->getAncMode(), AncMode::on);
    QCOMPARE(changed.count(), 1);
    // The default goes to the headset through the queue (its first tick may come with the first
    // load, before the request log is cleared, so the headset's state is the witness).
    QVERIFY(e2e.ticksUntil([&] { return int(e2e.rig.state->ancMode) == 0; }, c_fewTicks) > 0);
    QVERIFY(e2e.rig.headset->violations().empty());
}

void TestKestrinDeviceE2e::settingReachesHeadset_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<ModelChange>("change");
    QTest::addColumn<HeadsetValue>("headsetValue");
    QTest::addColumn<int>("expected");

    using M = KestrinDeviceModel;
    using S = Kestrin::State;
    QTest::newRow("sidetone level") << 0x4B2A << ModelChange([](M& m) { return m.setSidetoneLevel(12); })
                                    << HeadsetValue([](const S& s) { return int(s.sidetoneLevel); }) << 12;
    QTest::newRow("game chat mix dongle") << 0x4B19 << ModelChange([](M& m) { return m.setGameChatMix(18); })
                                          << HeadsetValue([](const S& s) { return int(s.gameChatMix); }) << 18;
    QTest::newRow("vp level") << 0x4B1E << ModelChange([](M& m) { return m.setVpLevel(2); })
                              << HeadsetValue([](const S& s) { return int(s.vpLevel); }) << 2;
    QTest::newRow("noise reduction") << 0x4BAA << ModelChange([](M& m) { return m.setNoiseReduction(0); })
                                     << HeadsetValue([](const S& s) { return int(s.noiseReduction); }) << 0;
    QTest::newRow("amp gain") << 0x4B28 << ModelChange([](M& m) { return m.setAmpGain(99); })
                              << HeadsetValue([](const S& s) { return int(s.ampGain); }) << 99;
    QTest::newRow("sidetone") << 0x4B2E << ModelChange([](M& m) { return m.setSidetone(true); })
                              << HeadsetValue([](const S& s) { return int(s.sidetoneOn); }) << 1;
    QTest::newRow("auto power off") << 0x4BA8 << ModelChange([](M& m) { return m.setAutoPowerOff(0); })
                                    << HeadsetValue([](const S& s) { return int(s.autoPowerOff); }) << 0;
    QTest::newRow("anc mode") << 0x4BAE << ModelChange([](M& m) { return m.setAncMode(AncMode::off); })
                              << HeadsetValue([](const S& s) { return int(s.ancMode); }) << 2;
    // Written ahead of the queue.
    QTest::newRow("earcup balance") << 0x4B1A << ModelChange([](M& m) { return m.setEarcupBalance(124); })
                                    << HeadsetValue([](const S& s) { return int(s.earcupBalance); }) << 124;
    // Written by the worker after pending band edits.
    QTest::newRow("eq index") << 0x4B2A << ModelChange([](M& m) { return m.setCurrentEqIndex(5); })
                              << HeadsetValue([](const S& s) { return int(s.eqIndex); }) << 5;
}

void TestKestrinDeviceE2e::settingReachesHeadset()
{
    QFETCH(int, pid);
    QFETCH(ModelChange, change);
    QFETCH(HeadsetValue, headsetValue);
    QFETCH(int, expected);

    EndToEnd e2e{uint16_t(pid)};
    QVERIFY(e2e.connect());
    QVERIFY(headsetValue(*e2e.rig.state) != expected);
    QVERIFY(change(*e2e.model));
    if (headsetValue(*e2e.rig.state) != expected) {
        const int ticks = e2e.ticksUntil([&] { return headsetValue(*e2e.rig.state) == expected; });
        QVERIFY2(ticks > 0 && ticks <= c_fewTicks, qPrintable(QString("took %1 ticks").arg(ticks)));
    }
    // The device implementation now confirms the value: the publishing tick leaves it in place.
    e2e.model->onTimeout();
    QCOMPARE(e2e.rig.log().size(), size_t(1));
    QCOMPARE(ToStringList(e2e.rig.headset->violations()), QStringList());
}

void TestKestrinDeviceE2e::refusedSettingIsRestored_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<QString>("refused");
    QTest::addColumn<ModelChange>("change");
    QTest::addColumn<ModelValue>("modelValue");
    QTest::addColumn<QByteArray>("signal");
    // 0: the write is refused with a status; else the reply's status is no verdict, and the write
    // fails by going unanswered (the next request of this command id).
    QTest::addColumn<int>("silentId");

    using M = KestrinDeviceModel;
    QTest::newRow("sidetone level") << 0x4B2A << "set sidetone_level 12"
                                    << ModelChange([](M& m) { return m.setSidetoneLevel(12); })
                                    << ModelValue([](const M& m) { return int(m.getSidetoneLevel()); })
                                    << QByteArray(SIGNAL(sigSidetoneLevelChanged())) << 0;
    QTest::newRow("vp level through dongle")
        << 0x4B28 << "set vp_level 1" << ModelChange([](M& m) { return m.setVpLevel(1); })
        << ModelValue([](const M& m) { return int(m.getVpLevel()); }) << QByteArray(SIGNAL(sigVpLevelChanged()))
        << int(Kestrin::kSetParameter);
    QTest::newRow("anc mode") << 0x4BAA << "set anc_mode 2"
                              << ModelChange([](M& m) { return m.setAncMode(AncMode::off); })
                              << ModelValue([](const M& m) { return int(m.getAncMode()); })
                              << QByteArray(SIGNAL(sigAncModeChanged())) << 0;
    QTest::newRow("eq index") << 0x4B1A << "set eq_index 4" << ModelChange([](M& m) { return m.setCurrentEqIndex(4); })
                              << ModelValue([](const M& m) { return int(m.getCurrentEqIndex()); })
                              << QByteArray(SIGNAL(sigCurrentEqIndexChanged())) << 0;
}

void TestKestrinDeviceE2e::refusedSettingIsRestored()
{
    QFETCH(int, pid);
    QFETCH(QString, refused);
    QFETCH(ModelChange, change);
    QFETCH(ModelValue, modelValue);
    QFETCH(QByteArray, signal);
    QFETCH(int, silentId);

    EndToEnd e2e{uint16_t(pid)};
    QVERIFY(e2e.connect());
    const int before = modelValue(*e2e.model);
    const std::string line = refused.toStdString();
    if (silentId)
        e2e.rig.headset->ignore(uint16_t(silentId));
    else
        e2e.rig.state->refuseWhen = [line](const Request& rq) { return Kestrin::Describe(rq) == line ? 1 : 0; };

    QSignalSpy spy(e2e.model.get(), signal.constData());
    QVERIFY(change(*e2e.model));
    QCOMPARE(spy.count(), 1);
    QVERIFY(modelValue(*e2e.model) != before);

    if (!e2e.sent(line))
        QVERIFY(e2e.ticksUntil([&] { return e2e.sent(line); }, c_fewTicks) > 0);
    // The next publishing tick (every 100 ms on the GUI thread) puts the headset's value back.
    QTRY_COMPARE(spy.count(), 2);
    QCOMPARE(modelValue(*e2e.model), before);
}

void TestKestrinDeviceE2e::eqBandReachesHeadset_data()
{
    QTest::addColumn<int>("pid");
    QTest::newRow("kestrin") << 0x4B1E;
    QTest::newRow("kestrin_2 dongle") << 0x4B29;
    QTest::newRow("anc") << 0x4BAE;
}

void TestKestrinDeviceE2e::eqBandReachesHeadset()
{
    QFETCH(int, pid);

    EndToEnd e2e{uint16_t(pid)};
    QVERIFY(e2e.connect());
    std::vector<DeviceData::KestrinEqBandParams> bands;
    // The preset is read on the model's worker: the first call asks for it.
    QVERIFY(!e2e.model->loadEqBands(8, bands));
    e2e.timers->advance(0);
    QCoreApplication::sendPostedEvents();
    QVERIFY(e2e.model->loadEqBands(8, bands));
    QCOMPARE(bands.size(), size_t(10));
    e2e.rig.headset->clearLog();

    QSignalSpy spy(e2e.model.get(), &KestrinDeviceModel::sigEqBandChanged);
    QVERIFY(e2e.model->setEqBandGain(8, 4, -6));
    QCOMPARE(spy.count(), 1);

    const bool anc = e2e.model->getDeviceType() == DeviceType::kestrin_2_anc;
    auto stored = [&] {
        if (anc)
            return e2e.rig.state->userEqs[7][4].gain == -6.0f;
        const auto preset = Kestrin::DecodeUiPreset(e2e.rig.state->store[Kestrin::UiKey(1)]);
        return preset && preset->bands[4].gain == -600;
    };
    const int ticks = e2e.ticksUntil(stored);
    QVERIFY2(ticks > 0 && ticks <= c_fewTicks, qPrintable(QString("took %1 ticks").arg(ticks)));
    if (anc)
        QCOMPARE(ToStringList(e2e.rig.log()), QStringList{"set user_biquad 7 14"});
    else
        QCOMPARE(e2e.rig.log().size(), size_t(5));
    QCOMPARE(ToStringList(e2e.rig.state->storeFaults), QStringList());
}

void TestKestrinDeviceE2e::ancBandsThatCannotBeComparedAreLeftAlone_data()
{
    QTest::addColumn<bool>("loadFails");
    QTest::newRow("bands cannot be read") << true;
    QTest::newRow("headset has another band count") << false;
}

void TestKestrinDeviceE2e::ancBandsThatCannotBeComparedAreLeftAlone()
{
    QFETCH(bool, loadFails);

    KestrinRig rig(0x4BAA);
    if (!loadFails) {
        auto& userEq = rig.state->userEqs[7];
        Kestrin::Biquad extra = userEq.back();
        extra.bandId = uint8_t(extra.bandId + 1);
        userEq.push_back(extra);
    }
    auto device = rig.build<Devices::KestrinDeviceImpl>();
    QVERIFY(device->isValid());
    if (loadFails)
        rig.headset->ignore(Kestrin::kAncGroup); // the read of user EQ 7 goes unanswered
    rig.headset->clearLog();

    ManualWorkerTimers timers;
    KestrinDeviceModel::Buffer buffer(timers);
    buffer.setDevMain(device.get(), DeviceType::kestrin_2_anc);
    std::vector<DeviceData::KestrinEqBandParams> bands;
    for (int frequency : {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000})
        bands.emplace_back(frequency, 3);
    buffer.setEqBands(8, bands);

    timers.advance(0);
    // The headset's bands were asked for once; nothing was written.
    QCOMPARE(ToStringList(rig.takeLog()), QStringList{"get user_biquads 7"});
    // Nor recorded as failed: the model would queue the same bands again, and they would fail
    // the same way on every tick.
    QVERIFY(buffer.readFailedKeys().empty());
    timers.advance(c_queueTickMs);
    QVERIFY(buffer.isFree());
    QCOMPARE(rig.requestCount(), size_t(0));
    QVERIFY(rig.headset->violations().empty());
}

void TestKestrinDeviceE2e::headsetChangesComeBackThroughPolls()
{
    EndToEnd e2e{0x4B2A};
    QVERIFY(e2e.connect());
    e2e.model->setPollingParam(KestrinDeviceModel::PollingParam::normal);
    QSignalSpy mix(e2e.model.get(), &KestrinDeviceModel::sigGameChatMixChanged);
    QSignalSpy mute(e2e.model.get(), &KestrinDeviceModel::sigMicMuteChanged);
    QSignalSpy battery(e2e.model.get(), &KestrinDeviceModel::sigBatteryLevelChanged);

    // Changed on the headset itself.
    e2e.rig.state->gameChatMix = 3;
    e2e.rig.state->micMuted = true;
    e2e.rig.headset->batteryLevel = 17;
    e2e.timers->advance(30100);
    e2e.model->onTimeout();
    QCOMPARE(mix.count(), 1);
    QCOMPARE(e2e.model->getGameChatMix(), uint8_t(3));
    QCOMPARE(mute.count(), 1);
    QVERIFY(e2e.model->getMicMute());
    QCOMPARE(battery.count(), 1);
    QCOMPARE(e2e.model->getBatteryLevel(), uint8_t(17));
}

void TestKestrinDeviceE2e::realWorkerThread()
{
    // The production worker thread and the read pacing of a real headset.
    // The refusal is set up before the worker runs: the hook is read on the worker thread.
    EndToEnd e2e(0x4B1A, false, [](Kestrin::State& s) {
        s.refuseWhen = [](const Request& rq) { return Kestrin::Describe(rq) == "set sidetone_level 9" ? 1 : 0; };
    });
    QVERIFY(e2e.connect());
    e2e.model->setPollingParam(KestrinDeviceModel::PollingParam::normal);
    QSignalSpy spy(e2e.model.get(), &KestrinDeviceModel::sigSidetoneLevelChanged);
    QVERIFY(e2e.model->setSidetoneLevel(7));
    QTRY_VERIFY_WITH_TIMEOUT(e2e.sent("set sidetone_level 7"), 10000);

    // A refused write comes back in the model.
    QVERIFY(e2e.model->setSidetoneLevel(9));
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 3, 10000);
    QCOMPARE(e2e.model->getSidetoneLevel(), uint8_t(7));
    e2e.model->setPollingParam(KestrinDeviceModel::PollingParam::none);
}

QTEST_GUILESS_MAIN(TestKestrinDeviceE2e)
#include "tst_kestrin_device_e2e.moc"
