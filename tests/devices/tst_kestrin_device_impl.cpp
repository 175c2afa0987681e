// The real headset implementation against the emulated headset family: initialisation of every
// supported product, the cached settings, refusals, the custom EQ paths of both EQ mechanisms.

#include "KestrinRig.h"

#include "devices/KestrinDeviceImpl.h"

#include <QQuaternion>
#include <QtTest>

#include <atomic>
#include <functional>
#include <limits>
#include <thread>

using namespace HidEmu;
using Devices::KestrinDeviceImpl;
using DeviceData::AncMode;
using DeviceData::KestrinEqBandParams;

namespace {

std::shared_ptr<KestrinDeviceImpl> Build(KestrinRig& rig)
{
    return rig.build<KestrinDeviceImpl>();
}

QStringList ExpectedInitLog(DeviceType type, bool dongle)
{
    QStringList log;
    if (!dongle)
        log << "get powered_on";
    log << "get vp_level"
        << "get earcup_balance"
        << "get fw_version"
        << "get amp_gain"
        << "get auto_power_off"
        << "get sidetone";
    if (dongle)
        log << "get fw_version @dongle";
    log << "get max_sidetone_level"
        << "get sidetone_level";
    log << (type == DeviceType::kestrin_2_anc ? "get user_eq" : "get eq_index");
    log << "get game_chat_mix"
        << "get noise_reduction";
    if (type == DeviceType::kestrin_2_anc)
        log << "get anc_mode";
    log << "get new_film";
    return log;
}

Kestrin::UiPreset PresetWithHundredths()
{
    Kestrin::UiPreset preset;
    preset.headerByte = 0x0B;
    preset.headerWord = 7;
    const int32_t freqs[] = {3150, 6300, 12599, 25000, 50000, 100000, 200000, 400000, 800000, 1600000};
    const int32_t gains[] = {125, -350, -350, 0, 275, 0, 0, -1199, 1200, 50};
    for (int i = 0; i < 10; ++i) {
        Kestrin::UiBand band;
        band.first = uint8_t(i);
        band.second = 0x02;
        band.frequency = freqs[i];
        band.gain = gains[i];
        band.q = 71 + i;
        band.fourth = i * 3;
        preset.bands.push_back(band);
    }
    return preset;
}

} // namespace

Q_DECLARE_METATYPE(DeviceType)
Q_DECLARE_METATYPE(KestrinHwType)

class TestKestrinDeviceImpl : public QObject {
    Q_OBJECT

private slots:
    void initialisesEveryProduct_data();
    void initialisesEveryProduct();
    void initialisationStopsAtFirstFailure_data();
    void initialisationStopsAtFirstFailure();
    void untestedStatusBytesDoNotStopInitialisation_data();
    void untestedStatusBytesDoNotStopInitialisation();
    void newFilmIsOptional();
    void invalidDeviceServesNoLoads();
    void customPresetCachedAtInit();
    void setters_data();
    void setters();
    void readers_data();
    void readers();
    void malformedRepliesLeaveCache_data();
    void malformedRepliesLeaveCache();
    void ancModeOutOfRangeIsTakenAsReported();
    void typeSpecificLoads();
    void micLevelIsNeverSent();
    void eqRoundTrip_data();
    void eqRoundTrip();
    void eqUploadKeepsUntouchedHundredths();
    void eqUploadRejectsWhatItCannotStore();
    void kestrin2ReloadsPresetQuietly_data();
    void kestrin2ReloadsPresetQuietly();
    void ancUserEqBiquads();
    void ancUserEqRefusedKeepsCache();
    void ancBandValuesBeyondIntAreSaturated_data();
    void ancBandValuesBeyondIntAreSaturated();
    void ancEqIndexIsOneHigher();
    void headTrackingIsForwarded();
    void twoThreadsShareOneHeadset();
    void factoryResetFrame_data();
    void factoryResetFrame();
};

void TestKestrinDeviceImpl::initialisesEveryProduct_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<DeviceType>("type");
    QTest::addColumn<KestrinHwType>("hwType");
    QTest::addColumn<bool>("dongle");

    QTest::newRow("4B1E kestrin xbox headset") << 0x4B1E << DeviceType::kestrin << KestrinHwType::xbox_headset << false;
    QTest::newRow("4B1A kestrin ps headset") << 0x4B1A << DeviceType::kestrin << KestrinHwType::ps_headset << false;
    QTest::newRow("4B2E kestrin_2 xbox headset")
        << 0x4B2E << DeviceType::kestrin_2 << KestrinHwType::xbox_headset << false;
    QTest::newRow("4B2A kestrin_2 ps headset") << 0x4B2A << DeviceType::kestrin_2 << KestrinHwType::ps_headset << false;
    QTest::newRow("4BAE anc xbox headset")
        << 0x4BAE << DeviceType::kestrin_2_anc << KestrinHwType::xbox_headset << false;
    QTest::newRow("4BAA anc ps headset") << 0x4BAA << DeviceType::kestrin_2_anc << KestrinHwType::ps_headset << false;
    QTest::newRow("4B18 kestrin xbox dongle") << 0x4B18 << DeviceType::kestrin << KestrinHwType::xbox_dongle << true;
    QTest::newRow("4B19 kestrin ps dongle") << 0x4B19 << DeviceType::kestrin << KestrinHwType::ps_dongle << true;
    QTest::newRow("4B28 kestrin_2 xbox dongle")
        << 0x4B28 << DeviceType::kestrin_2 << KestrinHwType::xbox_dongle << true;
    QTest::newRow("4B29 kestrin_2 ps dongle") << 0x4B29 << DeviceType::kestrin_2 << KestrinHwType::ps_dongle << true;
    QTest::newRow("4BA8 anc xbox dongle") << 0x4BA8 << DeviceType::kestrin_2_anc << KestrinHwType::xbox_dongle << true;
    QTest::newRow("4BA9 anc ps dongle") << 0x4BA9 << DeviceType::kestrin_2_anc << KestrinHwType::ps_dongle << true;
}

