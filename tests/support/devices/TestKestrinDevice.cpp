#include "support/devices/TestKestrinDevice.h"

#include <QQuaternion>
#include <QSet>

namespace TestSupport {

using DeviceData::AncMode;
using DeviceData::KestrinEqBandParams;

namespace {

QString argText(uint8_t value)
{
    return QString::number(value);
}
QString argText(uint16_t value)
{
    return QString::number(value);
}
QString argText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}
QString argText(AncMode mode)
{
    return QString::number(int(mode));
}

// Every operation of the headset interface that logs its calls.
const QSet<QString>& OperationNames()
{
    static const QSet<QString> names = {"setGameChatMix",
                                        "setNoiseReduction",
                                        "setAncMode",
                                        "setVpLevel",
                                        "setEarcupBalance",
                                        "setAmpGain",
                                        "setAutoPowerOff",
                                        "setSidetone",
                                        "setSidetoneLevel",
                                        "setMicLevel",
                                        "setEqIndex",
                                        "setEqBands",
                                        "setGyroSensorEnabled",
                                        "centralize",
                                        "calibrate",
                                        "loadGameChatMix",
                                        "loadNoiseReduction",
                                        "loadAncMode",
                                        "loadVpLevel",
                                        "loadEarcupBalance",
                                        "loadAmpGain",
                                        "loadAutoPowerOff",
                                        "loadSidetone",
                                        "loadSidetoneLevel",
                                        "loadMaxSidetoneLevel",
                                        "loadMicLevel",
                                        "loadFwVersion",
                                        "loadDongleFwVersion",
                                        "loadPoweredOn",
                                        "loadEqIndex",
                                        "loadEqBands",
                                        "loadIsNewFilm",
                                        "readMicMute",
                                        "readBatteryLevel",
                                        "readEqIndex",
                                        "readGameChatMix",
                                        "readNoiseReduction",
                                        "readAncMode",
                                        "readSidetone",
                                        "readSidetoneLevel",
                                        "readMicLevel",
                                        "readPosition",
                                        "processAvailablePositionSensors",
                                        "factoryReset",
                                        "writeUserEqBiquad"};
    return names;
}

// The writes that a headset whose HID writes fail refuses: those that change a stored setting.
bool IsSettingWrite(const QString& operation)
{
    return (operation.startsWith(QLatin1String("set")) && operation != QLatin1String("setGyroSensorEnabled")) ||
           operation == QLatin1String("writeUserEqBiquad");
}

QString bandsText(const std::vector<KestrinEqBandParams>& bands)
{
    QStringList gains;
    for (const auto& band : bands)
        gains << QString::number(band.gain);
    return gains.join(QLatin1Char(','));
}

} // namespace

TestKestrinDevice::TestKestrinDevice(const Options& options, const State& initial)
    : m_options(options)
    , m_headset(initial)
    , m_cache(initial)
{
}

std::shared_ptr<TestKestrinDevice> TestKestrinDevice::Make(DeviceType type, Devices::DeviceCategory category,
                                                           const State& initial)
{
    Options options;
    options.type = type;
    options.category = category;
    return std::make_shared<TestKestrinDevice>(options, initial);
}

std::vector<KestrinEqBandParams> TestKestrinDevice::Bands(const std::vector<int>& gains)
{
    static const int freqs[] = {32, 64, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    std::vector<KestrinEqBandParams> bands;
    for (size_t i = 0; i < gains.size(); ++i)
        bands.emplace_back(freqs[i % 10], gains[i]);
    return bands;
}

std::map<uint8_t, std::vector<KestrinEqBandParams>> TestKestrinDevice::CustomPresets(int gain)
{
    std::map<uint8_t, std::vector<KestrinEqBandParams>> presets;
    for (uint8_t preset = 7; preset <= 10; ++preset)
        presets[preset] = Bands(std::vector<int>(10, gain));
    return presets;
}

void TestKestrinDevice::onHeadset(const std::function<void(State&)>& change)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    change(m_headset);
}

TestKestrinDevice::State TestKestrinDevice::headset() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_headset;
}

TestKestrinDevice::State TestKestrinDevice::cache() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cache;
}

void TestKestrinDevice::refuse(const QString& operation, int times)
{
    if (!OperationNames().contains(operation))
        qFatal("TestKestrinDevice::refuse: the headset has no operation \"%s\"", qPrintable(operation));
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refusals.insert(operation, times);
}

void TestKestrinDevice::allow(const QString& operation)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refusals.remove(operation);
}

void TestKestrinDevice::refuseWrites(bool refuse)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_refuseWrites = refuse;
}

QStringList TestKestrinDevice::calls(const QString& prefix) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (prefix.isEmpty())
        return m_calls;
    QStringList matching;
    for (const QString& call : m_calls)
        if (call.startsWith(prefix))
            matching << call;
    return matching;
}

void TestKestrinDevice::clearCalls()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

void TestKestrinDevice::setCallHook(std::function<void(const QString&)> hook)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_callHook = std::move(hook);
}

