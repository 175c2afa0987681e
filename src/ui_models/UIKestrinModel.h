#pragma once

#include "core/DeviceType.h"
#include "ui_models/IUIModel.h"

namespace Devices {
class DeviceProxy;
}

namespace DeviceModels {
class KestrinDeviceModel;
}

namespace UIMediators {
class UIKesFwMediator;
class UIKesHeadMediator;
class UIKesSettingsMediator;
class UIKesStatusMediator;
} // namespace UIMediators

namespace UIModels {

class IAppServices;

// The UI model of the headset family: owns the headset device model and the four headset
// mediators, refreshes them when a headset has been loaded and then announces modelReady.
class UIKestrinModel final : public IUIModel {
    Q_OBJECT
    Q_PROPERTY(KestrinType kestrinType READ getKestrinType NOTIFY kestrinTypeChanged)
    Q_PROPERTY(QObject* statusMediator READ getStatusMediator CONSTANT)
    Q_PROPERTY(QObject* settingsMediator READ getSettingsMediator CONSTANT)
    Q_PROPERTY(QObject* fwMediator READ getFwMediator CONSTANT)
    Q_PROPERTY(QObject* headMediator READ getHeadMediator CONSTANT)

public:
    // The same numbers as DeviceType.
    enum KestrinType { None = 0, Kestrin_1 = 1, Kestrin_2 = 2, Kestrin_2_ANC = 3 };
    Q_ENUM(KestrinType)

    UIKestrinModel(Devices::DeviceProxy* proxy, IAppServices* app, QObject* parent);
    ~UIKestrinModel() override;

    Type getType() const override { return Kestrin; }
    // Read live from the proxy: after a fall-back to the null device this is Stub at once.
    Category getCategory() const override;

    KestrinType getKestrinType() const { return m_kestrinType; }
    QObject* getStatusMediator() const;
    QObject* getSettingsMediator() const;
    QObject* getFwMediator() const;
    QObject* getHeadMediator() const;

    DeviceModels::KestrinDeviceModel* deviceModel() const { return m_deviceModel; }
    UIMediators::UIKesStatusMediator* statusMediator() const { return m_status; }
    UIMediators::UIKesSettingsMediator* settingsMediator() const { return m_settings; }
    UIMediators::UIKesFwMediator* fwMediator() const { return m_fw; }
    UIMediators::UIKesHeadMediator* headMediator() const { return m_head; }

    static KestrinType DetermineKestrinType(DeviceType type);

    // Uncreatable QML type "UIKestrinModel" in "Velmor.Enums" 1.0.
    static void RegisterType();

signals:
    void kestrinTypeChanged();

private slots:
    void onDeviceReady();
    void onDeviceLost();

private:
    Devices::DeviceProxy* m_proxy;
    IAppServices* m_app;
    DeviceModels::KestrinDeviceModel* m_deviceModel;
    UIMediators::UIKesStatusMediator* m_status;
    UIMediators::UIKesSettingsMediator* m_settings;
    UIMediators::UIKesFwMediator* m_fw;
    UIMediators::UIKesHeadMediator* m_head;
    KestrinType m_kestrinType = None;
};

} // namespace UIModels
