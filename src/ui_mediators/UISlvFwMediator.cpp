#include "ui_mediators/UISlvFwMediator.h"

#include "device_models/SolvarineDeviceModel.h"

#include <QtQml/qqml.h>

namespace UIMediators {

UISlvFwMediator::UISlvFwMediator(UIModels::IAppServices& app, DeviceModels::SolvarineDeviceModel& deviceModel,
                                 Devices::DeviceProxy& proxy, QObject* parent)
    : QObject(parent)
    , m_app(app)
    , m_deviceModel(deviceModel)
    , m_proxy(proxy)
{
}

void UISlvFwMediator::onModelReady()
{
    m_fwVer = m_deviceModel.getFwVersion();
    emit modelReady();
}

void UISlvFwMediator::RegisterType()
{
    qmlRegisterUncreatableType<UISlvFwMediator>("Velmor.Enums", 1, 0, "UISlvFwMediator", QString());
}

} // namespace UIMediators
