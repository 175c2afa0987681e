#include "ui_models/UIKestrinModel.h"

#include "device_models/KestrinDeviceModel.h"
#include "devices/DeviceProxy.h"
#include "ui_mediators/UIKesFwMediator.h"
#include "ui_mediators/UIKesHeadMediator.h"
#include "ui_mediators/UIKesSettingsMediator.h"
#include "ui_mediators/UIKesStatusMediator.h"
#include "ui_models/IAppServices.h"

#include <QtQml/qqml.h>

namespace UIModels {

UIKestrinModel::UIKestrinModel(Devices::DeviceProxy* proxy, IAppServices* app, QObject* parent)
    : IUIModel(parent)
    , m_proxy(proxy)
    , m_app(app)
    , m_deviceModel(new DeviceModels::KestrinDeviceModel(proxy))
    , m_status(new UIMediators::UIKesStatusMediator(*m_deviceModel, this))
    , m_settings(new UIMediators::UIKesSettingsMediator(*app->getPreferences(), *m_deviceModel, this))
    , m_fw(new UIMediators::UIKesFwMediator(*app, *m_deviceModel, *proxy, this))
    , m_head(new UIMediators::UIKesHeadMediator(*app, *m_deviceModel, *proxy, this))
{
    connect(m_deviceModel, &DeviceModels::KestrinDeviceModel::deviceReady, this, &UIKestrinModel::onDeviceReady);
    connect(m_deviceModel, &DeviceModels::KestrinDeviceModel::deviceLost, this, &UIKestrinModel::onDeviceLost);
}

UIKestrinModel::~UIKestrinModel()
{
    // The device model goes first; the mediators follow as children and must not use it then.
    delete m_deviceModel;
    m_deviceModel = nullptr;
}

IUIModel::Category UIKestrinModel::getCategory() const
{
    return Category(int(m_proxy->getCategory()));
}

QObject* UIKestrinModel::getStatusMediator() const
{
    return m_status;
}

QObject* UIKestrinModel::getSettingsMediator() const
{
    return m_settings;
}

QObject* UIKestrinModel::getFwMediator() const
{
    return m_fw;
}

QObject* UIKestrinModel::getHeadMediator() const
{
    return m_head;
}

UIKestrinModel::KestrinType UIKestrinModel::DetermineKestrinType(DeviceType type)
{
    return KestrinType(int(type));
}

void UIKestrinModel::onDeviceReady()
{
    const KestrinType type = DetermineKestrinType(m_deviceModel->getDeviceType());
    if (type != m_kestrinType) {
        m_kestrinType = type;
        emit kestrinTypeChanged();
    }
    m_status->onModelReady();
    m_settings->onModelReady();
    m_fw->onModelReady();
    m_head->onModelReady();
    emit categoryChanged();
    emit modelReady();
}

void UIKestrinModel::onDeviceLost()
{
    // No signal: the screens keep the old value until the next device is ready.
    m_kestrinType = None;
    m_head->onDeviceLost();
}

void UIKestrinModel::RegisterType()
{
    qmlRegisterUncreatableType<UIKestrinModel>("Velmor.Enums", 1, 0, "UIKestrinModel",
                                               QStringLiteral("Error - class UIKestrinModel uncreatable"));
}

} // namespace UIModels
