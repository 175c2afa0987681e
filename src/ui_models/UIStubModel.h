#pragma once

#include "ui_models/IUIModel.h"

namespace UIModels {

// The UI model shown while no device is current.
class UIStubModel final : public IUIModel {
    Q_OBJECT

public:
    explicit UIStubModel(QObject* parent = nullptr);

    Type getType() const override { return Unknown; }
    Category getCategory() const override { return Stub; }
};

} // namespace UIModels
