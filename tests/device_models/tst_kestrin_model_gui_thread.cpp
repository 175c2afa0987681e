// The device model never makes the GUI thread talk to the headset: plug-in, the first load with
// its repairs, setting changes, preset bands, the factory reset and switching head tracking on all
// run their exchanges on the model's own worker thread. A test headset records the thread of every call it gets.

#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "support/devices/TestKestrinDevice.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include <memory>
#include <mutex>

using DeviceModels::KestrinDeviceModel;
using TestSupport::TestKestrinDevice;

namespace {

// Calls that only copy what the implementation holds, with no device traffic.
bool IsCacheOnly(const QString& call)
{
    const QString name = call.section(QLatin1Char(' '), 0, 0);
    if (name == QLatin1String("loadEqBands"))
        return false; // reads the preset from the headset when the implementation lacks it
    return name.startsWith(QLatin1String("load")) || name == QLatin1String("isDongle") ||
           name == QLatin1String("isFwOnly") || name == QLatin1String("getHwType") ||
           name == QLatin1String("getVidPid");
}

// Every call the headset got on the GUI thread that is more than a cache copy.
class GuiThreadRecorder {
public:
    explicit GuiThreadRecorder(TestKestrinDevice& device)
    {
        QThread* gui = QCoreApplication::instance()->thread();
        device.setCallHook([this, gui](const QString& call) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (QThread::currentThread() == gui && !IsCacheOnly(call))
                m_exchanges << call;
            else if (QThread::currentThread() != gui)
                m_workerCalls << call;
        });
    }

    QStringList exchanges() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_exchanges;
    }
    QStringList workerCalls() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_workerCalls;
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_exchanges;
    QStringList m_workerCalls;
};

std::shared_ptr<TestKestrinDevice> MakeHeadset(DeviceType type)
{
    TestKestrinDevice::Options options;
    options.type = type;
    TestKestrinDevice::State state;
    state.earcupBalance = 140; // out of range: written back during the first load
    state.vpLevel = 20;        // out of range: queued back
    state.eqIndex = 7;
    state.batteryLevel = 64;
    state.micMute = true;
    state.bands[7] = TestKestrinDevice::Bands({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    state.bands[8] = TestKestrinDevice::Bands({0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    return std::make_shared<TestKestrinDevice>(options, state);
}

} // namespace

class TestKestrinModelGuiThread : public QObject {
    Q_OBJECT

private slots:
    void noExchangeOnTheGuiThread_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("kestrin_2") << int(DeviceType::kestrin_2);
        QTest::newRow("kestrin_2_anc") << int(DeviceType::kestrin_2_anc);
    }

    void noExchangeOnTheGuiThread()
    {
        QFETCH(int, type);
        auto headset = MakeHeadset(DeviceType(type));
        GuiThreadRecorder recorder(*headset);
        Devices::DeviceProxy proxy;
        KestrinDeviceModel model(&proxy); // the production worker thread
        QSignalSpy ready(&model, &KestrinDeviceModel::deviceReady);
        QSignalSpy balance(&model, &KestrinDeviceModel::sigEarcupBalanceChanged);

        // Plug-in and first load: the balance repair is in before the device is announced.
        QVERIFY(proxy.setDevice(headset));
        QTRY_COMPARE(ready.count(), 1);
        QCOMPARE(balance.count(), 1);
        QCOMPARE(model.getEarcupBalance(), uint8_t(134));
        QCOMPARE(model.getVpLevel(), uint8_t(15));
        model.setPollingParam(KestrinDeviceModel::PollingParam::normal);
        // Battery and mute, read by the worker, published by the tick.
        QTRY_COMPARE(model.getBatteryLevel(), uint8_t(64));
        QTRY_VERIFY(model.getMicMute());
        QTRY_COMPARE(headset->headset().vpLevel, uint8_t(15));

        // Preset bands, the balance, a preset change with a band edit pending.
        std::vector<DeviceData::KestrinEqBandParams> bands;
        QTRY_VERIFY(model.loadEqBands(7, bands));
        QCOMPARE(bands[9].gain, 10);
        QVERIFY(model.setEarcupBalance(126));
        QTRY_COMPARE(model.getEarcupBalance(), uint8_t(126));
        QVERIFY(model.setEqBandGain(7, 0, -3));
        QVERIFY(model.setCurrentEqIndex(8));
        QTRY_COMPARE(headset->headset().eqIndex, uint8_t(8));
        QCOMPARE(headset->headset().bands.at(7)[0].gain, -3);

        // Factory reset.
        QVERIFY(model.factoryReset());
        QTRY_COMPARE(headset->calls(QStringLiteral("factoryReset")).size(), 1);

        // Head tracking: the sensor switches wait for the headset's answers.
        model.setPollingParam(KestrinDeviceModel::PollingParam::head_tracking);
        QTRY_VERIFY(model.hasHeadtracking());
        // Centring waits for the transport, which a position read may hold.
        headset->clearCalls();
        QVERIFY(model.centralize());
        QTRY_COMPARE(headset->calls(QStringLiteral("centralize")).size(), 1);

        QVERIFY(proxy.resetImpl());
        QCOMPARE(recorder.exchanges(), QStringList());
        // The exchanges did happen, on the worker.
        const QStringList worker = recorder.workerCalls();
        for (const char* call : {"readBatteryLevel", "readMicMute", "setEarcupBalance 134", "loadEqBands 7",
                                 "setEarcupBalance 126", "setEqIndex 8", "factoryReset",
                                 "setGyroSensorEnabled false 60", "setGyroSensorEnabled true 60", "centralize"})
            QVERIFY2(worker.contains(QLatin1String(call)), call);
    }
};

QTEST_GUILESS_MAIN(TestKestrinModelGuiThread)
#include "tst_kestrin_model_gui_thread.moc"
