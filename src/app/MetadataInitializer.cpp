#include "app/MetadataInitializer.h"

#include "devices/IDeviceImpl.h"
#include "ui_mediators/UIAppMediator.h"
#include "ui_mediators/UIKesFwMediator.h"
#include "ui_mediators/UIKesSettingsMediator.h"
#include "ui_models/IUIModel.h"
#include "ui_models/UIKestrinModel.h"
#include "ui_models/UINotificationsModel.h"

#include <QMetaType>

MetadataInitializer::MetadataInitializer()
{
    qRegisterMetaType<Devices::SharedDeviceImpl>("Devices::SharedDeviceImpl");

    // The uncreatable types of "Velmor.Enums" 1.0, each registered by its own class.
    UIModels::IUIModel::RegisterType();
    UIModels::UIKestrinModel::RegisterType();
    UIModels::UINotificationsModel::RegisterType();
    UIMediators::UIAppMediator::RegisterType();
    UIMediators::UIKesFwMediator::RegisterType();
    UIMediators::UIKesSettingsMediator::RegisterType();
}
