#pragma once

#include "devices/IDeviceImpl.h"
#include "devices/IKestrinDeviceMain.h"

#include <QMutex>
#include <QMutexLocker>
#include <QQuaternion>

#include <map>
#include <memory>
#include <vector>

// What the headset holds at the start.
struct ScriptedHeadsetValues {
    uint16_t autoPowerOff = 300;
    uint8_t gameChatMix = 10;
    uint8_t noiseReduction = 0;
    uint8_t vpLevel = 11;
    uint8_t earcupBalance = 128;
    uint8_t ampGain = 142;
    uint8_t eqIndex = 1;
    uint8_t sidetoneLevel = 3;
    uint8_t maxSidetoneLevel = 25;
    uint8_t micLevel = 7;
    uint8_t battery = 80;
    DeviceData::AncMode ancMode = DeviceData::AncMode::on;
    bool sidetone = false;
    bool poweredOn = true;
    bool micMute = false;
};

// An in-memory headset for the UI tests: any model, category and hardware variant, with ten-band
// custom presets 7..10 (which the simulated headset lacks). Thread-safe: the device model calls it
// from its worker thread too. Every value written is what later loads and reads return.
class ScriptedHeadset final : public Devices::IDeviceImpl, public Devices::IKestrinDeviceMain {
public:
    using Values = ScriptedHeadsetValues;

    static std::vector<DeviceData::KestrinEqBandParams> TenBands(int gain = 0)
    {
        std::vector<DeviceData::KestrinEqBandParams> bands;
        for (int freq : {32, 64, 125, 250, 500, 1000, 2000, 4000, 8000, 16000})
            bands.emplace_back(freq, gain);
        return bands;
    }

    ScriptedHeadset(DeviceType type, Devices::DeviceCategory category,
                    KestrinHwType hwType = KestrinHwType::ps_headset, Values values = Values())
        : m_type(type)
        , m_category(category)
        , m_hwType(hwType)
        , m_values(values)
    {
        for (uint8_t preset = 7; preset <= 10; ++preset)
            m_eqs[preset] = TenBands();
    }

    static std::shared_ptr<ScriptedHeadset> Make(DeviceType type,
                                                 Devices::DeviceCategory category = Devices::DeviceCategory::Hardware,
                                                 KestrinHwType hwType = KestrinHwType::ps_headset,
                                                 Values values = Values())
    {
        return std::make_shared<ScriptedHeadset>(type, category, hwType, values);
    }

    // Bands of one preset as the headset stores them; an empty list removes the preset.
    void setPreset(uint8_t preset, std::vector<DeviceData::KestrinEqBandParams> bands)
    {
        QMutexLocker lock(&m_mutex);
        if (bands.empty())
            m_eqs.erase(preset);
        else
            m_eqs[preset] = std::move(bands);
    }
    std::vector<DeviceData::KestrinEqBandParams> preset(uint8_t preset) const
    {
        QMutexLocker lock(&m_mutex);
        const auto it = m_eqs.find(preset);
        return it == m_eqs.end() ? std::vector<DeviceData::KestrinEqBandParams>() : it->second;
    }
    Values values() const
    {
        QMutexLocker lock(&m_mutex);
        return m_values;
    }

    // IDeviceImpl
    bool isValid() const override { return true; }
    Devices::DeviceCategory getCategory() const override { return m_category; }
    DeviceType getDeviceType() const override { return m_type; }
    Devices::IKestrinDeviceMain* getKestrinDevice() override
    {
        return IsLikeKestrin(m_type) ? this : nullptr;
    }

    // IKestrinDeviceMain
    bool isDongle() const override { return false; }
    bool isFwOnly() const override { return false; }
    KestrinHwType getHwType() const override { return m_hwType; }
    bool getVidPid(uint16_t&, uint16_t&) const override { return false; }

