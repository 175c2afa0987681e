#include "ui_models/UIStubModel.h"

namespace UIModels {

UIStubModel::UIStubModel(QObject* parent)
    : IUIModel(parent)
{
}

} // namespace UIModels