void TestKestrinDeviceImpl::initialisesEveryProduct()
{
    QFETCH(int, pid);
    QFETCH(DeviceType, type);
    QFETCH(KestrinHwType, hwType);
    QFETCH(bool, dongle);

    // The real read pacing: this is what the bus sees when a headset is plugged in.
    KestrinRig rig{uint16_t(pid), true};
    QVERIFY(rig.opened);
    rig.state->vpLevel = 9;
    rig.state->earcupBalance = 126;
    rig.state->ampGain = 140;
    rig.state->autoPowerOff = 600;
    rig.state->sidetoneOn = true;
    rig.state->maxSidetoneLevel = 20;
    rig.state->sidetoneLevel = 14;
    rig.state->eqIndex = 3;
    rig.state->gameChatMix = 6;
    rig.state->noiseReduction = 2;
    rig.state->ancMode = 2;
    rig.headset->firmwareVersion = "3.1.4";
    rig.headset->dongleFirmwareVersion = "0.9.8";

    auto device = Build(rig);
    QVERIFY(device->isValid());
    QCOMPARE(device->getDeviceType(), type);
    QCOMPARE(device->getHwType(), hwType);
    QCOMPARE(device->isDongle(), dongle);
    QCOMPARE(device->isFwOnly(), false);
    QCOMPARE(device->getCategory(), Devices::DeviceCategory::Hardware);
    QCOMPARE(device->getKestrinDevice(), static_cast<Devices::IKestrinDeviceMain*>(device.get()));
    uint16_t vid = 0;
    uint16_t gotPid = 0;
    QVERIFY(device->getVidPid(vid, gotPid));
    QCOMPARE(vid, uint16_t(0x3329));
    QCOMPARE(int(gotPid), pid);

    QCOMPARE(ToStringList(rig.log()), ExpectedInitLog(type, dongle));
    QVERIFY(rig.headset->violations().empty());

    uint8_t u8 = 0;
    uint16_t u16 = 0;
    bool flag = false;
    QVERIFY(device->loadVpLevel(u8));
    QCOMPARE(u8, uint8_t(9));
    QVERIFY(device->loadEarcupBalance(u8));
    QCOMPARE(u8, uint8_t(126));
    QVERIFY(device->loadAmpGain(u8));
    QCOMPARE(u8, uint8_t(140));
    QVERIFY(device->loadAutoPowerOff(u16));
    QCOMPARE(u16, uint16_t(600));
    QVERIFY(device->loadSidetone(flag));
    QCOMPARE(flag, true);
    QVERIFY(device->loadMaxSidetoneLevel(u8));
    QCOMPARE(u8, uint8_t(20));
    QVERIFY(device->loadSidetoneLevel(u8));
    QCOMPARE(u8, uint8_t(14));
    QVERIFY(device->loadEqIndex(u8));
    QCOMPARE(u8, uint8_t(3));
    QVERIFY(device->loadGameChatMix(u8));
    QCOMPARE(u8, uint8_t(6));
    QVERIFY(device->loadNoiseReduction(u8));
    QCOMPARE(u8, uint8_t(2));
    QVERIFY(device->loadPoweredOn(flag));
    QCOMPARE(flag, true);

    QString version;
    QVERIFY(device->loadFwVersion(version));
    QCOMPARE(version, QString("3.1.4"));
    QString dongleVersion = "untouched";
    QCOMPARE(device->loadDongleFwVersion(dongleVersion), dongle);
    QCOMPARE(dongleVersion, dongle ? QString("0.9.8") : QString("untouched"));

    AncMode mode = AncMode::on;
    QCOMPARE(device->loadAncMode(mode), type == DeviceType::kestrin_2_anc);
    if (type == DeviceType::kestrin_2_anc)
        QCOMPARE(mode, AncMode::off);
}

void TestKestrinDeviceImpl::initialisationStopsAtFirstFailure_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<int>("requestsSent");
    QTest::addColumn<bool>("unanswered"); // else refused with a status

    // Each step fails in turn: nothing after it is asked. A step whose reply status is a verdict
    // fails by a refusal; the others only when no reply comes.
    QTest::newRow("powered on") << 0x4B1A << "get powered_on" << 1 << false;
    QTest::newRow("vp level") << 0x4B1A << "get vp_level" << 2 << true;
    QTest::newRow("earcup balance") << 0x4B2A << "get earcup_balance" << 3 << false;
    QTest::newRow("amp gain") << 0x4B2A << "get amp_gain" << 5 << false;
    QTest::newRow("auto power off") << 0x4B2A << "get auto_power_off" << 6 << true;
    QTest::newRow("sidetone") << 0x4B29 << "get sidetone" << 6 << false;
    QTest::newRow("max sidetone level") << 0x4B2A << "get max_sidetone_level" << 8 << false;
    QTest::newRow("sidetone level") << 0x4B2A << "get sidetone_level" << 9 << false;
    QTest::newRow("eq index") << 0x4B2A << "get eq_index" << 10 << true;
    QTest::newRow("user eq") << 0x4BAA << "get user_eq" << 10 << false;
    QTest::newRow("game chat mix") << 0x4B1A << "get game_chat_mix" << 11 << true;
    QTest::newRow("noise reduction") << 0x4B1A << "get noise_reduction" << 12 << false;
    QTest::newRow("anc mode") << 0x4BAA << "get anc_mode" << 13 << true;
}

void TestKestrinDeviceImpl::initialisationStopsAtFirstFailure()
{
    QFETCH(int, pid);
    QFETCH(QString, failing);
    QFETCH(int, requestsSent);
    QFETCH(bool, unanswered);

    KestrinRig rig{uint16_t(pid)};
    const std::string step = failing.toStdString();
    Headset* headset = rig.headset.get();
    rig.state->refuseWhen = [step, unanswered, headset](const Request& rq) -> uint8_t {
        if (Kestrin::Describe(rq) != step)
            return 0;
        if (!unanswered)
            return 1;
        // The reply to this step comes far too late to count as one.
        headset->setReplyLatency(1000);
        return 0;
    };

    auto device = Build(rig);
    QVERIFY(!device->isValid());
    const QStringList log = ToStringList(rig.log());
    QCOMPARE(log.size(), requestsSent);
    QCOMPARE(log.last(), failing);
}

void TestKestrinDeviceImpl::untestedStatusBytesDoNotStopInitialisation_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<QString>("step");

    // Steps whose replies carry no verdict in their status position: a headset that puts
    // something else there is still a headset with settings, not a firmware-only device.
    QTest::newRow("vp level") << 0x4B1A << "get vp_level";
    QTest::newRow("auto power off") << 0x4B2A << "get auto_power_off";
    QTest::newRow("eq index") << 0x4B2A << "get eq_index";
    QTest::newRow("game chat mix") << 0x4B29 << "get game_chat_mix";
    QTest::newRow("anc mode") << 0x4BAA << "get anc_mode";
}

void TestKestrinDeviceImpl::untestedStatusBytesDoNotStopInitialisation()
{
    QFETCH(int, pid);
    QFETCH(QString, step);

    KestrinRig rig{uint16_t(pid)};
    rig.state->newFilm = true;
    const std::string marked = step.toStdString();
    rig.state->refuseWhen = [marked](const Request& rq) { return Kestrin::Describe(rq) == marked ? 7 : 0; };

    auto device = Build(rig);
    QVERIFY(device->isValid());
    const DeviceType type = device->getDeviceType();
    QCOMPARE(ToStringList(rig.log()), ExpectedInitLog(type, rig.isDongle()));
    QVERIFY(rig.headset->violations().empty());
}

