#include "FakeDesktopServices.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMutexLocker>
#include <QUuid>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace TestSupport {

FakeLogind::~FakeLogind()
{
    for (int fd : m_readEnds)
        ::close(fd);
}

QDBusUnixFileDescriptor FakeLogind::Inhibit(const QString& what, const QString& who, const QString& why,
                                            const QString& mode)
{
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        sendErrorReply(QDBusError::Failed, QStringLiteral("no pipe"));
        return {};
    }
    QMutexLocker lock(&m_mutex);
    m_calls.append({what, who, why, mode});
    m_readEnds.push_back(ends[0]);
    const QDBusUnixFileDescriptor handedOut(ends[1]); // a copy of its own
    ::close(ends[1]);
    return handedOut;
}

QList<QStringList> FakeLogind::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

int FakeLogind::heldLocks() const
{
    QMutexLocker lock(&m_mutex);
    int held = 0;
    for (int fd : m_readEnds) {
        // The read end reports a hang-up once no write end is open anywhere.
        pollfd watch = {fd, POLLIN, 0};
        if (::poll(&watch, 1, 0) == 0 || !(watch.revents & POLLHUP))
            ++held;
    }
    return held;
}

void FakePortalSettings::setValue(const QString& group, const QString& key, const QVariant& value, bool wrapped)
{
    QMutexLocker lock(&m_mutex);
    m_entries.append({group, key, value, wrapped});
}

QList<QStringList> FakePortalSettings::reads() const
{
    QMutexLocker lock(&m_mutex);
    return m_reads;
}

QDBusVariant FakePortalSettings::Read(const QString& group, const QString& key)
{
    QMutexLocker lock(&m_mutex);
    m_reads.append({group, key});
    for (const Entry& entry : std::as_const(m_entries)) {
        if (entry.group == group && entry.key == key) {
            return entry.wrapped ? QDBusVariant(QVariant::fromValue(QDBusVariant(entry.value)))
                                 : QDBusVariant(entry.value);
        }
    }
    sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"),
                   QStringLiteral("Requested setting not found"));
    return {};
}

QList<QStringList> FakeFileManager::shown() const
{
    QMutexLocker lock(&m_mutex);
    return m_shown;
}

void FakeFileManager::ShowItems(const QStringList& uris, const QString&)
{
    QMutexLocker lock(&m_mutex);
    m_shown.append(uris);
}

FakeDesktopServices::FakeDesktopServices(const QString& busAddress, int services)
    : m_connectionName(QStringLiteral("fake-desktop-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    , m_logind(new FakeLogind)
    , m_portal(new FakePortalSettings)
    , m_fileManager(new FakeFileManager)
{
    for (QObject* fake :
         {static_cast<QObject*>(m_logind), static_cast<QObject*>(m_portal), static_cast<QObject*>(m_fileManager)})
        fake->moveToThread(&m_thread);
    m_thread.start();

    QDBusConnection bus = QDBusConnection::connectToBus(busAddress, m_connectionName);
    if (!bus.isConnected())
        return;
    const auto offer = [this, &bus](const char* service, const char* path, QObject* object) {
        m_services.append(QString::fromLatin1(service));
        // Taken over from a fake of an earlier test whose end the bus may not have seen yet.
        const auto taken = bus.interface()->registerService(QString::fromLatin1(service),
                                                            QDBusConnectionInterface::ReplaceExistingService,
                                                            QDBusConnectionInterface::AllowReplacement);
        return bus.registerObject(QString::fromLatin1(path), object, QDBusConnection::ExportAllSlots) &&
               taken.isValid() && taken.value() == QDBusConnectionInterface::ServiceRegistered;
    };
    m_ready = (!(services & Logind) || offer("org.freedesktop.login1", "/org/freedesktop/login1", m_logind)) &&
              (!(services & Portal) ||
               offer("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", m_portal)) &&
              (!(services & FileManager) ||
               offer("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", m_fileManager));
}

FakeDesktopServices::~FakeDesktopServices()
{
    // Released with an answer, so the next call of the code under test finds no service.
    QDBusConnection bus(m_connectionName);
    for (const QString& service : std::as_const(m_services))
        bus.unregisterService(service);
    QDBusConnection::disconnectFromBus(m_connectionName);
    m_thread.quit();
    m_thread.wait();
    delete m_logind;
    delete m_portal;
    delete m_fileManager;
}

} // namespace TestSupport
