// The start-up's pacer of asynchronous QML building: the main window's screens come up through
// it alone, so a build it did not drive would never end.

#include "app/IncubationPacer.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

#include <memory>

namespace {

// Stands for the controller that the window installs; it never builds anything itself.
class IdleController final : public QQmlIncubationController { };

} // namespace

class TestIncubationPacer : public QObject {
    Q_OBJECT

private slots:
    void buildsAnAsynchronousLoadToTheEnd_data();
    void buildsAnAsynchronousLoadToTheEnd();
    void holdsTheBuildUntilReleased();
    void slicesAreLongUntilContentIsShown();
};

namespace {

constexpr int LoaderReady = 1;   // Loader.Ready
constexpr int LoaderLoading = 2; // Loader.Loading

// An item whose Loader builds a column of rectangles asynchronously.
std::unique_ptr<QObject> CreateAsynchronousLoad(QQmlEngine& engine)
{
    QQmlComponent component(&engine);
    component.setData(R"(
import QtQuick
Item {
    property alias loader: loader
    Loader {
        id: loader
        asynchronous: true
        sourceComponent: Component {
            Column {
                property int count: repeater.count
                Repeater {
                    id: repeater
                    model: 400
                    Rectangle { width: 10 + index % 7; height: 2; color: index % 2 ? "red" : "blue" }
                }
            }
        }
    }
}
)",
                      QUrl());
    std::unique_ptr<QObject> root(component.create());
    if (!root)
        qWarning("%s", qPrintable(component.errorString()));
    return root;
}

int LoaderStatus(QObject* root)
{
    return root->property("loader").value<QObject*>()->property("status").toInt();
}

// Runs the event loop for a while, so that a pacer that is not held would have built a good
// deal by then.
void RunEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

void TestIncubationPacer::buildsAnAsynchronousLoadToTheEnd_data()
{
    QTest::addColumn<bool>("installedFirst");
    QTest::addColumn<bool>("contentShown");
    QTest::newRow("installed before the build") << true << true;
    // The window installs a controller of its own while it is created, so the pacer takes over
    // from it with builds already under way.
    QTest::newRow("taking over a build under way") << false << true;
    // Before the window shows content: long slices.
    QTest::newRow("long slices") << true << false;
}

void TestIncubationPacer::buildsAnAsynchronousLoadToTheEnd()
{
    QFETCH(bool, installedFirst);
    QFETCH(bool, contentShown);

    QQmlEngine engine;
    IncubationPacer pacer;
    if (contentShown)
        pacer.setContentShown();
    IdleController window;
    if (installedFirst)
        pacer.install(engine);
    else
        engine.setIncubationController(&window);
    const auto root = CreateAsynchronousLoad(engine);
    QVERIFY(root);
    auto* loader = root->property("loader").value<QObject*>();
    QVERIFY(loader);
    // Nothing is built before the event loop runs.
    QCOMPARE(loader->property("status").toInt(), LoaderLoading);
    if (!installedFirst)
        pacer.install(engine);

    QTRY_COMPARE_WITH_TIMEOUT(loader->property("status").toInt(), LoaderReady, 30000);
    auto* column = loader->property("item").value<QQuickItem*>();
    QVERIFY(column);
    QCOMPARE(column->property("count").toInt(), 400);
    QCOMPARE(pacer.incubatingObjectCount(), 0);
}

void TestIncubationPacer::holdsTheBuildUntilReleased()
{
    QQmlEngine engine;
    IncubationPacer pacer;
    pacer.install(engine);
    pacer.hold();
    const auto root = CreateAsynchronousLoad(engine);
    QVERIFY(root);

    RunEventLoopFor(200);
    QCOMPARE(LoaderStatus(root.get()), LoaderLoading);
    QVERIFY(pacer.incubatingObjectCount() > 0);

    pacer.release();
    QTRY_COMPARE_WITH_TIMEOUT(LoaderStatus(root.get()), LoaderReady, 30000);
    QCOMPARE(pacer.incubatingObjectCount(), 0);
}

void TestIncubationPacer::slicesAreLongUntilContentIsShown()
{
    IncubationPacer pacer;
    QCOMPARE(pacer.sliceMs(), IncubationPacer::LongSliceMs);
    QVERIFY(IncubationPacer::LongSliceMs > IncubationPacer::SliceMs);

    // Short from the first content on, for good.
    pacer.setContentShown();
    QCOMPARE(pacer.sliceMs(), IncubationPacer::SliceMs);
    pacer.hold();
    pacer.release();
    QCOMPARE(pacer.sliceMs(), IncubationPacer::SliceMs);
}

QTEST_MAIN(TestIncubationPacer)
#include "tst_incubation_pacer.moc"