void TestKestrinDeviceImpl::newFilmIsOptional()
{
    // kestrin_2 has no new-film flag and refuses the query: still a working headset.
    KestrinRig rig(0x4B2A);
    auto device = Build(rig);
    QVERIFY(device->isValid());
    bool newFilm = true;
    QVERIFY(device->loadIsNewFilm(newFilm));
    QCOMPARE(newFilm, false);

    KestrinRig first(0x4B1A);
    first.state->newFilm = true;
    auto kestrin = Build(first);
    QVERIFY(kestrin->isValid());
    QVERIFY(kestrin->loadIsNewFilm(newFilm));
    QCOMPARE(newFilm, true);
}

void TestKestrinDeviceImpl::invalidDeviceServesNoLoads()
{
    KestrinRig rig(0x4B1A);
    rig.state->refuseWhen = [](const Request& rq) { return Kestrin::Describe(rq) == "get amp_gain" ? 1 : 0; };
    auto device = Build(rig);
    QVERIFY(!device->isValid());

    // Values read before the failure are not served.
    uint8_t value = 77;
    QVERIFY(!device->loadVpLevel(value));
    QVERIFY(!device->loadEqIndex(value));
    QCOMPARE(value, uint8_t(77));
    QString version = "kept";
    QVERIFY(!device->loadFwVersion(version));
    QCOMPARE(version, QString("kept"));
    std::vector<KestrinEqBandParams> bands;
    QVERIFY(!device->loadEqBands(7, bands));

    // A device that is not open is never valid, and sends nothing.
    KestrinRig closed(0x4B1A);
    closed.client->closeDevice();
    closed.headset->clearLog();
    auto none = Build(closed);
    QVERIFY(!none->isValid());
    QCOMPARE(closed.requestCount(), size_t(0));
}

void TestKestrinDeviceImpl::customPresetCachedAtInit()
{
    KestrinRig rig(0x4B1A);
    rig.state->eqIndex = 8;
    rig.state->store[Kestrin::UiKey(1)] = Kestrin::EncodeUiPreset(PresetWithHundredths());
    auto device = Build(rig);
    QVERIFY(device->isValid());
    QCOMPARE(rig.log().back(), std::string("nv read EF01"));

    rig.headset->clearLog();
    std::vector<KestrinEqBandParams> bands;
    QVERIFY(device->loadEqBands(8, bands));
    QCOMPARE(rig.requestCount(), size_t(0));
    QCOMPARE(bands.size(), size_t(10));
    // Hundredths are truncated: 125.99 Hz shows as 125, -3.50 dB as -3.
    QCOMPARE(bands[2], KestrinEqBandParams(125, -3));
    QCOMPARE(bands[0], KestrinEqBandParams(31, 1));
    QCOMPARE(bands[7], KestrinEqBandParams(4000, -11));

    // Another slot is read on first use, then served from the cache.
    QVERIFY(device->loadEqBands(10, bands));
    QCOMPARE(ToStringList(rig.takeLog()), QStringList{"nv read EF03"});
    QVERIFY(device->loadEqBands(10, bands));
    QCOMPARE(rig.requestCount(), size_t(0));

    // Built-in presets have no bands here.
    QVERIFY(!device->loadEqBands(6, bands));
    QVERIFY(!device->loadEqBands(11, bands));
    QCOMPARE(rig.requestCount(), size_t(0));
}

using Setter = std::function<bool(Devices::IKestrinDeviceMain&)>;
using Loader = std::function<int(Devices::IKestrinDeviceMain&, bool&)>;
using StateValue = std::function<int(const Kestrin::State&)>;
Q_DECLARE_METATYPE(Setter)
Q_DECLARE_METATYPE(Loader)
Q_DECLARE_METATYPE(StateValue)

void TestKestrinDeviceImpl::setters_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<Setter>("set");
    QTest::addColumn<QString>("request");
    QTest::addColumn<Loader>("load");
    QTest::addColumn<StateValue>("headsetValue");
    QTest::addColumn<int>("newValue");
    QTest::addColumn<int>("silentId"); // 0: the failing write is refused; else this command goes unanswered

    auto u8Loader = [](bool (Devices::IKestrinDeviceMain::*load)(uint8_t&)) {
        return Loader([load](Devices::IKestrinDeviceMain& d, bool& ok) {
            uint8_t v = 0;
            ok = (d.*load)(v);
            return int(v);
        });
    };
    using M = Devices::IKestrinDeviceMain;

    QTest::newRow("game chat mix") << 0x4B1A << Setter([](M& d) { return d.setGameChatMix(17); })
                                   << "set game_chat_mix 17" << u8Loader(&M::loadGameChatMix)
                                   << StateValue([](const Kestrin::State& s) { return int(s.gameChatMix); }) << 17 << 0;
    QTest::newRow("noise reduction") << 0x4B2A << Setter([](M& d) { return d.setNoiseReduction(0); })
                                     << "set noise_reduction 0" << u8Loader(&M::loadNoiseReduction)
                                     << StateValue([](const Kestrin::State& s) { return int(s.noiseReduction); }) << 0
                                     << 0;
    QTest::newRow("vp level") << 0x4B1A << Setter([](M& d) { return d.setVpLevel(3); }) << "set vp_level 3"
                              << u8Loader(&M::loadVpLevel)
                              << StateValue([](const Kestrin::State& s) { return int(s.vpLevel); }) << 3
                              << int(Kestrin::kSetParameter);
    QTest::newRow("earcup balance") << 0x4B19 << Setter([](M& d) { return d.setEarcupBalance(131); })
                                    << "set earcup_balance 131" << u8Loader(&M::loadEarcupBalance)
                                    << StateValue([](const Kestrin::State& s) { return int(s.earcupBalance); }) << 131
                                    << 0;
    QTest::newRow("amp gain") << 0x4BAA << Setter([](M& d) { return d.setAmpGain(120); }) << "set amp_gain 120"
                              << u8Loader(&M::loadAmpGain)
                              << StateValue([](const Kestrin::State& s) { return int(s.ampGain); }) << 120 << 0;
    QTest::newRow("sidetone level") << 0x4B28 << Setter([](M& d) { return d.setSidetoneLevel(12); })
                                    << "set sidetone_level 12" << u8Loader(&M::loadSidetoneLevel)
                                    << StateValue([](const Kestrin::State& s) { return int(s.sidetoneLevel); }) << 12
                                    << 0;
    QTest::newRow("eq index") << 0x4B1A << Setter([](M& d) { return d.setEqIndex(4); }) << "set eq_index 4"
                              << u8Loader(&M::loadEqIndex)
                              << StateValue([](const Kestrin::State& s) { return int(s.eqIndex); }) << 4 << 0;
    QTest::newRow("eq index anc") << 0x4BA8 << Setter([](M& d) { return d.setEqIndex(9); }) << "set eq_index 9"
                                  << u8Loader(&M::loadEqIndex)
                                  << StateValue([](const Kestrin::State& s) { return int(s.eqIndex); }) << 9 << 0;
    QTest::newRow("auto power off") << 0x4B2E << Setter([](M& d) { return d.setAutoPowerOff(300); })
                                    << "set auto_power_off 300" << Loader([](M& d, bool& ok) {
                                           uint16_t v = 0;
                                           ok = d.loadAutoPowerOff(v);
                                           return int(v);
                                       })
                                    << StateValue([](const Kestrin::State& s) { return int(s.autoPowerOff); }) << 300
                                    << 0;
    QTest::newRow("sidetone") << 0x4B18 << Setter([](M& d) { return d.setSidetone(true); }) << "set sidetone 1"
                              << Loader([](M& d, bool& ok) {
                                     bool v = false;
                                     ok = d.loadSidetone(v);
                                     return int(v);
                                 })
                              << StateValue([](const Kestrin::State& s) { return int(s.sidetoneOn); }) << 1 << 0;
    QTest::newRow("anc mode") << 0x4BAE << Setter([](M& d) { return d.setAncMode(AncMode::transparency); })
                              << "set anc_mode 1" << Loader([](M& d, bool& ok) {
                                     AncMode v = AncMode::on;
                                     ok = d.loadAncMode(v);
                                     return int(v);
                                 })
                              << StateValue([](const Kestrin::State& s) { return int(s.ancMode); }) << 1 << 0;
}

