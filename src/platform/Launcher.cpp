#include "platform/Launcher.h"

#include "app/core/GlobalLogger.h"

#include <QDir>
#include <QStandardPaths>

namespace Platform {

const QString& Launcher::LaunchKey()
{
    static const QString key =
        QStringLiteral("VELMOR_QORN_LAUNCH_MEM_8100bc42-a4ab-4d2c-b373-725b56e5adb3");
    return key;
}

QString Launcher::LockFilePath(const QString& key)
{
    // The runtime folder belongs to the user alone, so another user's instance never counts, and
    // the system empties it at log-out.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).absoluteFilePath(key + QStringLiteral(".lock"));
}

Launcher::Launcher(const QString& key)
    : m_marker(std::make_unique<QSharedMemory>(key))
    , m_lock(LockFilePath(key))
{
    // A live instance holds the lock for as long as it runs, however long that is.
    m_lock.setStaleLockTime(0);
    if (m_lock.tryLock(0)) {
        holdMarker();
        return;
    }
    if (m_lock.error() == QLockFile::LockFailedError) {
        // Held by a process that is alive: QLockFile has already taken over a lock whose holder
        // is gone.
        m_otherInstanceRunning = true;
        return;
    }
    // No lock can be taken here (no writable runtime folder): a second instance then cannot be
    // recognised, which is better than never starting.
    GlobalLogger::Instance()->message(QtWarningMsg,
        "Cannot create the instance lock %s; starting without the single-instance check.",
        qUtf8Printable(QDir::toNativeSeparators(m_lock.fileName())));
    holdMarker();
}

Launcher::~Launcher() = default; // detaching removes the marker once no process uses it

bool Launcher::isOtherInstanceRunning() const
{
    return m_otherInstanceRunning;
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
