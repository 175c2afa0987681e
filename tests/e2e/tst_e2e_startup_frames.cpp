// Every frame of the real window, judged after its layout pass: at start and on each plug-in and
// removal of a headset, the window shows only whole screens. Its first frame with anything on
// view has the title bar with all its buttons and the whole first screen; a new screen comes in
// one frame, the one before staying on view until then; the headset screen shows its battery
// level only once the headset has given it. The real application object and Main.qml, started
// as the start-up starts them, over the emulated USB bus.

#include "HeadsetPlugging.h"
#include "app/App.h"
#include "app/MetadataInitializer.h"
#include "support/FrameJudge.h"
#include "support/TestAppData.h"
#include "utils/Utils.h"

#include <QDir>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QSettings>
#include <QtTest>

#include <memory>

using namespace HidEmu;

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
    QQuickWindow* window() const { return qobject_cast<QQuickWindow*>(m_engine->rootObjects().value(0)); }
    QByteArray screenType() const;

    App& m_app;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
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
    // As the start-up loads the window.
    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_engine->rootContext()->setContextProperty(QStringLiteral("App"), &m_app);
    m_engine->addImportPath(QStringLiteral(":/qml"));
    m_engine->load(QUrl(QStringLiteral("qrc:/qml/Velmor/Main.qml")));
    QCOMPARE(m_engine->rootObjects().size(), 1);
    // Before any event is handled, so that no frame goes unjudged.
    connect(
        window(), &QQuickWindow::afterAnimating, this,
        [this] {
            m_last = FrameJudge::Judge(window(), TitleBarButtons, HeadsetBattery);
            QQuickItem* bar = FrameJudge::LoadedItem(window(), "titleBarLoader");
            QQuickItem* screen = FrameJudge::LoadedItem(window(), "mainLoader");
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
    m_app.takeOverIncubation(*m_engine);
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
    m_engine.reset();
    m_headset.reset();
}

int main(int argc, char** argv)
{
    TestSupport::UseTestAppData();
    TestSupport::ClearAppData();
    QDir().mkpath(TestSupport::AppDataPath());
    {
        QSettings settings(TestSupport::AppDataPath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        settings.setValue(QStringLiteral("license_accepted"), true);
    }
    // As the start-up does: the types that screens import exist before the window loads.
    MetadataInitializer metadata;
    Utils::SetUpMainThread();
    App app(argc, argv);
    // Beyond the test's own timeout: what follows the first frame comes only through it.
    app.setFirstFrameFallbackMs(10 * 60 * 1000);
    TestE2eStartupFrames test(app);
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_startup_frames.moc"
