#pragma once

// The real Main.qml over an application object, built either in the smallest incubation slices
// or by the application's own pacer, as a test starts it again and again. Header-only; link
// velmor_app and velmor_qml.

#include "app/App.h"
#include "app/IncubationPacer.h"
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
        else
            m_pacer.install(m_engine);
        m_engine.rootContext()->setContextProperty(QStringLiteral("App"), &app);
        m_engine.addImportPath(QStringLiteral(":/qml"));
        m_engine.load(QUrl(QStringLiteral("qrc:/qml/Velmor/Main.qml")));
    }

    // The window, or null when Main.qml did not load.
    QQuickWindow* window() const
    {
        return m_engine.rootObjects().size() == 1 ? qobject_cast<QQuickWindow*>(m_engine.rootObjects().constFirst())
                                                  : nullptr;
    }

private:
    // The controllers outlive the engine that uses them.
    SmallestSliceIncubation m_smallest;
    IncubationPacer m_pacer;
    QQmlApplicationEngine m_engine;
};

} // namespace TestSupport
