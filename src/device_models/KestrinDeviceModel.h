#pragma once

#include "core/DeviceType.h"
#include "device_data/AncMode.h"
#include "device_data/KestrinEqBandParams.h"
#include "device_models/WorkerTimers.h"
#include "devices/DeviceSignals.h"
#include "devices/IDeviceImpl.h"
#include "devices/KestrinSettings.h"
#include "utils/SpinLock.h"

#include <QMetaObject>
#include <QQuaternion>
#include <QString>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

class QTimer;

namespace Devices {
class DeviceProxy;
class IKestrinDeviceMain;
} // namespace Devices

namespace DeviceModels {

// The cached, observable state of the current headset.
//
// It follows the proxy's current device: when a headset becomes current it loads every setting
// once (repairing values out of range), answers every getter from its own cache, and takes
// changes optimistically: the cache changes and the change signal goes out at once, the device
// write follows from the write queue on the model's worker thread, one setting per 10 ms. On real
// hardware it also polls the headset (settings every 1000 ms, battery every 30000 ms, while the
// polling parameter is `normal`) and publishes what the worker learnt on a 100 ms GUI-thread
// tick, which also puts back every value the headset refused.
//
// Head tracking starts on request (requestHt(), or the polling parameter `head_tracking`): the
// headset's sensors are switched off and, 100 ms later, on again; from then on until the device
// goes away the worker reads the head position every 4 ms and the GUI thread publishes the newest
// one every 4 ms with sigHeadPositionChanged. A headset that is off or refuses a sensor command is
// not asked again until the next device.
//
// Everything public is for the GUI thread; every signal is emitted there. The GUI thread never
// talks to the headset itself: every exchange (the first load's reads and repairs, the earcup
// balance, the EQ preset change, preset bands, the factory reset, the head-tracking switch) runs
// as a job on the model's worker, and its outcome comes back as a queued call, dropped when the
// device changed meanwhile. Load operations of the interface only copy its cache and stay here.
// deviceReady follows the first load at once, or, when the earcup balance had to be written back,
// once the headset answered that write.
class KestrinDeviceModel : public Devices::DeviceSignals {
    Q_OBJECT
public:
    enum class PollingParam : uint8_t {
        none = 0,
        normal = 1,
        head_tracking = 2,
    };
    Q_ENUM(PollingParam)

    class Buffer;

    explicit KestrinDeviceModel(Devices::DeviceProxy* proxy, QObject* parent = nullptr);
    // Runs the worker jobs on `timers` instead of a worker thread of its own (tests).
    KestrinDeviceModel(Devices::DeviceProxy* proxy, std::unique_ptr<IWorkerTimers> timers, QObject* parent = nullptr);
    ~KestrinDeviceModel() override;

    DeviceType getDeviceType() const { return m_deviceType; }
    KestrinHwType getHwType() const { return m_hwType; }
    uint8_t getBatteryLevel() const { return m_batteryLevel; }
    bool getMicMute() const { return m_micMute; }
    // False from a device's set-up until its battery level and mute have first been read: until
    // then the two getters above hold no reading of this device.
    bool isStatusRead() const { return m_statusRead; }
    QQuaternion getHeadPosition() const { return m_headPosition; }
    bool hasHeadtracking() const;
    uint8_t getGameChatMix() const { return uint8_t(setting(Setting::gameChatMix)); }
    uint8_t getNoiseReduction() const { return uint8_t(setting(Setting::noiseReduction)); }
    uint8_t getVpLevel() const { return uint8_t(setting(Setting::vpLevel)); }
    uint8_t getEarcupBalance() const { return uint8_t(setting(Setting::earcupBalance)); }
    uint8_t getAmpGain() const { return uint8_t(setting(Setting::ampGain)); }
    uint8_t getCurrentEqIndex() const { return uint8_t(setting(Setting::eqIndex)); }
    uint8_t getSidetoneLevel() const { return uint8_t(setting(Setting::sidetoneLevel)); }
    uint8_t getMaxSidetoneLevel() const { return m_maxSidetoneLevel; }
    uint8_t getMicLevel() const { return uint8_t(setting(Setting::micLevel)); }
    uint16_t getAutoPowerOff() const { return setting(Setting::autoPowerOff); }
    bool isSidetoneOn() const { return setting(Setting::sidetone) != 0; }
    DeviceData::AncMode getAncMode() const { return DeviceData::AncMode(setting(Setting::ancMode)); }
    QString getFwVersion() const { return m_fwVersion; }
    QString getDongleFwVersion() const { return m_dongleFwVersion; }
    bool isPoweredOn() const { return m_poweredOn; }
    bool isNewFilm() const { return m_newFilm; }
    bool isDongle() const { return m_dongle; }
    bool isFwOnly() const { return m_fwOnly; }
    bool isHw() const { return m_hw; }
    bool isFullHw() const { return m_hw && !m_fwOnly; }
    // Gain of a band of the current preset, or of `eqIndex`; 0 when the preset's bands are not
    // loaded or the band does not exist.
    int getEqBandGain(size_t band) const;
    int getEqBandGain(uint8_t eqIndex, size_t band) const;

