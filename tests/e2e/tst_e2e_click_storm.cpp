// A storm of clicks on the real main window on a real X server while the emulated headset is
// plugged, pulled and found again: with fixed random seeds, a click every few tens of
// milliseconds on the side menu, the equalizer's presets, custom presets and bands, the Sound
// page's button groups and the title bar, while the screens are built and rebuilt a step at a
// time. The application must neither crash (a sanitised build stops at the first read of a freed
// object) nor leave a layout stuck, and it must still show the headset screen at the end.

#include "HeadsetPlugging.h"

#include "app/App.h"
#include "support/MainWindowRun.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include <memory>

using namespace HidEmu;
using namespace TestSupport;

namespace {

constexpr int WaitMs = 20000;
constexpr int SettleMs = 3000;

// What the storm aims at, by object name; each click finds its target afresh, since the screen
// under it may have been rebuilt since the last one.
const QStringList Targets = {
    QStringLiteral("menuItem0"),   QStringLiteral("menuItem1"),   QStringLiteral("menuItem4"),
    QStringLiteral("preset1"),     QStringLiteral("preset2"),     QStringLiteral("preset3"),
    QStringLiteral("preset4"),     QStringLiteral("preset5"),     QStringLiteral("preset6"),
    QStringLiteral("preset7"),     QStringLiteral("preset8"),     QStringLiteral("preset9"),
    QStringLiteral("preset10"),    QStringLiteral("bandSlider0"), QStringLiteral("bandSlider3"),
    QStringLiteral("bandSlider6"), QStringLiteral("bandSlider9"), QStringLiteral("micFilterGroup"),
    QStringLiteral("ancGroup"),    QStringLiteral("button8"),     QStringLiteral("button16"),
    QStringLiteral("dragArea"),
};

} // namespace

class TestE2eClickStorm : public QObject {
    Q_OBJECT

public:
    explicit TestE2eClickStorm(App& app)
        : m_app(app)
    {
    }

private slots:
    void initTestCase();
    void clicksWhileTheHeadsetComesAndGoes_data();
    void clicksWhileTheHeadsetComesAndGoes();

private:
    App& m_app;
};

void TestE2eClickStorm::initTestCase()
{
    m_app.getAppMediator()->setProperty("eulaAccepted", true);
}

void TestE2eClickStorm::clicksWhileTheHeadsetComesAndGoes_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("smallestSlices");
    QTest::addColumn<int>("lengthMs");
    QTest::newRow("seed 7, smallest slices") << 7u << true << 25000;
    QTest::newRow("seed 1234, smallest slices") << 1234u << true << 25000;
    QTest::newRow("seed 99, application pacer") << 99u << false << 20000;
}

void TestE2eClickStorm::clicksWhileTheHeadsetComesAndGoes()
{
    QFETCH(quint32, seed);
    QFETCH(bool, smallestSlices);
    QFETCH(int, lengthMs);
    QRandomGenerator random(seed);

    Bus::instance().reset();
    std::shared_ptr<Headset> headset = PlugKestrin(0x4B2E);
    MainWindowRun run(m_app, smallestSlices ? MainWindowRun::Building::SmallestSlices
                                            : MainWindowRun::Building::ApplicationPacer);
    QQuickWindow* window = run.window();
    QVERIFY(window);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTRY_VERIFY_WITH_TIMEOUT(IsA(Loaded(window, "mainLoader"), "WidgetKesMain"), WaitMs);

    QElapsedTimer clock;
    clock.start();
    // The headset is pulled after 1-2.5 s (its screen is found within a second's poll) and
    // found again 0.2-1 s later.
    qint64 nextPlugChange = 1000 + random.bounded(1500);
    int clicks = 0;
    int plugChanges = 0;
    while (clock.elapsed() < lengthMs) {
        if (clock.elapsed() >= nextPlugChange) {
            if (headset) {
                Unplug(headset);
                headset.reset();
                nextPlugChange = clock.elapsed() + 200 + random.bounded(800);
            } else {
                headset = PlugKestrin(0x4B2E);
                nextPlugChange = clock.elapsed() + 1000 + random.bounded(1500);
            }
            ++plugChanges;
        }
        // One of the targets that the window shows now, at a random point of it.
        QList<QQuickItem*> shown;
        for (const QString& name : Targets) {
            QQuickItem* target = FindVisual(window->contentItem(), name);
            if (target && target->isVisible() && target->isEnabled())
                shown << target;
        }
        const qreal fractionX = 0.1 + 0.8 * random.bounded(1.0);
        const qreal fractionY = 0.1 + 0.8 * random.bounded(1.0);
        // A drawer or dialog opened by a click is closed again by a later Escape.
        if (shown.isEmpty() || random.bounded(10) == 0) {
            QTest::keyClick(window, Qt::Key_Escape);
        } else {
            QQuickItem* target = shown.at(random.bounded(int(shown.size())));
            if (ClickItem(window, target, QPointF(target->width() * fractionX, target->height() * fractionY)))
                ++clicks;
        }
        QTest::qWait(20 + random.bounded(40));
    }
    qInfo("%d clicks over %d changes of the headset", clicks, plugChanges);
    QVERIFY(clicks > 0);

    // Afterwards the headset is found again and its screen is whole.
    if (!headset)
        headset = PlugKestrin(0x4B2E);
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(IsA(Loaded(window, "mainLoader"), "WidgetKesMain"), WaitMs);
    QTRY_VERIFY2_WITH_TIMEOUT(TitleBarFault(Loaded(window, "titleBarLoader")).isEmpty(),
                              TitleBarFault(Loaded(window, "titleBarLoader")).toUtf8().constData(), SettleMs);
    // Looked up afresh at each try: the screen found above may still give way to a newer one.
    const auto sound = [window] { return FindVisual(Loaded(window, "mainLoader"), QStringLiteral("menuItem0")); };
    QTRY_VERIFY_WITH_TIMEOUT(ClickItem(window, sound()), WaitMs);
    QTRY_VERIFY2_WITH_TIMEOUT(ButtonGroupFault(Loaded(window, "mainLoader")).isEmpty(),
                              ButtonGroupFault(Loaded(window, "mainLoader")).toUtf8().constData(), SettleMs);
    Unplug(headset);
}

int main(int argc, char** argv)
{
    QTEST_SET_MAIN_SOURCE_PATH
    return RunWithApp<TestE2eClickStorm>(argc, argv);
}

#include "tst_e2e_click_storm.moc"