bool TestKestrinDevice::enterUnsafe(const char* operation, const QString& arguments)
{
    const QString name = QString::fromLatin1(operation);
    m_calls << (arguments.isEmpty() ? name : name + QLatin1Char(' ') + arguments);
    if (m_callHook)
        m_callHook(m_calls.last());
    const auto it = m_refusals.find(name);
    if (it != m_refusals.end()) {
        if (it.value() > 0 && --it.value() == 0)
            m_refusals.erase(it);
        return false;
    }
    // Opened for a firmware update only, it answers nothing but its version and factory reset.
    if (m_options.fwOnly && name != QLatin1String("loadFwVersion") && name != QLatin1String("loadDongleFwVersion") &&
        name != QLatin1String("factoryReset"))
        return false;
    return !(m_refuseWrites && IsSettingWrite(name));
}

template <typename T>
bool TestKestrinDevice::doSet(const char* operation, T State::*field, T value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!enterUnsafe(operation, argText(value)))
        return false;
    m_headset.*field = value;
    m_cache.*field = value;
    return true;
}

template <typename T>
bool TestKestrinDevice::doLoad(const char* operation, T State::*field, T& out)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!enterUnsafe(operation))
        return false;
    out = m_cache.*field;
    return true;
}

template <typename T>
bool TestKestrinDevice::doRead(const char* operation, T State::*field, T& out)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!enterUnsafe(operation))
        return false;
    m_cache.*field = m_headset.*field;
    out = m_cache.*field;
    return true;
}

bool TestKestrinDevice::getVidPid(uint16_t& vid, uint16_t& pid) const
{
    vid = 0x1234;
    pid = 0x5678;
    return true;
}

bool TestKestrinDevice::setGameChatMix(uint8_t value)
{
    return doSet("setGameChatMix", &State::gameChatMix, value);
}
bool TestKestrinDevice::setNoiseReduction(uint8_t value)
{
    return doSet("setNoiseReduction", &State::noiseReduction, value);
}
bool TestKestrinDevice::setAncMode(AncMode mode)
{
    return doSet("setAncMode", &State::ancMode, mode);
}
bool TestKestrinDevice::setVpLevel(uint8_t value)
{
    return doSet("setVpLevel", &State::vpLevel, value);
}
bool TestKestrinDevice::setEarcupBalance(uint8_t value)
{
    return doSet("setEarcupBalance", &State::earcupBalance, value);
}
bool TestKestrinDevice::setAmpGain(uint8_t value)
{
    return doSet("setAmpGain", &State::ampGain, value);
}
bool TestKestrinDevice::setAutoPowerOff(uint16_t seconds)
{
    return doSet("setAutoPowerOff", &State::autoPowerOff, seconds);
}
bool TestKestrinDevice::setSidetone(bool on)
{
    return doSet("setSidetone", &State::sidetone, on);
}
bool TestKestrinDevice::setSidetoneLevel(uint8_t value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!enterUnsafe("setSidetoneLevel", argText(value)) || value > m_headset.maxSidetoneLevel)
        return false;
    m_headset.sidetoneLevel = value;
    m_cache.sidetoneLevel = value;
    return true;
}
bool TestKestrinDevice::setMicLevel(uint8_t value)
{
    return doSet("setMicLevel", &State::micLevel, value);
}
bool TestKestrinDevice::setEqIndex(uint8_t eqIndex)
{
    return doSet("setEqIndex", &State::eqIndex, eqIndex);
}

bool TestKestrinDevice::setEqBands(uint8_t eqIndex, const std::vector<KestrinEqBandParams>& bands)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!enterUnsafe("setEqBands", QString::number(eqIndex) + QLatin1Char(' ') + bandsText(bands)))
        return false;
    auto it = m_headset.bands.find(eqIndex);
    if (it == m_headset.bands.end() || it->second.size() != bands.size())
        return false;
    it->second = bands;
    m_cache.bands[eqIndex] = bands;
    return true;
}

bool TestKestrinDevice::setGyroSensorEnabled(bool enabled, uint8_t value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return enterUnsafe("setGyroSensorEnabled", argText(enabled) + QLatin1Char(' ') + argText(value));
}

bool TestKestrinDevice::centralize()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return enterUnsafe("centralize");
}

bool TestKestrinDevice::calibrate(double seconds)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return enterUnsafe("calibrate", QString::number(seconds));
}

