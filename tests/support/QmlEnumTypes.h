#pragma once

// The uncreatable types of "Velmor.Enums" 1.0 that screens and dialogs import, registered as
// start-up registers them, for tests that load QML without the application object.

#include "ui_mediators/UIAppMediator.h"
#include "ui_mediators/UIKesFwMediator.h"
#include "ui_mediators/UIKesSettingsMediator.h"
#include "ui_models/IUIModel.h"
#include "ui_models/UIKestrinModel.h"
#include "ui_models/UINotificationsModel.h"

namespace TestSupport {

inline void RegisterQmlEnumTypes()
{
    UIModels::IUIModel::RegisterType();
    UIModels::UIKestrinModel::RegisterType();
    UIModels::UINotificationsModel::RegisterType();
    UIMediators::UIAppMediator::RegisterType();
    UIMediators::UIKesFwMediator::RegisterType();
    UIMediators::UIKesSettingsMediator::RegisterType();
}

} // namespace TestSupport
