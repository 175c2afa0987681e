#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class Preferences;

namespace Platform {
class NetworkUpdater;
}

namespace UIMediators {

// Application-wide matters for the screens: legal-terms consent, the tray option, the closing
// block, the app update and the log export.
//
// The app update is not available in this build: the status stays None and no update is offered.
class UIAppMediator final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool notificationBadge READ notificationBadge NOTIFY notificationBadgeChanged)
    Q_PROPERTY(Status updateStatus READ getUpdateStatus NOTIFY updateChanged)
    Q_PROPERTY(QString updateVersion READ getUpdateVersion NOTIFY updateChanged)
    Q_PROPERTY(bool eulaAccepted READ isEulaAccepted WRITE setEulaAccepted NOTIFY eulaAcceptedChanged)
    Q_PROPERTY(bool minimizeToTray READ getMinimizeToTray WRITE setMinimizeToTray NOTIFY minimizeToTrayChanged)

public:
    enum Status { None = 0, Checking = 1, CanDownload = 2, CanInstall = 3, Failed = 4 };
    Q_ENUM(Status)

    UIAppMediator(Platform::NetworkUpdater& updater, Preferences& preferences, QObject* parent);

    bool notificationBadge() const { return false; }
    Status getUpdateStatus() const { return None; }
    QString getUpdateVersion() const { return QString(); }
    bool isEulaAccepted() const;
    void setEulaAccepted(bool accepted);
    bool getMinimizeToTray() const;
    void setMinimizeToTray(bool on);

    Q_INVOKABLE bool isDialogNeeded() const { return false; }
    Q_INVOKABLE void dialogShowed() {}
    // Nothing to download or install in this build: does nothing, like the None state.
    Q_INVOKABLE bool proceedUpdate() { return true; }
    // Writes the newest log files into the local file of `fileUrl` and shows it in the file
    // manager.
    Q_INVOKABLE bool saveLogsToFile(const QUrl& fileUrl);
    Q_INVOKABLE bool isClosingBlocked() const { return m_closingBlocks != 0; }
    Q_INVOKABLE void addClosingBlock() { ++m_closingBlocks; }
    Q_INVOKABLE void removeClosingBlock() { --m_closingBlocks; }

    // Uncreatable QML type "UIAppMediator" in "Velmor.Enums" 1.0 (for the Status values).
    static void RegisterType();

signals:
    void updateChanged();
    void notificationBadgeChanged();
    void eulaAcceptedChanged();
    void minimizeToTrayChanged();

private:
    Preferences& m_preferences;
    int m_closingBlocks = 0;
};

} // namespace UIMediators
