// The application object's work after the first frame: the app-update and news checks load the
// TLS back end, so they wait until the window has drawn its first frame (or, for a window that
// draws none, a few seconds), and so does the registration of the application fonts. Over the
// emulated USB bus, so that no device of the machine is touched.

#include "app/App.h"
#include "theme/DarkTheme.h"
#include "ui_mediators/UIAppMediator.h"

#include <QFontDatabase>
#include <QQuickWindow>
#include <QStandardPaths>
#include <QtTest>

using UIMediators::UIAppMediator;

class TestE2eStartup : public QObject {
    Q_OBJECT

public:
    TestE2eStartup(int& argc, char** argv)
        : m_argc(argc)
        , m_argv(argv)
    {
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    // First: the fonts, once registered, stay for the rest of the process.
    void fontsAreRegisteredAfterTheFirstFrame();
    void updateChecksWaitForTheFirstFrame_data();
    void updateChecksWaitForTheFirstFrame();

private:
    int& m_argc;
    char** m_argv;
};

void TestE2eStartup::fontsAreRegisteredAfterTheFirstFrame()
{
    const auto registered = [] { return QFontDatabase::families().contains(QLatin1String(Theme::CaptionFontFamily)); };
    App app(m_argc, m_argv);
    if (registered())
        QSKIP("the caption font is installed on this machine");

    QQuickWindow quickWindow;
    quickWindow.resize(320, 200);
    app.deferUntilFirstFrame(&quickWindow);
    QCoreApplication::processEvents();
    QVERIFY(!registered());
    quickWindow.show();
    QTRY_VERIFY_WITH_TIMEOUT(registered(), 15000);
}

void TestE2eStartup::updateChecksWaitForTheFirstFrame_data()
{
    QTest::addColumn<bool>("window");
    QTest::newRow("window drawn") << true;
    QTest::newRow("no frame comes") << false;
}

void TestE2eStartup::updateChecksWaitForTheFirstFrame()
{
    QFETCH(bool, window);

    App app(m_argc, m_argv);
    const auto status = [&] { return app.getAppMediator()->property("updateStatus").toInt(); };
    // Nothing is asked for while the window is being built.
    QCOMPARE(status(), int(UIAppMediator::None));
    QCoreApplication::processEvents();
    QCOMPARE(status(), int(UIAppMediator::None));

    QQuickWindow quickWindow;
    if (window) {
        quickWindow.resize(320, 200);
        app.deferUntilFirstFrame(&quickWindow);
        QCoreApplication::processEvents();
        QCOMPARE(status(), int(UIAppMediator::None));
        quickWindow.show();
    }
    QTRY_VERIFY_WITH_TIMEOUT(status() != int(UIAppMediator::None), 15000);
}

int main(int argc, char** argv)
{
    TestE2eStartup test(argc, argv);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_startup.moc"
