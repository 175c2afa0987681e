#pragma once

#include <QObject>

namespace DeviceModels {
class KestrinDeviceModel;
}

namespace UIMediators {

// The headset's live status for the status bar: battery, microphone mute, power.
class UIKesStatusMediator final : public QObject {
    Q_OBJECT
    Q_PROPERTY(int batteryPercentage READ getBatteryPercentage NOTIFY batteryPercentageChanged)
    Q_PROPERTY(bool micMute READ isMicMuted NOTIFY micMuteChanged)
    Q_PROPERTY(bool poweredOn READ isPoweredOn NOTIFY poweredOnChanged)
    // False until the current headset's battery and mute have been read: the two values above
    // are then no reading of it, and are not to be shown.
    Q_PROPERTY(bool statusRead READ isStatusRead NOTIFY batteryPercentageChanged)

public:
    UIKesStatusMediator(DeviceModels::KestrinDeviceModel& model, QObject* parent);

    int getBatteryPercentage() const;
    bool isMicMuted() const;
    bool isPoweredOn() const;
    bool isStatusRead() const;

    // Takes the current head orientation as the centre; the device model's answer.
    Q_INVOKABLE bool centralize();

    // A device has been loaded: every value may be new. The powered-on state is read only then.
    void onModelReady();

signals:
    void batteryPercentageChanged();
    void micMuteChanged();
    void poweredOnChanged();

private:
    DeviceModels::KestrinDeviceModel& m_model;
};

} // namespace UIMediators
