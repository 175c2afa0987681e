#include "ui_mediators/UINotificationsMediator.h"

#include "ui_models/UINotificationsModel.h"

namespace UIMediators {

UINotificationsMediator::UINotificationsMediator(Platform::NetworkUpdater&, UIAppMediator&, QObject* parent)
    : QObject(parent)
    , m_model(new UIModels::UINotificationsModel(this))
    , m_proxy(new UIModels::UINotificationsSortFilterModel(this))
{
    m_proxy->setSourceModel(m_model);
}

QObject* UINotificationsMediator::getNotificationsModel() const
{
    return m_proxy;
}

int UINotificationsMediator::getNewsCount() const
{
    int count = 0;
    for (int row = 0; row < m_proxy->rowCount(); ++row) {
        if (!m_proxy->data(m_proxy->index(row, 0), UIModels::UINotificationsModel::isSeenRole).toBool())
            ++count;
    }
    return count;
}

void UINotificationsMediator::markAsSeen()
{
    m_proxy->markAsSeen();
    emit newsCountChanged();
}

void UINotificationsMediator::setFwUpdateAvailable(bool)
{
    emit newsCountChanged();
}

void UINotificationsMediator::setCurrentDevice(DeviceType type)
{
    m_currentDevice = type;
    emit newsCountChanged();
}

} // namespace UIMediators
