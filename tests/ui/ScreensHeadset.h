#pragma once

#include "ScriptedHeadset.h"

#include <atomic>

// The scripted in-memory headset as the screens meet it: reached through its dongle or not,
// opened for firmware update only or not, and able to refuse every write as a headset whose
// HID writes fail would (the device model then restores the old value).
class ScreensHeadset final : public Devices::IDeviceImpl, public Devices::IKestrinDeviceMain {
public:
    ScreensHeadset(DeviceType type, Devices::DeviceCategory category, bool dongle, bool fwOnly,
                   ScriptedHeadsetValues values = ScriptedHeadsetValues())
        : m_inner(ScriptedHeadset::Make(type, category, KestrinHwType::ps_headset, values))
        , m_dongle(dongle)
        , m_fwOnly(fwOnly)
    {
    }

    ScriptedHeadset& inner() { return *m_inner; }
    void setRefuseWrites(bool refuse) { m_refuse = refuse; }

    // IDeviceImpl
    bool isValid() const override { return true; }
    Devices::DeviceCategory getCategory() const override { return m_inner->getCategory(); }
    DeviceType getDeviceType() const override { return m_inner->getDeviceType(); }
    Devices::IKestrinDeviceMain* getKestrinDevice() override
    {
        return IsLikeKestrin(getDeviceType()) ? this : nullptr;
    }

    // IKestrinDeviceMain
    bool isDongle() const override { return m_dongle; }
    bool isFwOnly() const override { return m_fwOnly; }
    KestrinHwType getHwType() const override
    {
        return m_dongle ? KestrinHwType::ps_dongle : KestrinHwType::ps_headset;
    }
    bool getVidPid(uint16_t& vid, uint16_t& pid) const override { return m_inner->getVidPid(vid, pid); }

    bool setGameChatMix(uint8_t v) override { return !m_refuse && m_inner->setGameChatMix(v); }
    bool setNoiseReduction(uint8_t v) override { return !m_refuse && m_inner->setNoiseReduction(v); }
    bool setAncMode(DeviceData::AncMode v) override { return !m_refuse && m_inner->setAncMode(v); }
    bool setVpLevel(uint8_t v) override { return !m_refuse && m_inner->setVpLevel(v); }
    bool setEarcupBalance(uint8_t v) override { return !m_refuse && m_inner->setEarcupBalance(v); }
    bool setAmpGain(uint8_t v) override { return !m_refuse && m_inner->setAmpGain(v); }
    bool setAutoPowerOff(uint16_t v) override { return !m_refuse && m_inner->setAutoPowerOff(v); }
    bool setSidetone(bool v) override { return !m_refuse && m_inner->setSidetone(v); }
    bool setSidetoneLevel(uint8_t v) override { return !m_refuse && m_inner->setSidetoneLevel(v); }
    bool setMicLevel(uint8_t v) override { return !m_refuse && m_inner->setMicLevel(v); }
    bool setEqIndex(uint8_t v) override { return !m_refuse && m_inner->setEqIndex(v); }
    bool setEqBands(uint8_t eqIndex, const std::vector<DeviceData::KestrinEqBandParams>& bands) override
    {
        return !m_refuse && m_inner->setEqBands(eqIndex, bands);
    }
    bool setGyroSensorEnabled(bool on, uint8_t v) override { return m_inner->setGyroSensorEnabled(on, v); }
    bool centralize() override { return m_inner->centralize(); }
    bool calibrate(double s) override { return m_inner->calibrate(s); }

    bool loadGameChatMix(uint8_t& v) override { return m_inner->loadGameChatMix(v); }
    bool loadNoiseReduction(uint8_t& v) override { return m_inner->loadNoiseReduction(v); }
    bool loadAncMode(DeviceData::AncMode& v) override { return m_inner->loadAncMode(v); }
    bool loadVpLevel(uint8_t& v) override { return m_inner->loadVpLevel(v); }
    bool loadEarcupBalance(uint8_t& v) override { return m_inner->loadEarcupBalance(v); }
    bool loadAmpGain(uint8_t& v) override { return m_inner->loadAmpGain(v); }
    bool loadAutoPowerOff(uint16_t& v) override { return m_inner->loadAutoPowerOff(v); }
    bool loadSidetone(bool& v) override { return m_inner->loadSidetone(v); }
    bool loadSidetoneLevel(uint8_t& v) override { return m_inner->loadSidetoneLevel(v); }
    bool loadMaxSidetoneLevel(uint8_t& v) override { return m_inner->loadMaxSidetoneLevel(v); }
    bool loadMicLevel(uint8_t& v) override { return m_inner->loadMicLevel(v); }
    bool loadFwVersion(QString& v) override { return m_inner->loadFwVersion(v); }
    bool loadDongleFwVersion(QString& v) override
    {
        v = m_dongle ? QStringLiteral("4.5.6") : QString();
        return true;
    }
    bool loadPoweredOn(bool& v) override { return m_inner->loadPoweredOn(v); }
    bool loadEqIndex(uint8_t& v) override { return m_inner->loadEqIndex(v); }
    bool loadEqBands(uint8_t eqIndex, std::vector<DeviceData::KestrinEqBandParams>& bands) override
    {
        return m_inner->loadEqBands(eqIndex, bands);
    }
    bool loadIsNewFilm(bool& v) override { return m_inner->loadIsNewFilm(v); }
    bool readMicMute(bool& v) override { return m_inner->readMicMute(v); }
    bool readBatteryLevel(uint8_t& v) override { return m_inner->readBatteryLevel(v); }
    bool readEqIndex(uint8_t& v) override { return m_inner->readEqIndex(v); }
    bool readGameChatMix(uint8_t& v) override { return m_inner->readGameChatMix(v); }
    bool readNoiseReduction(uint8_t& v) override { return m_inner->readNoiseReduction(v); }
    bool readAncMode(DeviceData::AncMode& v) override { return m_inner->readAncMode(v); }
    bool readSidetone(bool& v) override { return m_inner->readSidetone(v); }
    bool readSidetoneLevel(uint8_t& v) override { return m_inner->readSidetoneLevel(v); }
    bool readMicLevel(uint8_t& v) override { return m_inner->readMicLevel(v); }
    bool readPosition(QQuaternion& q) override { return m_inner->readPosition(q); }
    bool processAvailablePositionSensors() override { return m_inner->processAvailablePositionSensors(); }
    bool factoryReset() override
    {
        ++m_factoryResets;
        return m_inner->factoryReset();
    }
    int factoryResets() const { return m_factoryResets; }
    bool writeUserEqBiquad(uint8_t eqIndex, uint8_t band, DeviceData::AncEqFilterType type, float freq,
                           float gain) override
    {
        return m_inner->writeUserEqBiquad(eqIndex, band, type, freq, gain);
    }

private:
    std::shared_ptr<ScriptedHeadset> m_inner;
    const bool m_dongle;
    const bool m_fwOnly;
    std::atomic<bool> m_refuse{false};
    std::atomic<int> m_factoryResets{0};
};
