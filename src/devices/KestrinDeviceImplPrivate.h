#pragma once

// The private part of KestrinDeviceImpl, shared by its source files.

#include "devices/KestrinDeviceImpl.h"
#include "devices/KestrinSettings.h"
#include "devices/KestrinTransport.h"
#include "utils/SpinLock.h"

#include <array>
#include <unordered_map>
#include <vector>

namespace Devices {

// One read of the headset when it is opened (KestrinDeviceImpl.cpp).
struct KestrinOpenRead;

// The custom presets.
constexpr uint8_t c_firstCustomEq = 7;
constexpr uint8_t c_lastCustomEq = 10;

// The state and work of a KestrinDeviceImpl; its settings steps here, its EQ presets in
// KestrinDeviceImplEq.cpp.
class KestrinDeviceImpl::Impl {
public:
    Impl(Platform::KestrinHidApiClient& client, uint16_t vid, uint16_t pid, DeviceType type, KestrinHwType hwType,
         bool dongle)
        : client(client)
        , transport(client)
        , vid(vid)
        , pid(pid)
        , type(type)
        , hwType(hwType)
        , dongle(dongle)
    {
    }

    static bool getCustomEqId(uint8_t eqIndex, int& slot)
    {
        if (eqIndex < c_firstCustomEq || eqIndex > c_lastCustomEq)
            return false;
        slot = eqIndex - c_firstCustomEq;
        return true;
    }

    bool isAnc() const { return type == DeviceType::kestrin_2_anc; }

    bool init();
    void refreshAfterReset();
    bool readOnOpen(const KestrinOpenRead& read, bool opening);
    bool readSetting(KestrinSetting setting, uint16_t& value);
    bool updateEqBands(int slot);
    bool hasCachedSlot(int slot);
    bool uploadEqBands(uint8_t eqIndex, const std::vector<DeviceData::KestrinEqBandParams>& bands);
    void reloadPresetOnKestrin2();

    template <typename T>
    bool loadCached(const T& field, T& out)
    {
        if (!valid)
            return false;
        Utils::SpinGuard guard(cacheLock);
        out = field;
        return true;
    }

    // The steps every setting of c_kestrinSettings runs. A load answers from the cache, and
    // only on the models that have the setting.
    template <typename T>
    bool load(KestrinSetting setting, T& out)
    {
        if (!HasSetting(SettingInfo(setting).models, type))
            return false;
        uint16_t value = 0;
        if (!loadCached(settings[size_t(setting)], value))
            return false;
        out = T(value);
        return true;
    }

    // A write, cached once the headset took it.
    bool write(KestrinSetting setting, uint16_t value)
    {
        if (!transport.writeSetting(setting, value))
            return false;
        storeCached(settings[size_t(setting)], value);
        return true;
    }

    // A fresh read, cached.
    template <typename T>
    bool read(KestrinSetting setting, T& out)
    {
        uint16_t value = 0;
        if (!readSetting(setting, value))
            return false;
        out = T(value);
        storeCached(settings[size_t(setting)], value);
        return true;
    }

    uint8_t cachedEqIndex()
    {
        Utils::SpinGuard guard(cacheLock);
        return uint8_t(settings[size_t(KestrinSetting::eqIndex)]);
    }

    template <typename T>
    void storeCached(T& field, const T& value)
    {
        Utils::SpinGuard guard(cacheLock);
        field = value;
    }

    Platform::KestrinHidApiClient& client;
    KestrinTransport transport;
    // Guards short copies in and out of the caches; never held across device traffic.
    Utils::SpinLock cacheLock;
    std::unordered_map<int, KestrinEq> peqCache;
    std::unordered_map<int, Kestrin2AncEq> ancEqCache;
    QString fwVersion;
    QString dongleFwVersion;

    // The settings of c_kestrinSettings, by their number. The microphone level is not read from
    // the headset and stays 0.
    std::array<uint16_t, c_kestrinSettingSlots> settings{};
    uint8_t maxSidetoneLevel = 0;
    bool poweredOn = false;
    bool isNewFilm = false;

    uint16_t vid;
    uint16_t pid;
    DeviceType type;
    KestrinHwType hwType;
    bool dongle;
    bool valid = false;
};

} // namespace Devices
