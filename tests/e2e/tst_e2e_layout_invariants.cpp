// The layouts of the real main window after every build of the title bar and of a screen, over
// many starts in which the window builds them a step at a time (the smallest incubation slices,
// and the application's own pacer): every title-bar button has a size and a place of its own,
// and every button of a button group spans the group. A layout that the building left stuck
// stays so, so a fault here never mends itself within the wait.

#include "HeadsetPlugging.h"

#include "app/App.h"
#include "support/MainWindowRun.h"

#include <QtTest>

#include <memory>

using namespace HidEmu;
using namespace TestSupport;

namespace {

// Device polls run every second; generous for a slow, sanitised CI machine.
constexpr int WaitMs = 20000;
// A layout that is only waiting for its next polish settles within a few frames.
constexpr int SettleMs = 3000;
constexpr int StartsPerRow = 6;

} // namespace

class TestE2eLayoutInvariants : public QObject {
    Q_OBJECT

public:
    explicit TestE2eLayoutInvariants(App& app)
        : m_app(app)
    {
    }

private slots:
    void everyBuildIsLaidOut_data();
    void everyBuildIsLaidOut();

private:
    App& m_app;
};

void TestE2eLayoutInvariants::everyBuildIsLaidOut_data()
{
    QTest::addColumn<bool>("smallestSlices");
    QTest::newRow("smallest slices") << true;
    QTest::newRow("application pacer") << false;
}

void TestE2eLayoutInvariants::everyBuildIsLaidOut()
{
    QFETCH(bool, smallestSlices);
    QObject* appMediator = m_app.getAppMediator();
    for (int start = 0; start < StartsPerRow; ++start) {
        // The first start of each row shows the legal terms; the others the no-device screen,
        // or the headset screen, plugged before the window or while it is up.
        appMediator->setProperty("eulaAccepted", start != 0);
        const bool plugFirst = start % 2 == 1;
        Bus::instance().reset();
        std::shared_ptr<Headset> headset;
        if (plugFirst)
            headset = PlugKestrin(0x4B2E);

        MainWindowRun run(m_app, smallestSlices ? MainWindowRun::Building::SmallestSlices
                                                : MainWindowRun::Building::ApplicationPacer);
        QQuickWindow* window = run.window();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));

        const QByteArray where = "start " + QByteArray::number(start);
        QTRY_VERIFY_WITH_TIMEOUT(Loaded(window, "titleBarLoader"), WaitMs);
        QTRY_VERIFY2_WITH_TIMEOUT(TitleBarFault(Loaded(window, "titleBarLoader")).isEmpty(),
                                  (where + ": " + TitleBarFault(Loaded(window, "titleBarLoader")).toUtf8()).constData(),
                                  SettleMs);

        const char* screen = start == 0 ? "WidgetLegalTerms" : plugFirst ? "WidgetKesMain" : "WidgetNoDevice";
        QTRY_VERIFY_WITH_TIMEOUT(IsA(Loaded(window, "mainLoader"), screen), WaitMs);
        if (start != 0 && !plugFirst) {
            headset = PlugKestrin(0x4B2E);
            QTRY_VERIFY_WITH_TIMEOUT(IsA(Loaded(window, "mainLoader"), "WidgetKesMain"), WaitMs);
        }
        if (start != 0) {
            // The Sound page is the first one shown: its groups are on screen.
            QTRY_VERIFY_WITH_TIMEOUT(
                FindVisual(Loaded(window, "mainLoader"), QStringLiteral("micFilterGroup")) &&
                    FindVisual(Loaded(window, "mainLoader"), QStringLiteral("micFilterGroup"))->isVisible(),
                WaitMs);
            QTRY_VERIFY2_WITH_TIMEOUT(
                ButtonGroupFault(Loaded(window, "mainLoader")).isEmpty(),
                (where + ": " + ButtonGroupFault(Loaded(window, "mainLoader")).toUtf8()).constData(), SettleMs);
        }
        // The bar keeps its buttons apart through the change of screen and of its buttons.
        QVERIFY2(TitleBarFault(Loaded(window, "titleBarLoader")).isEmpty(),
                 (where + ": " + TitleBarFault(Loaded(window, "titleBarLoader")).toUtf8()).constData());
        if (headset) {
            Unplug(headset);
            QTRY_VERIFY_WITH_TIMEOUT(!IsA(Loaded(window, "mainLoader"), "WidgetKesMain"), WaitMs);
        }
    }
}

int main(int argc, char** argv)
{
    QTEST_SET_MAIN_SOURCE_PATH
    return RunWithApp<TestE2eLayoutInvariants>(argc, argv);
}

#include "tst_e2e_layout_invariants.moc"
