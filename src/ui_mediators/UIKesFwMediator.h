#pragma once

#include "core/DeviceType.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace Devices {
class DeviceProxy;
}

namespace DeviceModels {
class KestrinDeviceModel;
}

namespace Platform {
class IHwBus;
class IKestrinDriversUninstaller;
class IKestrinFwUpdater;
class NetworkUpdater;
} // namespace Platform

namespace UIModels {
class IAppServices;
}

namespace UIMediators {

// Headset firmware for the screens: the installed and offered versions, whether an install is
// offered, the install itself through a firmware updater, older firmware (rollback) from the
// network updater's list, dongle pairing, factory reset and the old-driver removal flow.
// GUI thread only.
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
    // False where this system cannot install firmware; updates are still checked for and cached.
    Q_PROPERTY(bool canInstallFw READ canInstallFw CONSTANT)

public:
    // The first five are the firmware updater's own status numbers.
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

    // Where the mediator gets its platform objects: the platform's own unless a test sets others.
    struct PlatformServices {
        std::function<std::unique_ptr<Platform::IKestrinFwUpdater>(const QString& fwPath, Platform::IHwBus& bus)>
            createFwUpdater;
        std::function<std::unique_ptr<Platform::IKestrinDriversUninstaller>()> createDriversUninstaller;
        std::function<bool()> isAnyKestrinConnected;
        bool driverRemovalSupported = false;
        bool fwInstallSupported = true;

        static PlatformServices Default();
    };

    UIKesFwMediator(UIModels::IAppServices& app, DeviceModels::KestrinDeviceModel& model, Devices::DeviceProxy& proxy,
                    QObject* parent);
    ~UIKesFwMediator() override;

    // Before the first use (tests).
    void setPlatformServices(PlatformServices services);

    Status getStatus() const { return m_status; }
    float getProgress() const { return m_progress; }
    QString getFwVer() const { return m_fwVer; }
    QString getDongleFwVer() const { return m_dongleFwVer; }
    QString getAvailableFw() const { return m_availableFw; }
    bool hasFwUpdate() const;
    bool isDongle() const;
    bool isFwOnly() const;
    bool isRollback() const { return m_rollback; }
    bool isChecking() const { return m_checking; }
    bool isFwMismatch() const { return m_mismatch; }
    DrStatus getDrStatus() const { return m_drStatus; }
    bool canInstallFw() const { return m_services.fwInstallSupported; }
    bool canRemoveDriver() const { return m_services.driverRemovalSupported; }

    // `remote`: the headset is updated through the dongle.
    Q_INVOKABLE StartStatus installFw(bool remote);
    Q_INVOKABLE bool factoryReset();
    Q_INVOKABLE void pairing();
    Q_INVOKABLE void forceAllowUpdate();
    Q_INVOKABLE QStringList getRollbackFwVersions();
    Q_INVOKABLE void setRollbackFwIndex(int index);
    Q_INVOKABLE void resetReinstallingDrivers();
    Q_INVOKABLE void continueReinstallingDrivers();

    // Called by the owning model whenever the device model is ready.
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

private slots:
    void onFwUpdateStatusChanged(DeviceType type);
    void onStatusChanged();
    void onProgressChanged();
    void onDrStatusChanged();

private:
    Platform::NetworkUpdater* updater() const;
    bool isHw() const;
    int currentCategory() const;
    void clearRollbackChoice(DeviceType type);
    void uninstallDrivers();
    void raiseAutoPowerOff();
    void setDrStatus(DrStatus status);

    UIModels::IAppServices& m_app;
    DeviceModels::KestrinDeviceModel& m_model;
    Devices::DeviceProxy& m_proxy;
    PlatformServices m_services;
    std::unique_ptr<Platform::IKestrinFwUpdater> m_fwUpdater;
    std::unique_ptr<Platform::IKestrinDriversUninstaller> m_uninstaller;
    QString m_fwVer;
    QString m_dongleFwVer;
    QString m_availableFw;
    DeviceType m_deviceType = DeviceType::none;
    int m_rollbackRevision = 2; // matches neither printing of the first model
    int m_latestIndex = 0;
    bool m_forceAllow = false;
    bool m_rollback = false;
    bool m_checking = false;
    bool m_mismatch = false;
    bool m_raisePowerOffLater = false;
    bool m_dongleSelfUpdate = false;
    Status m_status = NotStarted;
    float m_progress = 0.0f;
    DrStatus m_drStatus = DrNotStarted;
};

} // namespace UIMediators
