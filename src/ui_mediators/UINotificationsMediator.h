#pragma once

#include "app/core/DeviceType.h"

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

// The news for the notifications drawer.
//
// The news feed, its cache file and the update rows are not part of this build: the list stays
// empty and the count 0.
class UINotificationsMediator final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* notificationsModel READ getNotificationsModel CONSTANT)
    Q_PROPERTY(int newNotificationsCount READ getNewsCount NOTIFY newsCountChanged)

public:
    UINotificationsMediator(Platform::NetworkUpdater& updater, UIAppMediator& appMediator, QObject* parent);

    QObject* getNotificationsModel() const;
    int getNewsCount() const;

    Q_INVOKABLE void markAsSeen();
    Q_INVOKABLE void setFwUpdateAvailable(bool available);

    // The type of the device that became current; none when it was lost.
    void setCurrentDevice(DeviceType type);

signals:
    void newsCountChanged();

private:
    UIModels::UINotificationsModel* m_model;
    UIModels::UINotificationsSortFilterModel* m_proxy;
    DeviceType m_currentDevice = DeviceType::none;
};

} // namespace UIMediators
