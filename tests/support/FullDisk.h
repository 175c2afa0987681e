#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QtTest>

namespace TestSupport {

// A full disk is a 64 KiB file system mounted on a folder in a private mount namespace, in a
// second run of the test program that runs one test function there. The second run sees this
// set; the test function does its part on the full disk then.
inline bool IsFullDiskRun()
{
    return qEnvironmentVariableIsSet("VELMOR_TEST_FULL_DISK");
}

// Fills the file system that holds `folder` until a write is refused; true once it is full.
inline bool FillDisk(const QString& folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(1024, 'f');
    while (filler.write(block) == block.size()) { }
    return true;
}

} // namespace TestSupport

// Runs test function `function` of this program again with the full disk mounted on `folder`, and
// passes when it passes there; skipped where no private mount can be made (no user namespaces).
// Used at the top of the test function: `if (!TestSupport::IsFullDiskRun()) { VELMOR_RUN_ON_FULL_DISK(...); }`.
#define VELMOR_RUN_ON_FULL_DISK(folder, className, function)                                                           \
    do {                                                                                                               \
        QVERIFY(QDir().mkpath(folder));                                                                                \
        QProcess run;                                                                                                  \
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();                                    \
        environment.insert(QStringLiteral("VELMOR_TEST_FULL_DISK"), QStringLiteral("1"));                              \
        run.setProcessEnvironment(environment);                                                                        \
        run.setProcessChannelMode(QProcess::MergedChannels);                                                           \
        run.start(QStringLiteral("unshare"),                                                                           \
                  {"--user", "--map-root-user", "--mount", "sh", "-c",                                                 \
                   "mount -t tmpfs -o size=64k tmpfs \"$1\" || exit 77; exec \"$2\" \"$3\"", "sh", folder,             \
                   QCoreApplication::applicationFilePath(), QStringLiteral(function)});                                \
        if (!run.waitForStarted(10000))                                                                                \
            QSKIP("unshare is not available");                                                                         \
        QVERIFY(run.waitForFinished(60000));                                                                           \
        const QByteArray output = run.readAll();                                                                       \
        if (run.exitCode() == 77 || output.contains("unshare: "))                                                      \
            QSKIP(qPrintable("cannot mount a small file system here: " + QString::fromLocal8Bit(output)));             \
        QVERIFY2(run.exitCode() == 0 && output.contains("PASS   : " className "::" function "("), output.constData()); \
        return;                                                                                                        \
    } while (false)
