#include "TestApp.h"

#include "theme/ApplicationFonts.h"

#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

// Gives every QML test file the context the controls expect: "App" with the real theme and a
// switchable animation setting, the module's import path and the application fonts.
class QmlTestSetup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Velmor"));
        QCoreApplication::setOrganizationName(QStringLiteral("Velmor"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.48"));
        if (Theme::RegisterApplicationFonts() != Theme::ApplicationFontFiles().size())
            qWarning("Not every application font could be registered");
    }

    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->addImportPath(QStringLiteral(":/qml"));
        auto* app = new TestApp(engine);
        app->captureOpenedUrls();
        engine->rootContext()->setContextProperty(QStringLiteral("App"), app);
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
};

QUICK_TEST_MAIN_WITH_SETUP(velmor_qml, QmlTestSetup)

#include "tst_qml_main.moc"
