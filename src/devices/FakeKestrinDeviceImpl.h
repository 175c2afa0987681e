#pragma once

#include "devices/IDeviceImpl.h"
#include "devices/IKestrinDeviceMain.h"

#include <mutex>

namespace Devices {

// The simulated headset: a first-model headset kept in memory, so that the headset model and its
// screens keep working on plausible values when no hardware is current. Whatever is set through
// the interface is what every later load or read returns. EQ bands, head tracking, firmware
// versions and factory reset have no simulated counterpart and fail.
//
// Thread-safe: the device model writes from its worker thread and loads on the GUI thread.
class FakeKestrinDeviceImpl final : public IDeviceImpl, public IKestrinDeviceMain {
public:
    FakeKestrinDeviceImpl() = default;

    // IDeviceImpl
    bool isValid() const override { return true; }
    DeviceCategory getCategory() const override { return DeviceCategory::Software; }
    DeviceType getDeviceType() const override { return DeviceType::kestrin; }
    IKestrinDeviceMain* getKestrinDevice() override { return this; }

    // IKestrinDeviceMain
    bool isDongle() const override { return false; }
    bool isFwOnly() const override { return false; }
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
    bool setEqIndex(uint8_t eqIndex) override;
    bool setEqBands(uint8_t eqIndex, const std::vector<DeviceData::KestrinEqBandParams>& bands) override;
    bool setGyroSensorEnabled(bool enabled, uint8_t value) override;
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
    bool loadEqIndex(uint8_t& eqIndex) override;
    bool loadEqBands(uint8_t eqIndex, std::vector<DeviceData::KestrinEqBandParams>& bands) override;
    bool loadIsNewFilm(bool& newFilm) override;

    bool readMicMute(bool& muted) override;
    bool readBatteryLevel(uint8_t& percent) override;
    bool readEqIndex(uint8_t& eqIndex) override;
    bool readGameChatMix(uint8_t& value) override;
    bool readNoiseReduction(uint8_t& value) override;
    bool readAncMode(DeviceData::AncMode& mode) override;
    bool readSidetone(bool& on) override;
    bool readSidetoneLevel(uint8_t& value) override;
    bool readMicLevel(uint8_t& value) override;
    bool readPosition(QQuaternion& position) override;
    bool processAvailablePositionSensors() override;
    bool factoryReset() override;
    bool writeUserEqBiquad(uint8_t eqIndex, uint8_t band, DeviceData::AncEqFilterType type, float freq,
                           float gain) override;

private:
    template <typename T>
    bool store(T& field, T value);
    template <typename T>
    bool fetch(const T& field, T& out);

    std::mutex m_mutex;
    uint16_t m_autoPowerOff = 300;
    uint8_t m_gameChatMix = 10;
    uint8_t m_noiseReduction = 0;
    uint8_t m_vpLevel = 11;
    uint8_t m_earcupBalance = 128;
    uint8_t m_ampGain = 136;
    uint8_t m_eqIndex = 1;
    uint8_t m_sidetoneLevel = 0;
    uint8_t m_maxSidetoneLevel = 25;
    uint8_t m_micLevel = 0;
    // The first model has no ANC; the value only keeps the interface complete.
    DeviceData::AncMode m_ancMode = DeviceData::AncMode::on;
    bool m_sidetone = false;
};

} // namespace Devices
