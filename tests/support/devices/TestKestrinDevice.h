#pragma once

#include "devices/IDeviceImpl.h"
#include "devices/IKestrinDeviceMain.h"

#include <QHash>
#include <QQuaternion>
#include <QStringList>

#include <functional>
#include <map>
#include <mutex>

namespace TestSupport {

// What a test headset holds.
struct TestHeadsetState {
    uint16_t autoPowerOff = 300;
    uint8_t gameChatMix = 10;
    uint8_t noiseReduction = 0;
    uint8_t vpLevel = 11;
    uint8_t earcupBalance = 128;
    uint8_t ampGain = 136;
    uint8_t eqIndex = 1;
    uint8_t sidetoneLevel = 0;
    uint8_t maxSidetoneLevel = 25;
    uint8_t micLevel = 0;
    uint8_t batteryLevel = 80;
    DeviceData::AncMode ancMode = DeviceData::AncMode::on;
    bool sidetone = false;
    bool poweredOn = true;
    bool newFilm = false;
    bool micMute = false;
    QString fwVersion = QStringLiteral("1.2.3");
    QString dongleFwVersion = QStringLiteral("4.5.6");
    // The head orientation that readPosition reports.
    QQuaternion position;
    // Custom presets only, as on the headset.
    std::map<uint8_t, std::vector<DeviceData::KestrinEqBandParams>> bands;
};

struct TestDeviceOptions {
    Devices::DeviceCategory category = Devices::DeviceCategory::Hardware;
    DeviceType type = DeviceType::kestrin_2;
    KestrinHwType hwType = KestrinHwType::ps_headset;
    bool dongle = false;
    bool fwOnly = false;
};

// A scriptable headset for the device model's tests. It keeps what the headset holds apart from
// what the implementation has cached, as the real one does: set... writes both on success,
// read... copies the headset's value into the cache, load... answers from the cache. Tests change
// the headset behind the model's back with onHeadset(), make chosen operations fail with
// refuse(), and check the traffic with calls(). Thread-safe: the model calls it from its worker.
class TestKestrinDevice final : public Devices::IDeviceImpl, public Devices::IKestrinDeviceMain {
public:
    using State = TestHeadsetState;
    using Options = TestDeviceOptions;

    TestKestrinDevice() : TestKestrinDevice(Options()) {}
    explicit TestKestrinDevice(const Options& options, const State& initial = State());

    // Ten bands at the usual centre frequencies with the given gains.
    static std::vector<DeviceData::KestrinEqBandParams> Bands(const std::vector<int>& gains);

    // Changes what the headset holds (as a user pressing its buttons would); the cache follows
    // only through read... operations.
    void onHeadset(const std::function<void(State&)>& change);
    State headset() const;
    State cache() const;

    // Makes `operation` (its name, e.g. "setSidetoneLevel") fail: for the next `times` calls, or
    // until allow() when times is -1.
    void refuse(const QString& operation, int times = -1);
    void allow(const QString& operation);

    // Calls in order, each as the operation name followed by its arguments ("setSidetoneLevel 5").
    // With a prefix: only the calls that start with it.
    QStringList calls(const QString& prefix = QString()) const;
    void clearCalls();

    // Called with each call's text as the call starts (on the caller's thread, before the result
    // is decided). It must not call the device.
    void setCallHook(std::function<void(const QString&)> hook);

    // IDeviceImpl
    bool isValid() const override { return true; }
    Devices::DeviceCategory getCategory() const override { return m_options.category; }
    DeviceType getDeviceType() const override { return m_options.type; }
    IKestrinDeviceMain* getKestrinDevice() override { return this; }

    // IKestrinDeviceMain
    bool isDongle() const override { return m_options.dongle; }
    bool isFwOnly() const override { return m_options.fwOnly; }
    KestrinHwType getHwType() const override { return m_options.hwType; }
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
    // Logs the call and tells whether it may succeed. Caller holds m_mutex.
    bool enterUnsafe(const char* operation, const QString& arguments = QString());
    template <typename T>
    bool doSet(const char* operation, T State::*field, T value);
    template <typename T>
    bool doLoad(const char* operation, T State::*field, T& out);
    template <typename T>
    bool doRead(const char* operation, T State::*field, T& out);

    const Options m_options;
    mutable std::mutex m_mutex;
    State m_headset;
    State m_cache;
    QHash<QString, int> m_refusals; // remaining failures, -1 for always
    QStringList m_calls;
    std::function<void(const QString&)> m_callHook;
};

} // namespace TestSupport
