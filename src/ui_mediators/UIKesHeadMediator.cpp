#include "ui_mediators/UIKesHeadMediator.h"

#include "device_models/KestrinDeviceModel.h"
#include "ui_models/IAppServices.h"

#include <QTimer>

#include <algorithm>

namespace UIMediators {

UIKesHeadMediator::UIKesHeadMediator(UIModels::IAppServices& app, DeviceModels::KestrinDeviceModel& model,
                                     Devices::DeviceProxy& proxy, QObject* parent)
    : QObject(parent)
    , m_app(app)
    , m_model(model)
    , m_proxy(proxy)
    , m_animationEnabled(app.areAnimationsEnabled())
{
    connect(&m_model, &DeviceModels::KestrinDeviceModel::sigHeadPositionChanged, this,
            &UIKesHeadMediator::onHeadPositionChanged);
    connect(&m_model, &DeviceModels::KestrinDeviceModel::sigHasHtChanged, this, &UIKesHeadMediator::onHasHtChanged);
}

UIKesHeadMediator::~UIKesHeadMediator()
{
    releaseCalibrationActivity();
}

bool UIKesHeadMediator::hasHeadtracking() const
{
    return m_model.hasHeadtracking();
}

void UIKesHeadMediator::setAnimationEnabled(bool on)
{
    if (on == m_animationEnabled)
        return;
    m_animationEnabled = on;
    emit animationEnabledChanged();
}

void UIKesHeadMediator::setOscEnabled(bool)
{
    // No OSC output in this build: the switch stays off.
    updateDataPolling();
}

QStringList UIKesHeadMediator::getOscFormats()
{
    static const QStringList formats = {
        QStringLiteral("/tbe/listener/unityquat x y z w"),
        QStringLiteral("/SceneRotator/quaternions w y x -z"),
        QStringLiteral("/Virtuoso/quat w z x -y"),
        QStringLiteral("/quaternion w x y z"),
        QStringLiteral("/ypr yaw pitch roll"),
    };
    return formats;
}

void UIKesHeadMediator::setOscFormatIndex(int index)
{
    if (index >= 0 && index < getOscFormats().size())
        m_oscFormatIndex = index;
    emit oscFormatIndexChanged();
}

void UIKesHeadMediator::setIpAddress(const QString& text)
{
    if (text.isEmpty())
        m_address = QHostAddress(QHostAddress::LocalHost);
    else
        m_address.setAddress(text);
    emit ipAddressChanged();
}

void UIKesHeadMediator::setUdpPort(const QString& text)
{
    if (text.isEmpty()) {
        m_port = 8000;
    } else {
        bool ok = false;
        const uint port = text.toUInt(&ok, 10);
        if (ok && port <= 65535)
            m_port = uint16_t(port);
    }
    emit udpPortChanged();
}

void UIKesHeadMediator::centralize()
{
    m_model.centralize();
}

bool UIKesHeadMediator::calibrate(int seconds)
{
    const bool ok = m_model.calibrate(double(seconds));
    if (ok && !m_calibrationActivity) {
        m_calibrationActivity = true;
        m_app.beginActivity();
        QTimer::singleShot(std::max(seconds, 0) * 1000, this, &UIKesHeadMediator::releaseCalibrationActivity);
    }
    return ok;
}

void UIKesHeadMediator::releaseCalibrationActivity()
{
    if (!m_calibrationActivity)
        return;
    m_calibrationActivity = false;
    m_app.endActivity();
}

void UIKesHeadMediator::setCurrentTabHt(bool is_tab_ht)
{
    m_currentTabHt = is_tab_ht;
    if (is_tab_ht)
        m_model.requestHt();
    updateDataPolling();
}

void UIKesHeadMediator::updateDataPolling()
{
    using Param = DeviceModels::KestrinDeviceModel::PollingParam;
    Param param = Param::normal;
    bool statusBarPolling = true;
    if (m_model.hasHeadtracking()) {
        param = m_currentTabHt ? Param::head_tracking : Param::normal;
        statusBarPolling = !m_currentTabHt;
    }
    if (statusBarPolling != m_statusBarPolling) {
        m_statusBarPolling = statusBarPolling;
        emit statusBarPollingChanged();
    }
    m_model.setPollingParam(param);
}

void UIKesHeadMediator::onHeadPositionChanged()
{
    m_position = m_model.getHeadPosition();
    m_position.getEulerAngles(&m_pitch, &m_yaw, &m_roll);
    emit positionChanged();
}

void UIKesHeadMediator::onHasHtChanged()
{
    updateDataPolling();
    emit hasHeadtrackingChanged();
}

void UIKesHeadMediator::onModelReady()
{
    if (m_currentTabHt)
        m_model.requestHt();
    updateDataPolling();
    onHeadPositionChanged();
    releaseCalibrationActivity();
    emit hasHeadtrackingChanged();
}

void UIKesHeadMediator::onDeviceLost()
{
    updateDataPolling();
    releaseCalibrationActivity();
}

} // namespace UIMediators
