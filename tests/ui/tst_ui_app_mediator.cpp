#include "app/core/Preferences.h"
#include "platform/NetworkUpdater.h"
#include "ui_mediators/UIAppMediator.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

using UIMediators::UIAppMediator;

class TestUiAppMediator : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void preferencesRoundTrip();
    void closingBlocksCount();
    void nothingToUpdate();
    void logsNeedALocalFile();
};

void TestUiAppMediator::preferencesRoundTrip()
{
    Platform::NetworkUpdater updater;
    {
        Preferences preferences;
        UIAppMediator mediator(updater, preferences, nullptr);
        QVERIFY(!mediator.isEulaAccepted());
        QVERIFY(!mediator.getMinimizeToTray());
        QSignalSpy eula(&mediator, &UIAppMediator::eulaAcceptedChanged);
        QSignalSpy tray(&mediator, &UIAppMediator::minimizeToTrayChanged);

        QVERIFY(mediator.setProperty("eulaAccepted", true));
        mediator.setEulaAccepted(true); // unchanged: nothing
        mediator.setMinimizeToTray(true);
        QCOMPARE(eula.count(), 1);
        QCOMPARE(tray.count(), 1);
        QVERIFY(mediator.isEulaAccepted());
        QVERIFY(mediator.getMinimizeToTray());
    }
    // The next run reads them back.
    Preferences preferences;
    UIAppMediator mediator(updater, preferences, nullptr);
    QVERIFY(mediator.isEulaAccepted());
    QVERIFY(mediator.getMinimizeToTray());
    mediator.setEulaAccepted(false);
    mediator.setMinimizeToTray(false);
}

void TestUiAppMediator::closingBlocksCount()
{
    Platform::NetworkUpdater updater;
    Preferences preferences;
    UIAppMediator mediator(updater, preferences, nullptr);
    QVERIFY(!mediator.isClosingBlocked());
    mediator.addClosingBlock();
    mediator.addClosingBlock();
    mediator.removeClosingBlock();
    QVERIFY(mediator.isClosingBlocked());
    mediator.removeClosingBlock();
    QVERIFY(!mediator.isClosingBlocked());
}

void TestUiAppMediator::nothingToUpdate()
{
    Platform::NetworkUpdater updater;
    Preferences preferences;
    UIAppMediator mediator(updater, preferences, nullptr);
    QCOMPARE(mediator.getUpdateStatus(), UIAppMediator::None);
    QVERIFY(!mediator.notificationBadge());
    QVERIFY(!mediator.isDialogNeeded());
    QVERIFY(mediator.proceedUpdate());
    QCOMPARE(mediator.getUpdateStatus(), UIAppMediator::None);
}

void TestUiAppMediator::logsNeedALocalFile()
{
    Platform::NetworkUpdater updater;
    Preferences preferences;
    UIAppMediator mediator(updater, preferences, nullptr);
    QVERIFY(!mediator.saveLogsToFile(QUrl("https://example.invalid/logs.zip")));
    QVERIFY(!mediator.saveLogsToFile(QUrl()));
}

QTEST_GUILESS_MAIN(TestUiAppMediator)
#include "tst_ui_app_mediator.moc"
