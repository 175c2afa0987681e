#pragma once

#include <QHostAddress>
#include <QObject>
#include <QQuaternion>
#include <QStringList>

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

// Head tracking for the screens, and the choice of the device model's polling mode: the status
// bar's normal polling, or fast head-position reads while the head-tracking page is current.
//
// The OSC output is not available in this build: the OSC settings are kept but nothing is sent,
// and oscEnabled stays false.
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
    UIKesHeadMediator(UIModels::IAppServices& app, DeviceModels::KestrinDeviceModel& model,
                      Devices::DeviceProxy& proxy, QObject* parent);
    ~UIKesHeadMediator() override;

    QQuaternion getPosition() const { return m_position; }
    float getPitch() const { return m_pitch; }
    float getYaw() const { return m_yaw; }
    float getRoll() const { return m_roll; }
    bool hasHeadtracking() const;
    bool isAnimationEnabled() const { return m_animationEnabled; }
    void setAnimationEnabled(bool on);
    bool isStatusBarPolling() const { return m_statusBarPolling; }
    bool isOscEnabled() const { return false; }
    void setOscEnabled(bool on);
    QObject* getGesturesModel() const { return nullptr; }
    static QStringList getOscFormats();
    int getOscFormatIndex() const { return m_oscFormatIndex; }
    void setOscFormatIndex(int index);
    QString getIpAddress() const { return m_address.toString(); }
    void setIpAddress(const QString& text);
    QString getUdpPort() const { return QString::number(m_port); }
    void setUdpPort(const QString& text);

    Q_INVOKABLE void centralize();
    Q_INVOKABLE bool calibrate(int seconds);
    Q_INVOKABLE void setCurrentTabHt(bool is_tab_ht);

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
    void releaseCalibrationActivity();

    UIModels::IAppServices& m_app;
    DeviceModels::KestrinDeviceModel& m_model;
    Devices::DeviceProxy& m_proxy;
    QQuaternion m_position;
    float m_pitch = 0.0f;
    float m_yaw = 0.0f;
    float m_roll = 0.0f;
    bool m_animationEnabled;
    bool m_currentTabHt = false;
    bool m_statusBarPolling = false;
    bool m_calibrationActivity = false;
    QHostAddress m_address{QHostAddress::LocalHost};
    uint16_t m_port = 8000;
    int m_oscFormatIndex = 4;
};

} // namespace UIMediators
