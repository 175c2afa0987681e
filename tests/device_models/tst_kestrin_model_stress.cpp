#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "support/devices/TestKestrinDevice.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

using DeviceData::AncMode;
using DeviceModels::KestrinDeviceModel;
using TestSupport::TestKestrinDevice;

namespace {

std::shared_ptr<TestKestrinDevice> makeDevice()
{
    TestKestrinDevice::Options options;
    options.type = DeviceType::kestrin_2_anc;
    TestKestrinDevice::State state;
    state.bands[7] = TestKestrinDevice::Bands(std::vector<int>(10, 0));
    state.bands[8] = TestKestrinDevice::Bands(std::vector<int>(10, 0));
    return std::make_shared<TestKestrinDevice>(options, state);
}

// Every difference between the model and what the headset holds, empty when they agree.
QStringList differences(const KestrinDeviceModel& m, const TestKestrinDevice& device)
{
    const auto h = device.headset();
    QStringList out;
    const auto check = [&out](const char* name, int model, int headset) {
        if (model != headset)
            out << QStringLiteral("%1: model %2, headset %3").arg(QLatin1String(name)).arg(model).arg(headset);
    };
    check("game/chat mix", m.getGameChatMix(), h.gameChatMix);
    check("noise reduction", m.getNoiseReduction(), h.noiseReduction);
    check("voice prompts", m.getVpLevel(), h.vpLevel);
    check("amp gain", m.getAmpGain(), h.ampGain);
    check("sidetone level", m.getSidetoneLevel(), h.sidetoneLevel);
    check("sidetone", m.isSidetoneOn(), h.sidetone);
    check("auto power-off", m.getAutoPowerOff(), h.autoPowerOff);
    check("mic level", m.getMicLevel(), h.micLevel);
    check("anc mode", int(m.getAncMode()), int(h.ancMode));
    check("eq index", m.getCurrentEqIndex(), h.eqIndex);
    check("balance", m.getEarcupBalance(), h.earcupBalance);
    check("mic mute", m.getMicMute(), h.micMute);
    for (uint8_t preset : {7, 8})
        for (size_t band = 0; band < 10; ++band)
            check("band", m.getEqBandGain(preset, band), h.bands.at(preset)[band].gain);
    return out;
}

} // namespace

class TestKestrinModelStress : public QObject {
    Q_OBJECT

    // Changes from the GUI thread as fast as it goes, with refusals and changes made on the
    // headset itself, while the worker writes and polls. (A failed load of the headset's bands
    // is not among them: a band change that cannot be compared with them is dropped by design,
    // so the two would not end equal.)
    static void burst(KestrinDeviceModel& model, TestKestrinDevice& device, QRandomGenerator& rng, int ms)
    {
        static const char* const refusable[] = {
            "setGameChatMix",   "setNoiseReduction", "setAncMode",      "setVpLevel", "setAmpGain",       "setMicLevel",
            "setSidetoneLevel", "setSidetone",       "setAutoPowerOff", "setEqIndex", "writeUserEqBiquad"};
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms) {
            switch (rng.bounded(14)) {
            case 0: model.setGameChatMix(uint8_t(rng.bounded(21))); break;
            case 1: model.setNoiseReduction(uint8_t(rng.bounded(3))); break;
            case 2: model.setAncMode(AncMode(rng.bounded(3))); break;
            case 3: model.setVpLevel(uint8_t(rng.bounded(16))); break;
            case 4: model.setAmpGain(uint8_t(rng.bounded(256))); break;
            case 5: model.setMicLevel(uint8_t(rng.bounded(30))); break;
            case 6: model.setSidetoneLevel(uint8_t(rng.bounded(26))); break;
            case 7: model.setSidetone(rng.bounded(2) == 1); break;
            case 8: model.setAutoPowerOff(uint16_t(rng.bounded(3600))); break;
            case 9: model.setEarcupBalance(uint8_t(122 + rng.bounded(13))); break;
            case 10:
                model.setEqBandGain(uint8_t(7 + rng.bounded(2)), size_t(rng.bounded(10)), rng.bounded(25) - 12);
                break;
            case 11:
                if (rng.bounded(50) == 0) // synchronous, so only now and then
                    model.setCurrentEqIndex(uint8_t(rng.bounded(7, 9)));
                break;
            case 12:
                if (rng.bounded(20) == 0)
                    device.refuse(QLatin1String(refusable[rng.bounded(int(std::size(refusable)))]), 1);
                break;
            case 13:
                if (rng.bounded(20) == 0) {
                    const uint8_t level = uint8_t(rng.bounded(26));
                    const bool mute = rng.bounded(2) == 1;
                    device.onHeadset([level, mute](TestKestrinDevice::State& s) {
                        s.sidetoneLevel = level;
                        s.micMute = mute;
                    });
                }
                break;
            }
            QCoreApplication::processEvents();
        }
    }

private slots:
    void modelEndsEqualToTheHeadset()
    {
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator rng(seed);

        Devices::DeviceProxy proxy;
        KestrinDeviceModel model(&proxy);
        auto device = makeDevice();
        QVERIFY(proxy.setDevice(device));
        model.setPollingParam(KestrinDeviceModel::PollingParam::normal);
        std::vector<DeviceData::KestrinEqBandParams> bands;
        QTRY_VERIFY(model.loadEqBands(7, bands));
        QTRY_VERIFY(model.loadEqBands(8, bands));

        for (int round = 0; round < 3; ++round) {
            burst(model, *device, rng, 600);
            // Quiet: the queue drains and the polls and ticks run between changes on the headset.
            QElapsedTimer quiet;
            quiet.start();
            while (quiet.elapsed() < 1300) {
                if (rng.bounded(200) == 0) {
                    const uint8_t mix = uint8_t(rng.bounded(21));
                    device->onHeadset([mix](TestKestrinDevice::State& s) { s.gameChatMix = mix; });
                }
                QTest::qWait(5);
            }
        }
        QTRY_VERIFY2_WITH_TIMEOUT(differences(model, *device).isEmpty(),
                                  qPrintable(differences(model, *device).join(QStringLiteral("; "))), 30000);
    }

    void deviceSwapDuringTrafficNeitherHangsNorLeaks()
    {
        QRandomGenerator rng(7);
        Devices::DeviceProxy proxy;
        KestrinDeviceModel model(&proxy);
        for (int round = 0; round < 5; ++round) {
            auto device = makeDevice();
            QVERIFY(proxy.setDevice(device));
            model.setPollingParam(KestrinDeviceModel::PollingParam::normal);
            burst(model, *device, rng, 150);
            // Lost while writes are queued and a poll may run: must return promptly and drop the
            // old device's interface before the device goes away.
            QVERIFY(proxy.resetImpl());
            std::weak_ptr<TestKestrinDevice> watch = device;
            device.reset();
            QVERIFY(watch.expired());
        }
        auto last = makeDevice();
        QVERIFY(proxy.setDevice(last));
        model.setPollingParam(KestrinDeviceModel::PollingParam::normal);
        QVERIFY(model.setAmpGain(33));
        QTRY_COMPARE_WITH_TIMEOUT(last->headset().ampGain, uint8_t(33), 10000);
    }
};

QTEST_GUILESS_MAIN(TestKestrinModelStress)
#include "tst_kestrin_model_stress.moc"
