#pragma once

#include "ui_models/IUIModel.h"

namespace Devices {
class DeviceProxy;
}

namespace DeviceModels {
class SolvarineDeviceModel;
}

namespace UIMediators {
class UISlvFwMediator;
}

namespace UIModels {

class IAppServices;

// The UI model of the serial-port device: owns the serial device model and its firmware
// mediator, refreshes the mediator when a serial device has been loaded and then announces
// modelReady. The hardware bus never finds such a device in this build, so in a normal run the
// model never becomes ready.
class UISolvarineModel final : public IUIModel {
    Q_OBJECT
    Q_PROPERTY(QObject* fwMediator READ getFwMediator CONSTANT)

public:
    UISolvarineModel(Devices::DeviceProxy& proxy, IAppServices& app, QObject* parent);
    ~UISolvarineModel() override;

    Type getType() const override { return Solvarine; }
    // Read live from the proxy.
    Category getCategory() const override;

    QObject* getFwMediator() const;

    DeviceModels::SolvarineDeviceModel* deviceModel() const { return m_deviceModel; }
    UIMediators::UISlvFwMediator* fwMediator() const { return m_fw; }

private slots:
    void onDeviceReady();
    void onDeviceLost();

private:
    Devices::DeviceProxy& m_proxy;
    IAppServices& m_app;
    DeviceModels::SolvarineDeviceModel* m_deviceModel;
    UIMediators::UISlvFwMediator* m_fw;
};

} // namespace UIModels
