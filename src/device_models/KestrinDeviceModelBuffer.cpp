#include "device_models/KestrinDeviceModelBuffer.h"

#include "core/GlobalLogger.h"
#include "devices/IKestrinDeviceMain.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace DeviceModels {

using DeviceData::KestrinEqBandParams;

KestrinDeviceModel::Buffer::Buffer(IWorkerTimers& timers)
    : m_timers(timers)
{
    m_pendingKeys.reserve(10);
}

KestrinDeviceModel::Buffer::~Buffer()
{
    stopTimer();
}

bool KestrinDeviceModel::Buffer::isFree() const
{
    Utils::SpinGuard timerLock(m_timerLock);
    return !m_timerRunning;
}

bool KestrinDeviceModel::Buffer::isPending(Key key) const
{
    Utils::SpinGuard valueLock(m_valueLock);
    return key == m_inFlightKey || std::find(m_pendingKeys.begin(), m_pendingKeys.end(), key) != m_pendingKeys.end();
}

std::vector<KestrinDeviceModel::Buffer::Key> KestrinDeviceModel::Buffer::readFailedKeys()
{
    std::vector<Key> keys;
    Utils::SpinGuard valueLock(m_valueLock);
    keys.swap(m_failedKeys);
    return keys;
}

void KestrinDeviceModel::Buffer::setDevMain(Devices::IKestrinDeviceMain* devMain, DeviceType type)
{
    // Once the timer is stopped no tick uses the old interface any more, so the caller may drop it.
    stopTimer();
    std::lock_guard<std::mutex> writeLock(m_writeMutex);
    Utils::SpinGuard valueLock(m_valueLock);
    m_pendingKeys.clear();
    m_failedKeys.clear();
    m_devMain = devMain;
    m_deviceType = type;
}

void KestrinDeviceModel::Buffer::startTimer()
{
    Utils::SpinGuard timerLock(m_timerLock);
    if (m_timerRunning)
        return;
    IWorkerTimers::StartParams params;
    params.mode = IWorkerTimers::Mode::AfterRunEnd;
    params.hasFirstDelay = true;
    params.firstDelayMs = 0;
    params.wantedId = m_timerId;
    params.minGapMs = 0;
    auto id = m_timers.startTimer(
        0, TickMs, [this] { process(); }, params);
    if (id == -1 && params.wantedId != -1) {
        // The old id is taken by another job; any id will do.
        params.wantedId = -1;
        id = m_timers.startTimer(
            0, TickMs, [this] { process(); }, params);
    }
    if (id == -1) {
        GlobalLogger::Instance()->message(QtCriticalMsg, "Cannot start the headset write queue.");
        return;
    }
    m_timerId = id;
    m_timerRunning = true;
}

void KestrinDeviceModel::Buffer::stopTimer()
{
    IWorkerTimers::TimerId id;
    {
        Utils::SpinGuard timerLock(m_timerLock);
        m_timerRunning = false;
        id = m_timerId; // the id is kept and asked for again at the next start
    }
    // No lock is held here: off the worker this waits for a tick in progress, which takes them.
    m_timers.stopTimer(id);
}

void KestrinDeviceModel::Buffer::checkParamAndStartUnsafe(Key key)
{
    if (std::find(m_pendingKeys.begin(), m_pendingKeys.end(), key) != m_pendingKeys.end())
        return;
    m_pendingKeys.push_back(key);
    startTimer();
}

void KestrinDeviceModel::Buffer::store(Setting setting, uint16_t value)
{
    Utils::SpinGuard valueLock(m_valueLock);
    m_values[size_t(setting)] = value;
    checkParamAndStartUnsafe(MakeKey(setting));
}

void KestrinDeviceModel::Buffer::setEqBands(uint8_t eqIndex, const std::vector<KestrinEqBandParams>& bands)
{
    Utils::SpinGuard valueLock(m_valueLock);
    m_pendingBands[eqIndex] = bands;
    checkParamAndStartUnsafe(MakeBandsKey(eqIndex));
}

void KestrinDeviceModel::Buffer::addFailedKey(Key key)
{
    Utils::SpinGuard valueLock(m_valueLock);
    m_failedKeys.push_back(key);
}

KestrinDeviceModel::Buffer::WriteResult
KestrinDeviceModel::Buffer::writeBands(Devices::IKestrinDeviceMain* devMain, DeviceType type, uint8_t eqIndex,
                                       const std::vector<KestrinEqBandParams>& bands)
{
    if (type != DeviceType::kestrin_2_anc)
        return devMain->setEqBands(eqIndex, bands) ? WriteResult::done : WriteResult::failed;

    // The ANC headset takes one filter per band: send only the bands that differ from what it has.
    // When its bands cannot be compared there is nothing to send them against.
    std::vector<KestrinEqBandParams> current;
    if (!devMain->loadEqBands(eqIndex, current) || current.size() != bands.size())
        return WriteResult::incomparable;
    bool ok = true;
    for (size_t band = 0; band < bands.size(); ++band) {
        if (bands[band] == current[band])
            continue;
        if (!devMain->writeUserEqBiquad(eqIndex, uint8_t(band), DeviceData::AncEqFilterType::peaking,
                                        float(bands[band].freq), float(bands[band].gain)))
            ok = false;
    }
    return ok ? WriteResult::done : WriteResult::failed;
}

