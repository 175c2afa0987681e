#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace Devices {
class DeviceProxy;
}

namespace DeviceModels {
class KestrinDeviceModel;
}

namespace UIModels {
class IAppServices;
}

namespace UIMediators {

// Headset firmware, pairing, factory reset and driver removal for the screens.
//
// This build shows the installed versions, resets and pairs; firmware installation, rollback and
// driver removal are not available yet: installFw reports StartFailed, no update is ever offered,
// and a driver removal ends as DrFailed.
class UIKesFwMediator final : public QObject {
    Q_OBJECT
    Q_PROPERTY(Status status READ getStatus NOTIFY statusChanged)
    Q_PROPERTY(float progress READ getProgress NOTIFY progressChanged)
    Q_PROPERTY(QString fwVer READ getFwVer NOTIFY modelReady)
    Q_PROPERTY(QString dongleFwVer READ getDongleFwVer NOTIFY modelReady)
    Q_PROPERTY(QString availableFw READ getAvailableFw NOTIFY availableFwChanged)
    Q_PROPERTY(bool hasFwUpdate READ hasFwUpdate NOTIFY hasFwUpdateChanged)
    Q_PROPERTY(bool isDongle READ isDongle NOTIFY modelReady)
    Q_PROPERTY(bool isFwOnly READ isFwOnly NOTIFY modelReady)
    Q_PROPERTY(bool isRollback READ isRollback NOTIFY isRollbackChanged)
    Q_PROPERTY(bool isChecking READ isChecking NOTIFY isCheckingChanged)
    Q_PROPERTY(bool fwMismatch READ isFwMismatch NOTIFY fwMismatchChanged)
    Q_PROPERTY(DrStatus drStatus READ getDrStatus NOTIFY drStatusChanged)
    Q_PROPERTY(bool canRemoveDriver READ canRemoveDriver CONSTANT)

public:
    enum Status { Starting = 0, Updating = 1, Applying = 2, Success = 3, Failed = 4, NotStarted = 5 };
    Q_ENUM(Status)
    enum StartStatus { Started = 0, StartFailed = 1 };
    Q_ENUM(StartStatus)
    enum DrStatus {
        DrNotStarted = 0,
        DrUnplugDevices = 1,
        DrUninstalling = 2,
        DrWaitForDeviceReconnect = 3,
        DrSuccess = 4,
        DrDeviceConnected = 5,
        DrAccessDenied = 6,
        DrFailed = 7,
    };
    Q_ENUM(DrStatus)

    UIKesFwMediator(UIModels::IAppServices& app, DeviceModels::KestrinDeviceModel& model, Devices::DeviceProxy& proxy,
                    QObject* parent);

    Status getStatus() const { return NotStarted; }
    float getProgress() const { return 0.0f; }
    QString getFwVer() const { return m_fwVer; }
    QString getDongleFwVer() const { return m_dongleFwVer; }
    QString getAvailableFw() const { return QString(); }
    bool hasFwUpdate() const { return false; }
    bool isDongle() const;
    bool isFwOnly() const;
    bool isRollback() const { return false; }
    bool isChecking() const { return false; }
    bool isFwMismatch() const { return false; }
    DrStatus getDrStatus() const { return m_drStatus; }
    bool canRemoveDriver() const { return false; }

    Q_INVOKABLE StartStatus installFw(bool remote);
    Q_INVOKABLE bool factoryReset();
    Q_INVOKABLE void pairing();
    Q_INVOKABLE void forceAllowUpdate() {}
    Q_INVOKABLE QStringList getRollbackFwVersions() { return {}; }
    Q_INVOKABLE void setRollbackFwIndex(int) {}
    Q_INVOKABLE void resetReinstallingDrivers();
    Q_INVOKABLE void continueReinstallingDrivers();

    // A device has been loaded: take its versions.
    void onModelReady();

    // Uncreatable QML type "UIKesFwMediator" in "Velmor.Enums" 1.0.
    static void RegisterType();

signals:
    void statusChanged();
    void progressChanged();
    void availableFwChanged();
    void hasFwUpdateChanged();
    void modelReady();
    void isRollbackChanged();
    void isCheckingChanged();
    void fwMismatchChanged();
    void drStatusChanged();

private:
    void setDrStatus(DrStatus status);

    UIModels::IAppServices& m_app;
    DeviceModels::KestrinDeviceModel& m_model;
    Devices::DeviceProxy& m_proxy;
    QString m_fwVer;
    QString m_dongleFwVer;
    DrStatus m_drStatus = DrNotStarted;
};

} // namespace UIMediators
