#include "ui_mediators/UISlvFwMediator.h"

#include <QtQml/qqml.h>

namespace UIMediators {

UISlvFwMediator::UISlvFwMediator(QObject* parent)
    : QObject(parent)
{
}

void UISlvFwMediator::RegisterType()
{
    qmlRegisterUncreatableType<UISlvFwMediator>("Velmor.Enums", 1, 0, "UISlvFwMediator", QString());
}

} // namespace UIMediators
