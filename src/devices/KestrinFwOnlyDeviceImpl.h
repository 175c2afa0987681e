#pragma once

#include "core/DeviceType.h"
#include "devices/IDeviceImpl.h"
#include "devices/IKestrinDeviceMain.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace Platform {
class KestrinHidApiClient;
}

namespace Devices {

class KestrinTransport;

// A headset or dongle that answers well enough to tell its firmware version but not well enough
// to be initialised as a full headset, as one that needs a firmware update does. It serves that
// version and a factory reset; every settings operation fails without device traffic.
class KestrinFwOnlyDeviceImpl final : public IDeviceImpl, public IKestrinDeviceMain {
public:
    KestrinFwOnlyDeviceImpl(Platform::KestrinHidApiClient& client, uint16_t vid, uint16_t pid, DeviceType type,
                            KestrinHwType hwType, bool dongle);
    ~KestrinFwOnlyDeviceImpl() override;

    KestrinFwOnlyDeviceImpl(const KestrinFwOnlyDeviceImpl&) = delete;
    KestrinFwOnlyDeviceImpl& operator=(const KestrinFwOnlyDeviceImpl&) = delete;

    // IDeviceImpl
    bool isValid() const override { return m_valid; }
    DeviceCategory getCategory() const override { return DeviceCategory::Hardware; }
    DeviceType getDeviceType() const override { return m_type; }
    IKestrinDeviceMain* getKestrinDevice() override { return this; }

    // IKestrinDeviceMain
    bool isDongle() const override { return m_dongle; }
    bool isFwOnly() const override { return true; }
    KestrinHwType getHwType() const override { return m_hwType; }
    bool getVidPid(uint16_t& vid, uint16_t& pid) const override;

    bool loadFwVersion(QString& version) override;
    bool loadDongleFwVersion(QString& version) override;
    bool factoryReset() override;

    // Nothing else is served.
    bool setGameChatMix(uint8_t) override { return false; }
    bool setNoiseReduction(uint8_t) override { return false; }
    bool setAncMode(DeviceData::AncMode) override { return false; }
    bool setVpLevel(uint8_t) override { return false; }
    bool setEarcupBalance(uint8_t) override { return false; }
    bool setAmpGain(uint8_t) override { return false; }
    bool setAutoPowerOff(uint16_t) override { return false; }
    bool setSidetone(bool) override { return false; }
    bool setSidetoneLevel(uint8_t) override { return false; }
    bool setMicLevel(uint8_t) override { return false; }
    bool setEqIndex(uint8_t) override { return false; }
    bool setEqBands(uint8_t, const std::vector<DeviceData::KestrinEqBandParams>&) override { return false; }
    bool setGyroSensorEnabled(bool, uint8_t) override { return false; }
    bool centralize() override { return false; }
    bool calibrate(double) override { return false; }

    bool loadGameChatMix(uint8_t&) override { return false; }
    bool loadNoiseReduction(uint8_t&) override { return false; }
    bool loadAncMode(DeviceData::AncMode&) override { return false; }
    bool loadVpLevel(uint8_t&) override { return false; }
    bool loadEarcupBalance(uint8_t&) override { return false; }
    bool loadAmpGain(uint8_t&) override { return false; }
    bool loadAutoPowerOff(uint16_t&) override { return false; }
    bool loadSidetone(bool&) override { return false; }
    bool loadSidetoneLevel(uint8_t&) override { return false; }
    bool loadMaxSidetoneLevel(uint8_t&) override { return false; }
    bool loadMicLevel(uint8_t&) override { return false; }
    bool loadPoweredOn(bool&) override { return false; }
    bool loadEqIndex(uint8_t&) override { return false; }
    bool loadEqBands(uint8_t, std::vector<DeviceData::KestrinEqBandParams>&) override { return false; }
    bool loadIsNewFilm(bool&) override { return false; }

    bool readMicMute(bool&) override { return false; }
    bool readBatteryLevel(uint8_t&) override { return false; }
    bool readEqIndex(uint8_t&) override { return false; }
    bool readGameChatMix(uint8_t&) override { return false; }
    bool readNoiseReduction(uint8_t&) override { return false; }
    bool readAncMode(DeviceData::AncMode&) override { return false; }
    bool readSidetone(bool&) override { return false; }
    bool readSidetoneLevel(uint8_t&) override { return false; }
    bool readMicLevel(uint8_t&) override { return false; }
    bool readPosition(QQuaternion&) override { return false; }
    bool processAvailablePositionSensors() override { return false; }
    bool writeUserEqBiquad(uint8_t, uint8_t, DeviceData::AncEqFilterType, float, float) override { return false; }

private:
    Platform::KestrinHidApiClient& m_client;
    std::unique_ptr<KestrinTransport> m_transport;
    // The headset's version when opened directly, the dongle's own through the dongle.
    QString m_fwVersion;
    uint16_t m_vid;
    uint16_t m_pid;
    DeviceType m_type;
    KestrinHwType m_hwType;
    bool m_dongle;
    bool m_valid = false;
};

} // namespace Devices
