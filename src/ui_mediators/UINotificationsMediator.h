#pragma once

#include "core/DeviceType.h"
#include "core/Notification.h"

#include <QList>
#include <QObject>

namespace Platform {
class NetworkUpdater;
}

namespace UIModels {
class UINotificationsModel;
class UINotificationsSortFilterModel;
} // namespace UIModels

namespace UIMediators {

class UIAppMediator;

// The news for the notifications drawer and the count of unseen items for the title bar.
//
// Starts from the local cache "notifications.json", takes every non-empty feed the network updater
// downloads (the user's seen and dismissed marks follow the items by id), shows the built-in
// firmware-update and app-update rows while such an update is offered, and writes the list back
// to the cache when it is destroyed.
class UINotificationsMediator final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* notificationsModel READ getNotificationsModel CONSTANT)
    Q_PROPERTY(int newNotificationsCount READ getNewsCount NOTIFY newsCountChanged)

public:
    UINotificationsMediator(Platform::NetworkUpdater& updater, UIAppMediator& appMediator, QObject* parent);
    ~UINotificationsMediator() override;

    // The sorted and filtered list the drawer shows.
    QObject* getNotificationsModel() const;
    // Rows shown and not yet seen.
    int getNewsCount() const;

    Q_INVOKABLE void markAsSeen();
    Q_INVOKABLE void setFwUpdateAvailable(bool available);

    // The type of the device that became current; none when it was lost.
    void setCurrentDevice(DeviceType type);

    // Gives each record of `incoming` the seen and hidden marks of the first record of `current`
    // with the same id; records without one keep their own. Linear in the sizes of both lists.
    static void CarryLocalMarks(QList<Notification>& incoming, const QList<Notification>& current);

public slots:
    void onNotificationsUpdated();
    void onAppUpdateChanged();

signals:
    void newsCountChanged();

private:
    // Takes `list` as the downloaded notifications, carrying the local marks over by id.
    void processNotifications(QList<Notification> list);
    void loadCache();
    void saveCache() const;

    Platform::NetworkUpdater& m_updater;
    UIAppMediator& m_appMediator;
    UIModels::UINotificationsModel* m_model;
    UIModels::UINotificationsSortFilterModel* m_proxy;
    // The cache could not be read; it is left as it is unless a feed replaces the list.
    bool m_keepCache = false;
};

} // namespace UIMediators