void TestKestrinDeviceImpl::setters()
{
    QFETCH(int, pid);
    QFETCH(Setter, set);
    QFETCH(QString, request);
    QFETCH(Loader, load);
    QFETCH(StateValue, headsetValue);
    QFETCH(int, newValue);
    QFETCH(int, silentId);

    // Refused (or, where the reply's status is no verdict, unanswered): false, and the cache
    // keeps the value the headset still has.
    {
        KestrinRig rig{uint16_t(pid)};
        auto device = Build(rig);
        QVERIFY(device->isValid());
        bool ok = false;
        const int before = load(*device, ok);
        QVERIFY(ok);
        QCOMPARE(before, headsetValue(*rig.state));
        QVERIFY(before != newValue);

        rig.headset->clearLog();
        const std::string refused = request.toStdString();
        if (silentId)
            rig.headset->ignore(uint16_t(silentId));
        else
            rig.state->refuseWhen = [refused](const Request& rq) { return Kestrin::Describe(rq) == refused ? 4 : 0; };
        QVERIFY(!set(*device));
        QCOMPARE(ToStringList(rig.takeLog()), QStringList{request});
        QCOMPARE(load(*device, ok), before);
        QCOMPARE(headsetValue(*rig.state), before);
    }
    // Accepted: the headset and the cache hold the new value.
    {
        KestrinRig rig{uint16_t(pid)};
        auto device = Build(rig);
        rig.headset->clearLog();
        QVERIFY(set(*device));
        QCOMPARE(ToStringList(rig.takeLog()), QStringList{request});
        QCOMPARE(headsetValue(*rig.state), newValue);
        bool ok = false;
        QCOMPARE(load(*device, ok), newValue);
        QVERIFY(ok);
    }
}

using Reader = std::function<bool(Devices::IKestrinDeviceMain&, int&)>;
using StateChange = std::function<void(Kestrin::State&, Headset&)>;
Q_DECLARE_METATYPE(Reader)
Q_DECLARE_METATYPE(StateChange)

void TestKestrinDeviceImpl::readers_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<Reader>("read");
    QTest::addColumn<QString>("request");
    QTest::addColumn<Loader>("load"); // null: nothing cached
    QTest::addColumn<StateChange>("change");
    QTest::addColumn<int>("expected");
    QTest::addColumn<int>("untouched"); // what the reader's output holds when nothing was written
    // 0: the failing read is refused; else the reply's status is no verdict and the failing read
    // is one that this command id leaves unanswered.
    QTest::addColumn<int>("silentId");

    using M = Devices::IKestrinDeviceMain;
    auto u8Reader = [](bool (M::*read)(uint8_t&)) {
        return Reader([read](M& d, int& out) {
            uint8_t v = 99;
            const bool ok = (d.*read)(v);
            out = v;
            return ok;
        });
    };
    auto u8Loader = [](bool (M::*load)(uint8_t&)) {
        return Loader([load](M& d, bool& ok) {
            uint8_t v = 0;
            ok = (d.*load)(v);
            return int(v);
        });
    };

    QTest::newRow("eq index") << 0x4B1A << u8Reader(&M::readEqIndex) << "get eq_index" << u8Loader(&M::loadEqIndex)
                              << StateChange([](Kestrin::State& s, Headset&) { s.eqIndex = 5; }) << 5 << 99
                              << int(Kestrin::kGetParameter);
    QTest::newRow("eq index anc") << 0x4BA9 << u8Reader(&M::readEqIndex) << "get user_eq" << u8Loader(&M::loadEqIndex)
                                  << StateChange([](Kestrin::State& s, Headset&) { s.eqIndex = 10; }) << 10 << 99 << 0;
    QTest::newRow("game chat mix") << 0x4B2A << u8Reader(&M::readGameChatMix) << "get game_chat_mix"
                                   << u8Loader(&M::loadGameChatMix)
                                   << StateChange([](Kestrin::State& s, Headset&) { s.gameChatMix = 20; }) << 20 << 99
                                   << int(Kestrin::kGetSetting);
    QTest::newRow("noise reduction") << 0x4B18 << u8Reader(&M::readNoiseReduction) << "get noise_reduction"
                                     << u8Loader(&M::loadNoiseReduction)
                                     << StateChange([](Kestrin::State& s, Headset&) { s.noiseReduction = 0; }) << 0
                                     << 99 << 0;
    QTest::newRow("sidetone level") << 0x4BAE << u8Reader(&M::readSidetoneLevel) << "get sidetone_level"
                                    << u8Loader(&M::loadSidetoneLevel)
                                    << StateChange([](Kestrin::State& s, Headset&) { s.sidetoneLevel = 21; }) << 21
                                    << 99 << 0;
    QTest::newRow("sidetone") << 0x4B1E << Reader([](M& d, int& out) {
        bool v = false;
        const bool ok = d.readSidetone(v);
        out = v;
        return ok;
    }) << "get sidetone" << Loader([](M& d, bool& ok) {
        bool v = false;
        ok = d.loadSidetone(v);
        return int(v);
    }) << StateChange([](Kestrin::State& s, Headset&) { s.sidetoneOn = true; })
                              << 1 << 0 << 0;
    QTest::newRow("anc mode") << 0x4BAA << Reader([](M& d, int& out) {
        AncMode v = AncMode::on;
        const bool ok = d.readAncMode(v);
        out = int(v);
        return ok;
    }) << "get anc_mode" << Loader([](M& d, bool& ok) {
        AncMode v = AncMode::on;
        ok = d.loadAncMode(v);
        return int(v);
    }) << StateChange([](Kestrin::State& s, Headset&) { s.ancMode = 1; })
                              << 1 << 0 << int(Kestrin::kAncGroup);
    QTest::newRow("mic mute") << 0x4B2A << Reader([](M& d, int& out) {
        bool v = false;
        const bool ok = d.readMicMute(v);
        out = v;
        return ok;
    }) << "get mic_mute" << Loader()
                              << StateChange([](Kestrin::State& s, Headset&) { s.micMuted = true; }) << 1 << 0
                              << int(Kestrin::kGetParameter);
    QTest::newRow("battery") << 0x4B29 << u8Reader(&M::readBatteryLevel) << "get battery" << Loader()
                             << StateChange([](Kestrin::State&, Headset& h) { h.batteryLevel = 42; }) << 42 << 99 << 0;
}

