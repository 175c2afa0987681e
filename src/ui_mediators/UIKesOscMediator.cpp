#include "ui_mediators/UIKesOscMediator.h"

#include "utils/OscMessageWriter.h"

#include <QUdpSocket>

#include <initializer_list>

namespace UIMediators {

namespace {

enum Format : uint16_t {
    UnityQuat = 0,
    SceneRotator = 1,
    Virtuoso = 2,
    Quaternion = 3,
    Ypr = 4,
    FormatCount = 5,
};

constexpr uint16_t c_defaultPort = 8000;
// Room for the longest address with its tags, and for four floats.
constexpr int c_headReserve = 20;
constexpr int c_argumentsReserve = 20;

} // namespace

UIKesOscMediator::UIKesOscMediator()
    : m_socket(std::make_unique<QUdpSocket>())
{
}

UIKesOscMediator::~UIKesOscMediator() = default;

void UIKesOscMediator::setOscEnabled(bool on)
{
    m_enabled = on;
}

QStringList UIKesOscMediator::getOscFormats() const
{
    // In the order of Format; the label shows the address and the order of the arguments.
    static const QStringList formats = {
        QStringLiteral("/tbe/listener/unityquat x y z w"),
        QStringLiteral("/SceneRotator/quaternions w y x -z"),
        QStringLiteral("/Virtuoso/quat w z x -y"),
        QStringLiteral("/quaternion w x y z"),
        QStringLiteral("/ypr yaw pitch roll"),
    };
    return formats;
}

void UIKesOscMediator::setOscFormatIndex(int index)
{
    if (index >= 0 && index < FormatCount)
        m_formatIndex = uint16_t(index);
}

void UIKesOscMediator::setIpAddress(const QString& text)
{
    if (text.isEmpty())
        m_address.setAddress(QHostAddress::LocalHost);
    else
        m_address.setAddress(text);
}

void UIKesOscMediator::setUdpPort(const QString& text)
{
    if (text.isEmpty()) {
        m_port = c_defaultPort;
        return;
    }
    bool ok = false;
    const uint port = text.toUInt(&ok, 10);
    if (ok && port <= 65535)
        m_port = uint16_t(port);
}

void UIKesOscMediator::updateHeadPosition(const QQuaternion& position, float pitch, float yaw, float roll)
{
    m_position = position;
    m_pitch = pitch;
    m_yaw = yaw;
    m_roll = roll;
    if (m_enabled)
        sendOscPosition();
}

void UIKesOscMediator::sendOscPosition()
{
    switch (m_formatIndex) {
    case UnityQuat: sendOscUnityQuat(); break;
    case SceneRotator: sendOscSceneRotator(); break;
    case Virtuoso: sendOscVirtuoso(); break;
    case Quaternion: sendOscQuaternion(); break;
    case Ypr: sendOscYpr(); break;
    default: break;
    }
}

// The argument orders and signs are the ones each receiver's convention asks for. Negating flips
// the sign bit, so a zero goes out as -0.0.
void UIKesOscMediator::sendOscUnityQuat()
{
    const QQuaternion& q = m_position;
    send("/tbe/listener/unityquat", {q.x(), q.y(), q.z(), q.scalar()});
}

void UIKesOscMediator::sendOscSceneRotator()
{
    const QQuaternion& q = m_position;
    send("/SceneRotator/quaternions", {q.scalar(), q.y(), q.x(), -q.z()});
}

void UIKesOscMediator::sendOscVirtuoso()
{
    const QQuaternion& q = m_position;
    send("/Virtuoso/quat", {q.scalar(), q.z(), q.x(), -q.y()});
}

void UIKesOscMediator::sendOscQuaternion()
{
    const QQuaternion& q = m_position;
    send("/quaternion", {q.scalar(), q.x(), q.y(), q.z()});
}

void UIKesOscMediator::sendOscYpr()
{
    send("/ypr", {m_yaw, m_pitch, m_roll});
}

void UIKesOscMediator::send(const char* address, std::initializer_list<float> arguments)
{
    // An address that did not parse has nowhere to go.
    if (m_address.isNull())
        return;
    Utils::OscMessageWriter writer(address, c_headReserve, c_argumentsReserve);
    for (float value : arguments)
        writer.addFloat32(value);
    // One datagram per orientation; a lost one is replaced by the next within milliseconds.
    m_socket->writeDatagram(writer.getBytes(), m_address, m_port);
}

} // namespace UIMediators
