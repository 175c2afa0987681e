#pragma once

// The real Main.qml over an application object, built either in the smallest incubation slices
// or by the application's own pacer, as a test starts it again and again. Header-only; link
// velmor_app and velmor_qml.

#include "app/App.h"
#include "support/MainWindowProbe.h"

#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>

namespace TestSupport {

class MainWindowRun {
public:
    MainWindowRun(App& app, bool smallestSlices)
    {
        if (smallestSlices)
            m_engine.setIncubationController(&m_smallest);
        m_engine.rootContext()->setContextProperty(QStringLiteral("App"), &app);
        m_engine.addImportPath(QStringLiteral(":/qml"));
        m_engine.load(QUrl(QStringLiteral("qrc:/qml/Velmor/Main.qml")));
        // As the real start-up does: the application's pacer builds from the first frame on.
        if (!smallestSlices)
            app.takeOverIncubation(m_engine);
    }

    // The window, or null when Main.qml did not load.
    QQuickWindow* window() const
    {
        return m_engine.rootObjects().size() == 1 ? qobject_cast<QQuickWindow*>(m_engine.rootObjects().constFirst())
                                                  : nullptr;
    }

private:
    // The controller outlives the engine that uses it.
    SmallestSliceIncubation m_smallest;
    QQmlApplicationEngine m_engine;
};

} // namespace TestSupport
