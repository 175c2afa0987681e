#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QVariant>

#include <optional>
#include <vector>

namespace TestSupport {

// systemd-logind's manager, as far as inhibitor locks go: each Inhibit call hands out the write
// end of a fresh pipe and keeps the read end, so the test sees when the caller closed the lock.
class FakeLogind : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    ~FakeLogind() override;
    // The arguments of each Inhibit call so far.
    QList<QStringList> calls() const;
    // Locks handed out and not yet closed by every holder.
    int heldLocks() const;

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode);

private:
    mutable QMutex m_mutex;
    QList<QStringList> m_calls;
    std::vector<int> m_readEnds;
};

// The desktop portal's settings: Read answers from a table; a missing key is the portal's
// NotFound error.
class FakePortalSettings : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    // The value for namespace `group` and `key`; `wrapped` answers it in two variants, as older
    // portals do.
    void setValue(const QString& group, const QString& key, const QVariant& value, bool wrapped = false);
    QList<QStringList> reads() const;

public slots:
    QDBusVariant Read(const QString& group, const QString& key);

private:
    struct Entry {
        QString group, key;
        QVariant value;
        bool wrapped;
    };
    mutable QMutex m_mutex;
    QList<Entry> m_entries;
    QList<QStringList> m_reads;
};

// A file manager's ShowItems.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    // The URI lists of each ShowItems call so far.
    QList<QStringList> shown() const;

public slots:
    void ShowItems(const QStringList& uris, const QString& startupId);

private:
    mutable QMutex m_mutex;
    QList<QStringList> m_shown;
};

// The fakes on a bus, each under its real name and path, answering on a thread of their own, so
// the code under test may wait for an answer on the test's thread. Only the services asked for
// are there.
class FakeDesktopServices {
public:
    enum Service { Logind = 1, Portal = 2, FileManager = 4 };

    FakeDesktopServices(const QString& busAddress, int services);
    ~FakeDesktopServices();

    bool isReady() const { return m_ready; }
    FakeLogind& logind() { return *m_logind; }
    FakePortalSettings& portal() { return *m_portal; }
    FakeFileManager& fileManager() { return *m_fileManager; }

private:
    QThread m_thread;
    QString m_connectionName;
    QStringList m_services;
    FakeLogind* m_logind;
    FakePortalSettings* m_portal;
    FakeFileManager* m_fileManager;
    bool m_ready = false;
};

} // namespace TestSupport
