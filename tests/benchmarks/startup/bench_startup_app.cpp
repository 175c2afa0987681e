// The application side of the start-up benchmark (scripts/bench-startup.py): the real start-up
// (qMain, Main.qml) built against the emulated hid_* functions of tests/support/hid, so that a
// dongle can be plugged in at start without hardware. Never the product: a benchmark executable.
//
//   VELMOR_BENCH_DEVICE=none    exits right after the first frame;
//   VELMOR_BENCH_DEVICE=dongle  starts with a kestrin_2 dongle plugged in, then after the first
//                               frame measures the start-up until the headset screen, unplugs the
//                               dongle, plugs another one in and measures that plug-in too.
//
// GUI-thread stalls are measured by a 1 ms heartbeat timer on the GUI thread (the longest gap
// between two of its ticks, and the most CPU time the GUI thread used between two ticks); they
// include the window's building of the headset screen. Device I/O on the GUI thread is counted apart from drawing work:
// every hid_* call and every QThread::msleep of the product (the HID client's pause before each
// reply) made on the GUI thread is timed through the linker's --wrap.

#include "StartupProbe.h"

#include "HeadsetPlugging.h"
#include "app/QMain.h"
#include "ui_models/IUIModel.h"

#include <QElapsedTimer>
#include <QTimer>

#include <hidapi.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

std::thread::id g_guiThread;
std::atomic<long long> g_guiHidNs{0};
std::atomic<long long> g_guiHidLongestNs{0};
std::atomic<int> g_guiHidCalls{0};

// Times one hid_* call when it runs on the GUI thread.
class GuiHidCall {
public:
    GuiHidCall()
        : m_onGui(std::this_thread::get_id() == g_guiThread)
        , m_start(m_onGui ? StartupProbe::MonotonicNs() : 0)
    {
    }
    ~GuiHidCall()
    {
        if (!m_onGui)
            return;
        const long long ns = StartupProbe::MonotonicNs() - m_start;
        g_guiHidNs += ns;
        ++g_guiHidCalls;
        long long longest = g_guiHidLongestNs.load();
        while (ns > longest && !g_guiHidLongestNs.compare_exchange_weak(longest, ns)) { }
    }

private:
    const bool m_onGui;
    const long long m_start;
};

void ResetGuiHid()
{
    g_guiHidNs = 0;
    g_guiHidLongestNs = 0;
    g_guiHidCalls = 0;
}

void ReportGuiHid(const char* phase)
{
    const std::string prefix(phase);
    StartupProbe::Report((prefix + "_gui_io_calls").c_str(), g_guiHidCalls.load());
    StartupProbe::Report((prefix + "_gui_io_ms").c_str(), double(g_guiHidNs.load()) / 1e6);
    StartupProbe::Report((prefix + "_gui_io_longest_ms").c_str(), double(g_guiHidLongestNs.load()) / 1e6);
}

constexpr uint16_t DonglePid = 0x4B29; // kestrin_2, PlayStation dongle
constexpr int ScreenTimeoutMs = 15000;
constexpr int SettleMs = 500;

bool ShowsHeadset()
{
    auto* model = qobject_cast<UIModels::IUIModel*>(qApp->property("uiModel").value<QObject*>());
    return model && model->getType() == UIModels::IUIModel::Kestrin;
}

bool ShowsNoHeadset()
{
    auto* model = qobject_cast<UIModels::IUIModel*>(qApp->property("uiModel").value<QObject*>());
    return model && model->getType() != UIModels::IUIModel::Kestrin;
}

// The longest gap between two ticks of a 1 ms GUI-thread timer since the last reset.
class Heartbeat final : public QObject {
public:
    Heartbeat()
        : QObject(qApp)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const long long now = StartupProbe::MonotonicNs();
            const long long cpu = StartupProbe::ThreadCpuNs();
            m_longestNs = std::max(m_longestNs, now - m_lastNs);
            m_longestCpuNs = std::max(m_longestCpuNs, cpu - m_lastCpuNs);
            m_lastNs = now;
            m_lastCpuNs = cpu;
        });
        reset();
        m_timer.start();
    }
    void reset()
    {
        m_lastNs = StartupProbe::MonotonicNs();
        m_lastCpuNs = StartupProbe::ThreadCpuNs();
        m_longestNs = 0;
        m_longestCpuNs = 0;
    }
    double longestMs() const { return double(m_longestNs) / 1e6; }
    // The most CPU time the GUI thread spent between two ticks: the work of its longest stall,
    // without the time it waited for a core while other processes ran.
    double longestCpuMs() const { return double(m_longestCpuNs) / 1e6; }

private:
    QTimer m_timer;
    long long m_lastNs = 0;
    long long m_longestNs = 0;
    long long m_lastCpuNs = 0;
    long long m_longestCpuNs = 0;
};