void KestrinDeviceModel::Buffer::process()
{
    if (m_paused.load())
        return;

    std::lock_guard<std::mutex> writeLock(m_writeMutex);
    Devices::IKestrinDeviceMain* devMain;
    DeviceType type;
    Key key;
    Values values;
    std::vector<KestrinEqBandParams> bands;
    {
        Utils::SpinGuard valueLock(m_valueLock);
        if (m_pendingKeys.empty()) {
            IWorkerTimers::TimerId id;
            {
                Utils::SpinGuard timerLock(m_timerLock);
                m_timerRunning = false;
                id = m_timerId;
            }
            // Called on the worker itself, so the stop never waits.
            m_timers.stopTimer(id);
            return;
        }
        key = m_pendingKeys.front();
        m_pendingKeys.erase(m_pendingKeys.begin());
        m_inFlightKey = key;
        if (KindOf(key) == EqBandsKind) {
            auto it = m_pendingBands.find(EqIndexOf(key));
            if (it != m_pendingBands.end()) {
                bands = std::move(it->second);
                m_pendingBands.erase(it);
            }
        }
        devMain = m_devMain;
        type = m_deviceType;
        values = m_values;
    }

    bool ok = true;
    if (devMain) {
        const auto kind = KindOf(key);
        const Devices::KestrinSettingInfo* info = Devices::FindSetting(kind);
        // ANC bands that cannot be compared with the headset's are neither written nor recorded:
        // a failed key would be queued again by the model and fail the same way on every tick.
        if (kind == EqBandsKind)
            ok = writeBands(devMain, type, EqIndexOf(key), bands) != WriteResult::failed;
        else if (info && info->queued)
            ok = info->set(*devMain, values[kind]);
    }
    // The failure and the end of the write become visible together: to the model the key is
    // always either in flight or failed, never briefly neither.
    Utils::SpinGuard valueLock(m_valueLock);
    if (!ok)
        m_failedKeys.push_back(key);
    m_inFlightKey = NoKey;
}

bool KestrinDeviceModel::Buffer::flushBandsUnsafe(Devices::IKestrinDeviceMain* devMain, DeviceType type, Key key,
                                                  const std::vector<KestrinEqBandParams>& bands)
{
    GlobalLogger::Instance()->message(QtDebugMsg, "Needed to set EQ bands before the EQ index.");
    for (int attempt = 0; attempt < EqBandsAttempts; ++attempt) {
        const auto result = writeBands(devMain, type, EqIndexOf(key), bands);
        // An ANC headset whose bands cannot be compared will not get better by retrying.
        if (result == WriteResult::incomparable)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(EqBandsAttemptPauseMs));
        if (result == WriteResult::done)
            return true;
        if (attempt + 1 < EqBandsAttempts)
            GlobalLogger::Instance()->message(QtDebugMsg, "EQ bands command failed, try again...");
    }
    GlobalLogger::Instance()->message(QtDebugMsg, "EQ bands command failed several times, eq index isn't set.");
    return false;
}

void KestrinDeviceModel::Buffer::setCurrentEqIndex(uint8_t eqIndex)
{
    m_paused.store(true);
    {
        std::lock_guard<std::mutex> writeLock(m_writeMutex);
        bool indexAllowed = true;
        // Every pending band change goes out before the index, oldest first, so the headset never
        // switches to a preset whose new bands are still on their way.
        for (;;) {
            Key key = 0;
            Devices::IKestrinDeviceMain* devMain;
            DeviceType type;
            std::vector<KestrinEqBandParams> bands;
            {
                Utils::SpinGuard valueLock(m_valueLock);
                auto it = std::find_if(m_pendingKeys.begin(), m_pendingKeys.end(),
                                       [](Key k) { return KindOf(k) == EqBandsKind; });
                if (it == m_pendingKeys.end())
                    break;
                key = *it;
                m_pendingKeys.erase(it);
                auto bandsIt = m_pendingBands.find(EqIndexOf(key));
                if (bandsIt != m_pendingBands.end()) {
                    bands = std::move(bandsIt->second);
                    m_pendingBands.erase(bandsIt);
                }
                devMain = m_devMain;
                type = m_deviceType;
            }
            if (!devMain)
                break;
            if (!flushBandsUnsafe(devMain, type, key, bands)) {
                addFailedKey(MakeKey(Setting::eqIndex));
                addFailedKey(key);
                indexAllowed = false;
                break;
            }
        }

        Devices::IKestrinDeviceMain* devMain;
        {
            Utils::SpinGuard valueLock(m_valueLock);
            devMain = m_devMain;
        }
        if (indexAllowed && devMain && !devMain->setEqIndex(eqIndex))
            addFailedKey(MakeKey(Setting::eqIndex));
    }
    m_paused.store(false);
}

} // namespace DeviceModels
