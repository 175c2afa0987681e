#include "ui_models/QmlEnumTypes.h"

#include "ui_mediators/UIAppMediator.h"
#include "ui_mediators/UIKesFwMediator.h"
#include "ui_mediators/UIKesSettingsMediator.h"
#include "ui_models/IUIModel.h"
#include "ui_models/UIKestrinModel.h"
#include "ui_models/UINotificationsModel.h"

namespace UIModels {

void RegisterQmlEnumTypes()
{
    IUIModel::RegisterType();
    UIKestrinModel::RegisterType();
    UINotificationsModel::RegisterType();
    UIMediators::UIAppMediator::RegisterType();
    UIMediators::UIKesFwMediator::RegisterType();
    UIMediators::UIKesSettingsMediator::RegisterType();
}

} // namespace UIModels
