#include "platform/Launcher.h"

#include "core/GlobalLogger.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

// A lock file is a few short lines; anything longer is not ours and is not read further.
constexpr qint64 MaxLockContent = 256;
// How often a start that waits for an ending instance tries the lock again.
constexpr unsigned long LockRetryMs = 50;

QByteArray ReadAll(int fd)
{
    QByteArray content(MaxLockContent, Qt::Uninitialized);
    const ssize_t got = ::pread(fd, content.data(), content.size(), 0);
    content.resize(got > 0 ? got : 0);
    return content;
}

// The pid on the first line of a lock file's content, or 0.
qint64 PidOf(const QByteArray& content)
{
    bool ok = false;
    const qint64 pid = content.left(content.indexOf('\n')).trimmed().toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

bool SameFile(int fd, const QString& path)
{
    struct stat opened = {};
    struct stat named = {};
    return ::fstat(fd, &opened) == 0 && ::stat(QFile::encodeName(path).constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

} // namespace

QString Launcher::LaunchKeyFor(uint userId)
{
    return QStringLiteral("VELMOR_QORN_LAUNCH_MEM_8100bc42-a4ab-4d2c-b373-725b56e5adb3_%1").arg(userId);
}

const QString& Launcher::LaunchKey()
{
    static const QString key = LaunchKeyFor(::getuid());
    return key;
}

QString Launcher::LockFilePath(const QString& key)
{
    // The runtime folder belongs to the user alone, and the system empties it at log-out.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).absoluteFilePath(key + QStringLiteral(".lock"));
}

Launcher::Launcher(const QString& key)
    : m_marker(std::make_unique<QSharedMemory>(key))
    , m_lockPath(LockFilePath(key))
{
    switch (takeLock()) {
    case LockResult::HeldByOther: m_otherInstanceRunning = true; return;
    case LockResult::Taken: break;
    case LockResult::Unavailable:
        // A second instance then cannot be recognised, which is better than never starting.
        GlobalLogger::Instance()->message(QtWarningMsg, "Starting without the single-instance check.");
        break;
    }
    holdMarker();
}

Launcher::~Launcher()
{
    if (m_lockFd < 0)
        return;
    // Removed while still locked; a start that opened the old file meanwhile sees that the name
    // no longer leads to it and tries again (takeLock).
    ::unlink(QFile::encodeName(m_lockPath).constData());
    ::close(m_lockFd);
    // Detaching the marker (its destructor) removes it once no process uses it.
}

Launcher::LockResult Launcher::takeLock()
{
    const QByteArray path = QFile::encodeName(m_lockPath);
    // A few rounds at most: each one lost means a running instance removed the file in between.
    for (int round = 0; round < 5; ++round) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0 && (errno == EACCES || errno == EPERM)) {
            // A file this user may not open cannot prove a live holder either; the folder is the
            // user's own, so it can be replaced.
            GlobalLogger::Instance()->message(QtInfoMsg, "The instance lock %s cannot be opened (%s); replacing it.",
                                              path.constData(), std::strerror(errno));
            if (::unlink(path.constData()) == 0)
                continue;
            errno = EACCES;
        }
        if (fd < 0) {
            GlobalLogger::Instance()->message(QtWarningMsg, "Cannot open the instance lock %s: %s.", path.constData(),
                                              std::strerror(errno));
            return LockResult::Unavailable;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            if (error == EWOULDBLOCK) {
                m_otherPid = PidOf(ReadAll(fd));
                ::close(fd);
                return LockResult::HeldByOther;
            }
            ::close(fd);
            GlobalLogger::Instance()->message(QtWarningMsg, "Cannot lock the instance lock %s: %s.", path.constData(),
                                              std::strerror(error));
            return LockResult::Unavailable;
        }
        if (!SameFile(fd, m_lockPath)) {
            ::close(fd);
            continue;
        }

        const QByteArray left = ReadAll(fd);
        if (!left.isEmpty()) {
            // A run that ended without cleaning up; the system has released its lock, so its
            // holder is gone whatever the file says.
            GlobalLogger::Instance()->message(
                QtInfoMsg,
                "The instance lock of an earlier run was left behind (%s); its holder is gone, "
                "starting normally.",
                left.simplified().constData());
        }
        const QByteArray content = QByteArray::number(::getpid()) + '\n' +
                                   QCoreApplication::applicationName().toUtf8() + '\n' +
                                   QSysInfo::machineHostName().toUtf8() + '\n';
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, content.constData(), content.size(), 0) != content.size()) {
            // Only the log's "who holds it" suffers; the lock itself holds.
            GlobalLogger::Instance()->message(QtWarningMsg, "Cannot write the instance lock %s: %s.", path.constData(),
                                              std::strerror(errno));
        }
        m_lockFd = fd;
        return LockResult::Taken;
    }
    GlobalLogger::Instance()->message(QtWarningMsg, "The instance lock %s kept changing while it was taken.",
                                      path.constData());
    return LockResult::Unavailable;
}

bool Launcher::waitForOtherInstanceToEnd(int timeoutMs)
{
    if (!m_otherInstanceRunning)
        return true;
    QElapsedTimer waited;
    waited.start();
    do {
        QThread::msleep(LockRetryMs);
        switch (takeLock()) {
        case LockResult::HeldByOther: continue;
        case LockResult::Taken: break;
        case LockResult::Unavailable:
            GlobalLogger::Instance()->message(QtWarningMsg, "Starting without the single-instance check.");
            break;
        }
        m_otherInstanceRunning = false;
        m_otherPid = 0;
        holdMarker();
        return true;
    } while (waited.elapsed() < timeoutMs);
    return false;
}

bool Launcher::isOtherInstanceRunning() const
{
    return m_otherInstanceRunning;
}

qint64 Launcher::runningInstancePid() const
{
    return m_otherInstanceRunning ? m_otherPid : 0;
}

void Launcher::holdMarker()
{
    if (m_marker->attach()) {
        // Only a run that ended without cleaning up leaves a marker behind the lock.
        GlobalLogger::Instance()->message(QtInfoMsg,
                                          "The launch marker of an earlier run was left behind; starting normally.");
        return;
    }
    if (!m_marker->create(1) && !m_marker->attach()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Cannot create the launch marker: %s",
                                          qUtf8Printable(m_marker->errorString()));
    }
}

} // namespace Platform
