#include "ui_mediators/UIKesHeadMediator.h"

#include "device_models/KestrinDeviceModel.h"
#include "ui_mediators/UIKesOscMediator.h"
#include "ui_models/IAppServices.h"

#include <QTimer>

#include <algorithm>
#include <climits>

namespace UIMediators {

UIKesHeadMediator::UIKesHeadMediator(UIModels::IAppServices& app, DeviceModels::KestrinDeviceModel& model,
                                     Devices::DeviceProxy& proxy, QObject* parent)
    : QObject(parent)
    , m_app(app)
    , m_model(model)
    , m_proxy(proxy)
    , m_osc(std::make_unique<UIKesOscMediator>())
    , m_animationEnabled(app.areAnimationsEnabled())
    , m_calibrationTimer(new QTimer(this))
{
    m_calibrationTimer->setSingleShot(true);
    connect(m_calibrationTimer, &QTimer::timeout, this, &UIKesHeadMediator::releaseCalibrationActivity);
    connect(&m_model, &DeviceModels::KestrinDeviceModel::sigHeadPositionChanged, this,
            &UIKesHeadMediator::onHeadPositionChanged);
    connect(&m_model, &DeviceModels::KestrinDeviceModel::sigHasHtChanged, this, &UIKesHeadMediator::onHasHtChanged);
}

UIKesHeadMediator::~UIKesHeadMediator()
{
    // The device model may already be gone: only the application's requests are given back.
    if (m_oscEnabled)
        m_app.endActivity();
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

void UIKesHeadMediator::setOscEnabled(bool on)
{
    on = on && m_model.hasHeadtracking();
    if (on != m_oscEnabled) {
        m_oscEnabled = on;
        m_osc->setOscEnabled(on);
        if (on)
            m_app.beginActivity();
        else
            m_app.endActivity();
        emit oscEnabledChanged();
    }
    updateDataPolling();
}

void UIKesHeadMediator::switchOscOff()
{
    if (!m_oscEnabled)
        return;
    m_oscEnabled = false;
    m_osc->setOscEnabled(false);
    m_app.endActivity();
    emit oscEnabledChanged();
}

QStringList UIKesHeadMediator::getOscFormats() const
{
    return m_osc->getOscFormats();
}

int UIKesHeadMediator::getOscFormatIndex() const
{
    return m_osc->getOscFormatIndex();
}

void UIKesHeadMediator::setOscFormatIndex(int index)
{
    m_osc->setOscFormatIndex(index);
    emit oscFormatIndexChanged();
}

QString UIKesHeadMediator::getIpAddress() const
{
    return m_osc->getIpAddress();
}

void UIKesHeadMediator::setIpAddress(const QString& text)
{
    m_osc->setIpAddress(text);
    emit ipAddressChanged();
}

QString UIKesHeadMediator::getUdpPort() const
{
    return m_osc->getUdpPort();
}

void UIKesHeadMediator::setUdpPort(const QString& text)
{
    m_osc->setUdpPort(text);
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
        const qint64 ms = std::clamp<qint64>(qint64(seconds) * 1000, 0, INT_MAX);
        m_calibrationTimer->start(int(ms));
    }
    return ok;
}

void UIKesHeadMediator::releaseCalibrationActivity()
{
    // A timer left from an earlier calibration must not end a later one's request early.
    m_calibrationTimer->stop();
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

// Fast head-position reads only while the head-tracking page shows them; the status bar polls
// the rest of the time.
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
    m_osc->updateHeadPosition(m_position, m_pitch, m_yaw, m_roll);
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
    switchOscOff();
    updateDataPolling();
    onHeadPositionChanged();
    releaseCalibrationActivity();
    emit hasHeadtrackingChanged();
}

void UIKesHeadMediator::onDeviceLost()
{
    switchOscOff();
    updateDataPolling();
    releaseCalibrationActivity();
}

} // namespace UIMediators