void TestKestrinDeviceImpl::readers()
{
    QFETCH(int, pid);
    QFETCH(Reader, read);
    QFETCH(QString, request);
    QFETCH(Loader, load);
    QFETCH(StateChange, change);
    QFETCH(int, expected);
    QFETCH(int, untouched);
    QFETCH(int, silentId);

    KestrinRig rig{uint16_t(pid)};
    auto device = Build(rig);
    QVERIFY(device->isValid());
    bool ok = false;
    const int cachedBefore = load ? load(*device, ok) : 0;
    change(*rig.state, *rig.headset);
    rig.headset->clearLog();

    // A failed read leaves output and cache as they were.
    const std::string refused = request.toStdString();
    if (silentId)
        rig.headset->ignore(uint16_t(silentId));
    else
        rig.state->refuseWhen = [refused](const Request& rq) { return Kestrin::Describe(rq) == refused ? 2 : 0; };
    if (request == "get battery")
        rig.headset->refuse(Kestrin::kBattery, 2);
    int out = -1;
    QVERIFY(!read(*device, out));
    QCOMPARE(out, untouched);
    if (load)
        QCOMPARE(load(*device, ok), cachedBefore);

    rig.state->refuseWhen = nullptr;
    rig.headset->clearLog();
    QVERIFY(read(*device, out));
    QCOMPARE(out, expected);
    QCOMPARE(ToStringList(rig.takeLog()), QStringList{request});
    if (load) {
        QCOMPARE(load(*device, ok), expected);
        QVERIFY(ok);
    }
}

using Answer = std::function<void(Exchange&)>;
Q_DECLARE_METATYPE(Answer)