bool TestKestrinDevice::loadGameChatMix(uint8_t& value)
{
    return doLoad("loadGameChatMix", &State::gameChatMix, value);
}
bool TestKestrinDevice::loadNoiseReduction(uint8_t& value)
{
    return doLoad("loadNoiseReduction", &State::noiseReduction, value);
}
bool TestKestrinDevice::loadAncMode(AncMode& mode)
{
    return doLoad("loadAncMode", &State::ancMode, mode);
}
bool TestKestrinDevice::loadVpLevel(uint8_t& value)
{
    return doLoad("loadVpLevel", &State::vpLevel, value);
}
bool TestKestrinDevice::loadEarcupBalance(uint8_t& value)
{
    return doLoad("loadEarcupBalance", &State::earcupBalance, value);
}
bool TestKestrinDevice::loadAmpGain(uint8_t& value)
{
    return doLoad("loadAmpGain", &State::ampGain, value);
}
bool TestKestrinDevice::loadAutoPowerOff(uint16_t& seconds)
{
    return doLoad("loadAutoPowerOff", &State::autoPowerOff, seconds);
}
bool TestKestrinDevice::loadSidetone(bool& on)
{
    return doLoad("loadSidetone", &State::sidetone, on);
}
bool TestKestrinDevice::loadSidetoneLevel(uint8_t& value)
{
    return doLoad("loadSidetoneLevel", &State::sidetoneLevel, value);
}
bool TestKestrinDevice::loadMaxSidetoneLevel(uint8_t& value)
{
    return doLoad("loadMaxSidetoneLevel", &State::maxSidetoneLevel, value);
}
bool TestKestrinDevice::loadMicLevel(uint8_t& value)
{
    return doLoad("loadMicLevel", &State::micLevel, value);
}
// Through its dongle a firmware-only device knows only the dongle's version, and only a device
// reached through its dongle has a dongle version at all.
bool TestKestrinDevice::loadFwVersion(QString& version)
{
    return loadVersion("loadFwVersion", !(m_options.fwOnly && m_options.dongle), &State::fwVersion, version);
}
bool TestKestrinDevice::loadDongleFwVersion(QString& version)
{
    return loadVersion("loadDongleFwVersion", m_options.dongle, &State::dongleFwVersion, version);
}

bool TestKestrinDevice::loadVersion(const char* operation, bool served, QString State::*field, QString& out)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!enterUnsafe(operation) || !served)
        return false;
    out = m_cache.*field;
    return true;
}
bool TestKestrinDevice::loadPoweredOn(bool& on)
{
    return doLoad("loadPoweredOn", &State::poweredOn, on);
}
bool TestKestrinDevice::loadEqIndex(uint8_t& eqIndex)
{
    return doLoad("loadEqIndex", &State::eqIndex, eqIndex);
}
bool TestKestrinDevice::loadIsNewFilm(bool& newFilm)
{
    return doLoad("loadIsNewFilm", &State::newFilm, newFilm);
}

bool TestKestrinDevice::loadEqBands(uint8_t eqIndex, std::vector<KestrinEqBandParams>& bands)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!enterUnsafe("loadEqBands", QString::number(eqIndex)))
        return false;
    // Like the real headset, a preset not cached yet is fetched from the headset first.
    auto cached = m_cache.bands.find(eqIndex);
    if (cached == m_cache.bands.end()) {
        const auto onHeadset = m_headset.bands.find(eqIndex);
        if (onHeadset == m_headset.bands.end())
            return false;
        cached = m_cache.bands.emplace(eqIndex, onHeadset->second).first;
    }
    bands = cached->second;
    return true;
}

bool TestKestrinDevice::readMicMute(bool& muted)
{
    return doRead("readMicMute", &State::micMute, muted);
}
bool TestKestrinDevice::readBatteryLevel(uint8_t& percent)
{
    return doRead("readBatteryLevel", &State::batteryLevel, percent);
}
bool TestKestrinDevice::readEqIndex(uint8_t& eqIndex)
{
    return doRead("readEqIndex", &State::eqIndex, eqIndex);
}
bool TestKestrinDevice::readGameChatMix(uint8_t& value)
{
    return doRead("readGameChatMix", &State::gameChatMix, value);
}
bool TestKestrinDevice::readNoiseReduction(uint8_t& value)
{
    return doRead("readNoiseReduction", &State::noiseReduction, value);
}
bool TestKestrinDevice::readAncMode(AncMode& mode)
{
    return doRead("readAncMode", &State::ancMode, mode);
}
bool TestKestrinDevice::readSidetone(bool& on)
{
    return doRead("readSidetone", &State::sidetone, on);
}
bool TestKestrinDevice::readSidetoneLevel(uint8_t& value)
{
    return doRead("readSidetoneLevel", &State::sidetoneLevel, value);
}
bool TestKestrinDevice::readMicLevel(uint8_t& value)
{
    return doRead("readMicLevel", &State::micLevel, value);
}

bool TestKestrinDevice::readPosition(QQuaternion& position)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!enterUnsafe("readPosition"))
        return false;
    position = m_headset.position;
    return true;
}

bool TestKestrinDevice::processAvailablePositionSensors()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return enterUnsafe("processAvailablePositionSensors");
}

bool TestKestrinDevice::factoryReset()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return enterUnsafe("factoryReset");
}

bool TestKestrinDevice::writeUserEqBiquad(uint8_t eqIndex, uint8_t band, DeviceData::AncEqFilterType type, float freq,
                                          float gain)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!enterUnsafe(
            "writeUserEqBiquad",
            QStringLiteral("%1 %2 %3 %4 %5").arg(eqIndex).arg(band).arg(int(type)).arg(double(freq)).arg(double(gain))))
        return false;
    auto it = m_headset.bands.find(eqIndex);
    if (it == m_headset.bands.end() || band >= it->second.size())
        return false;
    it->second[band] = KestrinEqBandParams(int(freq), int(gain));
    m_cache.bands[eqIndex] = it->second;
    return true;
}

} // namespace TestSupport
