#pragma once

#include "core/DeviceType.h"
#include "devices/IDeviceImpl.h"
#include "devices/IKestrinDeviceMain.h"

#include <cstdint>
#include <memory>

namespace Platform {
class KestrinHidApiClient;
}

namespace Devices {

// A real headset, cabled or behind its USB dongle. The constructor reads every setting into a
// cache; the object is valid only when all of those reads succeeded. Afterwards load operations
// answer from the cache, read operations refresh it from the headset, and set operations update
// it once the headset accepted the write.
class KestrinDeviceImpl final : public IDeviceImpl, public IKestrinDeviceMain {
public:
    KestrinDeviceImpl(Platform::KestrinHidApiClient& client, uint16_t vid, uint16_t pid, DeviceType type,
                      KestrinHwType hwType, bool dongle);
    ~KestrinDeviceImpl() override;

    KestrinDeviceImpl(const KestrinDeviceImpl&) = delete;
    KestrinDeviceImpl& operator=(const KestrinDeviceImpl&) = delete;

    // IDeviceImpl
    bool isValid() const override;
    DeviceCategory getCategory() const override;
    DeviceType getDeviceType() const override;
    IKestrinDeviceMain* getKestrinDevice() override;

    // IKestrinDeviceMain
    bool isDongle() const override;
    bool isFwOnly() const override;
    KestrinHwType getHwType() const override;
    bool getVidPid(uint16_t& vid, uint16_t& pid) const override;

    bool setGameChatMix(uint8_t value) override;
    bool setNoiseReduction(uint8_t value) override;
    bool setAncMode(DeviceData::AncMode mode) override;
    bool setVpLevel(uint8_t value) override;
    bool setEarcupBalance(uint8_t value) override;
    bool setAmpGain(uint8_t value) override;
    bool setAutoPowerOff(uint16_t seconds) override;
    bool setSidetone(bool on) override;
    bool setSidetoneLevel(uint8_t value) override;
    bool setMicLevel(uint8_t value) override;
    bool setEqIndex(uint8_t index) override;
    bool setEqBands(uint8_t eqIndex, const std::vector<DeviceData::KestrinEqBandParams>& bands) override;
    bool setGyroSensorEnabled(bool enabled, uint8_t rate) override;
    bool centralize() override;
    bool calibrate(double seconds) override;

    bool loadGameChatMix(uint8_t& value) override;
    bool loadNoiseReduction(uint8_t& value) override;
    bool loadAncMode(DeviceData::AncMode& mode) override;
    bool loadVpLevel(uint8_t& value) override;
    bool loadEarcupBalance(uint8_t& value) override;
    bool loadAmpGain(uint8_t& value) override;
    bool loadAutoPowerOff(uint16_t& seconds) override;
    bool loadSidetone(bool& on) override;
    bool loadSidetoneLevel(uint8_t& value) override;
    bool loadMaxSidetoneLevel(uint8_t& value) override;
    bool loadMicLevel(uint8_t& value) override;
    bool loadFwVersion(QString& version) override;
    bool loadDongleFwVersion(QString& version) override;
    bool loadPoweredOn(bool& on) override;
    bool loadEqIndex(uint8_t& index) override;
    bool loadEqBands(uint8_t eqIndex, std::vector<DeviceData::KestrinEqBandParams>& bands) override;
    bool loadIsNewFilm(bool& isNewFilm) override;

    bool readMicMute(bool& muted) override;
    bool readBatteryLevel(uint8_t& level) override;
    bool readEqIndex(uint8_t& index) override;
    bool readGameChatMix(uint8_t& value) override;
    bool readNoiseReduction(uint8_t& value) override;
    bool readAncMode(DeviceData::AncMode& mode) override;
    bool readSidetone(bool& on) override;
    bool readSidetoneLevel(uint8_t& value) override;
    bool readMicLevel(uint8_t& value) override;
    bool readPosition(QQuaternion& position) override;
    bool processAvailablePositionSensors() override;
    bool factoryReset() override;
    bool writeUserEqBiquad(uint8_t eqIndex, uint8_t band, DeviceData::AncEqFilterType type, float frequency,
                           float gain) override;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
    bool m_valid = false;
};

} // namespace Devices
