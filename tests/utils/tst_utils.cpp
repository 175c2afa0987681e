#include "utils/Utils.h"

#include <QCoreApplication>
#include <QtTest>

#include <thread>
#include <vector>

class TestUtils : public QObject {
    Q_OBJECT
private slots:
    void withFileSuffix_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no extension") << "/home/u/Night FPS"
                                      << "/home/u/Night FPS.lvreq";
        QTest::newRow("has it") << "/home/u/night.lvreq"
                                << "/home/u/night.lvreq";
        QTest::newRow("has it in capitals") << "/home/u/NIGHT.LVREQ"
                                            << "/home/u/NIGHT.LVREQ";
        QTest::newRow("another extension") << "/home/u/night.txt"
                                           << "/home/u/night.txt.lvreq";
        QTest::newRow("extension as a folder name") << "/home/u.lvreq/night"
                                                    << "/home/u.lvreq/night.lvreq";
        QTest::newRow("folder") << "/home/u/"
                                << "/home/u/";
        QTest::newRow("empty") << ""
                               << "";
    }
    void withFileSuffix()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(Utils::WithFileSuffix(path, QStringLiteral(".lvreq")), expected);
    }
    void localPathFromDialog_data()
    {
        QTest::addColumn<QUrl>("selected");
        QTest::addColumn<QUrl>("folder");
        QTest::addColumn<QString>("expected");
        const QUrl folder = QUrl::fromLocalFile(QStringLiteral("/home/u/My Presets"));
        QTest::newRow("file url") << QUrl::fromLocalFile(QStringLiteral("/home/u/My Presets/Bass.lvreq")) << folder
                                  << "/home/u/My Presets/Bass.lvreq";
        QTest::newRow("file url elsewhere") << QUrl(QStringLiteral("file:///tmp/a%20b")) << folder << "/tmp/a b";
        QTest::newRow("absolute path without scheme")
            << QUrl(QStringLiteral("/home/u/My Presets/Typed Bass")) << folder << "/home/u/My Presets/Typed Bass";
        QTest::newRow("encoded path without scheme")
            << QUrl(QStringLiteral("/home/u/My%20Presets/Typed%20Bass")) << folder << "/home/u/My Presets/Typed Bass";
        QTest::newRow("relative name") << QUrl(QStringLiteral("Typed Bass")) << folder
                                       << "/home/u/My Presets/Typed Bass";
        QTest::newRow("relative name, folder without scheme")
            << QUrl(QStringLiteral("Typed Bass.lvreq")) << QUrl(QStringLiteral("/home/u"))
            << "/home/u/Typed Bass.lvreq";
        QTest::newRow("relative path") << QUrl(QStringLiteral("sub/../Typed")) << folder << "/home/u/My Presets/Typed";
        QTest::newRow("relative name, no folder") << QUrl(QStringLiteral("Typed Bass")) << QUrl() << "";
        QTest::newRow("relative name, remote folder")
            << QUrl(QStringLiteral("Typed Bass")) << QUrl(QStringLiteral("https://example.invalid/x")) << "";
        QTest::newRow("remote") << QUrl(QStringLiteral("https://example.invalid/logs.zip")) << folder << "";
        QTest::newRow("empty") << QUrl() << folder << "";
    }
    void localPathFromDialog()
    {
        QFETCH(QUrl, selected);
        QFETCH(QUrl, folder);
        QFETCH(QString, expected);
        QCOMPARE(Utils::LocalPathFromDialog(selected, folder), expected);
    }
    void reverseEndian_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("one") << QByteArray("\x01", 1) << QByteArray("\x01", 1);
        QTest::newRow("three") << QByteArray("\x01\x02\x03", 3) << QByteArray("\x03\x02\x01", 3);
        QTest::newRow("four") << QByteArray("\x01\x02\x03\x04", 4) << QByteArray("\x04\x03\x02\x01", 4);
    }
    void reverseEndian()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, expected);
        std::vector<uint8_t> bytes(input.begin(), input.end());
        Utils::Raw::ReverseEndianImpl(bytes.data(), bytes.size());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())), expected);
    }

    void asciiOnly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ascii");
        QTest::newRow("abc") << QStringLiteral("abc") << true;
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("latin1") << QStringLiteral("C:/Users/J\u00f6rg") << false;
        QTest::newRow("surrogate pair") << QStringLiteral("\U0001F600") << false;
    }
    void asciiOnly()
    {
        QFETCH(QString, text);
        QFETCH(bool, ascii);
        QCOMPARE(Utils::IsAsciiOnly(text), ascii);
    }

    void successFail()
    {
        QCOMPARE(Utils::GetStrSuccessFail(true), "success");
        QCOMPARE(Utils::GetStrSuccessFail(false), "fail");
        QVERIFY(Utils::GetDummyQString().isEmpty());
        QCOMPARE(&Utils::GetDummyQString(), &Utils::GetDummyQString());
    }

    void banner()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Velmor"));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.2.48"));
        const QStringList lines = Utils::GetApplicationInfo().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith(QStringLiteral("OS: ")));
        QCOMPARE(lines[1], QStringLiteral("Qt versions: compiled = " QT_VERSION_STR "; linked = ") + qVersion());
        QVERIFY(lines[2].startsWith(QStringLiteral("Velmor version: 1.2.48 (")));
        QVERIFY(lines[3].isEmpty());
    }

    void mainThreadMarker()
    {
        bool otherThread = true;
        std::thread before([&] { otherThread = Utils::IsMainThread(); });
        before.join();
        QVERIFY(!otherThread);
        Utils::SetUpMainThread();
        QVERIFY(Utils::IsMainThread());
        std::thread after([&] { otherThread = Utils::IsMainThread(); });
        after.join();
        QVERIFY(!otherThread);
    }

    void scopeGuards()
    {
        int calls = 0;
        {
            Utils::ScopeGuard guard([&] { ++calls; });
        }
        QCOMPARE(calls, 1);
        {
            Utils::ScopeGuardCancelable guard([&] { ++calls; });
            guard.cancel();
        }
        QCOMPARE(calls, 1);
        {
            Utils::ScopeGuardCancelable guard([&] { ++calls; });
        }
        QCOMPARE(calls, 2);
    }
};

QTEST_GUILESS_MAIN(TestUtils)
#include "tst_utils.moc"
