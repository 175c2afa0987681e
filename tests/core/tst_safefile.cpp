#include "core/AppDataFolder.h"
#include "core/GlobalLogger.h"
#include "core/SafeFile.h"
#include "support/FullDisk.h"
#include "support/LogText.h"
#include "support/TestAppData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using TestSupport::LogText;

namespace {

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestSafeFile : public QObject {
    Q_OBJECT

    QString m_outside; // a folder beside the data folder

private slots:
    void initTestCase()
    {
        TestSupport::UseTestAppData();
        if (!TestSupport::IsFullDiskRun())
            QVERIFY(TestSupport::ClearAppData());
        m_outside = QDir::cleanPath(TestSupport::AppDataPath() + QStringLiteral("/../outside"));
        QVERIFY(QDir().mkpath(m_outside));
        QVERIFY(QDir().mkpath(AppDataFolder()));
    }

    // On a full disk the write fails before anything is renamed: the old file stays whole and the
    // failure names the full disk.
    void fullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("a few bytes") << 10;
        QTest::newRow("more than a buffer") << 40000;
    }
    void fullDiskKeepsTheOldFile()
    {
        const QString folder = TestSupport::AppDataPath(QStringLiteral("full"));
        if (!TestSupport::IsFullDiskRun())
            VELMOR_RUN_ON_FULL_DISK(folder, "TestSafeFile", "fullDiskKeepsTheOldFile");
        QFETCH(int, size);
        const QString path = folder + QStringLiteral("/data.bin");
        QFile::remove(folder + QStringLiteral("/filler"));
        WriteFile(path, "old content");
        QVERIFY(TestSupport::FillDisk(folder));

        QString error;
        QVERIFY(!WriteFileWhole(path, QByteArray(size, 'n'), error, AppDataFolder()));
        QVERIFY2(error.contains(QStringLiteral("cannot write %1").arg(path)) && error.contains("the disk is full"),
                 qPrintable(error));
        QCOMPARE(ReadFile(path), QByteArray("old content"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 QStringList({"data.bin", "filler"})); // no temporary file left
    }

    // A link in the data folder is replaced by a plain file; what it pointed to is never written.
    void linkIsReplacedNeverWrittenThrough_data()
    {
        QTest::addColumn<bool>("dangling");
        QTest::newRow("to a file") << false;
        QTest::newRow("dangling") << true;
    }
    void linkIsReplacedNeverWrittenThrough()
    {
        QFETCH(bool, dangling);
        const QString victim = m_outside + QStringLiteral("/victim");
        QFile::remove(victim);
        if (!dangling)
            WriteFile(victim, "someone else's");
        const QString path = AppDataFilePath(QStringLiteral("cache.json"));
        QFile::remove(path);
        QVERIFY(QFile::link(victim, path));
        const QString logBefore = LogText();

        QString error;
        QVERIFY2(WriteFileWhole(path, "ours", error, AppDataFolder()), qPrintable(error));
        QVERIFY(!QFileInfo(path).isSymLink());
        QCOMPARE(ReadFile(path), QByteArray("ours"));
        QCOMPARE(QFileInfo::exists(victim), !dangling);
        if (!dangling)
            QCOMPARE(ReadFile(victim), QByteArray("someone else's"));
        const QString log = LogText().mid(logBefore.size());
        QVERIFY2(log.contains(QStringLiteral("%1 was a link to %2; it is replaced by a plain file").arg(path, victim)),
                 qPrintable(log));
    }

    // A file whose folder lies outside the data folder, through a linked folder too, is refused.
    void outsideTheDataFolderIsRefused()
    {
        const QString linked = AppDataFilePath(QStringLiteral("linked"));
        QFile::remove(linked);
        QVERIFY(QFile::link(m_outside, linked));
        for (const QString& path : {m_outside + QStringLiteral("/x.json"), linked + QStringLiteral("/x.json")}) {
            QString error;
            QVERIFY(!WriteFileWhole(path, "ours", error, AppDataFolder()));
            QVERIFY2(error.contains("is not inside"), qPrintable(error));
        }
        QVERIFY(!QFileInfo::exists(m_outside + QStringLiteral("/x.json")));
    }

    // A FIFO is never opened for reading, which would block for good; a data file written in its
    // place replaces it.
    void fifoIsRefused()
    {
        const QString path = AppDataFilePath(QStringLiteral("fifo.json"));
        QFile::remove(path);
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        QString error;
        QFile file(path);
        bool missing = true;
        QVERIFY(!OpenRegularFile(file, error, &missing));
        QVERIFY(!missing);
        QVERIFY(!file.isOpen());
        QVERIFY2(error.contains("not a plain file"), qPrintable(error));
        QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());

        QVERIFY2(WriteFileWhole(path, "ours", error, AppDataFolder()), qPrintable(error));
        QCOMPARE(ReadFile(path), QByteArray("ours"));
    }
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "tst_safefile.moc"
