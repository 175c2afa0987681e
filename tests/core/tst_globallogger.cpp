#include "core/GlobalLogger.h"
#include "support/TestAppData.h"
#include "utils/Utils.h"

#include <QtTest>

#include <atomic>
#include <csignal>
#include <memory>
#include <thread>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString Today = QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd"));

QString LogFolder()
{
    return TestSupport::AppDataPath(QStringLiteral("Logs"));
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& content, const QDateTime& modified = QDateTime())
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(content), content.size());
    QVERIFY(file.flush());
    if (modified.isValid())
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
}

QStringList LogNames()
{
    return QDir(LogFolder()).entryList(QDir::Files, QDir::Name);
}

// Lines of a log file after its three-line banner.
QStringList MessageLines(const QString& path)
{
    QStringList lines = QString::fromUtf8(ReadFile(path)).split(QLatin1Char('\n'));
    if (lines.size() < 3)
        return {};
    lines = lines.mid(3);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void SetNames()
{
    TestSupport::UseTestAppData();
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2.48"));
}

} // namespace

class TestGlobalLogger : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        SetNames();
        QDir(LogFolder()).removeRecursively();
    }

    void bannerThenLines()
    {
        {
            GlobalLogger logger;
            logger.message(QtDebugMsg, "hello %s", "world");
        }
        QCOMPARE(LogNames(), QStringList{Today + "-1.log"});
        const QString content = QString::fromUtf8(ReadFile(LogFolder() + "/" + Today + "-1.log"));
        QVERIFY(content.startsWith(Utils::GetApplicationInfo()));
        QVERIFY(content.contains(QStringLiteral("Qt versions: compiled = " QT_VERSION_STR "; linked = ")));
        QVERIFY(content.contains(QStringLiteral("Velmor version: 1.2.48 (")));
        const QStringList lines = MessageLines(LogFolder() + "/" + Today + "-1.log");
        QCOMPARE(lines.size(), 1);
        QVERIFY2(QRegularExpression("^D:      \\d\\d:\\d\\d:\\d\\d hello world$").match(lines[0]).hasMatch(),
                 qPrintable(lines[0]));
    }

    void linePrefixes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("debug") << int(QtDebugMsg) << "D:      ";
        QTest::newRow("warning") << int(QtWarningMsg) << "WARN:   ";
        QTest::newRow("critical") << int(QtCriticalMsg) << "ERR:    ";
        QTest::newRow("fatal") << int(QtFatalMsg) << "FATAL:  ";
        QTest::newRow("info") << int(QtInfoMsg) << "I:      ";
        QTest::newRow("unknown 7") << 7 << "        ";
    }
    void linePrefixes()
    {
        QFETCH(int, type);
        QFETCH(QString, prefix);
        {
            GlobalLogger logger;
            logger.message(QtMsgType(type), "value %d", 5);
        }
        const QStringList lines = MessageLines(LogFolder() + "/" + Today + "-1.log");
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0].left(8), prefix);
        QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d value 5$").match(lines[0].mid(8)).hasMatch(),
                 qPrintable(lines[0]));
    }

    // A crash right after a line must not lose it: every line reaches the file at once.
    void linesReachTheFileAtOnce_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("debug") << int(QtDebugMsg);
        QTest::newRow("info") << int(QtInfoMsg);
        QTest::newRow("warning") << int(QtWarningMsg);
        QTest::newRow("critical") << int(QtCriticalMsg);
        QTest::newRow("fatal") << int(QtFatalMsg);
    }
    void linesReachTheFileAtOnce()
    {
        QFETCH(int, type);
        GlobalLogger logger;
        logger.message(QtInfoMsg, "before");
        logger.message(QtMsgType(type), "trouble %d", 1);
        const QStringList lines = MessageLines(LogFolder() + "/" + Today + "-1.log");
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].endsWith(QStringLiteral(" before")));
        QVERIFY(lines[1].endsWith(QStringLiteral(" trouble 1")));
    }

    // Text from outside (a server's version, a file name, the headset's answer) cannot start a line
    // of its own or hide anything: controls appear as escapes, everything else as it is.
    void controlCharactersAreEscaped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("written");
        QTest::newRow("forged line") << QStringLiteral("1.2.3\nI:      12:00:00 Update installed")
                                     << QStringLiteral("1.2.3\\nI:      12:00:00 Update installed");
        QTest::newRow("carriage return") << QStringLiteral("a\r\nb") << QStringLiteral("a\\r\\nb");
        QTest::newRow("tab") << QStringLiteral("a\tb") << QStringLiteral("a\\tb");
        QTest::newRow("terminal escape") << QStringLiteral("\x1b[2Jx") << QStringLiteral("\\x1b[2Jx");
        QTest::newRow("bell and backspace") << QString::fromUtf16(u"a\u0007\u0008b") << QStringLiteral("a\\x07\\x08b");
        QTest::newRow("delete") << QStringLiteral("a\x7f") << QStringLiteral("a\\x7f");
        QTest::newRow("next line (C1)") << QString::fromUtf16(u"a\u0085b") << QStringLiteral("a\\x85b");
        QTest::newRow("line separator") << QString::fromUtf16(u"a\u2028b\u2029") << QStringLiteral("a\\u2028b\\u2029");
        QTest::newRow("NUL keeps the rest")
            << QString::fromUtf16(u"1.0\u0000evil", 8) << QStringLiteral("1.0\\x00evil");
        QTest::newRow("bidi override") << QString::fromUtf16(u"a\u202Etxt.exe\u202C")
                                       << QStringLiteral("a\\u202etxt.exe\\u202c");
        QTest::newRow("bidi isolates and marks")
            << QString::fromUtf16(u"\u2066a\u2069\u200F\u061C") << QStringLiteral("\\u2066a\\u2069\\u200f\\u061c");
        QTest::newRow("invisible characters")
            << QString::fromUtf16(u"a\u200Bb\uFEFFc\u00AD\u2060") << QStringLiteral("a\\u200bb\\ufeffc\\xad\\u2060");
        QTest::newRow("plain text") << QString::fromUtf16(u"Kopfhörer \\ 100 % ✓")
                                    << QString::fromUtf16(u"Kopfhörer \\ 100 % ✓");
    }
    void controlCharactersAreEscaped()
    {
        QFETCH(QString, text);
        QFETCH(QString, written);
        {
            GlobalLogger logger;
            logger.message(QtWarningMsg, QStringLiteral("Offered version %1.").arg(text));
            logger.message(QtDebugMsg, "next");
        }
        const QStringList lines = MessageLines(LogFolder() + "/" + Today + "-1.log");
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].mid(17), QStringLiteral("Offered version ") + written + QLatin1Char('.'));
        QVERIFY(lines[0].startsWith("WARN:   "));
        QVERIFY(lines[1].endsWith(" next"));
    }

    void runsOfOneDayAreNumbered()
    {
        for (int run = 1; run <= 3; ++run) {
            GlobalLogger logger;
            logger.message(QtInfoMsg, "run %d", run);
        }
        QCOMPARE(LogNames(), (QStringList{Today + "-1.log", Today + "-2.log", Today + "-3.log"}));
        QVERIFY(MessageLines(LogFolder() + "/" + Today + "-2.log").constFirst().endsWith(" run 2"));
    }

    void firstFreeNumberIsTaken()
    {
        QDir().mkpath(LogFolder());
        WriteFile(LogFolder() + "/" + Today + "-1.log", "old");
        WriteFile(LogFolder() + "/" + Today + "-3.log", "old");
        QDir(LogFolder()).mkdir(Today + "-2.log"); // taken by a folder of that name
        {
            GlobalLogger logger;
            logger.message(QtDebugMsg, "x");
        }
        QVERIFY(QFileInfo(LogFolder() + "/" + Today + "-4.log").isFile());
        QCOMPARE(ReadFile(LogFolder() + "/" + Today + "-1.log"), QByteArray("old"));
    }

    // Start-up keeps the 32 newest earlier logs and deletes only files the logger names itself.
    void retentionKeepsNewestOwnLogs()
    {
        QDir().mkpath(LogFolder());
        const QDateTime base = QDateTime::currentDateTime().addDays(-100);
        for (int i = 0; i < 40; ++i) { // 2000.01.01-1.log is the oldest
            WriteFile(LogFolder() + QStringLiteral("/2000.01.%1-1.log").arg(i + 1, 2, 10, QLatin1Char('0')), "x",
                      base.addSecs(60 * i));
        }
        const QStringList others{"notes.txt", "2000.01.01-1.log.bak", "crash.log", "2000.1.1-1.log",
                                 "2000.01.01-x.log"};
        for (const QString& name : others)
            WriteFile(LogFolder() + "/" + name, "keep", base.addDays(-10));
        {
            GlobalLogger logger;
            logger.message(QtDebugMsg, "x");
        }
        const QStringList names = LogNames();
        for (int i = 0; i < 8; ++i)
            QVERIFY(!names.contains(QStringLiteral("2000.01.%1-1.log").arg(i + 1, 2, 10, QLatin1Char('0'))));
        for (int i = 8; i < 40; ++i)
            QVERIFY(names.contains(QStringLiteral("2000.01.%1-1.log").arg(i + 1, 2, 10, QLatin1Char('0'))));
        for (const QString& name : others)
            QVERIFY2(names.contains(name), qPrintable(name));
        QVERIFY(names.contains(Today + "-1.log"));
        QCOMPARE(names.size(), 32 + others.size() + 1);
    }

    // The folder depends on the names; a logger used before they are set must not settle on a
    // folder of the wrong name, and must not lose what was logged meanwhile.
    void folderWaitsForTheNames()
    {
        QCoreApplication::setOrganizationName(QString());
        const QString namelessFolder = LogFolder();
        QDir(namelessFolder).removeRecursively();
        {
            GlobalLogger logger;
            logger.message(QtDebugMsg, "early %d", 1);
            logger.message(QtWarningMsg, "early %d", 2);
            QVERIFY(!QFileInfo::exists(namelessFolder));
            SetNames();
            QVERIFY(!QFileInfo::exists(LogFolder()));
            logger.message(QtDebugMsg, "named");
        }
        QVERIFY(!QFileInfo::exists(namelessFolder));
        const QStringList lines = MessageLines(LogFolder() + "/" + Today + "-1.log");
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith("D:      ") && lines[0].endsWith(" early 1"));
        QVERIFY(lines[1].startsWith("WARN:   ") && lines[1].endsWith(" early 2"));
        QVERIFY(lines[2].endsWith(" named"));
    }

    void namesSetAfterLastMessageStillGetTheLines()
    {
        QCoreApplication::setOrganizationName(QString());
        {
            GlobalLogger logger;
            logger.message(QtDebugMsg, "only line");
            SetNames();
        }
        const QStringList lines = MessageLines(LogFolder() + "/" + Today + "-1.log");
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines[0].endsWith(" only line"));
    }

    void concurrentMessagesStayWhole()
    {
        constexpr int Threads = 6;
        constexpr int PerThread = 300;
        {
            GlobalLogger logger;
            std::vector<std::thread> threads;
            for (int t = 0; t < Threads; ++t) {
                threads.emplace_back([&logger, t] {
                    for (int i = 0; i < PerThread; ++i)
                        logger.message(i % 10 ? QtDebugMsg : QtWarningMsg, "thread %d line %d end", t, i);
                });
            }
            for (auto& thread : threads)
                thread.join();
        }
        const QStringList lines = MessageLines(LogFolder() + "/" + Today + "-1.log");
        QCOMPARE(lines.size(), Threads * PerThread);
        const QRegularExpression shape("^(D:      |WARN:   )\\d\\d:\\d\\d:\\d\\d thread \\d line \\d+ end$");
        QSet<QString> seen;
        for (const QString& line : lines) {
            QVERIFY2(shape.match(line).hasMatch(), qPrintable(line));
            seen.insert(line.mid(17));
        }
        QCOMPARE(seen.size(), Threads * PerThread);
    }

    void exportBundle()
    {
        QDir().mkpath(LogFolder());
        const QDateTime base = QDateTime::currentDateTime().addDays(-1);
        WriteFile(LogFolder() + "/2000.01.01-1.log", "too old to be exported", base);
        WriteFile(LogFolder() + "/2000.01.02-1.log", "also too old", base.addSecs(1));
        for (int i = 0; i < 5; ++i)
            WriteFile(LogFolder() + QStringLiteral("/2000.02.0%1-1.log").arg(i + 1), "content " + QByteArray::number(i),
                      base.addSecs(10 + i));
        WriteFile(LogFolder() + "/notes.txt", "not a log", base.addSecs(20));
        WriteFile(LogFolder() + "/big.log", QByteArray(0xA00000 + 1, 'b'), base.addSecs(21));
        WriteFile(LogFolder() + "/limit.log", QByteArray(0xA00000, 'l'), base.addSecs(22));
        WriteFile(LogFolder() + "/empty.log", QByteArray(), base.addSecs(23));

        GlobalLogger logger;
        logger.message(QtDebugMsg, "current run");
        const QString current = Today + "-1.log";
        const QString bundlePath = QDir(LogFolder()).absoluteFilePath("../bundle.txt");
        QVERIFY(logger.saveLogs(bundlePath));
        const QByteArray bundle = ReadFile(bundlePath);

        // The ten newest, oldest first; the current log last, with its unflushed line.
        QByteArray expected;
        for (int i = 0; i < 5; ++i) {
            const QByteArray content = "content " + QByteArray::number(i);
            expected += "2000.02.0" + QByteArray::number(i + 1) + "-1.log\n" + QByteArray::number(content.size()) +
                        " bytes\n" + content + "\n";
        }
        expected += "notes.txt\n9 bytes\nWrong file name.\n";
        expected += "big.log\n10485761 bytes\nFile's too big.\n";
        expected += "limit.log\n10485760 bytes\n" + QByteArray(0xA00000, 'l') + "\n";
        expected += "empty.log\n0 bytes\n\n";
        const QByteArray currentContent = ReadFile(LogFolder() + "/" + current);
        QVERIFY(currentContent.endsWith(" current run\n"));
        expected +=
            current.toUtf8() + "\n" + QByteArray::number(currentContent.size()) + " bytes\n" + currentContent + "\n";
        QCOMPARE(bundle.size(), expected.size());
        QVERIFY(bundle == expected);
    }

    void exportWithNothingReadable()
    {
        const QString bundlePath = QDir(LogFolder()).absoluteFilePath("../bundle.txt");
        QDir().mkpath(LogFolder());
        WriteFile(bundlePath, "untouched");
        GlobalLogger logger;
        // A log file that cannot be created leaves an empty folder behind it.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot open the log file .*/missing/sub/x.log: "));
        logger.initFile(LogFolder() + "/missing/sub/x.log");
        logger.message(QtWarningMsg, "lost");
        QVERIFY(!logger.saveLogs(bundlePath));
        QCOMPARE(ReadFile(bundlePath), QByteArray("untouched"));

        // A folder holding only files that are not logs, or too big, is no better.
        QDir().mkpath(LogFolder() + "/other");
        WriteFile(LogFolder() + "/other/notes.txt", "x");
        WriteFile(LogFolder() + "/other/huge.log", QByteArray(0xA00000 + 1, 'h'));
        QDir().mkpath(LogFolder() + "/other/folder.log");
        GlobalLogger second;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Cannot open the log file .*/other/folder.log: "));
        second.initFile(LogFolder() + "/other/folder.log");
        QVERIFY(!second.saveLogs(bundlePath));
        QCOMPARE(ReadFile(bundlePath), QByteArray("untouched"));
    }

    // An entry of the log folder that is no plain file, here a link to a FIFO that nobody writes
    // to, is reported in the bundle and never keeps the export (and the window) waiting.
    void exportDoesNotWaitOnAFifo()
    {
#ifndef Q_OS_UNIX
        QSKIP("FIFOs are a POSIX matter");
#else
        QDir().mkpath(LogFolder());
        const QTemporaryDir elsewhere;
        QVERIFY(elsewhere.isValid());
        const QByteArray fifo = QFile::encodeName(elsewhere.filePath("fifo"));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        QVERIFY(QFile::link(elsewhere.filePath("fifo"), LogFolder() + "/stuck.log"));

        GlobalLogger logger;
        logger.message(QtDebugMsg, "current run");
        const QString bundlePath = QDir(LogFolder()).absoluteFilePath("../bundle.txt");
        std::atomic<int> result{-1};
        std::thread exporter([&] { result = logger.saveLogs(bundlePath) ? 1 : 0; });
        const bool finished = QTest::qWaitFor([&] { return result.load() != -1; }, 10000);
        if (!finished) {
            // A writer lets the blocked open return, so that the thread can be joined.
            const int fd = ::open(fifo.constData(), O_WRONLY);
            if (fd >= 0)
                ::close(fd);
        }
        exporter.join();
        QVERIFY2(finished, "the export waited on the FIFO");
        QCOMPARE(result.load(), 1);
        const QByteArray bundle = ReadFile(bundlePath);
        QVERIFY2(bundle.contains("stuck.log\n0 bytes\nCannot open the file.\n"), bundle.constData());
        QVERIFY(bundle.contains(" current run\n"));
#endif
    }

    void exportToUnwritablePathFails()
    {
        GlobalLogger logger;
        logger.message(QtDebugMsg, "x");
        QVERIFY(!logger.saveLogs(LogFolder() + "/no/such/folder/bundle.txt"));
    }

    // The program's own logger in a process of its own: what reaches the file when the process
    // ends normally, or crashes.
    void processExit_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("mustHave");
        QTest::newRow("normal exit") << "exit"
                                     << QStringList{"D:      ", " last line of main", " from a late destructor"};
        QTest::newRow("crash after a warning") << "crash" << QStringList{"WARN:   ", " warning before the crash"};
    }
    void processExit()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, mustHave);
        QTemporaryDir data;
        QVERIFY(data.isValid());
        QProcess helper;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", data.path());
        env.insert("ASAN_OPTIONS", "detect_leaks=1:handle_abort=0");
        helper.setProcessEnvironment(env);
        helper.start(QStringLiteral(LOGGER_EXIT_HELPER), {mode});
        QVERIFY(helper.waitForFinished(60000));
        if (mode == "exit") {
            QCOMPARE(helper.exitStatus(), QProcess::NormalExit);
            QCOMPARE(helper.exitCode(), 0);
        } else {
            QCOMPARE(helper.exitStatus(), QProcess::CrashExit);
        }
        const QDir logs(data.path() + "/Velmor/Velmor/Logs");
        const QStringList names = logs.entryList(QDir::Files);
        QCOMPARE(names, QStringList{Today + "-1.log"});
        QFile file(logs.absoluteFilePath(names[0]));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString content = QString::fromUtf8(file.readAll());
        QVERIFY(content.startsWith("OS: "));
        for (const QString& piece : mustHave)
            QVERIFY2(content.contains(piece), qPrintable(piece + " missing in:\n" + content));
    }

    // A process that dies of a fatal signal right after logging (or is killed outright) keeps
    // every line it logged, whatever the level.
    void linesSurviveAFatalSignal_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGSEGV") << int(SIGSEGV);
        QTest::newRow("SIGABRT") << int(SIGABRT);
        QTest::newRow("SIGBUS") << int(SIGBUS);
        QTest::newRow("SIGILL") << int(SIGILL);
        QTest::newRow("SIGFPE") << int(SIGFPE);
        QTest::newRow("SIGKILL") << int(SIGKILL);
    }
    void linesSurviveAFatalSignal()
    {
        QFETCH(int, signalNumber);
        QTemporaryDir data;
        QVERIFY(data.isValid());
        QProcess helper;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", data.path());
        // The sanitizers' own handlers would turn the signal into an orderly exit.
        env.insert("ASAN_OPTIONS", "detect_leaks=0:handle_segv=0:handle_abort=0:handle_sigbus=0:"
                                   "handle_sigill=0:handle_sigfpe=0");
        helper.setProcessEnvironment(env);
        helper.start(QStringLiteral(LOGGER_EXIT_HELPER), {QStringLiteral("wait")});
        QVERIFY(helper.waitForStarted(60000));
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += helper.readAllStandardOutput()).contains("logged"), 60000);
        QCOMPARE(::kill(pid_t(helper.processId()), signalNumber), 0);
        QVERIFY(helper.waitForFinished(60000));
        QCOMPARE(helper.exitStatus(), QProcess::CrashExit);

        const QDir logs(data.path() + "/Velmor/Velmor/Logs");
        const QStringList names = logs.entryList(QDir::Files);
        QCOMPARE(names, QStringList{Today + "-1.log"});
        const QStringList lines = MessageLines(logs.absoluteFilePath(names[0]));
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith("D:      ") && lines[0].endsWith(" device plugged"), qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith("I:      ") && lines[1].endsWith(" device unplugged"), qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith("D:      ") && lines[2].endsWith(" last line"), qPrintable(lines[2]));
    }

    void processWideInstance()
    {
        GlobalLogger* logger = GlobalLogger::Instance();
        QVERIFY(logger);
        QCOMPARE(GlobalLogger::Instance(), logger);
        logger->message(QtWarningMsg, "from the %s logger", "shared");
        const QStringList names = LogNames();
        QCOMPARE(names.size(), 1);
        const QStringList lines = MessageLines(LogFolder() + "/" + names[0]);
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines[0].endsWith(" from the shared logger"));
    }
};

QTEST_GUILESS_MAIN(TestGlobalLogger)
#include "tst_globallogger.moc"
