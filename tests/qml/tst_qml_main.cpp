#include "HeldNetwork.h"
#include "TestApp.h"
#include "ui_models/QmlEnumTypes.h"

#include "theme/ApplicationFonts.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

// Gives every QML test file the context the controls expect: "App" with the real theme and a
// switchable animation setting, the module's import path, the application fonts and the enum
// types of "Velmor.Enums".
class QmlTestSetup : public QObject {
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        // Controls follow the mouse as on a desktop with a pointer, also when the test is run
        // by hand without CTest's environment.
        if (!qEnvironmentVariableIsSet("QT_QUICK_CONTROLS_HOVER_ENABLED"))
            qputenv("QT_QUICK_CONTROLS_HOVER_ENABLED", "1");
        QCoreApplication::setApplicationName(QStringLiteral("Velmor"));
        QCoreApplication::setOrganizationName(QStringLiteral("Velmor"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.48"));
        if (Theme::RegisterApplicationFonts() != Theme::ApplicationFontFiles().size())
            qWarning("Not every application font could be registered");
        UIModels::RegisterQmlEnumTypes();
    }

    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->addImportPath(QStringLiteral(":/qml"));
        engine->setNetworkAccessManagerFactory(&m_network);
        auto* app = new TestApp(engine);
        app->captureOpenedUrls();
        engine->rootContext()->setContextProperty(QStringLiteral("App"), app);
        engine->rootContext()->setContextProperty(QStringLiteral("HeldRequests"), &HeldRequestLog::Instance());
    }

    void cleanupTestCase()
    {
        // TestCase destroys temporary objects with deleteLater(); deliver those deletions so
        // the last test's items (and the images they hold) are freed before the process ends.
        for (int round = 0; round < 3; ++round) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

private:
    HeldNetworkFactory m_network;
};

QUICK_TEST_MAIN_WITH_SETUP(velmor_qml, QmlTestSetup)

#include "tst_qml_main.moc"
