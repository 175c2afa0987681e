#pragma once

#include <QObject>
#include <QString>

namespace Devices {
class DeviceProxy;
}

namespace DeviceModels {
class SolvarineDeviceModel;
}

namespace UIModels {
class IAppServices;
}

namespace UIMediators {

// The serial device's firmware version for its screen, taken from the device model each time a
// serial device has been loaded. The device has no firmware installation; the enums exist for
// QML only.
class UISlvFwMediator final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString fwVer READ getFwVer NOTIFY modelReady)

public:
    enum Status { NotStarted = 0 };
    Q_ENUM(Status)
    enum StartStatus { Started = 0, StartFailed = 1 };
    Q_ENUM(StartStatus)

    UISlvFwMediator(UIModels::IAppServices& app, DeviceModels::SolvarineDeviceModel& deviceModel,
                    Devices::DeviceProxy& proxy, QObject* parent);

    // Empty until the first serial device was loaded.
    QString getFwVer() const { return m_fwVer; }

    // Re-reads the version from the device model and announces it.
    void onModelReady();

    // Uncreatable QML type "UISlvFwMediator" in "Velmor.Enums" 1.0; start-up does not call it.
    static void RegisterType();

signals:
    void modelReady();

private:
    UIModels::IAppServices& m_app;
    DeviceModels::SolvarineDeviceModel& m_deviceModel;
    Devices::DeviceProxy& m_proxy;
    QString m_fwVer;
};

} // namespace UIMediators
