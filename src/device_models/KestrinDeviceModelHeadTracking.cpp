#include "device_models/KestrinDeviceModel.h"

#include "core/GlobalLogger.h"
#include "devices/IKestrinDeviceMain.h"

#include <QTimer>

// Head tracking of the headset device model: switching the sensors on, reading the position on the
// worker and publishing it on the GUI thread, centring and calibrating.

namespace DeviceModels {

namespace {

// The sensors' sample setting, the pause between switching them off and on, and
// the rate of position reads and of publishing them.
constexpr uint8_t SensorRate = 60;
constexpr int HtStepMs = 100;
constexpr uint32_t PositionReadMs = 4;
constexpr int HtPublishMs = 4;

} // namespace

bool KestrinDeviceModel::hasHeadtracking() const
{
    return m_htState == HtEnabled;
}

void KestrinDeviceModel::requestHt()
{
    if (m_htGuard)
        return;
    m_htGuard = true;
    if (m_devMain && isFullHw()) {
        GlobalLogger::Instance()->message(QtDebugMsg, "Trying to enable Kestrin HT...");
        processHtState();
    }
}

void KestrinDeviceModel::initHt()
{
    requestHt();
}

// One step of switching the sensors on. The headset takes the enable only after they have been
// off for a moment, so the sensors are switched off first and on again 100 ms later. Each switch
// waits for the headset's answer (switching on even for its first sample): the worker sends them.
void KestrinDeviceModel::processHtState()
{
    const auto fail = [this] {
        m_htState = HtFailed;
        disconnect(m_htTimer, &QTimer::timeout, this, nullptr);
        m_htTimer->stop();
    };
    Devices::IKestrinDeviceMain* const devMain = m_devMain;

    switch (m_htState) {
    case HtIdle:
        if (!devMain || !m_poweredOn)
            return fail();
        runOnWorker([devMain] { return devMain->setGyroSensorEnabled(false, SensorRate); },
                    [this, fail](bool switchedOff) {
                        if (!switchedOff)
                            return fail();
                        m_htState = HtSensorsOff;
                        m_htTimer->setSingleShot(true);
                        m_htTimer->setInterval(HtStepMs);
                        connect(m_htTimer, &QTimer::timeout, this, &KestrinDeviceModel::processHtState);
                        m_htTimer->start();
                    });
        break;
    case HtSensorsOff:
        disconnect(m_htTimer, &QTimer::timeout, this, nullptr);
        if (!devMain)
            return fail();
        runOnWorker(
            [devMain] {
                if (!devMain->setGyroSensorEnabled(true, SensorRate))
                    return false;
                GlobalLogger::Instance()->message(QtDebugMsg, "Kestrin HT enabled.");
                // Samples that queued up while the sensors started feed the calibration, then the
                // current orientation becomes straight ahead.
                devMain->processAvailablePositionSensors();
                devMain->centralize();
                return true;
            },
            [this, fail](bool switchedOn) {
                if (!switchedOn)
                    return fail();
                m_htState = HtEnabled;
                startHtTimer();
                updatePollingParam();
                emit sigHasHtChanged();
                m_htTimer->setSingleShot(false);
                m_htTimer->setInterval(HtPublishMs);
                connect(m_htTimer, &QTimer::timeout, this, &KestrinDeviceModel::onHtTimeout);
                m_htTimer->start();
            });
        break;
    default: // enabled, or failed until the next device
        break;
    }
}

void KestrinDeviceModel::startHtTimer()
{
    if (m_positionTimerId != -1)
        return;
    IWorkerTimers::StartParams params;
    params.mode = IWorkerTimers::Mode::FixedRate; // a slow read does not push the later ones back
    params.hasFirstDelay = true;
    params.firstDelayMs = 0;
    params.minGapMs = 0;
    // The read runs on the worker; the interface it uses stays valid until this timer is stopped,
    // which happens before the model lets go of the device.
    Devices::IKestrinDeviceMain* const devMain = m_devMain;
    m_positionTimerId = m_timers->startTimer(
        0, PositionReadMs, [this, devMain] { updatePosition(devMain); }, params);
}

// Worker thread.
void KestrinDeviceModel::updatePosition(Devices::IKestrinDeviceMain* devMain)
{
    QQuaternion position;
    if (!devMain->readPosition(position))
        return;
    Utils::SpinGuard lock(m_positionLock);
    m_pendingHeadPosition = position;
    m_pendingHeadPositionNew = true;
}

void KestrinDeviceModel::resetHtState()
{
    m_htGuard = false;
    m_htState = HtIdle;
    disconnect(m_htTimer, &QTimer::timeout, this, nullptr);
    m_htTimer->stop();
}

void KestrinDeviceModel::onHtTimeout()
{
    bool changed = false;
    {
        Utils::SpinGuard lock(m_positionLock);
        if (m_pendingHeadPositionNew) {
            m_headPosition = m_pendingHeadPosition;
            m_pendingHeadPositionNew = false;
            changed = true;
        }
    }
    if (changed)
        emit sigHeadPositionChanged();
}

// --- Centring and calibration ---------------------------------------------------------------------

bool KestrinDeviceModel::centralize()
{
    if (!m_devMain)
        return false;
    // Simulated and firmware-only headsets answer at once, with no device behind them.
    if (!isFullHw())
        return m_devMain->centralize();
    // A real headset's transport may be in the middle of a position read, which can wait for
    // its report: the worker takes the turn. Centring itself cannot fail there.
    Devices::IKestrinDeviceMain* const devMain = m_devMain;
    runOnWorker([devMain] { return devMain->centralize(); }, [](bool) {});
    return true;
}

bool KestrinDeviceModel::calibrate(double seconds)
{
    return m_devMain && m_devMain->calibrate(seconds);
}

} // namespace DeviceModels
