#pragma once

#include "app/core/DeviceType.h"

#include <QObject>
#include <QString>

namespace Platform {

// The program's network client for the app-update descriptor, the news feed and the firmware
// manifests and downloads.
//
// Not available in this build: every request is accepted and does nothing, so every item stays
// at None and no update is ever offered.
class NetworkUpdater final : public QObject {
    Q_OBJECT

public:
    // What the getters report.
    enum class Status { None = 0, Failed = 1, InProgress = 2, Available = 3, Ready = 4 };

    explicit NetworkUpdater(QObject* parent = nullptr);

    void checkForAppUpdate() {}
    void downloadAppUpdate() {}
    void checkForNotifications() {}
    void checkForKestrinFw(DeviceType) {}
    void checkForSolvarineFw() {}

    Status getAppUpdateStatus() const { return Status::None; }
    bool readAppUpdateVersion(QString&) const { return false; }
    bool readAppUpdateFilePath(QString&) const { return false; }
    Status getKestrinFwStatus(DeviceType) const { return Status::None; }
    bool hasKestrinFwUpdate(DeviceType) const { return false; }
    bool readKestrinFwVersion(DeviceType, QString&) const { return false; }
    bool hasSolvarineFwUpdate() const { return false; }

signals:
    void sigAppUpdateStatusChanged();
    void sigKestrinFwStatusChanged(DeviceType dev_type);
    void sigSolvarineFwStatusChanged();
    void sigNotificationsUpdated();
};

} // namespace Platform
