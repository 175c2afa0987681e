// Device discovery, measured on the whole application object over the emulated USB bus (no reply
// latency in the emulator).
//
//   bench_bus plugin [rounds (default 10)]
//       From the bus's probe to the headset UI model's modelReady: wall time and the HID traffic
//       (framed requests, hid_write calls, GET_REPORT calls), per device kind, with the client's
//       real read pacing (10 ms cabled, 50 ms through the dongle) and with the pacing off. A
//       headset that is plugged in waits in addition for the next poll: 0 to 1000 ms.
//
//   bench_bus idle [seconds (default 30)]
//       The process's CPU time while the application idles, as a share of one core: with no
//       device, and with a cabled headset, a dongle and a firmware-only dongle connected (polls
//       running, the headset model refreshing every second). The emulator's own work is counted
//       in, so the figures are an upper bound for the application.
//
// Measure on an optimised build without the sanitizers (see ../CMakeLists.txt).

#include "HeadsetPlugging.h"

#include "app/App.h"
#include "devices/DeviceProxy.h"
#include "io/KestrinHidApiClient.h"
#include "platform/IHwBus.h"
#include "ui_models/UIKestrinModel.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

using namespace HidEmu;

namespace {

double ProcessCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Runs the event loop until `done` holds or `timeoutMs` passed; false on time-out.
bool SpinUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void Spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Kind {
    const char* name;
    uint16_t pid;
    bool headsetLinked;
};

const Kind Kinds[] = {
    {"kestrin_2 cabled headset", 0x4B2E, true}, {"kestrin_2_anc cabled headset", 0x4BAA, true},
    {"kestrin_2 dongle", 0x4B29, true},         {"kestrin_2_anc dongle", 0x4BA9, true},
    {"firmware-only dongle", 0x4B28, false},
};

int Plugin(App& app, int rounds)
{
    auto* client = Platform::KestrinHidApiClient::GetKestrinHidApiClient();
    Platform::IHwBus* bus = app.getHwBus();
    QObject* kestrinModel = app.kestrinModel();
    QObject* stub = app.stubModel();
    if (!SpinUntil([&] { return app.uiModel() == stub; }, 5000)) {
        std::fprintf(stderr, "the application did not start\n");
        return 1;
    }

    std::printf("probe to modelReady, %d rounds each (median, min, max)\n", rounds);
    std::printf("%-30s %-8s %10s %10s %10s %9s %9s %11s\n", "device", "pacing", "median ms", "min ms", "max ms",
                "requests", "writes", "get_reports");
    for (const bool paced : {true, false}) {
        client->setReadPacing(paced ? 10 : 0, paced ? 50 : 0);
        for (const Kind& kind : Kinds) {
            bus->stopBus(true);
            Bus::instance().reset();
            auto device = PlugKestrin(kind.pid);
            device->setHeadsetLinked(kind.headsetLinked);
            if (!SpinUntil([&] { return app.uiModel() == stub; }, 5000)) {
                std::fprintf(stderr, "%s: the previous device did not leave\n", kind.name);
                return 1;
            }

            std::vector<double> ms;
            size_t requests = 0;
            size_t writes = 0;
            size_t reads = 0;
            for (int round = 0; round < rounds; ++round) {
                int ready = 0;
                auto counter =
                    QObject::connect(app.kestrinModel(), &UIModels::IUIModel::modelReady, &app, [&] { ++ready; });
                device->clearLog();
                const size_t readsBefore = device->inputReportRequests();

                QElapsedTimer timer;
                timer.start();
                bus->runBus();
                if (!SpinUntil([&] { return ready > 0 && app.uiModel() == kestrinModel; }, 20000)) {
                    std::fprintf(stderr, "%s: no modelReady\n", kind.name);
                    return 1;
                }
                ms.push_back(double(timer.nsecsElapsed()) / 1e6);
                QObject::disconnect(counter);
                requests = device->requests().size();
                writes = device->outReports().size();
                reads = device->inputReportRequests() - readsBefore;

                bus->stopBus(true);
                if (!SpinUntil([&] { return app.uiModel() == stub; }, 5000)) {
                    std::fprintf(stderr, "%s: the device did not leave\n", kind.name);
                    return 1;
                }
            }
            std::printf("%-30s %-8s %10.1f %10.1f %10.1f %9zu %9zu %11zu\n", kind.name, paced ? "10/50" : "off",
                        Median(ms), *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()),
                        requests, writes, reads);
        }
    }
    bus->stopBus(true);
    return 0;
}

int Idle(App& app, int seconds)
{
    auto* client = Platform::KestrinHidApiClient::GetKestrinHidApiClient();
    client->setReadPacing(10, 50);
    Platform::IHwBus* bus = app.getHwBus();
    QObject* stub = app.stubModel();
    if (!SpinUntil([&] { return app.uiModel() == stub; }, 5000)) {
        std::fprintf(stderr, "the application did not start\n");
        return 1;
    }

    struct Case {
        const char* name;
        uint16_t pid; // 0: nothing plugged in
        bool headsetLinked;
    };
    const Case cases[] = {
        {"no device", 0, true},
        {"kestrin_2 cabled headset", 0x4B2E, true},
        {"kestrin_2 dongle", 0x4B29, true},
        {"firmware-only dongle", 0x4B28, false},
    };
    std::printf("CPU time while idle for %d s, as a share of one core\n", seconds);
    for (const Case& c : cases) {
        bus->stopBus(true);
        if (!SpinUntil([&] { return app.uiModel() == stub; }, 5000))
            return 1;
        Bus::instance().reset();
        std::shared_ptr<Headset> device;
        if (c.pid) {
            device = PlugKestrin(c.pid);
            device->setHeadsetLinked(c.headsetLinked);
        }
        bus->runBus();
        if (c.pid && !SpinUntil([&] { return app.uiModel() == app.kestrinModel(); }, 20000)) {
            std::fprintf(stderr, "%s: not found\n", c.name);
            return 1;
        }
        Spin(1500); // settle: first refreshes and battery read

        const size_t requestsBefore = device ? device->requests().size() : 0;
        const int enumeratesBefore = Bus::instance().enumerateCalls();
        QElapsedTimer wall;
        wall.start();
        const double cpuBefore = ProcessCpuSeconds();
        Spin(seconds * 1000);
        const double cpu = ProcessCpuSeconds() - cpuBefore;
        const double elapsed = double(wall.nsecsElapsed()) * 1e-9;
        std::printf("%-28s %6.2f %% of one core (%.3f s CPU in %.1f s); %.1f requests/s, %.1f enumerations/s\n", c.name,
                    100.0 * cpu / elapsed, cpu, elapsed,
                    device ? double(device->requests().size() - requestsBefore) / elapsed : 0.0,
                    double(Bus::instance().enumerateCalls() - enumeratesBefore) / elapsed);
    }
    bus->stopBus(true);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const char* mode = argc > 1 ? argv[1] : "plugin";
    const int count = argc > 2 ? std::atoi(argv[2]) : 0;
    QStandardPaths::setTestModeEnabled(true); // the benchmark's settings and logs stay apart
    int appArgc = 1;
    App app(appArgc, argv);
    if (std::strcmp(mode, "idle") == 0)
        return Idle(app, count > 0 ? count : 30);
    return Plugin(app, count > 0 ? count : 10);
}
