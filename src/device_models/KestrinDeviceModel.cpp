#include "device_models/KestrinDeviceModel.h"

#include "core/GlobalLogger.h"
#include "device_models/KestrinDeviceModelBuffer.h"
#include "devices/DeviceProxy.h"
#include "devices/IKestrinDeviceMain.h"
#include "utils/Utils.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <mutex>
#include <utility>

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

// Interval of the worker's job timer; a run takes every job queued and stops the timer.
constexpr uint32_t JobGapMs = 1;

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
    // Jobs and polls use the queue, so they go first; the queue's own timer stops with it.
    cancelJobs();
    stopAllTimers();
    m_buffer.reset();
    m_eqCache.clear();
    m_timers.reset();
    m_device.reset();
}

// --- Worker jobs ----------------------------------------------------------------------------------

void KestrinDeviceModel::postJob(std::function<void()> job)
{
    std::lock_guard<std::mutex> lock(m_jobsMutex);
    m_jobs.push_back(std::move(job));
    if (m_jobTimerId != -1)
        return;
    IWorkerTimers::StartParams params;
    params.mode = IWorkerTimers::Mode::AfterRunEnd;
    params.hasFirstDelay = true;
    params.firstDelayMs = 0;
    m_jobTimerId = m_timers->startTimer(0, JobGapMs, [this] { runNextJob(); }, params);
    if (m_jobTimerId == -1)
        GlobalLogger::Instance()->message(QtCriticalMsg, "Cannot start the headset worker.");
}

