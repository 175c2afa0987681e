// The reference for the start-up benchmark: a bare Qt Quick window of the application's default
// size with one rectangle, started the way the application starts its own (a QApplication and a
// QQmlApplicationEngine). It exits after its first frame, once the driver's hold time is over.
// See scripts/bench-startup.py.

#include "StartupProbe.h"

#include <QApplication>
#include <QQmlApplicationEngine>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    StartupProbe::FirstFrameWatch watch([] { StartupProbe::HoldThenExit(0); });
    QQmlApplicationEngine engine;
    engine.loadData(R"(
import QtQuick
import QtQuick.Window
Window {
    width: 1200
    height: 688
    visible: true
    Rectangle { anchors.fill: parent; color: "#1d1d1f" }
}
)");
    if (engine.rootObjects().isEmpty())
        return -1;
    return app.exec();
}