    // Setters: false for a value out of range (nothing changes); true and nothing else for the
    // value already held; otherwise cache, signal and queue the write.
    bool setGameChatMix(uint8_t value);        // 0..20
    bool setNoiseReduction(uint8_t value);     // 0..2
    bool setAncMode(DeviceData::AncMode mode); // ANC headset only
    bool setVpLevel(uint8_t value);            // 0..15
    bool setAmpGain(uint8_t value);
    bool setMicLevel(uint8_t value); // not on the first model
    bool setSidetoneLevel(uint8_t value);
    bool setSidetone(bool on);
    bool setAutoPowerOff(uint16_t seconds);
    // 122..134, written ahead of the queue: false for a value out of range or no headset. The
    // model takes the value (and signals it) only once the headset accepted it; a refused one
    // changes nothing.
    bool setEarcupBalance(uint8_t value);
    // Takes the new index at once; the worker writes pending band changes first, then the index.
    // A refused index is put back by the next tick.
    bool setCurrentEqIndex(uint8_t eqIndex);
    // Gain -12..12 of one band of a loaded preset.
    bool setEqBandGain(size_t band, int gain);
    bool setEqBandGain(uint8_t eqIndex, size_t band, int gain);
    // One gain -12..12 per band of a loaded preset; all or nothing.
    bool setEqBandsGains(const std::vector<int>& gains);
    bool setEqBandsGains(uint8_t eqIndex, const std::vector<int>& gains);

    // The bands of the current preset, or of `eqIndex`, from the model's cache. A preset not yet
    // cached is asked for on the worker and false returned; sigEqBandsLoaded tells when it came.
    bool loadEqBands(std::vector<DeviceData::KestrinEqBandParams>& out);
    bool loadEqBands(uint8_t eqIndex, std::vector<DeviceData::KestrinEqBandParams>& out);

    // On a real headset the worker centres (true once it is on its way); others answer at once.
    bool centralize();
    bool calibrate(double seconds);
    // Sends the factory reset from the worker: true when it was sent off (a headset is current),
    // false otherwise. The outcome follows with sigFactoryResetFinished; after a reset the headset
    // took, every setting is read back from it and each one that changed is signalled first.
    bool factoryReset();

    PollingParam getPollingParam() const { return m_pollingParam; }
    void setPollingParam(PollingParam param);
    // Starts switching the head-tracking sensors on, once per device (a failed attempt included).
    void requestHt();
    void initHt();

public slots:
    void onDeviceReady();
    void onDeviceLost();
    void onTimeout();
    void onHtTimeout();

signals:
    void sigGameChatMixChanged();
    void sigNoiseReductionChanged();
    void sigVpLevelChanged();
    void sigEarcupBalanceChanged();
    void sigAmpGainChanged();
    void sigCurrentEqIndexChanged();
    void sigSidetoneLevelChanged();
    void sigMicLevelChanged();
    void sigAutoPowerOffChanged();
    void sigSidetoneChanged();
    void sigAncModeChanged();
    void sigEqBandChanged(uchar eq_id, size_t band_id);
    void sigBatteryLevelChanged();
    void sigMicMuteChanged();
    void sigHeadPositionChanged();
    void sigHasHtChanged();
    // The bands of a preset that loadEqBands could not answer from the cache are now cached.
    void sigEqBandsLoaded(uchar eq_id);
    void sigFactoryResetFinished(bool succeeded);

private:
    using EqBands = std::vector<DeviceData::KestrinEqBandParams>;
    using Setting = Devices::KestrinSetting;

    uint16_t setting(Setting which) const { return m_settings[size_t(which)]; }
    uint16_t& setting(Setting which) { return m_settings[size_t(which)]; }
    // The steps every setting runs, with the facts of its row in Devices::c_kestrinSettings.
    bool queueChange(Setting which, uint16_t value);
    void takeLoaded(Setting which);
    void emitChanged(Setting which);

    bool loadData();
    void updateData();
    void updateBattery();
    void updatePollingParam();
    void stopAllTimers();
    void restoreFailedKey(uint16_t key);
    void publishPolledValues();
    void finishDeviceReady();
    void takeDeviceSettings();
    void takeEqBands(uint8_t eqIndex, EqBands bands, bool signalChanges);

