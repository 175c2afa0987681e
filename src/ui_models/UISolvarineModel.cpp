#include "ui_models/UISolvarineModel.h"

#include "device_models/SolvarineDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "ui_mediators/UISlvFwMediator.h"

namespace UIModels {

UISolvarineModel::UISolvarineModel(Devices::DeviceProxy& proxy, IAppServices& app, QObject* parent)
    : IUIModel(parent)
    , m_proxy(proxy)
    , m_app(app)
    , m_deviceModel(new DeviceModels::SolvarineDeviceModel(proxy))
    , m_fw(new UIMediators::UISlvFwMediator(app, *m_deviceModel, proxy, this))
{
    connect(m_deviceModel, &DeviceModels::SolvarineDeviceModel::deviceReady, this, &UISolvarineModel::onDeviceReady);
    connect(m_deviceModel, &DeviceModels::SolvarineDeviceModel::deviceLost, this, &UISolvarineModel::onDeviceLost);
}

UISolvarineModel::~UISolvarineModel()
{
    // The device model goes first; the mediator follows as a child and does not use it then.
    delete m_deviceModel;
    m_deviceModel = nullptr;
}

IUIModel::Category UISolvarineModel::getCategory() const
{
    return Category(int(m_proxy.getCategory()));
}

QObject* UISolvarineModel::getFwMediator() const
{
    return m_fw;
}

void UISolvarineModel::onDeviceReady()
{
    m_fw->onModelReady();
    emit categoryChanged();
    emit modelReady();
}

void UISolvarineModel::onDeviceLost()
{
    // The screen keeps the last version until another device takes over.
}

} // namespace UIModels
