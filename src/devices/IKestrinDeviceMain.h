#pragma once

#include "core/DeviceType.h"
#include "device_data/AncMode.h"
#include "device_data/KestrinEqBandParams.h"

#include <QString>

#include <cstdint>
#include <vector>

class QQuaternion;

namespace Devices {

// The headset's operations, shared by the real headset, the firmware-only headset and the
// simulated one. Every operation returns true when done. The name prefix is a contract:
// - load... answers from the implementation's cache (filled when the device was opened), without
//   device traffic, and returns false when it holds no value;
// - read... makes a device round trip and refreshes that cache on success;
// - set.../write... sends a write and updates the cache only when the headset accepted it.
// Implementations may be called from the device model's worker thread and from the GUI thread.
class IKestrinDeviceMain {
public:
    virtual ~IKestrinDeviceMain() = default;

    virtual bool isDongle() const = 0;
    virtual bool isFwOnly() const = 0;
    virtual KestrinHwType getHwType() const = 0;
    virtual bool getVidPid(uint16_t& vid, uint16_t& pid) const = 0;

    virtual bool setGameChatMix(uint8_t value) = 0;
    virtual bool setNoiseReduction(uint8_t value) = 0;
    virtual bool setAncMode(DeviceData::AncMode mode) = 0;
    virtual bool setVpLevel(uint8_t value) = 0;
    virtual bool setEarcupBalance(uint8_t value) = 0;
    virtual bool setAmpGain(uint8_t value) = 0;
    virtual bool setAutoPowerOff(uint16_t seconds) = 0;
    virtual bool setSidetone(bool on) = 0;
    virtual bool setSidetoneLevel(uint8_t value) = 0;
    virtual bool setMicLevel(uint8_t value) = 0;
    virtual bool setEqIndex(uint8_t eqIndex) = 0;
    virtual bool setEqBands(uint8_t eqIndex, const std::vector<DeviceData::KestrinEqBandParams>& bands) = 0;
    virtual bool setGyroSensorEnabled(bool enabled, uint8_t value) = 0;
    virtual bool centralize() = 0;
    virtual bool calibrate(double seconds) = 0;

    virtual bool loadGameChatMix(uint8_t& value) = 0;
    virtual bool loadNoiseReduction(uint8_t& value) = 0;
    virtual bool loadAncMode(DeviceData::AncMode& mode) = 0;
    virtual bool loadVpLevel(uint8_t& value) = 0;
    virtual bool loadEarcupBalance(uint8_t& value) = 0;
    virtual bool loadAmpGain(uint8_t& value) = 0;
    virtual bool loadAutoPowerOff(uint16_t& seconds) = 0;
    virtual bool loadSidetone(bool& on) = 0;
    virtual bool loadSidetoneLevel(uint8_t& value) = 0;
    virtual bool loadMaxSidetoneLevel(uint8_t& value) = 0;
    virtual bool loadMicLevel(uint8_t& value) = 0;
    virtual bool loadFwVersion(QString& version) = 0;
    virtual bool loadDongleFwVersion(QString& version) = 0;
    virtual bool loadPoweredOn(bool& on) = 0;
    virtual bool loadEqIndex(uint8_t& eqIndex) = 0;
    virtual bool loadEqBands(uint8_t eqIndex, std::vector<DeviceData::KestrinEqBandParams>& bands) = 0;
    virtual bool loadIsNewFilm(bool& newFilm) = 0;

    virtual bool readMicMute(bool& muted) = 0;
    virtual bool readBatteryLevel(uint8_t& percent) = 0;
    virtual bool readEqIndex(uint8_t& eqIndex) = 0;
    virtual bool readGameChatMix(uint8_t& value) = 0;
    virtual bool readNoiseReduction(uint8_t& value) = 0;
    virtual bool readAncMode(DeviceData::AncMode& mode) = 0;
    virtual bool readSidetone(bool& on) = 0;
    virtual bool readSidetoneLevel(uint8_t& value) = 0;
    virtual bool readMicLevel(uint8_t& value) = 0;
    virtual bool readPosition(QQuaternion& position) = 0;
    virtual bool processAvailablePositionSensors() = 0;
    virtual bool factoryReset() = 0;
    // One user-EQ filter of the ANC headset.
    virtual bool writeUserEqBiquad(uint8_t eqIndex, uint8_t band, DeviceData::AncEqFilterType type, float freq,
                                   float gain) = 0;
};

} // namespace Devices
