#include "ui_models/IUIModel.h"

#include <QtQml/qqml.h>

namespace UIModels {

IUIModel::IUIModel(QObject* parent)
    : QObject(parent)
{
}

IUIModel::~IUIModel() = default;

void IUIModel::RegisterType()
{
    qmlRegisterUncreatableType<IUIModel>("Velmor.Enums", 1, 0, "UIModel",
                                         QStringLiteral("Error - class IUIModel uncreatable"));
}

} // namespace UIModels
