// The window fitted to a screen smaller than its designed size.

#include "app/WindowFit.h"
#include "core/GlobalLogger.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <algorithm>

class TestWindowFit : public QObject {
    Q_OBJECT

private slots:
    void fitsTheScreen_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<bool>("changed");
        const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
        QTest::newRow("designed size, larger than the screen") << QSize(1200, 688) << QSize(1200, 688) << true;
        QTest::newRow("only the height is too large")
            << QSize(screen.width() - 10, screen.height() + 100) << QSize(100, 100) << true;
        QTest::newRow("fits") << screen - QSize(10, 10) << QSize(100, 100) << false;
    }
    void fitsTheScreen()
    {
        QFETCH(QSize, size);
        QFETCH(QSize, minimum);
        QFETCH(bool, changed);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        GlobalLogger::Instance()->initFile(dir.filePath("fit.log"));

        QWindow window;
        window.setMinimumSize(minimum);
        window.resize(size);
        window.setPosition(window.screen()->availableGeometry().topLeft());
        QCOMPARE(FitWindowToScreen(&window), changed);
        const QRect available = window.screen()->availableGeometry();
        QVERIFY(window.minimumWidth() <= available.width());
        QVERIFY(window.minimumHeight() <= available.height());
        QVERIFY2(available.contains(window.geometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                       .arg(window.x())
                                                                       .arg(window.y())
                                                                       .arg(window.width())
                                                                       .arg(window.height())));
        // Nothing smaller than needed.
        QCOMPARE(window.width(), std::min(size.width(), available.width()));
        QCOMPARE(window.height(), std::min(size.height(), available.height()));

        GlobalLogger::Instance()->initFile(dir.filePath("after.log"));
        QFile log(dir.filePath("fit.log"));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll().contains("does not fit the screen"), changed);
    }
};

QTEST_MAIN(TestWindowFit)
#include "tst_window_fit.moc"