// Calls `then` on the GUI thread once `condition` holds (checked every 5 ms), or exits the
// program with code 2 after `timeoutMs`.
void When(std::function<bool()> condition, std::function<void()> then, const char* what)
{
    auto* timer = new QTimer(qApp);
    auto* elapsed = new QElapsedTimer;
    elapsed->start();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, qApp, [=] {
        if (condition()) {
            timer->stop();
            timer->deleteLater();
            delete elapsed;
            then();
        } else if (elapsed->elapsed() > ScreenTimeoutMs) {
            std::fprintf(stderr, "timed out waiting for %s\n", what);
            QCoreApplication::exit(2);
        }
    });
    timer->start();
}

void After(int ms, std::function<void()> then)
{
    QTimer::singleShot(ms, qApp, std::move(then));
}

std::shared_ptr<HidEmu::Headset> g_dongle;

void MeasurePlugIn(Heartbeat* heartbeat)
{
    HidEmu::Unplug(g_dongle);
    When(
        ShowsNoHeadset,
        [heartbeat] {
            // Let the removal settle, then plug a fresh dongle in.
            After(SettleMs, [heartbeat] {
                ResetGuiHid();
                heartbeat->reset();
                const long long pluggedNs = StartupProbe::MonotonicNs();
                g_dongle = HidEmu::PlugKestrin(DonglePid);
                When(
                    ShowsHeadset,
                    [heartbeat, pluggedNs] {
                        StartupProbe::Report("plugin_to_screen_ms",
                                             double(StartupProbe::MonotonicNs() - pluggedNs) / 1e6);
                        After(SettleMs, [heartbeat] {
                            StartupProbe::Report("plugin_stall_ms", heartbeat->longestMs());
                            StartupProbe::Report("plugin_stall_cpu_ms", heartbeat->longestCpuMs());
                            ReportGuiHid("plugin");
                            QCoreApplication::exit(0);
                        });
                    },
                    "the headset screen after the plug-in");
            });
        },
        "the removal of the dongle");
}

void OnFirstFrame()
{
    const char* device = std::getenv("VELMOR_BENCH_DEVICE");
    if (!device || std::strcmp(device, "dongle") != 0) {
        QCoreApplication::exit(0);
        return;
    }
    auto* heartbeat = new Heartbeat;
    const long long frameNs = StartupProbe::MonotonicNs();
    When(
        ShowsHeadset,
        [heartbeat, frameNs] {
            StartupProbe::Report("frame_to_screen_ms", double(StartupProbe::MonotonicNs() - frameNs) / 1e6);
            After(SettleMs, [heartbeat] {
                StartupProbe::Report("startup_stall_ms", heartbeat->longestMs());
                StartupProbe::Report("startup_stall_cpu_ms", heartbeat->longestCpuMs());
                ReportGuiHid("startup");
                MeasurePlugIn(heartbeat);
            });
        },
        "the headset screen at start");
}

void InstallProbe()
{
    new StartupProbe::FirstFrameWatch(OnFirstFrame);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallProbe)

// The product calls hid_*; the linker sends those calls here (--wrap), and here on to the
// emulated functions.
extern "C" {
hid_device* __real_hid_open_path(const char* path);
int __real_hid_write(hid_device* dev, const unsigned char* data, size_t length);
int __real_hid_get_input_report(hid_device* dev, unsigned char* data, size_t length);
int __real_hid_read_timeout(hid_device* dev, unsigned char* data, size_t length, int milliseconds);
hid_device_info* __real_hid_enumerate(unsigned short vendorId, unsigned short productId);

hid_device* __wrap_hid_open_path(const char* path)
{
    GuiHidCall timed;
    return __real_hid_open_path(path);
}
int __wrap_hid_write(hid_device* dev, const unsigned char* data, size_t length)
{
    GuiHidCall timed;
    return __real_hid_write(dev, data, length);
}
int __wrap_hid_get_input_report(hid_device* dev, unsigned char* data, size_t length)
{
    GuiHidCall timed;
    return __real_hid_get_input_report(dev, data, length);
}
int __wrap_hid_read_timeout(hid_device* dev, unsigned char* data, size_t length, int milliseconds)
{
    GuiHidCall timed;
    return __real_hid_read_timeout(dev, data, length, milliseconds);
}
hid_device_info* __wrap_hid_enumerate(unsigned short vendorId, unsigned short productId)
{
    GuiHidCall timed;
    return __real_hid_enumerate(vendorId, productId);
}

// QThread::msleep(unsigned long): the HID client's pause before each GET_REPORT.
void __real__ZN7QThread6msleepEm(unsigned long ms);
void __wrap__ZN7QThread6msleepEm(unsigned long ms)
{
    GuiHidCall timed;
    __real__ZN7QThread6msleepEm(ms);
}
}

int main(int argc, char** argv)
{
    g_guiThread = std::this_thread::get_id();
    const char* device = std::getenv("VELMOR_BENCH_DEVICE");
    if (device && std::strcmp(device, "dongle") == 0)
        g_dongle = HidEmu::PlugKestrin(DonglePid);
    const int code = qMain(argc, argv);
    g_dongle.reset();
    return code;
}
