// Benchmark (not a test): how long the GUI thread is held when a headset becomes current and
// the device model loads it, and when the user starts a factory reset, over the emulated headset
// with the HID client's real read pacing (10 ms cabled, 50 ms through the dongle).
//
// For each device it prints, as medians over the runs: the time spent inside the proxy's
// setDevice (the model's first load on the GUI thread), the longest stall a 1 ms GUI-thread
// heartbeat saw from the plug-in until the battery level was published, the time inside
// factoryReset(), and, for comparison, what the first load's battery and mute reads cost when
// made directly on the calling thread (what the first load used to add to the GUI thread).
//
//     build/<dir>/tests/device_models/bench_kestrin_model_plugin [runs]

#include "devices/KestrinRig.h"

#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "devices/KestrinDeviceImpl.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using DeviceModels::KestrinDeviceModel;

namespace {

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double Ms(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The longest time between two turns of the event loop while it runs.
class Heartbeat {
public:
    Heartbeat()
    {
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { beat(); });
    }
    void start()
    {
        m_longest = 0.0;
        m_clock.start();
        m_timer.start();
    }
    void beat()
    {
        m_longest = std::max(m_longest, Ms(m_clock));
        m_clock.restart();
    }
    double stop()
    {
        beat();
        m_timer.stop();
        return m_longest;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_longest = 0.0;
};

void Run(const char* name, uint16_t pid, int runs)
{
    std::vector<double> setDevice, stall, reset, directReads;
    KestrinRig rig(pid, true);
    auto device = rig.build<Devices::KestrinDeviceImpl>();
    if (!device->isValid()) {
        std::printf("%-18s device did not initialise\n", name);
        return;
    }
    Devices::DeviceProxy proxy;
    KestrinDeviceModel model(&proxy);
    Heartbeat heartbeat;

    for (int run = 0; run < runs; ++run) {
        heartbeat.start();
        QElapsedTimer timer;
        timer.start();
        proxy.setDevice(device);
        setDevice.push_back(Ms(timer));
        QElapsedTimer patience;
        patience.start();
        while (model.getBatteryLevel() != rig.headset->batteryLevel && patience.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        stall.push_back(heartbeat.stop());

        timer.restart();
        model.factoryReset();
        reset.push_back(Ms(timer));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        proxy.resetImpl();

        uint8_t level = 0;
        bool mute = false;
        timer.restart();
        device->readBatteryLevel(level);
        device->readMicMute(mute);
        directReads.push_back(Ms(timer));
    }
    std::printf("%-18s setDevice %7.2f ms   longest GUI stall %7.2f ms   factoryReset() %6.2f ms   "
                "battery+mute reads on the caller %7.2f ms\n",
                name, Median(setDevice), Median(stall), Median(reset), Median(directReads));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::printf("medians over %d plug-ins, real read pacing\n", runs);
    Run("kestrin_2 cabled", 0x4B2A, runs);
    Run("kestrin_2 dongle", 0x4B29, runs);
    Run("kestrin_2_anc", 0x4BAE, runs);
    return 0;
}
