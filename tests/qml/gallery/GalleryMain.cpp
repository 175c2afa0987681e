// Shows every control of the library in its states, in the dark theme, for a person to look at.
//   velmor_gallery [--screenshot <file.png>] [--no-animations] [--popups] [--height <px>]
// With --screenshot the window is grabbed once it has been shown and the program exits.
#include "TestApp.h"

#include "theme/ApplicationFonts.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QTimer>
#include <QUrl>

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velmor"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.48"));

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"), QStringLiteral("Save the window to <file> and quit."), QStringLiteral("file"));
    const QCommandLineOption noAnimationsOption(QStringLiteral("no-animations"),
                                                QStringLiteral("Start with animations off."));
    const QCommandLineOption popupsOption(QStringLiteral("popups"),
                                          QStringLiteral("Open the drawer and a dialog at start."));
    parser.addOption(screenshotOption);
    parser.addOption(noAnimationsOption);
    const QCommandLineOption heightOption(QStringLiteral("height"),
                                          QStringLiteral("Window height, to see the whole page at once."),
                                          QStringLiteral("px"));
    parser.addOption(popupsOption);
    parser.addOption(heightOption);
    parser.process(application);

    Theme::RegisterApplicationFonts();

    // Outlives the engine, so no binding sees a null App while the window is torn down.
    TestApp app;
    app.captureOpenedUrls();
    app.setAnimationsEnabled(!parser.isSet(noAnimationsOption));
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral(":/qml"));
    engine.rootContext()->setContextProperty(QStringLiteral("App"), &app);
    // The input controls' page lives in a file of its own; shown when it is there.
    const QString inputsFile = QStringLiteral(VELMOR_GALLERY_DIR "/GalleryInputs.qml");
    engine.rootContext()->setContextProperty(QStringLiteral("GalleryInputsUrl"),
                                             QFile::exists(inputsFile) ? QUrl::fromLocalFile(inputsFile).toString()
                                                                       : QString());
    QVariantMap initialProperties{{QStringLiteral("showPopups"), parser.isSet(popupsOption)}};
    if (parser.isSet(heightOption))
        initialProperties.insert(QStringLiteral("height"), parser.value(heightOption).toInt());
    engine.setInitialProperties(initialProperties);
    engine.load(QUrl::fromLocalFile(QStringLiteral(VELMOR_GALLERY_DIR "/Gallery.qml")));
    if (engine.rootObjects().isEmpty())
        return -1;

    auto* window = qobject_cast<QQuickWindow*>(engine.rootObjects().constFirst());
    if (window && parser.isSet(screenshotOption)) {
        const QString file = parser.value(screenshotOption);
        // Give asynchronous images and the first frames time to settle before grabbing.
        QTimer::singleShot(1500, window, [window, file]() {
            const bool saved = window->grabWindow().save(file);
            if (!saved)
                qWarning("Could not save the screenshot to %s", qPrintable(file));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return application.exec();
}
