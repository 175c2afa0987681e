// The application object's start-up checks: the app-update and news checks load the TLS back end,
// so they wait until the window has drawn its first frame (or, for a window that draws none, a
// few seconds). Over the emulated USB bus, so that no device of the machine is touched.

#include "app/App.h"
#include "ui_mediators/UIAppMediator.h"

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
    void updateChecksWaitForTheFirstFrame_data();
    void updateChecksWaitForTheFirstFrame();

private:
    int& m_argc;
    char** m_argv;
};

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
        app.runChecksAfterFirstFrame(&quickWindow);
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
