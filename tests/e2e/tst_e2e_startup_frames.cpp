// Every frame of the real window, judged after its layout pass: at start and on each plug-in and
// removal of a headset, the window shows only whole screens. Its first frame with anything on
// view has the title bar with all its buttons and the whole first screen; a new screen comes in
// one frame, the one before staying on view until then; the headset screen shows its battery
// level only once the headset has given it. The real application object and Main.qml, started
// as the start-up starts them, over the emulated USB bus.

#include "HeadsetPlugging.h"
#include "app/App.h"
#include "support/FrameJudge.h"
#include "support/MainWindowRun.h"

#include <QtTest>

#include <memory>

using namespace HidEmu;
using TestSupport::MainWindowRun;

namespace {

constexpr int WaitMs = 30000;
// Every button of the title bar: the legal terms are accepted.
constexpr int TitleBarButtons = 5;
// The emulated headset's battery level, as the status bar shows it.
const QString HeadsetBattery = QStringLiteral("80%");

} // namespace

class TestE2eStartupFrames : public QObject {
    Q_OBJECT

public:
    explicit TestE2eStartupFrames(App& app)
        : m_app(app)
    {
    }

private slots:
    void initTestCase();
    void firstFrameWithAnythingOnViewIsComplete();
    void pluggedHeadsetComesWhole_data();
    void pluggedHeadsetComesWhole();
    void cleanupTestCase();

private:
    QQuickWindow* window() const { return m_run->window(); }
    QByteArray screenType() const;

    App& m_app;
    std::unique_ptr<MainWindowRun> m_run;
    std::shared_ptr<Headset> m_headset;
    FrameJudge::FrameState m_last;
    int m_frames = 0;
    int m_partialFrames = 0;
    // The first frame in which anything was on view.
    int m_firstDrawn = -1;
    int m_firstComplete = -1;
};

QByteArray TestE2eStartupFrames::screenType() const
{
    QQuickItem* screen = FrameJudge::LoadedItem(window(), "mainLoader");
    return screen ? QByteArray(screen->metaObject()->className()) : QByteArray();
}

void TestE2eStartupFrames::initTestCase()
{
    Bus::instance().reset();
    // As the start-up loads the window; the frames are judged before any event is handled, so
    // that no frame goes unjudged.
    const auto judgeEveryFrame = [this](QQuickWindow* loaded) {
        connect(
            loaded, &QQuickWindow::afterAnimating, this,
            [this, loaded] {
                m_last = FrameJudge::Judge(loaded, TitleBarButtons, HeadsetBattery);
                QQuickItem* bar = FrameJudge::LoadedItem(loaded, "titleBarLoader");
                QQuickItem* screen = FrameJudge::LoadedItem(loaded, "mainLoader");
                if (m_firstDrawn < 0 && (FrameJudge::OnView(bar) || FrameJudge::OnView(screen)))
                    m_firstDrawn = m_frames;
                if (m_firstComplete < 0 && m_last.complete)
                    m_firstComplete = m_frames;
                if (m_last.partial) {
                    ++m_partialFrames;
                    qWarning("frame %d shows a partial screen (%s; %s not whole)", m_frames, screenType().constData(),
                             m_last.missing);
                }
                ++m_frames;
            },
            Qt::DirectConnection);
    };
    m_run = std::make_unique<MainWindowRun>(m_app, MainWindowRun::Building::ApplicationPacer, judgeEveryFrame);
    QVERIFY(window());
}

void TestE2eStartupFrames::firstFrameWithAnythingOnViewIsComplete()
{
    QTRY_VERIFY_WITH_TIMEOUT(m_firstComplete >= 0, WaitMs);
    QVERIFY(screenType().startsWith("WidgetNoDevice"));
    QCOMPARE(m_firstDrawn, m_firstComplete);
    QCOMPARE(m_partialFrames, 0);
}

void TestE2eStartupFrames::pluggedHeadsetComesWhole_data()
{
    QTest::addColumn<quint16>("pid");
    QTest::newRow("wired") << quint16(0x4B2E);
    QTest::newRow("dongle") << quint16(0x4B29);
}

void TestE2eStartupFrames::pluggedHeadsetComesWhole()
{
    QFETCH(quint16, pid);
    m_headset = PlugKestrin(pid);
    QTRY_VERIFY_WITH_TIMEOUT(m_last.headsetValues, WaitMs);
    QVERIFY(screenType().startsWith("WidgetKesMain"));

    Unplug(m_headset);
    QTRY_VERIFY_WITH_TIMEOUT(m_last.complete && screenType().startsWith("WidgetNoDevice"), WaitMs);
    QCOMPARE(m_partialFrames, 0);
}

void TestE2eStartupFrames::cleanupTestCase()
{
    m_run.reset();
    m_headset.reset();
}

int main(int argc, char** argv)
{
    QTEST_SET_MAIN_SOURCE_PATH
    // What follows the first frame comes only through it.
    return TestSupport::RunWithApp<TestE2eStartupFrames>(argc, argv,
                                                         {.legalTermsAccepted = true, .firstFrameOnly = true});
}

#include "tst_e2e_startup_frames.moc"
