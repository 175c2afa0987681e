#include "device_models/KestrinDeviceModel.h"

#include "app/core/GlobalLogger.h"
#include "device_models/KestrinDeviceModelBuffer.h"
#include "devices/DeviceProxy.h"
#include "devices/IKestrinDeviceMain.h"
#include "utils/Utils.h"

#include <QTimer>

#include <algorithm>
#include <mutex>

namespace DeviceModels {

using DeviceData::AncMode;
using DeviceData::KestrinEqBandParams;
using Kind = KestrinDeviceModel::Buffer::Kind;

namespace {

constexpr int PublishIntervalMs = 100;
constexpr uint32_t StatePollMs = 1000;
constexpr uint32_t BatteryPollMs = 30000;
constexpr int32_t FirstPollDelayMs = 100;

constexpr uint8_t MaxGameChatMix = 20;
constexpr uint8_t MaxNoiseReduction = 2;
constexpr uint8_t MaxVpLevel = 15;
constexpr uint8_t MinEarcupBalance = 122;
constexpr uint8_t MaxEarcupBalance = 134;
constexpr int MinEqGain = -12;
constexpr int MaxEqGain = 12;

// Head tracking: the sensors' sample setting, the pause between switching them off and on, and
// the rate of position reads and of publishing them.
constexpr uint8_t SensorRate = 60;
constexpr int HtStepMs = 100;
constexpr uint32_t PositionReadMs = 4;
constexpr int HtPublishMs = 4;

} // namespace

KestrinDeviceModel::KestrinDeviceModel(Devices::DeviceProxy* proxy, QObject* parent)
    : KestrinDeviceModel(proxy, CreateThreadWorkerTimers(), parent)
{
}

KestrinDeviceModel::KestrinDeviceModel(Devices::DeviceProxy* proxy, std::unique_ptr<IWorkerTimers> timers,
                                       QObject* parent)
    : DeviceSignals(parent), m_proxy(proxy), m_timers(std::move(timers))
{
    m_hwType = Enumer<KestrinHwType>::Invalid();
    m_ancMode = Enumer<AncMode>::Default();

    m_device = m_proxy->getDevice();
    m_devMain = m_device ? m_device->getKestrinDevice() : nullptr;
    if (m_devMain) {
        m_deviceType = m_device->getDeviceType();
        m_hwType = m_devMain->getHwType();
    }

    m_timer = new QTimer(this);
    m_htTimer = new QTimer(this);
    m_buffer = std::make_unique<Buffer>(*m_timers);
    m_timer->setInterval(PublishIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &KestrinDeviceModel::onTimeout);
    // Direct: while the proxy announces the loss the old device is still alive, and the model
    // must let go of its raw interface pointer before the proxy drops it.
    connect(m_proxy, &Devices::DeviceSignals::deviceReady, this, &KestrinDeviceModel::onDeviceReady,
            Qt::DirectConnection);
    connect(m_proxy, &Devices::DeviceSignals::deviceLost, this, &KestrinDeviceModel::onDeviceLost,
            Qt::DirectConnection);
}

KestrinDeviceModel::~KestrinDeviceModel()
{
    // The polls read the queue, so they go first; the queue's own timer stops with it.
    stopAllTimers();
    m_buffer.reset();
    m_eqCache.clear();
    m_timers.reset();
    m_device.reset();
}

bool KestrinDeviceModel::hasHeadtracking() const
{
    return m_htState == HtEnabled;
}

int KestrinDeviceModel::getEqBandGain(size_t band) const
{
    return getEqBandGain(m_eqIndex, band);
}

int KestrinDeviceModel::getEqBandGain(uint8_t eqIndex, size_t band) const
{
    const auto it = m_eqCache.find(eqIndex);
    if (it == m_eqCache.end() || band >= it->second.size())
        return 0;
    return it->second[band].gain;
}

// --- Setters ------------------------------------------------------------------------------------

namespace {

template <typename Model, typename T, typename Store, typename Signal>
bool queueChange(Model* model, KestrinDeviceModel::Buffer& buffer, T& cached, T value, Store store, Signal signal)
{
    if (cached == value)
        return true;
    (buffer.*store)(value);
    cached = value;
    emit(model->*signal)();
    return true;
}

} // namespace

bool KestrinDeviceModel::setGameChatMix(uint8_t value)
{
    if (value > MaxGameChatMix)
        return false;
    return queueChange(this, *m_buffer, m_gameChatMix, value, &Buffer::setGameChatMix,
                       &KestrinDeviceModel::sigGameChatMixChanged);
}

bool KestrinDeviceModel::setNoiseReduction(uint8_t value)
{
    if (value > MaxNoiseReduction)
        return false;
    return queueChange(this, *m_buffer, m_noiseReduction, value, &Buffer::setNoiseReduction,
                       &KestrinDeviceModel::sigNoiseReductionChanged);
}

bool KestrinDeviceModel::setAncMode(AncMode mode)
{
    if (m_deviceType != DeviceType::kestrin_2_anc || !Enumer<AncMode>::IsValid(mode))
        return false;
    return queueChange(this, *m_buffer, m_ancMode, mode, &Buffer::setAncMode, &KestrinDeviceModel::sigAncModeChanged);
}

bool KestrinDeviceModel::setVpLevel(uint8_t value)
{
    if (value > MaxVpLevel)
        return false;
    return queueChange(this, *m_buffer, m_vpLevel, value, &Buffer::setVpLevel, &KestrinDeviceModel::sigVpLevelChanged);
}

bool KestrinDeviceModel::setAmpGain(uint8_t value)
{
    return queueChange(this, *m_buffer, m_ampGain, value, &Buffer::setAmpGain, &KestrinDeviceModel::sigAmpGainChanged);
}

bool KestrinDeviceModel::setMicLevel(uint8_t value)
{
    if (m_deviceType == DeviceType::kestrin)
        return false;
    return queueChange(this, *m_buffer, m_micLevel, value, &Buffer::setMicLevel, &KestrinDeviceModel::sigMicLevelChanged);
}

bool KestrinDeviceModel::setSidetoneLevel(uint8_t value)
{
    return queueChange(this, *m_buffer, m_sidetoneLevel, value, &Buffer::setSidetoneLevel,
                       &KestrinDeviceModel::sigSidetoneLevelChanged);
}

bool KestrinDeviceModel::setSidetone(bool on)
{
    return queueChange(this, *m_buffer, m_sidetone, on, &Buffer::setSidetoneEnabled,
                       &KestrinDeviceModel::sigSidetoneChanged);
}

bool KestrinDeviceModel::setAutoPowerOff(uint16_t seconds)
{
    return queueChange(this, *m_buffer, m_autoPowerOff, seconds, &Buffer::setAutoPowerOff,
                       &KestrinDeviceModel::sigAutoPowerOffChanged);
}

bool KestrinDeviceModel::setEarcupBalance(uint8_t value)
{
    if (value < MinEarcupBalance || value > MaxEarcupBalance)
        return false;
    if (value == m_earcupBalance)
        return true;
    if (!m_devMain || !m_devMain->setEarcupBalance(value))
        return false;
    m_earcupBalance = value;
    emit sigEarcupBalanceChanged();
    return true;
}

bool KestrinDeviceModel::setCurrentEqIndex(uint8_t eqIndex)
{
    if (eqIndex == m_eqIndex)
        return true;
    m_buffer->setCurrentEqIndex(eqIndex);
    m_eqIndex = eqIndex;
    emit sigCurrentEqIndexChanged();
    return true;
}

bool KestrinDeviceModel::setEqBandGain(size_t band, int gain)
{
    return setEqBandGain(m_eqIndex, band, gain);
}

bool KestrinDeviceModel::setEqBandGain(uint8_t eqIndex, size_t band, int gain)
{
    if (gain < MinEqGain || gain > MaxEqGain)
        return false;
    const auto it = m_eqCache.find(eqIndex);
    if (it == m_eqCache.end() || band >= it->second.size())
        return false;
    if (it->second[band].gain == gain)
        return true;
    it->second[band].setGain(gain);
    m_buffer->setEqBands(eqIndex, it->second);
    emit sigEqBandChanged(eqIndex, band);
    return true;
}

bool KestrinDeviceModel::setEqBandsGains(const std::vector<int>& gains)
{
    return setEqBandsGains(m_eqIndex, gains);
}

bool KestrinDeviceModel::setEqBandsGains(uint8_t eqIndex, const std::vector<int>& gains)
{
    const auto it = m_eqCache.find(eqIndex);
    if (it == m_eqCache.end() || gains.size() != it->second.size())
        return false;
    if (std::any_of(gains.begin(), gains.end(), [](int gain) { return gain < MinEqGain || gain > MaxEqGain; }))
        return false;

    EqBands bands = it->second;
    std::vector<size_t> changed;
    for (size_t band = 0; band < bands.size(); ++band) {
        if (bands[band].gain != gains[band]) {
            bands[band].setGain(gains[band]);
            changed.push_back(band);
        }
    }
    if (changed.empty())
        return true;
    m_buffer->setEqBands(eqIndex, bands);
    it->second = std::move(bands);
    for (size_t band : changed)
        emit sigEqBandChanged(eqIndex, band);
    return true;
}

bool KestrinDeviceModel::loadEqBands(std::vector<KestrinEqBandParams>& out)
{
    return loadEqBands(m_eqIndex, out);
}

bool KestrinDeviceModel::loadEqBands(uint8_t eqIndex, std::vector<KestrinEqBandParams>& out)
{
    // Queue ticks and polls wait while the bands come from the headset on this thread.
    m_buffer->setPaused(true);
    Utils::ScopeGuard resume([this] { m_buffer->setPaused(false); });

    auto it = m_eqCache.find(eqIndex);
    if (it == m_eqCache.end()) {
        EqBands bands;
        if (!m_devMain || !m_devMain->loadEqBands(eqIndex, bands))
            return false;
        for (auto& band : bands)
            band.setGain(std::clamp(band.gain, MinEqGain, MaxEqGain));
        it = m_eqCache.emplace(eqIndex, std::move(bands)).first;
    }
    out = it->second;
    return true;
}

bool KestrinDeviceModel::centralize()
{
    return m_devMain && m_devMain->centralize();
}

bool KestrinDeviceModel::calibrate(double seconds)
{
    return m_devMain && m_devMain->calibrate(seconds);
}

bool KestrinDeviceModel::factoryReset()
{
    return m_devMain && m_devMain->factoryReset();
}

// --- Polling --------------------------------------------------------------------------------------

void KestrinDeviceModel::setPollingParam(PollingParam param)
{
    if (param == m_pollingParam)
        return;
    m_pollingParam = param;
    updatePollingParam();
}

void KestrinDeviceModel::updatePollingParam()
{
    if (!m_devMain || !isFullHw())
        return;

    switch (m_pollingParam) {
    case PollingParam::normal:
        if (m_stateTimerId == -1) {
            IWorkerTimers::StartParams params;
            params.mode = 2;
            params.hasFirstDelay = true;
            params.firstDelayMs = FirstPollDelayMs;
            m_stateTimerId = m_timers->startTimer(0, StatePollMs, [this] { updateData(); }, params);
            m_batteryTimerId = m_timers->startTimer(0, BatteryPollMs, [this] { updateBattery(); }, params);
        }
        break;
    case PollingParam::head_tracking:
        m_timers->stopTimer(m_stateTimerId);
        m_timers->stopTimer(m_batteryTimerId);
        if (!hasHeadtracking())
            requestHt();
        break;
    case PollingParam::none:
        m_timers->stopTimer(m_stateTimerId);
        m_timers->stopTimer(m_batteryTimerId);
        break;
    }
}

void KestrinDeviceModel::stopAllTimers()
{
    m_timers->stopTimer(m_stateTimerId);
    m_timers->stopTimer(m_batteryTimerId);
    m_timers->stopTimer(m_positionTimerId);
}

// Worker thread. The interface pointer and the type change only while the polls are stopped.
void KestrinDeviceModel::updateData()
{
    if (!m_buffer->isFree() || m_buffer->isPaused())
        return;
    auto* devMain = m_devMain;
    bool flag = false;
    if (devMain->readMicMute(flag))
        m_pendingMicMute.store(flag);
    // These refresh the implementation's cache, which the publishing tick compares with ours.
    uint8_t value = 0;
    devMain->readEqIndex(value);
    devMain->readGameChatMix(value);
    devMain->readNoiseReduction(value);
    devMain->readSidetoneLevel(value);
    devMain->readSidetone(flag);
    if (m_deviceType != DeviceType::kestrin)
        devMain->readMicLevel(value);
    if (m_deviceType == DeviceType::kestrin_2_anc) {
        AncMode mode = AncMode::on;
        devMain->readAncMode(mode);
    }
}

void KestrinDeviceModel::updateBattery()
{
    if (!m_buffer->isFree() || m_buffer->isPaused())
        return;
    uint8_t level = 0;
    if (m_devMain->readBatteryLevel(level))
        m_pendingBatteryLevel.store(level);
}

// --- Publishing -----------------------------------------------------------------------------------

namespace {

// Takes the implementation's value when it differs from the model's, with its signal.
template <typename Model, typename T, typename Load, typename Signal>
void takeLoaded(Model* model, Devices::IKestrinDeviceMain* devMain, Load load, T& cached, Signal signal)
{
    T value{};
    if ((devMain->*load)(value) && value != cached) {
        cached = value;
        emit(model->*signal)();
    }
}

} // namespace

void KestrinDeviceModel::onTimeout()
{
    const uint8_t battery = m_pendingBatteryLevel.load();
    if (battery != m_batteryLevel) {
        m_batteryLevel = battery;
        emit sigBatteryLevelChanged();
    }
    const bool mute = m_pendingMicMute.load();
    if (mute != m_micMute) {
        m_micMute = mute;
        emit sigMicMuteChanged();
    }
    if (!m_devMain)
        return;

    for (const Buffer::Key key : m_buffer->readFailedKeys())
        restoreFailedKey(key);

    if (m_buffer->isFree() && !m_buffer->isPaused())
        publishPolledValues();
}

void KestrinDeviceModel::restoreFailedKey(uint16_t key)
{
    const uint8_t kind = Buffer::KindOf(key);
    if (kind > uint8_t(Kind::eqBands))
        return;
    // A newer value of the same setting is on its way; putting the old one back now would leave
    // the model showing it after the newer write went through.
    if (m_buffer->isPending(key))
        return;

    using Dev = Devices::IKestrinDeviceMain;
    using M = KestrinDeviceModel;
    switch (Kind(kind)) {
    case Kind::gameChatMix:
        takeLoaded(this, m_devMain, &Dev::loadGameChatMix, m_gameChatMix, &M::sigGameChatMixChanged);
        break;
    case Kind::noiseReduction:
        takeLoaded(this, m_devMain, &Dev::loadNoiseReduction, m_noiseReduction, &M::sigNoiseReductionChanged);
        break;
    case Kind::ancMode:
        takeLoaded(this, m_devMain, &Dev::loadAncMode, m_ancMode, &M::sigAncModeChanged);
        break;
    case Kind::vpLevel:
        takeLoaded(this, m_devMain, &Dev::loadVpLevel, m_vpLevel, &M::sigVpLevelChanged);
        break;
    case Kind::earcupBalance:
        takeLoaded(this, m_devMain, &Dev::loadEarcupBalance, m_earcupBalance, &M::sigEarcupBalanceChanged);
        break;
    case Kind::ampGain:
        takeLoaded(this, m_devMain, &Dev::loadAmpGain, m_ampGain, &M::sigAmpGainChanged);
        break;
    case Kind::micLevel:
        takeLoaded(this, m_devMain, &Dev::loadMicLevel, m_micLevel, &M::sigMicLevelChanged);
        break;
    case Kind::sidetoneLevel:
        takeLoaded(this, m_devMain, &Dev::loadSidetoneLevel, m_sidetoneLevel, &M::sigSidetoneLevelChanged);
        break;
    case Kind::sidetone:
        takeLoaded(this, m_devMain, &Dev::loadSidetone, m_sidetone, &M::sigSidetoneChanged);
        break;
    case Kind::autoPowerOff:
        takeLoaded(this, m_devMain, &Dev::loadAutoPowerOff, m_autoPowerOff, &M::sigAutoPowerOffChanged);
        break;
    case Kind::eqIndex:
        takeLoaded(this, m_devMain, &Dev::loadEqIndex, m_eqIndex, &M::sigCurrentEqIndexChanged);
        break;
    case Kind::eqBands: {
        GlobalLogger::Instance()->message(QtDebugMsg, "EQ bands command failed, try again...");
        const auto it = m_eqCache.find(Buffer::EqIndexOf(key));
        if (it != m_eqCache.end())
            m_buffer->setEqBands(it->first, it->second);
        break;
    }
    }
}

void KestrinDeviceModel::publishPolledValues()
{
    using Dev = Devices::IKestrinDeviceMain;
    using M = KestrinDeviceModel;
    takeLoaded(this, m_devMain, &Dev::loadEqIndex, m_eqIndex, &M::sigCurrentEqIndexChanged);
    takeLoaded(this, m_devMain, &Dev::loadGameChatMix, m_gameChatMix, &M::sigGameChatMixChanged);
    takeLoaded(this, m_devMain, &Dev::loadNoiseReduction, m_noiseReduction, &M::sigNoiseReductionChanged);
    takeLoaded(this, m_devMain, &Dev::loadSidetoneLevel, m_sidetoneLevel, &M::sigSidetoneLevelChanged);
    takeLoaded(this, m_devMain, &Dev::loadSidetone, m_sidetone, &M::sigSidetoneChanged);
    if (m_deviceType != DeviceType::kestrin)
        takeLoaded(this, m_devMain, &Dev::loadMicLevel, m_micLevel, &M::sigMicLevelChanged);
    if (m_deviceType == DeviceType::kestrin_2_anc)
        takeLoaded(this, m_devMain, &Dev::loadAncMode, m_ancMode, &M::sigAncModeChanged);
}

// --- Device changes -------------------------------------------------------------------------------

void KestrinDeviceModel::loadData()
{
    auto* dev = m_devMain;
    m_dongle = dev->isDongle();
    m_fwOnly = dev->isFwOnly();
    m_eqCache.clear();

    if (m_fwOnly) {
        // Such a headset answers nothing but its version; show neutral values.
        m_gameChatMix = 10;
        m_noiseReduction = 0;
        m_vpLevel = 7;
        m_earcupBalance = 128;
        m_ampGain = 136;
        m_eqIndex = 1;
        m_sidetoneLevel = 0;
        m_maxSidetoneLevel = 25;
        m_micLevel = 0;
        m_poweredOn = false;
        m_sidetone = false;
        m_autoPowerOff = 300;
        m_ancMode = Enumer<AncMode>::Default();
        if (m_dongle) {
            dev->loadDongleFwVersion(m_dongleFwVersion);
            m_fwVersion.clear();
        } else {
            dev->loadFwVersion(m_fwVersion);
            m_dongleFwVersion.clear();
        }
        return;
    }

    dev->loadIsNewFilm(m_newFilm);
    dev->loadPoweredOn(m_poweredOn);
    dev->loadSidetone(m_sidetone);
    dev->loadGameChatMix(m_gameChatMix);
    dev->loadNoiseReduction(m_noiseReduction);
    dev->loadVpLevel(m_vpLevel);
    dev->loadEarcupBalance(m_earcupBalance);
    dev->loadAmpGain(m_ampGain);
    dev->loadEqIndex(m_eqIndex);
    dev->loadMaxSidetoneLevel(m_maxSidetoneLevel);
    dev->loadSidetoneLevel(m_sidetoneLevel);
    dev->loadAutoPowerOff(m_autoPowerOff);
    dev->loadFwVersion(m_fwVersion);
    if (m_dongle)
        dev->loadDongleFwVersion(m_dongleFwVersion);
    else
        m_dongleFwVersion.clear();

    if (m_deviceType == DeviceType::kestrin) {
        m_micLevel = 0;
        m_ancMode = Enumer<AncMode>::Default();
    } else if (m_deviceType == DeviceType::kestrin_2_anc) {
        dev->loadMicLevel(m_micLevel);
        dev->loadAncMode(m_ancMode);
        if (!Enumer<AncMode>::IsValid(m_ancMode)) {
            m_ancMode = Enumer<AncMode>::Default();
            m_buffer->setAncMode(m_ancMode);
            emit sigAncModeChanged();
        }
    } else {
        dev->loadMicLevel(m_micLevel);
        m_ancMode = Enumer<AncMode>::Default();
    }

    // Values out of range are pulled into it, on the headset too.
    if (m_gameChatMix > MaxGameChatMix) {
        m_gameChatMix = MaxGameChatMix;
        m_buffer->setGameChatMix(m_gameChatMix);
        emit sigGameChatMixChanged();
    }
    if (m_noiseReduction > MaxNoiseReduction) {
        m_noiseReduction = MaxNoiseReduction;
        m_buffer->setNoiseReduction(m_noiseReduction);
        emit sigNoiseReductionChanged();
    }
    if (m_vpLevel > MaxVpLevel) {
        m_vpLevel = MaxVpLevel;
        m_buffer->setVpLevel(m_vpLevel);
        emit sigVpLevelChanged();
    }
    const uint8_t balance = std::clamp(m_earcupBalance, MinEarcupBalance, MaxEarcupBalance);
    if (balance != m_earcupBalance && dev->setEarcupBalance(balance)) {
        m_earcupBalance = balance;
        emit sigEarcupBalanceChanged();
    }

    uint8_t battery = 0;
    if (dev->readBatteryLevel(battery))
        m_pendingBatteryLevel.store(battery);
    bool mute = false;
    if (dev->readMicMute(mute))
        m_pendingMicMute.store(mute);
}

void KestrinDeviceModel::onDeviceReady()
{
    m_batteryLevel = 0;
    m_pendingBatteryLevel.store(0);
    m_micMute = false;
    m_pendingMicMute.store(false);

    Devices::SharedDeviceImpl device = m_proxy->getDevice();
    Devices::IKestrinDeviceMain* devMain = device ? device->getKestrinDevice() : nullptr;
    if (!devMain) {
        m_deviceType = DeviceType::none;
        m_hwType = Enumer<KestrinHwType>::Invalid();
        m_timer->stop();
        if (m_devMain) {
            m_buffer->setDevMain(nullptr, DeviceType::none);
            m_devMain = nullptr;
        }
        m_device.reset();
        return;
    }

    m_device = std::move(device);
    m_devMain = devMain;
    m_deviceType = m_device->getDeviceType();
    m_buffer->setDevMain(m_devMain, m_deviceType);
    m_hwType = m_devMain->getHwType();
    m_hw = m_device->getCategory() == Devices::DeviceCategory::Hardware;
    resetHtState();
    m_headPosition = QQuaternion();
    updatePollingParam();
    loadData();

    if (isFullHw()) {
        GlobalLogger::Instance()->message(QtDebugMsg, "%s %s detected with FW %s.",
                                          Enumer<DeviceType>::NameOrNull(m_deviceType).toUtf8().constData(),
                                          m_newFilm ? "ID0A" : "ID00", m_fwVersion.toUtf8().constData());
        if (m_dongle)
            GlobalLogger::Instance()->message(QtDebugMsg, "Dongle FW is %s.", m_dongleFwVersion.toUtf8().constData());
        m_timer->start();
    }
    emit deviceReady();
}

void KestrinDeviceModel::onDeviceLost()
{
    if (m_pollingParam != PollingParam::none) {
        m_pollingParam = PollingParam::none;
        updatePollingParam();
    }
    stopAllTimers();
    resetHtState();
    if (m_devMain) {
        m_timer->stop();
        // The queue lets go of the interface (waiting for a write in progress) before the device
        // may be released.
        m_buffer->setDevMain(nullptr, DeviceType::none);
        m_devMain = nullptr;
        m_device.reset();
    }
    emit deviceLost();
}

// --- Head tracking --------------------------------------------------------------------------------

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
// off for a moment, so the sensors are switched off first and on again 100 ms later.
void KestrinDeviceModel::processHtState()
{
    const auto fail = [this] {
        m_htState = HtFailed;
        disconnect(m_htTimer, &QTimer::timeout, this, nullptr);
        m_htTimer->stop();
    };

    switch (m_htState) {
    case HtIdle:
        if (!m_devMain || !m_poweredOn || !m_devMain->setGyroSensorEnabled(false, SensorRate))
            return fail();
        m_htState = HtSensorsOff;
        m_htTimer->setSingleShot(true);
        m_htTimer->setInterval(HtStepMs);
        connect(m_htTimer, &QTimer::timeout, this, &KestrinDeviceModel::processHtState);
        m_htTimer->start();
        break;
    case HtSensorsOff:
        disconnect(m_htTimer, &QTimer::timeout, this, nullptr);
        if (!m_devMain || !m_devMain->setGyroSensorEnabled(true, SensorRate))
            return fail();
        m_htState = HtEnabled;
        GlobalLogger::Instance()->message(QtDebugMsg, "Kestrin HT enabled.");
        // Samples that queued up while the sensors started feed the calibration, then the
        // current orientation becomes straight ahead.
        m_devMain->processAvailablePositionSensors();
        m_devMain->centralize();
        startHtTimer();
        updatePollingParam();
        emit sigHasHtChanged();
        m_htTimer->setSingleShot(false);
        m_htTimer->setInterval(HtPublishMs);
        connect(m_htTimer, &QTimer::timeout, this, &KestrinDeviceModel::onHtTimeout);
        m_htTimer->start();
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
    params.mode = 0; // fixed rate: a slow read does not push the later ones back
    params.hasFirstDelay = true;
    params.firstDelayMs = 0;
    params.minGapMs = 0;
    // The read runs on the worker; the interface it uses stays valid until this timer is stopped,
    // which happens before the model lets go of the device.
    Devices::IKestrinDeviceMain* const devMain = m_devMain;
    m_positionTimerId = m_timers->startTimer(0, PositionReadMs, [this, devMain] { updatePosition(devMain); }, params);
}

// Worker thread.
void KestrinDeviceModel::updatePosition(Devices::IKestrinDeviceMain* devMain)
{
    QQuaternion position;
    if (!devMain->readPosition(position))
        return;
    std::lock_guard<SpinLock> lock(m_positionLock);
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
        std::lock_guard<SpinLock> lock(m_positionLock);
        if (m_pendingHeadPositionNew) {
            m_headPosition = m_pendingHeadPosition;
            m_pendingHeadPositionNew = false;
            changed = true;
        }
    }
    if (changed)
        emit sigHeadPositionChanged();
}

} // namespace DeviceModels
