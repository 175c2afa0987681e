#pragma once

#include <QLockFile>
#include <QSharedMemory>
#include <QString>

#include <memory>

namespace Platform {

// Tells whether another instance of the application is already running for this user.
//
// The running instance holds two things for its whole run: the launch marker, a one-byte shared
// memory segment under the launch key, and a lock file in the user's runtime folder named after
// that key. A System V segment outlives a process that crashed, so the marker alone cannot tell a
// live instance from a dead one; the lock file can: the system keeps its holder's pid, and a lock
// whose holder is gone is taken over. So a start after a crash runs normally instead of handing
// over to nobody.
class Launcher {
public:
    // The key of the application's launch marker.
    static const QString& LaunchKey();

    // Does the whole check, with the application's key or another one (tests).
    explicit Launcher(const QString& key = LaunchKey());
    virtual ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    virtual bool isOtherInstanceRunning() const;

    // The lock file that marks the live instance of `key`.
    static QString LockFilePath(const QString& key);

private:
    void holdMarker();

    std::unique_ptr<QSharedMemory> m_marker;
    QLockFile m_lock;
    bool m_otherInstanceRunning = false;
};

} // namespace Platform
