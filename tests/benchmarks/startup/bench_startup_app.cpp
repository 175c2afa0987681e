// The application side of the start-up benchmark (scripts/bench-startup.py): the real start-up
// (qMain, Main.qml) built against the emulated hid_* functions of tests/support/hid, so that a
// dongle can be plugged in at start without hardware. Never the product: a benchmark executable.
//
//   VELMOR_BENCH_DEVICE=none    waits for the first complete frame;
//   VELMOR_BENCH_DEVICE=dongle  starts with a kestrin_2 dongle plugged in (=wired: a kestrin_2
//                               headset on its cable), then after the first frame measures the
//                               start-up until the headset screen and its values, unplugs the
//                               device, plugs another one in and measures that plug-in too.
// Then each stays until the driver's hold time is over (the peak memory over that time).
//
// Every frame of the window is judged after its layout pass (afterAnimating, on the GUI thread)
// and timed at its swap: "complete" when the title bar has all its buttons, each with a width
// and a place of its own, and the screen on view is whole (a screen, not the empty content area,
// with no loader or picture on view still loading); "partial" when the title bar or a screen is
// on view but not whole, or the status bar shows a battery level that the headset did not give;
// "headset values" when the headset screen is whole and shows the headset's battery level.
//
// GUI-thread stalls are measured by a 1 ms heartbeat timer on the GUI thread (the longest gap
// between two of its ticks, and the most CPU time the GUI thread used between two ticks); they
// include the window's building of the headset screen. Device I/O on the GUI thread is counted apart from drawing work:
// every hid_* call and every QThread::msleep of the product (the HID client's pause before each
// reply) made on the GUI thread is timed through the linker's --wrap.

#include "StartupProbe.h"
#include "support/FrameJudge.h"

#include "HeadsetPlugging.h"
#include "app/App.h"
#include "app/QMain.h"
#include "ui_models/IUIModel.h"

#include <QElapsedTimer>
#include <QTimer>

#include <hidapi.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

using FrameJudge::FrameState;
using FrameJudge::Judge;

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
constexpr uint16_t WiredPid = 0x4B2E;  // kestrin_2 headset on its cable
// The emulated headset's battery level, as the status bar shows it.
const QString HeadsetBattery = QStringLiteral("80%");

uint16_t DevicePid()
{
    const char* device = std::getenv("VELMOR_BENCH_DEVICE");
    if (device && std::strcmp(device, "dongle") == 0)
        return DonglePid;
    if (device && std::strcmp(device, "wired") == 0)
        return WiredPid;
    return 0;
}
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

// Judges each frame of the window and times it at its swap.
class FrameLog final : public QObject {
public:
    FrameLog()
        : QObject(qApp)
    {
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QQuickWindow*>(watched);
        if (window && !m_window) {
            m_window = window;
            connect(
                window, &QQuickWindow::afterAnimating, this,
                [this] {
                    const FrameState state = Judge(m_window, ExpectedButtons(), HeadsetBattery);
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_judged = state;
                    m_hasJudged = true;
                    m_lastMissing = state.missing;
                    if (state.partial && qEnvironmentVariableIsSet("VELMOR_BENCH_LOG_PARTIAL")) {
                        if (QQuickItem* screen = FrameJudge::LoadedItem(m_window, "mainLoader"))
                            m_partialDetail = FrameJudge::StillLoading(screen).join(QLatin1String("; "));
                    }
                },
                Qt::DirectConnection);
            // Direct: the threaded render loop swaps on its render thread.
            connect(
                window, &QQuickWindow::frameSwapped, this,
                [this] {
                    const long long now = StartupProbe::MonotonicNs();
                    std::lock_guard<std::mutex> lock(m_mutex);
                    // The latest judgement: a turn of the render loop may judge and then draw
                    // nothing, so judgements and swaps do not pair off one to one.
                    if (!m_hasJudged)
                        return;
                    const FrameState state = m_judged;
                    m_hasJudged = false;
                    ++m_frames;
                    if (state.partial) {
                        ++m_partialFrames;
                        // What was not whole, to find the cause of a partial frame.
                        if (qEnvironmentVariableIsSet("VELMOR_BENCH_LOG_PARTIAL"))
                            std::fprintf(stderr, "partial frame %d at clock %.1f ms: %s %s\n", m_frames,
                                         double(now) / 1e6, state.missing, qPrintable(m_partialDetail));
                    }
                    if (state.complete && m_firstCompleteNs == 0)
                        m_firstCompleteNs = now;
                    if (state.headsetValues && m_valuesNs == 0)
                        m_valuesNs = now;
                },
                Qt::DirectConnection);
        }
        return QObject::eventFilter(watched, event);
    }

    long long firstCompleteNs() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_firstCompleteNs;
    }
    long long valuesNs() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_valuesNs;
    }
    // Looks for the next frame with the headset's values from now on.
    void resetValues()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_valuesNs = 0;
    }
    int partialFrames() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_partialFrames;
    }
    int frames() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }
    const char* lastMissing() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lastMissing;
    }

