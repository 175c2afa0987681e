#pragma once

#include <QSharedMemory>
#include <QString>

#include <memory>

namespace Platform {

// Tells whether another instance of the application is already running for this user.
//
// The running instance holds two things for its whole run: the launch marker, a one-byte shared
// memory segment under the launch key, and an exclusive lock (flock) on a file in the user's
// runtime folder named after that key. The system drops such a lock the moment its holder ends,
// however it ends (a crash, kill -9), so a lock that cannot be taken proves a live holder, and
// nothing a dead run leaves behind (the file with any content or none, a System V segment that
// outlives its process) can block a later start. The file's content (pid, program, host) only
// tells the log who holds it.
//
// Keys are per user: shared memory keys end up as files in the shared temporary folder, and two
// users must neither see nor block each other's instance.
class Launcher {
public:
    // The key of the application's launch marker, for the user running the program.
    static const QString& LaunchKey();
    // The same for any user (its numeric id).
    static QString LaunchKeyFor(uint userId);

    // Does the whole check, with the application's key or another one (tests).
    explicit Launcher(const QString& key = LaunchKey());
    virtual ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    virtual bool isOtherInstanceRunning() const;
    // While another instance runs: waits up to `timeoutMs` for it to end (one that is quitting
    // holds the lock until its last moment) and then becomes the running instance. True when it
    // did; false when the other one still runs.
    bool waitForOtherInstanceToEnd(int timeoutMs);
    // The pid that the running instance wrote into the lock file; 0 when unknown or when no other
    // instance runs.
    qint64 runningInstancePid() const;

    // The lock file that marks the live instance of `key`.
    static QString LockFilePath(const QString& key);

private:
    enum class LockResult { Taken, HeldByOther, Unavailable };
    LockResult takeLock();
    void holdMarker();

    std::unique_ptr<QSharedMemory> m_marker;
    QString m_lockPath;
    int m_lockFd = -1; // open and locked while this is the running instance
    bool m_otherInstanceRunning = false;
    qint64 m_otherPid = 0;
};

} // namespace Platform