// Worker thread: runs the jobs queued by now, and those they queue, then stops until the next.
void KestrinDeviceModel::runNextJob()
{
    for (;;) {
        std::function<void()> job;
        {
            std::lock_guard<std::mutex> lock(m_jobsMutex);
            if (m_jobs.empty()) {
                // On the worker itself the stop never waits.
                m_timers->stopTimer(m_jobTimerId);
                return;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

void KestrinDeviceModel::cancelJobs()
{
    ++m_generation;
    m_writeJobs = 0;
    m_balanceJobs = 0;
    m_eqRequests.clear();
    IWorkerTimers::TimerId id;
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> lock(m_jobsMutex);
        dropped.swap(m_jobs);
        id = m_jobTimerId;
        m_jobTimerId = -1;
    }
    // Waits for a job in progress, which may still use the old interface.
    m_timers->stopTimer(id);
    m_balanceWrite.clear();
    m_eqIndexWrite.clear();
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
    // While writes are on their way the newest one decides what the headset will hold.
    const uint8_t expected = m_balanceJobs > 0 ? m_balanceTarget : m_earcupBalance;
    if (value == expected)
        return true;
    if (!m_devMain)
        return false;
    m_balanceTarget = value;
    m_balanceWrite.value.store(value);
    if (m_balanceWrite.queued.exchange(true))
        return true; // the queued write takes this value
    ++m_balanceJobs;
    Devices::IKestrinDeviceMain* const devMain = m_devMain;
    runOnWorker(
        [this, devMain] {
            m_balanceWrite.queued.store(false);
            const int wanted = m_balanceWrite.value.exchange(-1);
            if (wanted < 0)
                return std::make_pair(-1, false); // written by the job before
            return std::make_pair(wanted, devMain->setEarcupBalance(uint8_t(wanted)));
        },
        [this](const std::pair<int, bool>& written) {
            --m_balanceJobs;
            if (written.second && uint8_t(written.first) != m_earcupBalance) {
                m_earcupBalance = uint8_t(written.first);
                emit sigEarcupBalanceChanged();
            }
        },
        true);
    return true;
}

bool KestrinDeviceModel::setCurrentEqIndex(uint8_t eqIndex)
{
    if (eqIndex == m_eqIndex)
        return true;
    // The queue's preset change flushes pending band edits first and may retry them for a while:
    // the worker does it, ahead of the bands this change makes the screens ask for.
    if (m_devMain) {
        m_eqIndexWrite.value.store(eqIndex);
        if (!m_eqIndexWrite.queued.exchange(true)) {
            runOnWorker(
                [this] {
                    m_eqIndexWrite.queued.store(false);
                    const int wanted = m_eqIndexWrite.value.exchange(-1);
                    if (wanted >= 0)
                        m_buffer->setCurrentEqIndex(uint8_t(wanted));
                    return true;
                },
                [](bool) {}, true);
        }
    }
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
    const auto it = m_eqCache.find(eqIndex);
    if (it == m_eqCache.end()) {
        // Reading a preset may take the headset several exchanges: the worker does it.
        requestEqBands(eqIndex);
        return false;
    }
    out = it->second;
    return true;
}

void KestrinDeviceModel::requestEqBands(uint8_t eqIndex)
{
    if (!m_devMain || std::find(m_eqRequests.begin(), m_eqRequests.end(), eqIndex) != m_eqRequests.end())
        return;
    m_eqRequests.push_back(eqIndex);
    Devices::IKestrinDeviceMain* const devMain = m_devMain;
    runOnWorker(
        [devMain, eqIndex] {
            std::pair<bool, EqBands> loaded;
            loaded.first = devMain->loadEqBands(eqIndex, loaded.second);
            return loaded;
        },
        [this, eqIndex](const std::pair<bool, EqBands>& loaded) {
            m_eqRequests.erase(std::remove(m_eqRequests.begin(), m_eqRequests.end(), eqIndex), m_eqRequests.end());
            // A preset cached meanwhile holds the user's edits: those win.
            if (loaded.first && m_eqCache.find(eqIndex) == m_eqCache.end())
                takeEqBands(eqIndex, loaded.second, false);
        });
}

// Caches a preset as the headset holds it. With `signalChanges` an already cached preset of the
// same band count announces each band that changed; otherwise the whole preset is announced.
void KestrinDeviceModel::takeEqBands(uint8_t eqIndex, EqBands bands, bool signalChanges)
{
    for (auto& band : bands)
        band.setGain(std::clamp(band.gain, MinEqGain, MaxEqGain));
    const auto it = m_eqCache.find(eqIndex);
    if (signalChanges && it != m_eqCache.end() && it->second.size() == bands.size()) {
        std::vector<size_t> changed;
        for (size_t band = 0; band < bands.size(); ++band) {
            if (!(bands[band] == it->second[band]))
                changed.push_back(band);
        }
        it->second = std::move(bands);
        for (size_t band : changed)
            emit sigEqBandChanged(eqIndex, band);
        return;
    }
    m_eqCache[eqIndex] = std::move(bands);
    emit sigEqBandsLoaded(eqIndex);
}

namespace {

struct ResetOutcome {
    bool succeeded = false;
    // The cached presets as the headset holds them after the reset.
    std::map<uint8_t, std::vector<KestrinEqBandParams>> bands;
};

} // namespace

bool KestrinDeviceModel::factoryReset()
{
    if (!m_devMain)
        return false;
    Devices::IKestrinDeviceMain* const devMain = m_devMain;
    std::vector<uint8_t> presets;
    for (const auto& entry : m_eqCache)
        presets.push_back(entry.first);
    runOnWorker(
        [devMain, presets] {
            ResetOutcome outcome;
            outcome.succeeded = devMain->factoryReset();
            if (outcome.succeeded) {
                for (uint8_t preset : presets) {
                    std::vector<KestrinEqBandParams> bands;
                    if (devMain->loadEqBands(preset, bands))
                        outcome.bands.emplace(preset, std::move(bands));
                }
            }
            return outcome;
        },
        [this](const ResetOutcome& outcome) {
            if (!outcome.succeeded) {
                GlobalLogger::Instance()->message(QtWarningMsg, "Factory reset failed.");
                emit sigFactoryResetFinished(false);
                return;
            }
            GlobalLogger::Instance()->message(QtDebugMsg, "Factory reset done, showing the headset's defaults.");
            // The headset is back at its defaults: show what it holds now, not what it held.
            takeDeviceSettings();
            std::vector<uint8_t> presets;
            for (const auto& entry : m_eqCache)
                presets.push_back(entry.first);
            for (uint8_t preset : presets) {
                const auto found = outcome.bands.find(preset);
                if (found != outcome.bands.end()) {
                    takeEqBands(preset, found->second, true);
                } else {
                    // Not read back: forget it, so that it is read again when next shown.
                    m_eqCache.erase(preset);
                    requestEqBands(preset);
                }
            }
            emit sigFactoryResetFinished(true);
        },
        true);
    return true;
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
            params.mode = IWorkerTimers::Mode::AfterRunEnd;
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

    // A write job still on its way would have its value taken back by the implementation's older one.
    if (m_buffer->isFree() && !m_buffer->isPaused() && m_writeJobs == 0)
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
    // The same goes for a preset change or a balance written by a worker job.
    if (m_writeJobs > 0 && (kind == uint8_t(Kind::eqIndex) || kind == uint8_t(Kind::earcupBalance)))
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

// Takes every setting the implementation holds; those that changed are signalled.
void KestrinDeviceModel::takeDeviceSettings()
{
    using Dev = Devices::IKestrinDeviceMain;
    using M = KestrinDeviceModel;
    Dev* dev = m_devMain;
    if (!dev)
        return;
    dev->loadPoweredOn(m_poweredOn);
    dev->loadMaxSidetoneLevel(m_maxSidetoneLevel);
    takeLoaded(this, dev, &Dev::loadEqIndex, m_eqIndex, &M::sigCurrentEqIndexChanged);
    takeLoaded(this, dev, &Dev::loadGameChatMix, m_gameChatMix, &M::sigGameChatMixChanged);
    takeLoaded(this, dev, &Dev::loadNoiseReduction, m_noiseReduction, &M::sigNoiseReductionChanged);
    takeLoaded(this, dev, &Dev::loadVpLevel, m_vpLevel, &M::sigVpLevelChanged);
    takeLoaded(this, dev, &Dev::loadEarcupBalance, m_earcupBalance, &M::sigEarcupBalanceChanged);
    takeLoaded(this, dev, &Dev::loadAmpGain, m_ampGain, &M::sigAmpGainChanged);
    takeLoaded(this, dev, &Dev::loadSidetoneLevel, m_sidetoneLevel, &M::sigSidetoneLevelChanged);
    takeLoaded(this, dev, &Dev::loadSidetone, m_sidetone, &M::sigSidetoneChanged);
    takeLoaded(this, dev, &Dev::loadAutoPowerOff, m_autoPowerOff, &M::sigAutoPowerOffChanged);
    if (m_deviceType != DeviceType::kestrin)
        takeLoaded(this, dev, &Dev::loadMicLevel, m_micLevel, &M::sigMicLevelChanged);
    if (m_deviceType == DeviceType::kestrin_2_anc)
        takeLoaded(this, dev, &Dev::loadAncMode, m_ancMode, &M::sigAncModeChanged);
}

// Returns false when the device is announced later, once a repair written by the worker is in.
bool KestrinDeviceModel::loadData()
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
        return true;
    }

    // Load operations copy what the implementation read when the device was opened: no traffic.
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
    // The balance is written at once and taken only when the headset accepted it; the device is
    // announced after that, so that the screens see the repaired value from the start.
    bool readyNow = true;
    const uint8_t balance = std::clamp(m_earcupBalance, MinEarcupBalance, MaxEarcupBalance);
    if (balance != m_earcupBalance) {
        readyNow = false;
        runOnWorker([dev, balance] { return dev->setEarcupBalance(balance); },
                    [this, balance](bool accepted) {
                        if (accepted) {
                            m_earcupBalance = balance;
                            emit sigEarcupBalanceChanged();
                        }
                        finishDeviceReady();
                    },
                    true);
    }

    // Published by the publishing tick, like every polled value.
    Devices::SharedDeviceImpl device = m_device;
    postJob([this, device, dev] {
        (void)device;
        uint8_t battery = 0;
        if (dev->readBatteryLevel(battery))
            m_pendingBatteryLevel.store(battery);
        bool mute = false;
        if (dev->readMicMute(mute))
            m_pendingMicMute.store(mute);
    });
    return readyNow;
}

void KestrinDeviceModel::onDeviceReady()
{
    // Nothing started for the previous device may reach this one.
    cancelJobs();
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
    if (loadData())
        finishDeviceReady();
}

void KestrinDeviceModel::finishDeviceReady()
{
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
    cancelJobs();
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

} // namespace DeviceModels
