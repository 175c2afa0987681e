#pragma once

#include "core/Preferences.h"

#include "platform/AppInstaller.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

namespace Platform {
class NetworkUpdater;
}

namespace UIMediators {

// Application-wide matters for the screens: the app update (download, then install), the
// legal-terms consent, the tray option, the closing block and the log export.
class UIAppMediator final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool notificationBadge READ notificationBadge NOTIFY notificationBadgeChanged)
    Q_PROPERTY(Status updateStatus READ getUpdateStatus NOTIFY updateChanged)
    Q_PROPERTY(QString updateVersion READ getUpdateVersion NOTIFY updateChanged)
    Q_PROPERTY(bool eulaAccepted READ isEulaAccepted WRITE setEulaAccepted NOTIFY eulaAcceptedChanged)
    Q_PROPERTY(bool minimizeToTray READ getMinimizeToTray WRITE setMinimizeToTray NOTIFY minimizeToTrayChanged)

public:
    // The app update as the user sees it. Checking covers both the descriptor check and the
    // installer download.
    enum Status { None = 0, Checking = 1, CanDownload = 2, CanInstall = 3, Failed = 4 };
    Q_ENUM(Status)

    // With this system's installer service.
    UIAppMediator(Platform::NetworkUpdater& updater, Preferences& preferences, QObject* parent);
    UIAppMediator(Platform::NetworkUpdater& updater, Preferences& preferences,
                  std::unique_ptr<Platform::IAppInstaller> installer, QObject* parent);
    ~UIAppMediator() override;

    // Whether `offered` is a later version than `running`, compared number by number ("1.10" is
    // later than "1.9"; trailing zeros do not count). A version without numbers is never later.
    static bool IsNewerVersion(const QString& offered, const QString& running);

    bool notificationBadge() const { return m_notificationBadge; }
    Status getUpdateStatus() const { return m_updateStatus; }
    QString getUpdateVersion() const { return m_updateVersion; }
    bool isEulaAccepted() const { return m_eulaAccepted; }
    void setEulaAccepted(bool accepted);
    bool getMinimizeToTray() const { return m_minimizeToTray; }
    void setMinimizeToTray(bool on);

    // Whether an update dialog should be offered; set at every change into CanDownload or
    // CanInstall, cleared by dialogShowed.
    Q_INVOKABLE bool isDialogNeeded() const { return m_dialogNeeded; }
    Q_INVOKABLE void dialogShowed() { m_dialogNeeded = false; }
    // CanDownload: starts the installer download. CanInstall: opens the saved installer and ends
    // the application; false when it could not be found or opened. Otherwise nothing (true).
    // Only a version later than the running one is offered, and only where its installer can run.
    Q_INVOKABLE bool proceedUpdate();
    // Writes the newest log files into the local file of `fileUrl` (a name without a folder goes
    // into `folderUrl`, the folder the file dialog showed) and shows it in the file manager.
    Q_INVOKABLE bool saveLogsToFile(const QUrl& fileUrl, const QUrl& folderUrl = QUrl());
    // The window is not closed while any reason not to is open (a firmware update).
    Q_INVOKABLE bool isClosingBlocked() const { return m_closingBlocks != 0; }
    Q_INVOKABLE void addClosingBlock() { ++m_closingBlocks; }
    Q_INVOKABLE void removeClosingBlock() { --m_closingBlocks; }

    // Uncreatable QML type "UIAppMediator" in "Velmor.Enums" 1.0 (for the Status values).
    static void RegisterType();

signals:
    // Emitted twice for every change: first with the status None, then with the new status and
    // version, so that a screen bound to the status always sees the change.
    void updateChanged();
    void notificationBadgeChanged();
    void eulaAcceptedChanged();
    void minimizeToTrayChanged();

private:
    void onUpdateStatusChanged();
    void onPrefChanged(Preferences::BoolProperty property);
    bool hasUpdate() const { return m_updateStatus == CanDownload || m_updateStatus == CanInstall; }
    void updateDialogNeeded() { m_dialogNeeded = hasUpdate(); }
    void updateNotificationBadge();

    Platform::NetworkUpdater& m_updater;
    Preferences& m_preferences;
    std::unique_ptr<Platform::IAppInstaller> m_installer;
    QString m_refusedVersion; // the last offer not shown, logged once
    QString m_updateVersion;
    Status m_updateStatus = None;
    bool m_dialogNeeded = false;
    bool m_notificationBadge = false;
    int m_closingBlocks = 0;
    bool m_eulaAccepted;
    bool m_minimizeToTray;
};

} // namespace UIMediators