void TestKestrinDeviceImpl::malformedRepliesLeaveCache_data()
{
    QTest::addColumn<int>("commandId");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<Reader>("read");
    QTest::addColumn<Loader>("load");

    using M = Devices::IKestrinDeviceMain;
    const Reader readMix([](M& d, int& out) {
        uint8_t v = 99;
        const bool ok = d.readGameChatMix(v);
        out = v;
        return ok;
    });
    const Loader loadMix([](M& d, bool& ok) {
        uint8_t v = 0;
        ok = d.loadGameChatMix(v);
        return int(v);
    });
    const Reader readSidetone([](M& d, int& out) {
        bool v = false;
        const bool ok = d.readSidetone(v);
        out = v ? 1 : 99;
        return ok;
    });
    const Loader loadSidetone([](M& d, bool& ok) {
        bool v = false;
        ok = d.loadSidetone(v);
        return int(v);
    });
    const Reader readLevel([](M& d, int& out) {
        uint8_t v = 99;
        const bool ok = d.readSidetoneLevel(v);
        out = v;
        return ok;
    });
    const Loader loadLevel([](M& d, bool& ok) {
        uint8_t v = 0;
        ok = d.loadSidetoneLevel(v);
        return int(v);
    });

    QTest::newRow("reply one byte short") << int(Kestrin::kGetSetting) << Answer([](Exchange& ex) {
        ex.respond({0x00, 0x0B, 0x00});
    }) << readMix << loadMix;
    QTest::newRow("reply for another setting") << int(Kestrin::kGetSetting) << Answer([](Exchange& ex) {
        ex.respond({0x00, 0x07, 0x00, 0x01});
    }) << readMix << loadMix;
    QTest::newRow("sidetone neither on nor off") << int(Kestrin::kGetSetting) << Answer([](Exchange& ex) {
        ex.respond({0x00, 0x07, 0x00, 0x07});
    }) << readSidetone << loadSidetone;
    QTest::newRow("reply for another parameter") << int(Kestrin::kGetParameter) << Answer([](Exchange& ex) {
        ex.respond({0x2D, 0x00, 0x00, 0x14});
    }) << readLevel << loadLevel;
    QTest::newRow("garbage") << int(Kestrin::kGetParameter) << Answer([](Exchange& ex) {
        ex.send({0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
    }) << readLevel << loadLevel;
    QTest::newRow("no answer") << int(Kestrin::kGetParameter) << Answer([](Exchange&) {}) << readLevel << loadLevel;
}

void TestKestrinDeviceImpl::malformedRepliesLeaveCache()
{
    QFETCH(int, commandId);
    QFETCH(Answer, answer);
    QFETCH(Reader, read);
    QFETCH(Loader, load);

    KestrinRig rig{0x4B2A};
    auto device = Build(rig);
    QVERIFY(device->isValid());
    bool ok = false;
    const int cached = load(*device, ok);
    rig.headset->setHandler(uint16_t(commandId), answer);

    int out = 0;
    QVERIFY(!read(*device, out));
    QCOMPARE(out, 99);
    QCOMPARE(load(*device, ok), cached);
    QVERIFY(ok);
}

void TestKestrinDeviceImpl::ancModeOutOfRangeIsTakenAsReported()
{
    KestrinRig rig(0x4BAA);
    rig.state->ancMode = 1;
    auto device = Build(rig);
    QVERIFY(device->isValid());

    // The device keeps the mode the headset reports; the device model repairs one it does not know.
    rig.state->reportedAncMode = 3;
    AncMode mode = AncMode::off;
    QVERIFY(device->readAncMode(mode));
    QCOMPARE(int(mode), 3);
    mode = AncMode::off;
    QVERIFY(device->loadAncMode(mode));
    QCOMPARE(int(mode), 3);

    // At initialisation too: such a headset is a headset with settings, not a firmware-only one.
    KestrinRig odd(0x4BAA);
    odd.state->reportedAncMode = 0xFF;
    auto oddDevice = Build(odd);
    QVERIFY(oddDevice->isValid());
    QVERIFY(oddDevice->loadAncMode(mode));
    QCOMPARE(int(mode), 0xFF);
}

void TestKestrinDeviceImpl::typeSpecificLoads()
{
    struct Case {
        uint16_t pid;
        bool hasAnc;
        bool hasMicLevel;
    };
    for (const Case& c : {Case{0x4B1A, false, false}, Case{0x4B28, false, true}, Case{0x4BA9, true, true}}) {
        KestrinRig rig(c.pid);
        auto device = Build(rig);
        QVERIFY(device->isValid());
        AncMode mode = AncMode::transparency;
        QCOMPARE(device->loadAncMode(mode), c.hasAnc);
        uint8_t level = 55;
        QCOMPARE(device->loadMicLevel(level), c.hasMicLevel);
        QCOMPARE(level, c.hasMicLevel ? uint8_t(0) : uint8_t(55));
    }
}

void TestKestrinDeviceImpl::micLevelIsNeverSent()
{
    KestrinRig rig(0x4B2A);
    auto device = Build(rig);
    rig.headset->clearLog();
    uint8_t level = 9;
    QVERIFY(!device->setMicLevel(5));
    QVERIFY(!device->readMicLevel(level));
    QCOMPARE(level, uint8_t(9));
    QCOMPARE(rig.requestCount(), size_t(0));
}

void TestKestrinDeviceImpl::eqRoundTrip_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<int>("eqIndex");
    QTest::newRow("kestrin slot 0") << 0x4B1A << 7;
    QTest::newRow("kestrin dongle slot 3") << 0x4B19 << 10;
    QTest::newRow("kestrin_2 dongle slot 1") << 0x4B28 << 8;
}

void TestKestrinDeviceImpl::eqRoundTrip()
{
    QFETCH(int, pid);
    QFETCH(int, eqIndex);
    const uint8_t slot = uint8_t(eqIndex - 7);

    KestrinRig rig{uint16_t(pid)};
    auto device = Build(rig);
    QVERIFY(device->isValid());
    std::vector<KestrinEqBandParams> bands;
    QVERIFY(device->loadEqBands(uint8_t(eqIndex), bands));
    QCOMPARE(bands.size(), size_t(10));
    for (size_t i = 0; i < bands.size(); ++i)
        bands[i].setGain(int(i) - 5);
    bands[9] = KestrinEqBandParams(15000, 12);

    rig.headset->clearLog();
    QVERIFY(device->setEqBands(uint8_t(eqIndex), bands));
    const QStringList log = ToStringList(rig.takeLog());
    QCOMPARE(log.size(), 5);
    QVERIFY(log[0].startsWith("eq realtime "));
    const int coefficientBytes = log[0].section(' ', 2).toInt();
    QCOMPARE(log[1], QString("nv reclaim 185"));
    const auto hexKey = [](uint16_t key) { return QString::number(key, 16).toUpper(); };
    QCOMPARE(log[2], QString("nv save %1 185").arg(hexKey(Kestrin::UiKey(slot))));
    QCOMPARE(log[3], QString("nv reclaim %1").arg(coefficientBytes));
    QCOMPARE(log[4], QString("nv save %1 %2").arg(hexKey(Kestrin::CoefficientKey(slot))).arg(coefficientBytes));
    QCOMPARE(ToStringList(rig.state->storeFaults), QStringList());

    // What the headset stored: the new bands, everything else as it was read.
    const auto stored = Kestrin::DecodeUiPreset(rig.state->store[Kestrin::UiKey(slot)]);
    QVERIFY(stored);
    QCOMPARE(stored->bands.size(), size_t(10));
    QCOMPARE(stored->bands[3].gain, -200);
    QCOMPARE(stored->bands[9].frequency, 1500000);
    QCOMPARE(stored->bands[9].gain, 1200);
    QCOMPARE(stored->bands[9].q, 70);
    QCOMPARE(rig.state->realtimeCoefficients, rig.state->store[Kestrin::CoefficientKey(slot)]);

    // The cache serves the written bands, and a headset opened afresh reads the same back.
    std::vector<KestrinEqBandParams> cached;
    QVERIFY(device->loadEqBands(uint8_t(eqIndex), cached));
    QVERIFY(cached == bands);

    auto reopened = Build(rig);
    QVERIFY(reopened->isValid());
    std::vector<KestrinEqBandParams> readBack;
    QVERIFY(reopened->loadEqBands(uint8_t(eqIndex), readBack));
    QVERIFY(readBack == bands);
}

void TestKestrinDeviceImpl::eqUploadKeepsUntouchedHundredths()
{
    KestrinRig rig(0x4B1A);
    rig.state->store[Kestrin::UiKey(2)] = Kestrin::EncodeUiPreset(PresetWithHundredths());
    auto device = Build(rig);
    std::vector<KestrinEqBandParams> bands;
    QVERIFY(device->loadEqBands(9, bands));

    bands[1].setGain(4); // the only change: -3.50 dB becomes 4 dB
    QVERIFY(device->setEqBands(9, bands));

    const auto stored = Kestrin::DecodeUiPreset(rig.state->store[Kestrin::UiKey(2)]);
    QVERIFY(stored);
    const auto original = PresetWithHundredths();
    QCOMPARE(stored->headerByte, original.headerByte);
    QCOMPARE(stored->headerWord, original.headerWord);
    for (size_t i = 0; i < original.bands.size(); ++i) {
        QCOMPARE(stored->bands[i].frequency, original.bands[i].frequency);
        QCOMPARE(stored->bands[i].gain, i == 1 ? 400 : original.bands[i].gain);
        QCOMPARE(stored->bands[i].q, original.bands[i].q);
        QCOMPARE(stored->bands[i].fourth, original.bands[i].fourth);
        QCOMPARE(stored->bands[i].first, original.bands[i].first);
    }
}

void TestKestrinDeviceImpl::eqUploadRejectsWhatItCannotStore()
{
    KestrinRig rig(0x4B1A);
    auto device = Build(rig);
    std::vector<KestrinEqBandParams> bands;
    QVERIFY(device->loadEqBands(7, bands));
    rig.headset->clearLog();

    auto shorter = bands;
    shorter.pop_back();
    QVERIFY(!device->setEqBands(7, shorter)); // another band count
    QVERIFY(!device->setEqBands(8, bands));   // a slot never loaded
    QVERIFY(!device->setEqBands(6, bands));   // a built-in preset
    QVERIFY(!device->setEqBands(11, bands));
    QCOMPARE(rig.requestCount(), size_t(0));

    // A refused store step fails the upload and keeps the cache; every step is still sent.
    auto changed = bands;
    changed[0].setGain(6);
    rig.headset->refuse(Kestrin::kRealtimeEq, 1);
    QVERIFY(!device->setEqBands(7, changed));
    QCOMPARE(rig.takeLog().size(), size_t(5));
    std::vector<KestrinEqBandParams> cached;
    QVERIFY(device->loadEqBands(7, cached));
    QVERIFY(cached == bands);

    // The ANC model keeps its user EQs elsewhere.
    KestrinRig anc(0x4BAA);
    auto ancDevice = Build(anc);
    QVERIFY(ancDevice->loadEqBands(7, bands));
    anc.headset->clearLog();
    QVERIFY(!ancDevice->setEqBands(7, bands));
    QCOMPARE(anc.requestCount(), size_t(0));
}

void TestKestrinDeviceImpl::kestrin2ReloadsPresetQuietly_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<int>("restoresUnanswered");
    QTest::addColumn<QStringList>("tail");
    QTest::addColumn<int>("cachedVpLevel");

    QTest::newRow("kestrin_2 cabled") << 0x4B2E << 0
                                      << QStringList{"set vp_level 0", "set eq_index 8", "set vp_level 9"} << 9;
    QTest::newRow("restore retried once unanswered")
        << 0x4B2A << 1 << QStringList{"set vp_level 0", "set eq_index 8", "set vp_level 9", "set vp_level 9"} << 9;
    // Both restores unanswered: the cache learns what the headset really has.
    QTest::newRow("restore unanswered twice")
        << 0x4B2A << 2
        << QStringList{"set vp_level 0", "set eq_index 8", "set vp_level 9", "set vp_level 9", "get vp_level"} << 0;
    QTest::newRow("kestrin_2 dongle") << 0x4B29 << 0 << QStringList{} << 9;
    QTest::newRow("kestrin") << 0x4B1A << 0 << QStringList{} << 9;
}