    bool setGameChatMix(uint8_t v) override { return store(m_values.gameChatMix, v); }
    bool setNoiseReduction(uint8_t v) override { return store(m_values.noiseReduction, v); }
    bool setAncMode(DeviceData::AncMode v) override { return store(m_values.ancMode, v); }
    bool setVpLevel(uint8_t v) override { return store(m_values.vpLevel, v); }
    bool setEarcupBalance(uint8_t v) override { return store(m_values.earcupBalance, v); }
    bool setAmpGain(uint8_t v) override { return store(m_values.ampGain, v); }
    bool setAutoPowerOff(uint16_t v) override { return store(m_values.autoPowerOff, v); }
    bool setSidetone(bool v) override { return store(m_values.sidetone, v); }
    bool setSidetoneLevel(uint8_t v) override { return store(m_values.sidetoneLevel, v); }
    bool setMicLevel(uint8_t v) override { return store(m_values.micLevel, v); }
    bool setEqIndex(uint8_t v) override { return store(m_values.eqIndex, v); }
    bool setEqBands(uint8_t eqIndex, const std::vector<DeviceData::KestrinEqBandParams>& bands) override
    {
        QMutexLocker lock(&m_mutex);
        if (m_eqs.find(eqIndex) == m_eqs.end())
            return false;
        m_eqs[eqIndex] = bands;
        return true;
    }
    bool setGyroSensorEnabled(bool, uint8_t) override { return false; }
    bool centralize() override { return false; }
    bool calibrate(double) override { return false; }

    bool loadGameChatMix(uint8_t& v) override { return fetch(v, m_values.gameChatMix); }
    bool loadNoiseReduction(uint8_t& v) override { return fetch(v, m_values.noiseReduction); }
    bool loadAncMode(DeviceData::AncMode& v) override { return fetch(v, m_values.ancMode); }
    bool loadVpLevel(uint8_t& v) override { return fetch(v, m_values.vpLevel); }
    bool loadEarcupBalance(uint8_t& v) override { return fetch(v, m_values.earcupBalance); }
    bool loadAmpGain(uint8_t& v) override { return fetch(v, m_values.ampGain); }
    bool loadAutoPowerOff(uint16_t& v) override { return fetch(v, m_values.autoPowerOff); }
    bool loadSidetone(bool& v) override { return fetch(v, m_values.sidetone); }
    bool loadSidetoneLevel(uint8_t& v) override { return fetch(v, m_values.sidetoneLevel); }
    bool loadMaxSidetoneLevel(uint8_t& v) override { return fetch(v, m_values.maxSidetoneLevel); }
    bool loadMicLevel(uint8_t& v) override { return fetch(v, m_values.micLevel); }
    bool loadFwVersion(QString& v) override
    {
        v = QStringLiteral("1.2.3");
        return true;
    }
    bool loadDongleFwVersion(QString& v) override
    {
        v.clear();
        return true;
    }
    bool loadPoweredOn(bool& v) override { return fetch(v, m_values.poweredOn); }
    bool loadEqIndex(uint8_t& v) override { return fetch(v, m_values.eqIndex); }
    bool loadEqBands(uint8_t eqIndex, std::vector<DeviceData::KestrinEqBandParams>& bands) override
    {
        QMutexLocker lock(&m_mutex);
        const auto it = m_eqs.find(eqIndex);
        if (it == m_eqs.end())
            return false;
        bands = it->second;
        return true;
    }
    bool loadIsNewFilm(bool& v) override
    {
        v = false;
        return true;
    }
    bool readMicMute(bool& v) override { return fetch(v, m_values.micMute); }
    bool readBatteryLevel(uint8_t& v) override { return fetch(v, m_values.battery); }
    bool readEqIndex(uint8_t& v) override { return fetch(v, m_values.eqIndex); }
    bool readGameChatMix(uint8_t& v) override { return fetch(v, m_values.gameChatMix); }
    bool readNoiseReduction(uint8_t& v) override { return fetch(v, m_values.noiseReduction); }
    bool readAncMode(DeviceData::AncMode& v) override { return fetch(v, m_values.ancMode); }
    bool readSidetone(bool& v) override { return fetch(v, m_values.sidetone); }
    bool readSidetoneLevel(uint8_t& v) override { return fetch(v, m_values.sidetoneLevel); }
    bool readMicLevel(uint8_t& v) override { return fetch(v, m_values.micLevel); }
    bool readPosition(QQuaternion&) override { return false; }
    bool processAvailablePositionSensors() override { return false; }
    bool factoryReset() override { return true; }
    bool writeUserEqBiquad(uint8_t, uint8_t, DeviceData::AncEqFilterType, float, float) override { return false; }

private:
    template <typename T>
    bool store(T& field, T value)
    {
        QMutexLocker lock(&m_mutex);
        field = value;
        return true;
    }
    template <typename T>
    bool fetch(T& out, const T& field) const
    {
        QMutexLocker lock(&m_mutex);
        out = field;
        return true;
    }

    const DeviceType m_type;
    const Devices::DeviceCategory m_category;
    const KestrinHwType m_hwType;
    mutable QMutex m_mutex;
    Values m_values;
    std::map<uint8_t, std::vector<DeviceData::KestrinEqBandParams>> m_eqs;
};
