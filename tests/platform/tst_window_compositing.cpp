// The X11 compositing check against a real X server (a virtual one, with no compositing manager
// of its own) and a stand-in compositor that takes and gives up the compositor's selection.

#include "platform/WindowCompositing.h"
#include "support/x11/FakeCompositor.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>

class TestWindowCompositing : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void noCompositorMeansSquareCorners();
    void compositorRunningAtStartIsSeen();
    void compositorThatStartsAndStopsIsFollowed_data();
    void compositorThatStartsAndStopsIsFollowed();
};

void TestWindowCompositing::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (tests/support/x11/on-x-server.sh)");
}

void TestWindowCompositing::noCompositorMeansSquareCorners()
{
    const auto check = Platform::CreateWindowCompositing();
    QVERIFY(!check->isComposited());
}

void TestWindowCompositing::compositorRunningAtStartIsSeen()
{
    TestSupport::FakeCompositor compositor;
    QVERIFY(compositor.start(QStringLiteral(VELMOR_FAKE_COMPOSITOR)));
    const auto check = Platform::CreateWindowCompositing();
    QVERIFY(check->isComposited());
}

// Each way a compositor's ownership ends, as the X server reports it.
void TestWindowCompositing::compositorThatStartsAndStopsIsFollowed_data()
{
    QTest::addColumn<QString>("ending");
    QTest::newRow("selection released") << QStringLiteral("release");
    QTest::newRow("window destroyed") << QStringLiteral("destroy");
    QTest::newRow("program ended") << QStringLiteral("quit");
}

void TestWindowCompositing::compositorThatStartsAndStopsIsFollowed()
{
    QFETCH(QString, ending);
    const auto check = Platform::CreateWindowCompositing();
    QVERIFY(!check->isComposited());
    QSignalSpy changed(check.get(), &Platform::WindowCompositing::compositedChanged);

    TestSupport::FakeCompositor compositor;
    QVERIFY(compositor.start(QStringLiteral(VELMOR_FAKE_COMPOSITOR)));
    QTRY_VERIFY_WITH_TIMEOUT(check->isComposited(), 10000);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toBool(), true);

    if (ending == QLatin1String("release"))
        QVERIFY(compositor.release());
    else if (ending == QLatin1String("destroy"))
        QVERIFY(compositor.destroyWindow());
    else
        QVERIFY(compositor.quit());
    QTRY_VERIFY_WITH_TIMEOUT(!check->isComposited(), 10000);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(1).at(0).toBool(), false);
}

QTEST_MAIN(TestWindowCompositing)
#include "tst_window_compositing.moc"