void TestKestrinDeviceImpl::kestrin2ReloadsPresetQuietly()
{
    QFETCH(int, pid);
    QFETCH(int, restoresUnanswered);
    QFETCH(QStringList, tail);
    QFETCH(int, cachedVpLevel);

    KestrinRig rig{uint16_t(pid)};
    rig.state->vpLevel = 9;
    rig.state->eqIndex = 8;
    auto device = Build(rig);
    QVERIFY(device->isValid());
    std::vector<KestrinEqBandParams> bands;
    QVERIFY(device->loadEqBands(8, bands));
    bands[4].setGain(-7);

    // The set-parameter requests right after the preset index go unanswered (the reply to a
    // voice-prompt level write carries no verdict, so only silence fails it).
    Headset* headset = rig.headset.get();
    rig.state->refuseWhen = [headset, restoresUnanswered](const Request& rq) -> uint8_t {
        if (Kestrin::Describe(rq) == "set eq_index 8" && restoresUnanswered > 0)
            headset->ignore(Kestrin::kSetParameter, restoresUnanswered);
        return 0;
    };
    rig.headset->clearLog();
    QVERIFY(device->setEqBands(8, bands));
    const QStringList log = ToStringList(rig.takeLog());
    QCOMPARE(log.mid(5), tail);

    uint8_t level = 0xEE;
    QVERIFY(device->loadVpLevel(level));
    QCOMPARE(int(level), cachedVpLevel);
    QCOMPARE(int(rig.state->vpLevel), cachedVpLevel);
}

void TestKestrinDeviceImpl::ancUserEqBiquads()
{
    KestrinRig rig(0x4BA8);
    rig.state->userEqs[7][2].frequency = 125.9f;
    rig.state->userEqs[7][2].gain = -3.75f;
    rig.state->userEqs[7][2].middle = 1.25f;
    auto device = Build(rig);
    QVERIFY(device->isValid());
    rig.headset->clearLog();

    std::vector<KestrinEqBandParams> bands;
    QVERIFY(device->loadEqBands(8, bands));
    QCOMPARE(ToStringList(rig.takeLog()), QStringList{"get user_biquads 7"});
    QCOMPARE(bands.size(), size_t(10));
    QCOMPARE(bands[2], KestrinEqBandParams(125, -3)); // truncated toward zero
    QCOMPARE(bands[0], KestrinEqBandParams(31, 0));

    // One band: the headset's own band id goes out, the middle value as it was read.
    QVERIFY(device->writeUserEqBiquad(8, 2, DeviceData::AncEqFilterType::peaking, 1000.0f, 6.0f));
    QCOMPARE(ToStringList(rig.takeLog()), QStringList{"set user_biquad 7 12"});
    const auto& band = rig.state->userEqs[7][2];
    QCOMPARE(band.frequency, 1000.0f);
    QCOMPARE(band.gain, 6.0f);
    QCOMPARE(band.middle, 1.25f);
    QCOMPARE(band.filterType, uint8_t(6));
    // The other bands are untouched.
    QCOMPARE(rig.state->userEqs[7][3].frequency, 250.0f);

    QVERIFY(device->loadEqBands(8, bands));
    QCOMPARE(bands[2], KestrinEqBandParams(1000, 6));
    QCOMPARE(rig.requestCount(), size_t(0));

    // A preset never loaded, or a band beyond the record, sends nothing.
    QVERIFY(!device->writeUserEqBiquad(9, 0, DeviceData::AncEqFilterType::peaking, 100.0f, 1.0f));
    QVERIFY(!device->writeUserEqBiquad(8, 10, DeviceData::AncEqFilterType::peaking, 100.0f, 1.0f));
    QVERIFY(!device->writeUserEqBiquad(6, 0, DeviceData::AncEqFilterType::peaking, 100.0f, 1.0f));
    QCOMPARE(rig.requestCount(), size_t(0));
}

void TestKestrinDeviceImpl::ancBandValuesBeyondIntAreSaturated_data()
{
    QTest::addColumn<float>("frequency");
    QTest::addColumn<float>("gain");
    QTest::addColumn<int>("loadedFrequency");
    QTest::addColumn<int>("loadedGain");

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("huge frequency") << 1e12f << -3.5f << std::numeric_limits<int>::max() << -3;
    QTest::newRow("huge negative gain") << 250.0f << -1e12f << 250 << std::numeric_limits<int>::min();
    QTest::newRow("not a number") << nan << nan << 0 << 0;
    QTest::newRow("infinite") << inf << -inf << std::numeric_limits<int>::max() << std::numeric_limits<int>::min();
}

// A band record whose floats do not fit an int loads as the nearest int, not as whatever the
// conversion of an unrepresentable value happens to give.
void TestKestrinDeviceImpl::ancBandValuesBeyondIntAreSaturated()
{
    QFETCH(float, frequency);
    QFETCH(float, gain);
    QFETCH(int, loadedFrequency);
    QFETCH(int, loadedGain);

    KestrinRig rig(0x4BAA);
    rig.state->userEqs[7][4].frequency = frequency;
    rig.state->userEqs[7][4].gain = gain;
    auto device = Build(rig);
    QVERIFY(device->isValid());

    std::vector<KestrinEqBandParams> bands;
    QVERIFY(device->loadEqBands(8, bands));
    QCOMPARE(bands.size(), size_t(10));
    QCOMPARE(bands[4], KestrinEqBandParams(loadedFrequency, loadedGain));
    QCOMPARE(bands[0], KestrinEqBandParams(31, 0));
}

