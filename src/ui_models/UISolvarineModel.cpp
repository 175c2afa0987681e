#include "ui_models/UISolvarineModel.h"

#include "devices/DeviceProxy.h"
#include "ui_mediators/UISlvFwMediator.h"

namespace UIModels {

UISolvarineModel::UISolvarineModel(Devices::DeviceProxy& proxy, IAppServices& app, QObject* parent)
    : IUIModel(parent)
    , m_proxy(proxy)
    , m_app(app)
    , m_fw(new UIMediators::UISlvFwMediator(this))
{
}

IUIModel::Category UISolvarineModel::getCategory() const
{
    return Category(int(m_proxy.getCategory()));
}

QObject* UISolvarineModel::getFwMediator() const
{
    return m_fw;
}

} // namespace UIModels