    // Worker jobs: `work` runs on the worker with the device kept alive; `done` then gets its
    // result on the GUI thread, unless the device changed in between. A write job keeps the
    // publishing tick from taking the implementation's values until its result is in.
    template <typename Work, typename Done>
    void runOnWorker(Work work, Done done, bool write = false);
    void postJob(std::function<void()> job);
    // Drops the jobs not started yet and waits for the one running; later results are dropped.
    void cancelJobs();
    void runNextJob();
    void requestEqBands(uint8_t eqIndex);

    // Head tracking: the states of switching the sensors on.
    enum HtState : uint8_t {
        HtIdle = 0,
        HtSensorsOff = 1, // switched off, switched on again by the next step
        HtEnabled = 2,
        HtFailed = 3, // not tried again until the next device
    };
    void processHtState();
    void resetHtState();
    void startHtTimer();
    void updatePosition(Devices::IKestrinDeviceMain* devMain);

    Devices::DeviceProxy* const m_proxy;
    Devices::SharedDeviceImpl m_device;
    Devices::IKestrinDeviceMain* m_devMain = nullptr;
    DeviceType m_deviceType = DeviceType::none;
    KestrinHwType m_hwType;
    QTimer* m_timer = nullptr;
    QTimer* m_htTimer = nullptr;
    PollingParam m_pollingParam = PollingParam::none;
    std::unique_ptr<IWorkerTimers> m_timers;
    IWorkerTimers::TimerId m_stateTimerId = -1;
    IWorkerTimers::TimerId m_batteryTimerId = -1;
    IWorkerTimers::TimerId m_positionTimerId = -1;
    std::unordered_map<uint8_t, EqBands> m_eqCache;
    QString m_fwVersion;
    QString m_dongleFwVersion;
    // The settings of Devices::c_kestrinSettings, by their number.
    std::array<uint16_t, Devices::c_kestrinSettingSlots> m_settings{};
    uint8_t m_maxSidetoneLevel = 0;
    uint8_t m_htState = 0;
    bool m_poweredOn = false;
    bool m_dongle = false;
    bool m_fwOnly = false;
    bool m_hw = false;
    bool m_newFilm = false;
    bool m_htGuard = false;
    QQuaternion m_headPosition;
    uint8_t m_batteryLevel = 0;
    bool m_micMute = false;
    bool m_statusRead = false;
    // Written by the worker, published by the GUI-thread tick.
    QQuaternion m_pendingHeadPosition;
    bool m_pendingHeadPositionNew = false;
    std::atomic<uint8_t> m_pendingBatteryLevel{0};
    std::atomic<bool> m_pendingMicMute{false};
    // A battery level of the current device has been read (by a later poll, should the first
    // reading have failed).
    std::atomic<bool> m_pendingStatusRead{false};
    std::unique_ptr<Buffer> m_buffer;
    Utils::SpinLock m_positionLock; // guards the pending head position and its flag

    // Worker jobs, run in the order posted.
    std::mutex m_jobsMutex;
    std::deque<std::function<void()>> m_jobs;
    IWorkerTimers::TimerId m_jobTimerId = -1;
    // GUI thread: which device a job's result belongs to, the write jobs whose results are still
    // to come, the earcup balance the last of them asked for, the presets asked for.
    uint64_t m_generation = 0;
    int m_writeJobs = 0;
    int m_balanceJobs = 0;
    uint8_t m_balanceTarget = 0;
    std::vector<uint8_t> m_eqRequests;
    // The newest value of a write whose job is queued: a job takes whatever is newest when it
    // runs, so that a burst of changes costs one write, not one each.
    struct LatestWrite {
        std::atomic<int> value{-1}; // -1: nothing to write
        std::atomic<bool> queued{false};
        void clear()
        {
            value.store(-1);
            queued.store(false);
        }
    };
    LatestWrite m_balanceWrite;
    LatestWrite m_eqIndexWrite;
};

// Defined here because the model's parts in several source files post worker jobs.
template <typename Work, typename Done>
inline void KestrinDeviceModel::runOnWorker(Work work, Done done, bool write)
{
    const uint64_t generation = m_generation;
    if (write)
        ++m_writeJobs;
    Devices::SharedDeviceImpl device = m_device;
    postJob([this, generation, device, work, done, write]() mutable {
        (void)device; // keeps the interface alive while the job runs
        auto result = work();
        QMetaObject::invokeMethod(
            this,
            [this, generation, result, done, write]() mutable {
                if (generation != m_generation)
                    return; // another device by now
                if (write)
                    --m_writeJobs;
                done(result);
            },
            Qt::QueuedConnection);
    });
}

} // namespace DeviceModels
