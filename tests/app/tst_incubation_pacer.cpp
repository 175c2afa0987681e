// The start-up's pacer of asynchronous QML building: the main window's screens come up through
// it alone, so a build it did not drive would never end.

#include "app/IncubationPacer.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
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
};

void TestIncubationPacer::buildsAnAsynchronousLoadToTheEnd_data()
{
    QTest::addColumn<bool>("installedFirst");
    QTest::newRow("installed before the build") << true;
    // The window installs a controller of its own while it is created, so the pacer takes over
    // from it with builds already under way.
    QTest::newRow("taking over a build under way") << false;
}

void TestIncubationPacer::buildsAnAsynchronousLoadToTheEnd()
{
    QFETCH(bool, installedFirst);

    QQmlEngine engine;
    IncubationPacer pacer;
    IdleController window;
    if (installedFirst)
        pacer.install(engine);
    else
        engine.setIncubationController(&window);
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
    const std::unique_ptr<QObject> root(component.create());
    QVERIFY2(root, qPrintable(component.errorString()));
    auto* loader = root->property("loader").value<QObject*>();
    QVERIFY(loader);
    // Nothing is built before the event loop runs.
    QCOMPARE(loader->property("status").toInt(), 2); // Loader.Loading
    if (!installedFirst)
        pacer.install(engine);

    QTRY_COMPARE_WITH_TIMEOUT(loader->property("status").toInt(), 1, 30000); // Loader.Ready
    auto* column = loader->property("item").value<QQuickItem*>();
    QVERIFY(column);
    QCOMPARE(column->property("count").toInt(), 400);
    QCOMPARE(pacer.incubatingObjectCount(), 0);
}

QTEST_MAIN(TestIncubationPacer)
#include "tst_incubation_pacer.moc"
