#include "device_models/KestrinDeviceModel.h"

#include "core/GlobalLogger.h"
#include "device_models/KestrinDeviceModelBuffer.h"
#include "devices/DeviceProxy.h"
#include "devices/IKestrinDeviceMain.h"
#include "devices/KestrinSettings.h"
#include "utils/Utils.h"

#include <QMetaObject>
#include <QTimer>

#include <algorithm>
#include <mutex>
#include <utility>

namespace DeviceModels {

using DeviceData::AncMode;
using DeviceData::KestrinEqBandParams;
using Devices::c_kestrinSettings;
using Devices::HasSetting;
using Devices::KestrinSettingInfo;
using Devices::SettingInfo;

namespace {

constexpr int PublishIntervalMs = 100;
constexpr uint32_t StatePollMs = 1000;
constexpr uint32_t BatteryPollMs = 30000;
constexpr int32_t FirstPollDelayMs = 100;

} // namespace

KestrinDeviceModel::KestrinDeviceModel(Devices::DeviceProxy* proxy, QObject* parent)
    : KestrinDeviceModel(proxy, CreateThreadWorkerTimers(), parent)
{
}

KestrinDeviceModel::KestrinDeviceModel(Devices::DeviceProxy* proxy, std::unique_ptr<IWorkerTimers> timers,
                                       QObject* parent)
    : DeviceSignals(parent)
    , m_proxy(proxy)
    , m_timers(std::move(timers))
{
    m_hwType = Enumer<KestrinHwType>::Invalid();
    for (const KestrinSettingInfo& info : c_kestrinSettings)
        setting(info.setting) = uint16_t(info.initial);

    m_device = m_proxy->getDevice();
    m_devMain = m_device ? m_device->getKestrinDevice() : nullptr;
    if (m_devMain) {
        m_deviceType = m_device->getDeviceType();
        m_hwType = m_devMain->getHwType();
    }

    m_timer = new QTimer(this);
    m_htTimer = new QTimer(this);
    m_buffer = std::make_unique<Buffer>(*m_timers);
    // A headset that is current already gets no deviceReady: without this the queue would drop
    // every write made for it.
    if (m_devMain)
        m_buffer->setDevMain(m_devMain, m_deviceType);
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

// --- Setters ------------------------------------------------------------------------------------

// A queued setting: accepted within its row's range on the models that have it; a new value is
// cached, signalled and queued.
bool KestrinDeviceModel::queueChange(Setting which, uint16_t value)
{
    const KestrinSettingInfo& info = SettingInfo(which);
    if (!HasSetting(info.models, m_deviceType) || value < info.min || value > info.max)
        return false;
    if (setting(which) == value)
        return true;
    m_buffer->store(which, value);
    setting(which) = value;
    emitChanged(which);
    return true;
}

bool KestrinDeviceModel::setGameChatMix(uint8_t value)
{
    return queueChange(Setting::gameChatMix, value);
}

bool KestrinDeviceModel::setNoiseReduction(uint8_t value)
{
    return queueChange(Setting::noiseReduction, value);
}

bool KestrinDeviceModel::setAncMode(AncMode mode)
{
    return queueChange(Setting::ancMode, uint8_t(mode));
}

bool KestrinDeviceModel::setVpLevel(uint8_t value)
{
    return queueChange(Setting::vpLevel, value);
}

bool KestrinDeviceModel::setAmpGain(uint8_t value)
{
    return queueChange(Setting::ampGain, value);
}

bool KestrinDeviceModel::setMicLevel(uint8_t value)
{
    return queueChange(Setting::micLevel, value);
}

bool KestrinDeviceModel::setSidetoneLevel(uint8_t value)
{
    return queueChange(Setting::sidetoneLevel, value);
}

bool KestrinDeviceModel::setSidetone(bool on)
{
    return queueChange(Setting::sidetone, on);
}

bool KestrinDeviceModel::setAutoPowerOff(uint16_t seconds)
{
    return queueChange(Setting::autoPowerOff, seconds);
}

bool KestrinDeviceModel::setEarcupBalance(uint8_t value)
{
    const KestrinSettingInfo& info = SettingInfo(Setting::earcupBalance);
    if (value < info.min || value > info.max)
        return false;
    // While writes are on their way the newest one decides what the headset will hold.
    const uint8_t expected = m_balanceJobs > 0 ? m_balanceTarget : getEarcupBalance();
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
            if (written.second && uint8_t(written.first) != getEarcupBalance()) {
                setting(Setting::earcupBalance) = uint8_t(written.first);
                emit sigEarcupBalanceChanged();
            }
        },
        true);
    return true;
}

