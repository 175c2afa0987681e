#pragma once

#include "ui_models/IUIModel.h"

namespace Devices {
class DeviceProxy;
}

namespace UIMediators {
class UISlvFwMediator;
}

namespace UIModels {

class IAppServices;

// The UI model of the serial-port device.
//
// The serial device model is not part of this build (no serial device is ever found), so this
// model never becomes ready and its firmware mediator reports no version.
class UISolvarineModel final : public IUIModel {
    Q_OBJECT
    Q_PROPERTY(QObject* fwMediator READ getFwMediator CONSTANT)

public:
    UISolvarineModel(Devices::DeviceProxy& proxy, IAppServices& app, QObject* parent);

    Type getType() const override { return Solvarine; }
    Category getCategory() const override;

    QObject* getFwMediator() const;

private:
    Devices::DeviceProxy& m_proxy;
    IAppServices& m_app;
    UIMediators::UISlvFwMediator* m_fw;
};

} // namespace UIModels
