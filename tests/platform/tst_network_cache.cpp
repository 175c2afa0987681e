#include "platform/CacheFiles.h"

#include <QtTest>

using Platform::CacheFileSet;

namespace {

QByteArray Read(const QDir& dir, const QString& name)
{
    QFile file(dir.absoluteFilePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void Write(const QDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.absoluteFilePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// An old, complete set: two files and the marker that vouches for them.
void WriteOldSet(const QDir& dir)
{
    Write(dir, "a.bin", "old a");
    Write(dir, "b.bin", "old b");
    Write(dir, "fw_ver", "1.0");
}

} // namespace

class TestNetworkCache : public QObject {
    Q_OBJECT
private slots:
    void commitReplacesEveryFileAndTheMarkerLast()
    {
        QTemporaryDir tmp;
        QDir dir(tmp.path());
        WriteOldSet(dir);

        CacheFileSet files(dir, "fw_ver");
        QVERIFY(files.add("a.bin", "new a"));
        QVERIFY(files.add("b.bin", "new b"));
        QVERIFY(files.add("fw_ver", "2.0"));
        // Nothing is replaced before the commit.
        QCOMPARE(Read(dir, "a.bin"), QByteArray("old a"));
        QCOMPARE(Read(dir, "fw_ver"), QByteArray("1.0"));

        QVERIFY(files.commit());
        QVERIFY(files.errorString().isEmpty());
        QCOMPARE(Read(dir, "a.bin"), QByteArray("new a"));
        QCOMPARE(Read(dir, "b.bin"), QByteArray("new b"));
        QCOMPARE(Read(dir, "fw_ver"), QByteArray("2.0"));
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden, QDir::Name), QStringList({"a.bin", "b.bin", "fw_ver"}));
    }

    void failedStagingKeepsTheOldSet_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::newRow("empty content") << QString();
        QTest::newRow("target is a folder") << QStringLiteral("b.bin");
    }
    void failedStagingKeepsTheOldSet()
    {
        QFETCH(QString, failing);
        QTemporaryDir tmp;
        QDir dir(tmp.path());
        WriteOldSet(dir);
        if (!failing.isEmpty()) {
            QVERIFY(dir.remove(failing));
            QVERIFY(dir.mkpath(failing + "/inside"));
        }

        {
            CacheFileSet files(dir, "fw_ver");
            QVERIFY(files.add("a.bin", "new a"));
            QVERIFY(!files.add("b.bin", failing.isEmpty() ? QByteArray() : QByteArray("new b")));
            QVERIFY(!files.add("fw_ver", "2.0")); // nothing is taken after a failure
            QVERIFY(!files.commit());
            QVERIFY(!files.errorString().isEmpty());
        }
        QCOMPARE(Read(dir, "a.bin"), QByteArray("old a"));
        QCOMPARE(Read(dir, "fw_ver"), QByteArray("1.0"));
        // No temporary file is left behind.
        QStringList expected{"a.bin", "fw_ver"};
        if (failing.isEmpty())
            expected.insert(1, "b.bin");
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    }

    void failedRenameLeavesNoMarker()
    {
        // The folder changes under the writer: a file of the set becomes a folder after staging.
        QTemporaryDir tmp;
        QDir dir(tmp.path());
        WriteOldSet(dir);

        CacheFileSet files(dir, "fw_ver");
        QVERIFY(files.add("a.bin", "new a"));
        QVERIFY(files.add("b.bin", "new b"));
        QVERIFY(files.add("fw_ver", "2.0"));
        QVERIFY(dir.remove("b.bin"));
        QVERIFY(dir.mkpath("b.bin/inside"));

        QVERIFY(!files.commit());
        // Without its marker the half-replaced set counts as not saved.
        QVERIFY(!QFile::exists(dir.absoluteFilePath("fw_ver")));
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden, QDir::Name), QStringList({"a.bin"}));
    }

    void markerSize_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("read");
        QTest::newRow("empty") << 0 << true;
        QTest::newRow("1000 bytes") << 1000 << true;
        QTest::newRow("1001 bytes") << 1001 << false;
    }
    void markerSize()
    {
        QFETCH(int, size);
        QFETCH(bool, read);
        QTemporaryDir tmp;
        QDir dir(tmp.path());
        Write(dir, "ver", QByteArray(size, 'x'));
        QByteArray out("untouched");
        QCOMPARE(Platform::ReadCacheMarker(dir, "ver", out), read);
        QCOMPARE(out, read ? QByteArray(size, 'x') : QByteArray("untouched"));
        QVERIFY(!Platform::ReadCacheMarker(dir, "absent", out));
    }

    void plainFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plain");
        QTest::newRow("installer") << "VelmorSetup 1.3.0.exe" << true;
        QTest::newRow("dots inside") << "a..b" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("parent path") << "../settings.ini" << false;
        QTest::newRow("absolute") << "/etc/passwd" << false;
        QTest::newRow("nul") << QString("a") + QChar(0) + "b" << false;
        QTest::newRow("line end") << "Setup\nevil.exe" << false;
        QTest::newRow("carriage return") << "Setup\r.exe" << false;
        QTest::newRow("tab") << "Setup\t.exe" << false;
        QTest::newRow("escape") << "Setup\x1b[2J.exe" << false;
        QTest::newRow("delete") << "Setup\x7f.exe" << false;
        QTest::newRow("C1 control") << QString("Setup") + QChar(0x85) + ".exe" << false;
        QTest::newRow("right-to-left override") << QString("Setup") + QChar(0x202E) + "exe.txt" << false;
        QTest::newRow("backslash") << "..\\evil.exe" << false;
        QTest::newRow("accented") << QString("Install") + QChar(0xE9) + ".exe" << true;
    }
    void plainFileNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, plain);
        QCOMPARE(Platform::IsPlainFileName(name), plain);
    }
};

QTEST_GUILESS_MAIN(TestNetworkCache)
#include "tst_network_cache.moc"