private:
    static int ExpectedButtons()
    {
        // Settings and Notifications come with the accepted legal terms.
        QObject* mediator = qApp->property("appMediator").value<QObject*>();
        return mediator && mediator->property("eulaAccepted").toBool() ? 5 : 3;
    }

    QQuickWindow* m_window = nullptr;
    mutable std::mutex m_mutex;
    FrameState m_judged;
    bool m_hasJudged = false;
    long long m_firstCompleteNs = 0;
    long long m_valuesNs = 0;
    int m_partialFrames = 0;
    int m_frames = 0;
    const char* m_lastMissing = "";
    QString m_partialDetail;
};

FrameLog* g_frames = nullptr;

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
            std::fprintf(stderr, "timed out waiting for %s (last frame: %s not whole)\n", what,
                         g_frames ? g_frames->lastMissing() : "?");
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
// When the headset screen's model last became current: the end of the device's set-up.
long long g_setupEndNs = 0;

// Notes each moment the headset's UI model becomes current. The application object is whole
// only by the first frame.
void WatchSetupEnd()
{
    auto* app = qobject_cast<App*>(qApp);
    if (!app)
        return;
    if (ShowsHeadset())
        g_setupEndNs = StartupProbe::MonotonicNs();
    QObject::connect(app, &App::uiModelChanged, app, [] {
        if (ShowsHeadset())
            g_setupEndNs = StartupProbe::MonotonicNs();
    });
}

void ReportFrames()
{
    StartupProbe::Report("frames", g_frames->frames());
    StartupProbe::Report("partial_frames", g_frames->partialFrames());
}

void Finish()
{
    ReportFrames();
    StartupProbe::HoldThenExit(0);
}

void MeasurePlugIn(Heartbeat* heartbeat)
{
    HidEmu::Unplug(g_dongle);
    When(
        ShowsNoHeadset,
        [heartbeat] {
            // Let the removal settle, then plug a fresh device in.
            After(SettleMs, [heartbeat] {
                ResetGuiHid();
                heartbeat->reset();
                g_frames->resetValues();
                g_setupEndNs = 0;
                const long long pluggedNs = StartupProbe::MonotonicNs();
                g_dongle = HidEmu::PlugKestrin(DevicePid());
                When([] { return g_frames->valuesNs() != 0 && g_setupEndNs != 0; },
                     [heartbeat, pluggedNs] {
                         StartupProbe::Report("plugin_to_screen_ms", double(g_setupEndNs - pluggedNs) / 1e6);
                         StartupProbe::Report("plugin_to_values_ms", double(g_frames->valuesNs() - pluggedNs) / 1e6);
                         StartupProbe::Report("plugin_setup_to_values_ms",
                                              double(g_frames->valuesNs() - g_setupEndNs) / 1e6);
                         After(SettleMs, [heartbeat] {
                             StartupProbe::Report("plugin_stall_ms", heartbeat->longestMs());
                             StartupProbe::Report("plugin_stall_cpu_ms", heartbeat->longestCpuMs());
                             ReportGuiHid("plugin");
                             Finish();
                         });
                     },
                     "the headset screen with its values after the plug-in");
            });
        },
        "the removal of the device");
}

void OnFirstFrame()
{
    if (DevicePid() == 0) {
        When([] { return g_frames->firstCompleteNs() != 0; },
             [] {
                 StartupProbe::Report("first_complete_clock_ns", double(g_frames->firstCompleteNs()));
                 Finish();
             },
             "the first complete frame");
        return;
    }
    WatchSetupEnd();
    auto* heartbeat = new Heartbeat;
    const long long frameNs = StartupProbe::MonotonicNs();
    When([] { return g_frames->valuesNs() != 0 && g_setupEndNs != 0; },
         [heartbeat, frameNs] {
             StartupProbe::Report("frame_to_screen_ms", double(g_setupEndNs - frameNs) / 1e6);
             StartupProbe::Report("setup_end_clock_ns", double(g_setupEndNs));
             StartupProbe::Report("values_clock_ns", double(g_frames->valuesNs()));
             StartupProbe::Report("first_complete_clock_ns", double(g_frames->firstCompleteNs()));
             After(SettleMs, [heartbeat] {
                 StartupProbe::Report("startup_stall_ms", heartbeat->longestMs());
                 StartupProbe::Report("startup_stall_cpu_ms", heartbeat->longestCpuMs());
                 ReportGuiHid("startup");
                 MeasurePlugIn(heartbeat);
             });
         },
         "the headset screen with its values at start");
}

void InstallProbe()
{
    g_frames = new FrameLog;
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
    if (DevicePid() != 0)
        g_dongle = HidEmu::PlugKestrin(DevicePid());
    const int code = qMain(argc, argv);
    g_dongle.reset();
    return code;
}
