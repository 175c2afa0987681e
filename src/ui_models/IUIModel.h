#pragma once

#include <QObject>

namespace UIModels {

// Base of the per-device UI models: App.uiModel is always one of them. The screens read `type`
// to pick the device screen and compare `category` with UIModel.Hardware.
class IUIModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(Type type READ getType CONSTANT)
    Q_PROPERTY(Category category READ getCategory NOTIFY categoryChanged)

public:
    enum Type { Unknown = 0, Kestrin = 1, Solvarine = 2 };
    Q_ENUM(Type)

    // The same numbers as the device categories: null device, simulated headset, hardware.
    enum Category { Stub = 0, Software = 1, Hardware = 2 };
    Q_ENUM(Category)

    explicit IUIModel(QObject* parent);
    ~IUIModel() override = 0;

    virtual Type getType() const = 0;
    virtual Category getCategory() const = 0;

    // Uncreatable QML type "UIModel" in "Velmor.Enums" 1.0.
    static void RegisterType();

signals:
    // The model's mediators have been refreshed for a newly loaded device.
    void modelReady();
    void categoryChanged();
};

} // namespace UIModels