bool KestrinDeviceModel::setCurrentEqIndex(uint8_t eqIndex)
{
    if (eqIndex == getCurrentEqIndex())
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
    setting(Setting::eqIndex) = eqIndex;
    emit sigCurrentEqIndexChanged();
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
            m_stateTimerId = m_timers->startTimer(
                0, StatePollMs, [this] { updateData(); }, params);
            m_batteryTimerId = m_timers->startTimer(
                0, BatteryPollMs, [this] { updateBattery(); }, params);
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
    for (const KestrinSettingInfo& info : c_kestrinSettings) {
        uint16_t value = 0;
        if (info.polled && info.read && HasSetting(info.models, m_deviceType))
            info.read(*devMain, value);
    }
}

void KestrinDeviceModel::updateBattery()
{
    if (!m_buffer->isFree() || m_buffer->isPaused())
        return;
    uint8_t level = 0;
    if (m_devMain->readBatteryLevel(level)) {
        m_pendingBatteryLevel.store(level);
        m_pendingStatusRead.store(true);
    }
}

// --- Publishing -----------------------------------------------------------------------------------

// Takes the implementation's value when it differs from the model's, with its signal.
void KestrinDeviceModel::takeLoaded(Setting which)
{
    uint16_t value = 0;
    if (SettingInfo(which).load(*m_devMain, value) && value != setting(which)) {
        setting(which) = value;
        emitChanged(which);
    }
}

namespace {

// Each setting's change signal; the build fails while a setting has none.
struct ChangeSignal {
    Devices::KestrinSetting setting;
    void (KestrinDeviceModel::*signal)();
};

constexpr bool NamesSetting(const ChangeSignal& entry, Devices::KestrinSetting setting)
{
    return entry.setting == setting;
}

using S = Devices::KestrinSetting;
constexpr ChangeSignal c_changeSignals[] = {
    {S::gameChatMix, &KestrinDeviceModel::sigGameChatMixChanged},
    {S::noiseReduction, &KestrinDeviceModel::sigNoiseReductionChanged},
    {S::ancMode, &KestrinDeviceModel::sigAncModeChanged},
    {S::vpLevel, &KestrinDeviceModel::sigVpLevelChanged},
    {S::earcupBalance, &KestrinDeviceModel::sigEarcupBalanceChanged},
    {S::ampGain, &KestrinDeviceModel::sigAmpGainChanged},
    {S::micLevel, &KestrinDeviceModel::sigMicLevelChanged},
    {S::sidetoneLevel, &KestrinDeviceModel::sigSidetoneLevelChanged},
    {S::sidetone, &KestrinDeviceModel::sigSidetoneChanged},
    {S::autoPowerOff, &KestrinDeviceModel::sigAutoPowerOffChanged},
    {S::eqIndex, &KestrinDeviceModel::sigCurrentEqIndexChanged},
};
static_assert(Devices::NamesEverySettingOnce(c_changeSignals), "every setting has one change signal");

} // namespace

void KestrinDeviceModel::emitChanged(Setting which)
{
    for (const ChangeSignal& entry : c_changeSignals) {
        if (entry.setting == which)
            emit(this->*entry.signal)();
    }
}

void KestrinDeviceModel::onTimeout()
{
    const uint8_t battery = m_pendingBatteryLevel.load();
    if (!m_statusRead && m_pendingStatusRead.load()) {
        m_statusRead = true;
        m_batteryLevel = battery;
        emit sigBatteryLevelChanged();
    }
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
    if (kind != Buffer::EqBandsKind && !Devices::FindSetting(kind))
        return;
    // A newer value of the same setting is on its way; putting the old one back now would leave
    // the model showing it after the newer write went through.
    if (m_buffer->isPending(key))
        return;
    // The same goes for a preset change or a balance written by a worker job.
    if (m_writeJobs > 0 && (kind == uint8_t(Setting::eqIndex) || kind == uint8_t(Setting::earcupBalance)))
        return;

    if (kind == Buffer::EqBandsKind) {
        GlobalLogger::Instance()->message(QtDebugMsg, "EQ bands command failed, try again...");
        const auto it = m_eqCache.find(Buffer::EqIndexOf(key));
        if (it != m_eqCache.end())
            m_buffer->setEqBands(it->first, it->second);
        return;
    }
    takeLoaded(Setting(kind));
}

