#include "ui_mediators/UIKesStatusMediator.h"

#include "device_models/KestrinDeviceModel.h"

namespace UIMediators {

UIKesStatusMediator::UIKesStatusMediator(DeviceModels::KestrinDeviceModel& model, QObject* parent)
    : QObject(parent)
    , m_model(model)
{
    connect(&m_model, &DeviceModels::KestrinDeviceModel::sigBatteryLevelChanged, this,
            &UIKesStatusMediator::batteryPercentageChanged);
    connect(&m_model, &DeviceModels::KestrinDeviceModel::sigMicMuteChanged, this, &UIKesStatusMediator::micMuteChanged);
}

int UIKesStatusMediator::getBatteryPercentage() const
{
    return int(m_model.getBatteryLevel());
}

bool UIKesStatusMediator::isMicMuted() const
{
    return m_model.getMicMute();
}

bool UIKesStatusMediator::isPoweredOn() const
{
    return m_model.isPoweredOn();
}

bool UIKesStatusMediator::isStatusRead() const
{
    return m_model.isStatusRead();
}

bool UIKesStatusMediator::centralize()
{
    return m_model.centralize();
}

void UIKesStatusMediator::onModelReady()
{
    emit batteryPercentageChanged();
    emit micMuteChanged();
    emit poweredOnChanged();
}

} // namespace UIMediators
