#pragma once

#include <QObject>
#include <QQuaternion>
#include <QStringList>

#include <memory>

class QTimer;

namespace Devices {
class DeviceProxy;
}

namespace DeviceModels {
class KestrinDeviceModel;
}

namespace UIModels {
class IAppServices;
}

namespace UIMediators {

class UIKesOscMediator;

// Head tracking for QML: the head orientation as a quaternion and as Euler angles, centring and
// gyro calibration, the choice of the device model's polling mode (the status bar's normal
// polling, or fast head-position reads while the head-tracking page is current), and the OSC
// output that sends every new orientation over UDP.
//
// While the OSC output is on, and while a calibration runs, the application is kept awake. The
// output is switched off whenever a device becomes ready or is lost; none of its settings is kept
// between runs.
class UIKesHeadMediator final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QQuaternion position READ getPosition NOTIFY positionChanged)
    Q_PROPERTY(float pitch READ getPitch NOTIFY positionChanged)
    Q_PROPERTY(float yaw READ getYaw NOTIFY positionChanged)
    Q_PROPERTY(float roll READ getRoll NOTIFY positionChanged)
    Q_PROPERTY(bool hasHeadtracking READ hasHeadtracking NOTIFY hasHeadtrackingChanged)
    Q_PROPERTY(bool animationEnabled READ isAnimationEnabled WRITE setAnimationEnabled NOTIFY animationEnabledChanged)
    Q_PROPERTY(bool statusBarPolling READ isStatusBarPolling NOTIFY statusBarPollingChanged)
    Q_PROPERTY(bool oscEnabled READ isOscEnabled WRITE setOscEnabled NOTIFY oscEnabledChanged)
    Q_PROPERTY(QObject* gesturesModel READ getGesturesModel CONSTANT)
    Q_PROPERTY(QStringList oscFormats READ getOscFormats CONSTANT)
    Q_PROPERTY(int oscFormatIndex READ getOscFormatIndex WRITE setOscFormatIndex NOTIFY oscFormatIndexChanged)
    Q_PROPERTY(QString ipAddress READ getIpAddress WRITE setIpAddress NOTIFY ipAddressChanged)
    Q_PROPERTY(QString udpPort READ getUdpPort WRITE setUdpPort NOTIFY udpPortChanged)

public:
    UIKesHeadMediator(UIModels::IAppServices& app, DeviceModels::KestrinDeviceModel& model, Devices::DeviceProxy& proxy,
                      QObject* parent);
    ~UIKesHeadMediator() override;

    QQuaternion getPosition() const { return m_position; }
    float getPitch() const { return m_pitch; }
    float getYaw() const { return m_yaw; }
    float getRoll() const { return m_roll; }
    bool hasHeadtracking() const;
    bool isAnimationEnabled() const { return m_animationEnabled; }
    void setAnimationEnabled(bool on);
    bool isStatusBarPolling() const { return m_statusBarPolling; }
    bool isOscEnabled() const { return m_oscEnabled; }
    // Stays off while the headset has no head tracking.
    void setOscEnabled(bool on);
    QObject* getGesturesModel() const { return nullptr; }
    QStringList getOscFormats() const;
    int getOscFormatIndex() const;
    void setOscFormatIndex(int index);
    QString getIpAddress() const;
    void setIpAddress(const QString& text);
    QString getUdpPort() const;
    void setUdpPort(const QString& text);

    Q_INVOKABLE void centralize();
    // Starts the headset's gyro calibration; keeps the application awake for `seconds`.
    Q_INVOKABLE bool calibrate(int seconds);
    Q_INVOKABLE void setCurrentTabHt(bool is_tab_ht);

    // Called by the headset UI model.
    void onModelReady();
    void onDeviceLost();

signals:
    void positionChanged();
    void hasHeadtrackingChanged();
    void animationEnabledChanged();
    void statusBarPollingChanged();
    void oscEnabledChanged();
    void oscFormatIndexChanged();
    void ipAddressChanged();
    void udpPortChanged();

private slots:
    void onHeadPositionChanged();
    void onHasHtChanged();

private:
    void updateDataPolling();
    void switchOscOff();
    void releaseCalibrationActivity();

    UIModels::IAppServices& m_app;
    DeviceModels::KestrinDeviceModel& m_model;
    Devices::DeviceProxy& m_proxy;
    std::unique_ptr<UIKesOscMediator> m_osc;
    QQuaternion m_position;
    float m_pitch = 0.0f;
    float m_yaw = 0.0f;
    float m_roll = 0.0f;
    bool m_oscEnabled = false;
    bool m_animationEnabled;
    bool m_currentTabHt = false;
    bool m_statusBarPolling = false;
    bool m_calibrationActivity = false;
    // Ends the calibration's keep-awake request; stopped when it ends earlier.
    QTimer* m_calibrationTimer;
};

} // namespace UIMediators