void KestrinDeviceModel::publishPolledValues()
{
    for (const KestrinSettingInfo& info : c_kestrinSettings) {
        if (info.polled && HasSetting(info.models, m_deviceType))
            takeLoaded(info.setting);
    }
}

// --- Device changes -------------------------------------------------------------------------------

// Takes every setting the implementation holds; those that changed are signalled.
void KestrinDeviceModel::takeDeviceSettings()
{
    Devices::IKestrinDeviceMain* dev = m_devMain;
    if (!dev)
        return;
    dev->loadPoweredOn(m_poweredOn);
    dev->loadMaxSidetoneLevel(m_maxSidetoneLevel);
    for (const KestrinSettingInfo& info : c_kestrinSettings) {
        if (HasSetting(info.models, m_deviceType))
            takeLoaded(info.setting);
    }
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
        for (const KestrinSettingInfo& info : c_kestrinSettings)
            setting(info.setting) = uint16_t(info.fwOnly);
        m_maxSidetoneLevel = 25;
        m_poweredOn = false;
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
    dev->loadMaxSidetoneLevel(m_maxSidetoneLevel);
    dev->loadFwVersion(m_fwVersion);
    if (m_dongle)
        dev->loadDongleFwVersion(m_dongleFwVersion);
    else
        m_dongleFwVersion.clear();
    for (const KestrinSettingInfo& info : c_kestrinSettings) {
        if (!HasSetting(info.models, m_deviceType))
            setting(info.setting) = uint16_t(info.initial);
        else
            info.load(*dev, setting(info.setting));
    }

    // Values out of range are pulled into it, on the headset too: a mode the program does not
    // know becomes the default, a value above its range the highest one. The balance is the
    // exception, below.
    if (HasSetting(SettingInfo(Setting::ancMode).models, m_deviceType) && !Enumer<AncMode>::IsValid(getAncMode())) {
        setting(Setting::ancMode) = uint8_t(Enumer<AncMode>::Default());
        m_buffer->setAncMode(getAncMode());
        emit sigAncModeChanged();
    }
    for (const KestrinSettingInfo& info : c_kestrinSettings) {
        if (info.setting == Setting::earcupBalance || setting(info.setting) <= info.max)
            continue;
        setting(info.setting) = uint16_t(info.max);
        m_buffer->store(info.setting, setting(info.setting));
        emitChanged(info.setting);
    }
    // The balance is written at once and taken only when the headset accepted it; the device is
    // announced after that, so that the screens see the repaired value from the start.
    bool readyNow = true;
    const KestrinSettingInfo& balanceInfo = SettingInfo(Setting::earcupBalance);
    const uint8_t balance = uint8_t(std::clamp<int>(getEarcupBalance(), balanceInfo.min, balanceInfo.max));
    if (balance != getEarcupBalance()) {
        readyNow = false;
        runOnWorker([dev, balance] { return dev->setEarcupBalance(balance); },
                    [this, balance](bool accepted) {
                        if (accepted) {
                            setting(Setting::earcupBalance) = balance;
                            emit sigEarcupBalanceChanged();
                        }
                        finishDeviceReady();
                    },
                    true);
    }

    // Published as soon as read rather than at the next publishing tick: until then the screens
    // know that there is no reading yet, and show none. Only a full headset has them.
    if (isFullHw())
        runOnWorker(
            [this, dev] {
                uint8_t battery = 0;
                bool mute = false;
                const bool read = dev->readBatteryLevel(battery) && dev->readMicMute(mute);
                if (read) {
                    m_pendingBatteryLevel.store(battery);
                    m_pendingMicMute.store(mute);
                    m_pendingStatusRead.store(true);
                }
                return read;
            },
            [this](bool read) {
                // Published by the tick already, should it have come first.
                if (!read || m_statusRead)
                    return;
                m_batteryLevel = m_pendingBatteryLevel.load();
                m_micMute = m_pendingMicMute.load();
                m_statusRead = true;
                emit sigBatteryLevelChanged();
                emit sigMicMuteChanged();
            });
    return readyNow;
}

void KestrinDeviceModel::onDeviceReady()
{
    // Nothing started for the previous device may reach this one.
    cancelJobs();
    m_statusRead = false;
    m_pendingStatusRead.store(false);
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
