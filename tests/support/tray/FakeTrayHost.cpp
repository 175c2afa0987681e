// A desktop's system tray as Qt sees it on Linux: the status-notifier watcher on the session bus,
// reporting that a tray (a status-notifier host) is there and taking the icons' registrations.
// Started by with-tray.sh on a private bus; it never touches the machine's own buses.

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <cstdio>

class StatusNotifierWatcher : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    explicit StatusNotifierWatcher(QObject* parent)
        : QDBusAbstractAdaptor(parent)
    {
    }

    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList items() const { return m_items; }

public slots:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message)
    {
        m_items << (service.startsWith(u'/') ? message.service() + service : service);
        std::fprintf(stderr, "tray: item registered %s\n", qPrintable(m_items.last()));
    }
    void RegisterStatusNotifierHost(const QString&) { }

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    QStringList m_items;
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    QObject watcher;
    new StatusNotifierWatcher(&watcher);
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "tray: cannot register on the session bus: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    return app.exec();
}

#include "FakeTrayHost.moc"
