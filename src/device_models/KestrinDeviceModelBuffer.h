#pragma once

#include "device_models/KestrinDeviceModel.h"
#include "devices/KestrinSettings.h"
#include "utils/SpinLock.h"

#include <array>
#include <map>
#include <mutex>

namespace DeviceModels {

// The headset model's write queue. The model's setters hand it their new values; it keeps the
// newest value per setting, sends one setting per 10 ms tick from the worker thread and records
// every setting the headset refused as a failed key, which the model's publishing tick puts back.
// Changing the EQ preset is the one synchronous path: it first flushes pending band changes.
//
// Locks, always taken in this order: the write mutex (held for a whole device write), the value
// lock, the timer lock, then the worker's own lock inside start/stop.
class KestrinDeviceModel::Buffer {
public:
    // Low byte: the kind; high byte: the EQ preset of an EQ-bands key.
    using Key = uint16_t;

    // A setting's kind is its number in Devices::KestrinSetting; a preset's band list has its own.
    using Setting = Devices::KestrinSetting;
    static constexpr uint8_t EqBandsKind = Devices::c_eqBandsKind;
    static_assert(EqBandsKind == 11, "a preset's band list is kind 11, its preset in the high byte");

    static constexpr Key MakeKey(Setting setting) { return Key(uint8_t(setting)); }
    static constexpr Key MakeBandsKey(uint8_t eqIndex) { return Key(EqBandsKind | (eqIndex << 8)); }
    static constexpr uint8_t KindOf(Key key) { return uint8_t(key & 0xFF); }
    static constexpr uint8_t EqIndexOf(Key key) { return uint8_t(key >> 8); }

    static constexpr uint32_t TickMs = 10;
    static constexpr int EqBandsAttempts = 10;
    static constexpr int EqBandsAttemptPauseMs = 20;

    explicit Buffer(IWorkerTimers& timers);
    ~Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    // True while nothing is queued (the queue timer is not running).
    bool isFree() const;
    bool isPaused() const { return m_paused.load(); }
    // Makes ticks skip, for example while the model loads EQ bands on the GUI thread.
    void setPaused(bool paused) { m_paused.store(paused); }
    // True while `key` waits to be written or is being written.
    bool isPending(Key key) const;
    // Moves the failed keys out, in order of failure.
    std::vector<Key> readFailedKeys();

    // Binds the queue to another headset (null when the device is lost): the queue timer stops and
    // pending and failed keys are dropped. Pending values stay.
    void setDevMain(Devices::IKestrinDeviceMain* devMain, DeviceType type);

    void startTimer();
    void stopTimer();
    // Queues `key` unless it is pending already (then its newest value goes out in its place).
    // The caller holds the value lock.
    void checkParamAndStartUnsafe(Key key);

    // Stores the newest value of a setting and queues its key; the tick sends it when the
    // setting's row says it is queued. The named operations are this for one setting each.
    void store(Setting setting, uint16_t value);
    void setGameChatMix(uint8_t value) { store(Setting::gameChatMix, value); }
    void setNoiseReduction(uint8_t value) { store(Setting::noiseReduction, value); }
    void setAncMode(DeviceData::AncMode mode) { store(Setting::ancMode, uint8_t(mode)); }
    void setVpLevel(uint8_t value) { store(Setting::vpLevel, value); }
    void setEarcupBalance(uint8_t value) { store(Setting::earcupBalance, value); }
    void setAmpGain(uint8_t value) { store(Setting::ampGain, value); }
    void setMicLevel(uint8_t value) { store(Setting::micLevel, value); }
    void setSidetoneLevel(uint8_t value) { store(Setting::sidetoneLevel, value); }
    void setSidetoneEnabled(bool on) { store(Setting::sidetone, on); }
    void setAutoPowerOff(uint16_t seconds) { store(Setting::autoPowerOff, seconds); }
    void setEqBands(uint8_t eqIndex, const std::vector<DeviceData::KestrinEqBandParams>& bands);
    void addFailedKey(Key key);

    // Writes pending band changes (up to 10 attempts each, 20 ms apart), then the index. A refused
    // index is recorded as failed key 10; bands that keep failing as key 10 then their own key,
    // and then the index is left alone. Runs on the caller's thread.
    void setCurrentEqIndex(uint8_t eqIndex);

    // One tick of the queue timer (worker thread): writes the oldest pending key.
    void process();

private:
    // incomparable: the ANC headset's current bands could not be loaded or differ in number.
    enum class WriteResult { done, failed, incomparable };

    // The newest value of each setting, by its number.
    using Values = std::array<uint16_t, Devices::c_kestrinSettingSlots>;

    static WriteResult writeBands(Devices::IKestrinDeviceMain* devMain, DeviceType type, uint8_t eqIndex,
                                  const std::vector<DeviceData::KestrinEqBandParams>& bands);
    bool flushBandsUnsafe(Devices::IKestrinDeviceMain* devMain, DeviceType type, Key key,
                          const std::vector<DeviceData::KestrinEqBandParams>& bands);

    Devices::IKestrinDeviceMain* m_devMain = nullptr;
    DeviceType m_deviceType = DeviceType::none;
    IWorkerTimers& m_timers;
    IWorkerTimers::TimerId m_timerId = -1;
    bool m_timerRunning = false;
    // One pending band list per preset, so that two presets edited in a row each get their own.
    std::map<uint8_t, std::vector<DeviceData::KestrinEqBandParams>> m_pendingBands;
    Values m_values{};
    std::vector<Key> m_pendingKeys;
    std::vector<Key> m_failedKeys;
    // The key a tick is writing now; NoKey between writes.
    static constexpr Key NoKey = 0xFFFF;
    Key m_inFlightKey = NoKey;
    mutable Utils::SpinLock m_timerLock;
    mutable Utils::SpinLock m_valueLock;
    std::atomic<bool> m_paused{false};
    std::mutex m_writeMutex;
};

} // namespace DeviceModels