void TestKestrinDeviceImpl::ancUserEqRefusedKeepsCache()
{
    KestrinRig rig(0x4BAA);
    auto device = Build(rig);
    std::vector<KestrinEqBandParams> before;
    QVERIFY(device->loadEqBands(10, before));

    rig.headset->refuse(Kestrin::kAncGroup, 1);
    QVERIFY(!device->writeUserEqBiquad(10, 5, DeviceData::AncEqFilterType::peaking, 900.0f, -2.0f));
    std::vector<KestrinEqBandParams> after;
    QVERIFY(device->loadEqBands(10, after));
    QVERIFY(after == before);
    QCOMPARE(rig.state->userEqs[9][5].frequency, 1000.0f);
}

void TestKestrinDeviceImpl::ancEqIndexIsOneHigher()
{
    KestrinRig rig(0x4BAE);
    rig.state->eqIndex = 8; // the headset reports user EQ 7
    auto device = Build(rig);
    QVERIFY(device->isValid());
    uint8_t index = 0;
    QVERIFY(device->loadEqIndex(index));
    QCOMPARE(index, uint8_t(8));
    // The current custom preset was cached at start through the user-EQ query.
    QCOMPARE(rig.log().back(), std::string("get user_biquads 7"));
}

void TestKestrinDeviceImpl::headTrackingIsForwarded()
{
    KestrinRig rig{0x4BAE};
    auto device = Build(rig);
    QVERIFY(device->isValid());
    rig.headset->clearLog();

    QVERIFY(device->setGyroSensorEnabled(true, 60));
    QCOMPARE(ToStringList(rig.takeLog()), QStringList{"set sensors 188"});
    QVERIFY(device->centralize());
    QVERIFY(!device->calibrate(0.5));
    QVERIFY(device->calibrate(2.0));

    QQuaternion position(0.0f, 1.0f, 0.0f, 0.0f);
    QVERIFY(!device->readPosition(position)); // nothing queued
    Bytes sample(14, 0);
    sample[0] = 3;
    rig.headset->queueInputReport(sample);
    rig.headset->queueInputReport(sample);
    QVERIFY(device->readPosition(position));
    QCOMPARE(position, QQuaternion());
    QCOMPARE(rig.headset->pendingInputReports(), size_t(1));
    QVERIFY(device->processAvailablePositionSensors());
    QCOMPARE(rig.headset->pendingInputReports(), size_t(0));

    QVERIFY(device->setGyroSensorEnabled(false, 1));
    QCOMPARE(ToStringList(rig.takeLog()), QStringList{"set sensors 1"});
}

void TestKestrinDeviceImpl::twoThreadsShareOneHeadset()
{
    // The device model's worker writes and polls while the GUI thread loads and edits presets:
    // the transport keeps the exchanges apart and the cache ends equal to the headset.
    KestrinRig rig{0x4B1E};
    auto device = Build(rig);
    QVERIFY(device->isValid());

    std::atomic<int> failures{0};
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) {
            uint8_t value = 0;
            bool muted = false;
            if (!device->setSidetoneLevel(uint8_t(i % 20)) || !device->readSidetoneLevel(value) ||
                !device->readMicMute(muted) || !device->readBatteryLevel(value))
                ++failures;
        }
    });
    for (int i = 0; i < 20; ++i) {
        const uint8_t index = uint8_t(7 + i % 4);
        std::vector<KestrinEqBandParams> bands;
        if (!device->loadEqBands(index, bands)) {
            ++failures;
            continue;
        }
        bands[size_t(i % 10)].setGain(i % 13);
        if (!device->setEqBands(index, bands))
            ++failures;
    }
    worker.join();
    QCOMPARE(failures.load(), 0);

    uint8_t level = 0;
    QVERIFY(device->loadSidetoneLevel(level));
    QCOMPARE(level, rig.state->sidetoneLevel);
    QCOMPARE(level, uint8_t(199 % 20));
    for (uint8_t index = 7; index <= 10; ++index) {
        std::vector<KestrinEqBandParams> cached;
        QVERIFY(device->loadEqBands(index, cached));
        const auto stored = Kestrin::DecodeUiPreset(rig.state->store[Kestrin::UiKey(uint8_t(index - 7))]);
        QVERIFY(stored);
        for (size_t band = 0; band < cached.size(); ++band)
            QCOMPARE(cached[band].getGain() * 100, stored->bands[band].gain);
    }
    QCOMPARE(ToStringList(rig.headset->violations()), QStringList());
}

void TestKestrinDeviceImpl::factoryResetFrame_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<int>("relay");
    QTest::newRow("cabled") << 0x4B2A << 0x00;
    QTest::newRow("dongle") << 0x4BA9 << 0x80;
}

void TestKestrinDeviceImpl::factoryResetFrame()
{
    QFETCH(int, pid);
    QFETCH(int, relay);

    KestrinRig rig{uint16_t(pid)};
    auto device = Build(rig);
    rig.state->vpLevel = 2;
    rig.headset->clearLog();
    rig.state->autoPowerOff = 600;
    QVERIFY(device->factoryReset());
    // The reset goes first; the settings are then read back from the headset.
    QVERIFY(rig.headset->outReports().size() > size_t(1));
    const Bytes expected = MakeOutReport({0x05, 0x5A, 0x04, 0x00, 0x01, 0x11, 0x95, 0x00}, relay != 0);
    QCOMPARE(ToHex(rig.headset->outReports().front()), ToHex(expected));
    QCOMPARE(rig.state->factoryResets, 1);
    QCOMPARE(rig.state->vpLevel, uint8_t(11));
    // What the implementation serves afterwards is what the reset headset holds.
    uint8_t vpLevel = 0;
    QVERIFY(device->loadVpLevel(vpLevel));
    QCOMPARE(vpLevel, uint8_t(11));
    uint16_t autoPowerOff = 0;
    QVERIFY(device->loadAutoPowerOff(autoPowerOff));
    QCOMPARE(autoPowerOff, rig.state->autoPowerOff);
    QCOMPARE(ToStringList(rig.headset->violations()), QStringList());

    rig.headset->refuse(Kestrin::kSystem, 1);
    QVERIFY(!device->factoryReset());
}

QTEST_GUILESS_MAIN(TestKestrinDeviceImpl)
#include "tst_kestrin_device_impl.moc"
