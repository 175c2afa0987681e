#include "ui_mediators/UIKesFwMediator.h"

#include "app/core/GlobalLogger.h"
#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "platform/IHwBus.h"
#include "ui_models/IAppServices.h"

#include <QtQml/qqml.h>

namespace UIMediators {

UIKesFwMediator::UIKesFwMediator(UIModels::IAppServices& app, DeviceModels::KestrinDeviceModel& model,
                                 Devices::DeviceProxy& proxy, QObject* parent)
    : QObject(parent)
    , m_app(app)
    , m_model(model)
    , m_proxy(proxy)
{
}

bool UIKesFwMediator::isDongle() const
{
    return m_model.isDongle();
}

bool UIKesFwMediator::isFwOnly() const
{
    return m_model.isFwOnly();
}

UIKesFwMediator::StartStatus UIKesFwMediator::installFw(bool remote)
{
    GlobalLogger::Instance()->message(QtWarningMsg, "Firmware installation (%s) is not available in this build.",
                                      remote ? "through the dongle" : "direct");
    return StartFailed;
}

bool UIKesFwMediator::factoryReset()
{
    return m_model.factoryReset();
}

void UIKesFwMediator::pairing()
{
    if (Platform::IHwBus* bus = m_app.getHwBus())
        bus->tryPairKestrinDongle();
}

void UIKesFwMediator::resetReinstallingDrivers()
{
    setDrStatus(DrNotStarted);
}

void UIKesFwMediator::continueReinstallingDrivers()
{
    switch (m_drStatus) {
    case DrNotStarted:
    case DrUnplugDevices:
        GlobalLogger::Instance()->message(QtWarningMsg, "Driver removal is not available in this build.");
        setDrStatus(DrFailed);
        break;
    case DrSuccess:
    case DrDeviceConnected:
    case DrAccessDenied:
    case DrFailed:
        setDrStatus(DrNotStarted);
        break;
    case DrUninstalling:
    case DrWaitForDeviceReconnect:
        break;
    }
}

void UIKesFwMediator::setDrStatus(DrStatus status)
{
    m_drStatus = status;
    emit drStatusChanged();
}

void UIKesFwMediator::onModelReady()
{
    m_fwVer = m_model.getFwVersion();
    m_dongleFwVer = m_model.isDongle() ? m_model.getDongleFwVersion() : QString();
    emit modelReady();
    emit hasFwUpdateChanged();
}

void UIKesFwMediator::RegisterType()
{
    qmlRegisterUncreatableType<UIKesFwMediator>("Velmor.Enums", 1, 0, "UIKesFwMediator",
                                                QStringLiteral("Error - class UIKesFwMediator uncreatable"));
}

} // namespace UIMediators
