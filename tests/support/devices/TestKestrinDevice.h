#pragma once

#include "devices/IDeviceImpl.h"
#include "devices/IKestrinDeviceMain.h"

#include <QHash>
#include <QQuaternion>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace TestSupport {

// What a test headset holds at the start: the simulated headset's factory values, with a charged
// battery, the power on and firmware versions, as a connected headset reports them. The one
// set of starting values for every test that needs a headset.
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
    // Custom presets only (7 to 10), as on the headset; none unless the test gives them
    // (TestKestrinDevice::CustomPresets gives all four).
    std::map<uint8_t, std::vector<DeviceData::KestrinEqBandParams>> bands;
};

// What kind of device the test headset is; fixed for its life.
struct TestDeviceOptions {
    Devices::DeviceCategory category = Devices::DeviceCategory::Hardware;
    // A type that is no headset (none, solvarine) makes a device without a headset interface.
    DeviceType type = DeviceType::kestrin_2;
    KestrinHwType hwType = KestrinHwType::ps_headset;
    // Reached through its USB dongle: only then does it report a dongle firmware version.
    bool dongle = false;
    // Opened for a firmware update only: it serves its firmware version (the dongle's through the
    // dongle, else the headset's) and factory reset; every other operation fails.
    bool fwOnly = false;
};

// The in-memory headset of the tests: any model, category and hardware variant. It keeps what the
// headset holds apart from what the implementation has cached, as the real one does: set...
// writes both on success, read... copies the headset's value into the cache, load... answers
// from the cache. A sidetone level above the headset's maximum is refused, as the headset does.
// Tests change the headset behind the model's back with onHeadset(), make chosen operations fail
// with refuse() or every setting write fail with refuseWrites(), and check the traffic with
// calls(). Thread-safe: the device model calls it from its worker and the GUI thread.
class TestKestrinDevice final : public Devices::IDeviceImpl, public Devices::IKestrinDeviceMain {
public:
    using State = TestHeadsetState;
    using Options = TestDeviceOptions;

    TestKestrinDevice()
        : TestKestrinDevice(Options())
    {
    }
    explicit TestKestrinDevice(const Options& options, const State& initial = State());
    // A headset of `type` and `category`, cabled, with the other options at their defaults.
    static std::shared_ptr<TestKestrinDevice> Make(DeviceType type,
                                                   Devices::DeviceCategory category = Devices::DeviceCategory::Hardware,
                                                   const State& initial = State());

    // Ten bands at the usual centre frequencies with the given gains.
    static std::vector<DeviceData::KestrinEqBandParams> Bands(const std::vector<int>& gains);
    // The four custom presets 7 to 10, ten bands each, every band at `gain` dB.
    static std::map<uint8_t, std::vector<DeviceData::KestrinEqBandParams>> CustomPresets(int gain = 0);

    // Changes what the headset holds (as a user pressing its buttons would); the cache follows
    // only through read... operations.
    void onHeadset(const std::function<void(State&)>& change);
    State headset() const;
    State cache() const;

    // Makes `operation` (its name, e.g. "setSidetoneLevel") fail: for the next `times` calls, or
    // until allow() when times is -1. A name that is no operation of the headset ends the test
    // run, so that a misspelt one cannot pass unnoticed.
    void refuse(const QString& operation, int times = -1);
    void allow(const QString& operation);
    // While on, every write of a setting (the set... operations of the settings and EQ, and
    // writeUserEqBiquad) fails, as on a headset whose HID writes fail; head tracking and factory
    // reset still answer.
    void refuseWrites(bool refuse);

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
    IKestrinDeviceMain* getKestrinDevice() override { return IsLikeKestrin(m_options.type) ? this : nullptr; }

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
    bool loadVersion(const char* operation, bool served, QString State::*field, QString& out);
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
    bool m_refuseWrites = false;
    QStringList m_calls;
    std::function<void(const QString&)> m_callHook;
};

} // namespace TestSupport
