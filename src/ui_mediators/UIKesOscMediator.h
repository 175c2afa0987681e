#pragma once

#include <QHostAddress>
#include <QQuaternion>
#include <QStringList>

#include <cstdint>
#include <memory>

class QUdpSocket;

namespace UIMediators {

// Sends the head orientation as one OSC 1.0 message per update, over UDP, in one of the five
// address formats that spatial-audio applications listen for. The target is 127.0.0.1:8000 until
// changed; nothing is kept between runs. Owned by the head-tracking mediator, GUI thread only.
//
// Sending is best effort: a failed send, a target address that did not parse and a port text that
// did not parse all pass silently; the receiver simply hears nothing.
class UIKesOscMediator {
public:
    UIKesOscMediator();
    ~UIKesOscMediator();

    UIKesOscMediator(const UIKesOscMediator&) = delete;
    UIKesOscMediator& operator=(const UIKesOscMediator&) = delete;

    // While enabled, every updateHeadPosition() sends the message of the current format.
    void setOscEnabled(bool on);

    // The format labels; the format index selects one of them.
    QStringList getOscFormats() const;
    int getOscFormatIndex() const { return m_formatIndex; }
    // An index outside the list is ignored.
    void setOscFormatIndex(int index);

    QString getIpAddress() const { return m_address.toString(); }
    // Empty text: the local host. Text that is no address leaves a null address (nothing is sent).
    void setIpAddress(const QString& text);
    QString getUdpPort() const { return QString::number(m_port); }
    // Empty text: 8000. Anything but a decimal number up to 65535 leaves the port unchanged.
    void setUdpPort(const QString& text);

    void updateHeadPosition(const QQuaternion& position, float pitch, float yaw, float roll);
    // Sends the last orientation in the current format, enabled or not.
    void sendOscPosition();

    void sendOscUnityQuat();
    void sendOscSceneRotator();
    void sendOscVirtuoso();
    void sendOscQuaternion();
    void sendOscYpr();

private:
    void send(const char* address, std::initializer_list<float> arguments);

    QQuaternion m_position;
    float m_pitch = 0.0f;
    float m_yaw = 0.0f;
    float m_roll = 0.0f;
    std::unique_ptr<QUdpSocket> m_socket;
    QHostAddress m_address{QHostAddress::LocalHost};
    uint16_t m_port = 8000;
    uint16_t m_formatIndex = 4;
    bool m_enabled = false;
};

} // namespace UIMediators
