// A factory reset from the settings the user sees down to the emulated headset and back: once the
// headset took the reset, every shown value is the one the headset holds again, each change
// signalled, and the reset itself never runs on the GUI thread.

#include "devices/KestrinModelRig.h"

#include "core/Preferences.h"
#include "device_models/KestrinDeviceModel.h"
#include "support/TestAppData.h"
#include "ui_mediators/UIKesSettingsMediator.h"

#include <QSignalSpy>
#include <QtTest>

using namespace HidEmu;
using DeviceModels::KestrinDeviceModel;
using UIMediators::UIKesSettingsMediator;

namespace {

// Everything away from the factory values.
void Personalise(Kestrin::State& s)
{
    s.vpLevel = 3;
    s.autoPowerOff = 600;
    s.gameChatMix = 4;
    s.noiseReduction = 2;
    s.sidetoneOn = true;
    s.sidetoneLevel = 9;
    s.earcupBalance = 125;
    s.ampGain = 142;
    s.eqIndex = 3;
}

struct ResetRig : KestrinModelRig {
    explicit ResetRig(uint16_t pid)
        : KestrinModelRig(pid, true, Personalise)
    {
        QObject::connect(model.get(), &KestrinDeviceModel::deviceReady, &settings,
                         &UIKesSettingsMediator::onModelReady);
    }

    // Runs the worker jobs due within `ms` (one per millisecond) and hands their results over.
    void runWorker(int64_t ms = 5)
    {
        timers->advance(ms);
        QCoreApplication::sendPostedEvents();
    }

    Preferences preferences;
    UIKesSettingsMediator settings{preferences, *model, nullptr};
};

} // namespace

class TestFactoryResetE2e : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::UseTestAppData(); }

    void shownValuesAreTheHeadsetsAfterTheReset_data()
    {
        QTest::addColumn<int>("pid");
        QTest::newRow("kestrin") << 0x4B1E;
        QTest::newRow("kestrin_2") << 0x4B2A;
        QTest::newRow("kestrin_2 dongle") << 0x4B29;
        QTest::newRow("anc") << 0x4BAE;
    }

    void shownValuesAreTheHeadsetsAfterTheReset()
    {
        QFETCH(int, pid);
        ResetRig r{uint16_t(pid)};
        QVERIFY(r.connect());
        UIKesSettingsMediator& settings = r.settings;
        QCOMPARE(settings.getVpLevel(), 3);
        QCOMPARE(settings.getShutdownTime(), UIKesSettingsMediator::Minutes_10);
        QCOMPARE(settings.getGameChatMix(), 4);
        QCOMPARE(settings.getBalance(), 125);
        QVERIFY(!settings.isVolumeLimiter());
        QVERIFY(settings.getSidetone());
        QCOMPARE(settings.getSidetoneLevel(), 9);
        QCOMPARE(settings.getEqIndex(), 3);

        // A custom preset edited and stored before the reset.
        std::vector<DeviceData::KestrinEqBandParams> bands;
        QVERIFY(!r.model->loadEqBands(8, bands));
        r.runWorker();
        QVERIFY(r.model->loadEqBands(8, bands));
        QVERIFY(r.model->setEqBandGain(8, 2, 6));
        for (int tick = 0; tick < 10; ++tick)
            r.runWorker(10);
        QCOMPARE(r.model->getEqBandGain(8, 2), 6);
        r.rig.headset->clearLog();

        QSignalSpy vp(&settings, &UIKesSettingsMediator::vpLevelChanged);
        QSignalSpy shutdown(&settings, &UIKesSettingsMediator::shutdownTimeChanged);
        QSignalSpy mix(&settings, &UIKesSettingsMediator::gameChatMixChanged);
        QSignalSpy balance(&settings, &UIKesSettingsMediator::balanceChanged);
        QSignalSpy limiter(&settings, &UIKesSettingsMediator::volumeLimiterChanged);
        QSignalSpy sidetone(&settings, &UIKesSettingsMediator::sidetoneChanged);
        QSignalSpy sidetoneLevel(&settings, &UIKesSettingsMediator::sidetoneLevelChanged);
        QSignalSpy eqIndex(&settings, &UIKesSettingsMediator::eqIndexChanged);
        QSignalSpy band(r.model.get(), &KestrinDeviceModel::sigEqBandChanged);
        QSignalSpy finished(r.model.get(), &KestrinDeviceModel::sigFactoryResetFinished);

        QVERIFY(r.model->factoryReset());
        // Sent by the worker, not on this thread.
        QCOMPARE(r.rig.state->factoryResets, 0);
        r.runWorker();
        QCOMPARE(r.rig.state->factoryResets, 1);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), true);

        const Kestrin::State& headset = *r.rig.state;
        QCOMPARE(settings.getVpLevel(), int(headset.vpLevel));
        QCOMPARE(settings.getShutdownTime(), UIKesSettingsMediator::SecondsToTime(headset.autoPowerOff));
        QCOMPARE(settings.getGameChatMix(), int(headset.gameChatMix));
        QCOMPARE(settings.getBalance(), int(headset.earcupBalance));
        QCOMPARE(settings.isVolumeLimiter(), headset.ampGain < 137);
        QCOMPARE(settings.getSidetone(), headset.sidetoneOn);
        QCOMPARE(settings.getSidetoneLevel(), int(headset.sidetoneLevel));
        QCOMPARE(settings.getEqIndex(), int(headset.eqIndex));
        for (QSignalSpy* spy : {&vp, &shutdown, &mix, &balance, &limiter, &sidetone, &sidetoneLevel, &eqIndex})
            QVERIFY2(spy->count() >= 1, spy->signal().constData());
        // The preset is back to what the headset holds.
        QVERIFY(r.model->loadEqBands(8, bands));
        QCOMPARE(bands[2].gain, 0);
        QVERIFY(band.count() >= 1);

        // Nothing shown goes back to the headset: it already holds all of it.
        for (int tick = 0; tick < 10; ++tick)
            r.runWorker(10);
        r.model->onTimeout();
        for (const QString& line : ToStringList(r.rig.log()))
            QVERIFY2(!line.startsWith(QLatin1String("set ")), qPrintable(line));
        QCOMPARE(r.rig.state->vpLevel, uint8_t(settings.getVpLevel()));
        QCOMPARE(ToStringList(r.rig.headset->violations()), QStringList());
    }

    void refusedResetChangesNothing()
    {
        ResetRig r{0x4B2A};
        QVERIFY(r.connect());
        QSignalSpy vp(&r.settings, &UIKesSettingsMediator::vpLevelChanged);
        QSignalSpy finished(r.model.get(), &KestrinDeviceModel::sigFactoryResetFinished);
        r.rig.headset->refuse(Kestrin::kSystem, Kestrin::kStatusBadData, 1);

        QVERIFY(r.model->factoryReset());
        r.runWorker();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QCOMPARE(r.settings.getVpLevel(), 3);
        QCOMPARE(vp.count(), 0);
    }

    void deviceGoneBeforeTheResetRanDropsIt()
    {
        ResetRig r{0x4B2A};
        QVERIFY(r.connect());
        QSignalSpy finished(r.model.get(), &KestrinDeviceModel::sigFactoryResetFinished);
        QVERIFY(r.model->factoryReset());
        QVERIFY(r.proxy.resetImpl());
        r.runWorker(10);
        QCOMPARE(r.rig.state->factoryResets, 0);
        QCOMPARE(finished.count(), 0);
        QVERIFY(!r.model->factoryReset()); // no headset
    }
};

QTEST_GUILESS_MAIN(TestFactoryResetE2e)
#include "tst_factory_reset_e2e.moc"
