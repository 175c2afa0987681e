#include "devices/KestrinDeviceImpl.h"

#include "core/GlobalLogger.h"
#include "devices/KestrinSettings.h"
#include "devices/KestrinTransport.h"
#include "io/KestrinHidApiClient.h"
#include "utils/SpinLock.h"

#include <QThread>

#include <array>
#include <cmath>
#include <unordered_map>

namespace Devices {

namespace {

constexpr uint8_t c_firstCustomEq = 7;
constexpr uint8_t c_lastCustomEq = 10;

// The pause that lets a kestrin_2 headset pick up a freshly stored preset before its voice
// prompts come back.
constexpr unsigned long c_eqReloadPauseMs = 1000;

} // namespace

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
        if (!transport.readSetting(setting, value))
            return false;
        out = T(value);
        storeCached(settings[size_t(setting)], value);
        return true;
    }

    // A read during initialisation (the cache is not shared yet), or after a reset (a value
    // that cannot be read keeps the old one).
    bool readInto(KestrinSetting setting) { return transport.readSetting(setting, settings[size_t(setting)]); }
    void refresh(KestrinSetting setting)
    {
        uint16_t value = 0;
        if (transport.readSetting(setting, value))
            storeCached(settings[size_t(setting)], value);
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
    std::array<uint16_t, c_kestrinSettingCount> settings{};
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

// Reads every setting once, in a fixed order; the first failure leaves the object invalid and none
// of the values read so far is served.
bool KestrinDeviceImpl::Impl::init()
{
    if (!client.hasDevice())
        return false;

    if (dongle) {
        // Through the dongle the headset counts as powered on without asking.
        poweredOn = true;
    } else if (!transport.readPoweredOn(poweredOn)) {
        return false;
    }

    if (!readInto(KestrinSetting::vpLevel) || !readInto(KestrinSetting::earcupBalance))
        return false;
    if (!transport.readFwVersion(fwVersion, false))
        return false;
    if (!readInto(KestrinSetting::ampGain) || !readInto(KestrinSetting::autoPowerOff)
        || !readInto(KestrinSetting::sidetone))
        return false;
    if (dongle && !transport.readFwVersion(dongleFwVersion, true))
        return false;
    if (!transport.readMaxSidetoneLevel(maxSidetoneLevel) || !readInto(KestrinSetting::sidetoneLevel))
        return false;

    if (isAnc()) {
        uint8_t userEq = 0;
        if (!transport.readUserEqIndex(userEq))
            return false;
        settings[size_t(KestrinSetting::eqIndex)] = uint8_t(userEq + 1);
    } else if (!readInto(KestrinSetting::eqIndex)) {
        return false;
    }

    if (!readInto(KestrinSetting::gameChatMix) || !readInto(KestrinSetting::noiseReduction))
        return false;
    if (isAnc() && !readInto(KestrinSetting::ancMode))
        return false;

    // Not fatal: a headset that does not answer this query keeps the flag false.
    bool newFilm = false;
    isNewFilm = transport.readIsNewFilm(newFilm) && newFilm;

    int slot = 0;
    if (getCustomEqId(uint8_t(settings[size_t(KestrinSetting::eqIndex)]), slot))
        updateEqBands(slot);
    return true;
}

// After a factory reset the headset holds its defaults: read them back so that the load
// operations tell what it holds. A value that cannot be read keeps the old one; presets that
// were read before are read again.
void KestrinDeviceImpl::Impl::refreshAfterReset()
{
    bool on = false;
    if (!dongle && transport.readPoweredOn(on))
        storeCached(poweredOn, on);
    refresh(KestrinSetting::vpLevel);
    refresh(KestrinSetting::earcupBalance);
    refresh(KestrinSetting::ampGain);
    refresh(KestrinSetting::autoPowerOff);
    refresh(KestrinSetting::sidetone);
    uint8_t value = 0;
    if (transport.readMaxSidetoneLevel(value))
        storeCached(maxSidetoneLevel, value);
    refresh(KestrinSetting::sidetoneLevel);
    if (isAnc()) {
        if (transport.readUserEqIndex(value))
            storeCached(settings[size_t(KestrinSetting::eqIndex)], uint16_t(uint8_t(value + 1)));
    } else {
        refresh(KestrinSetting::eqIndex);
    }
    refresh(KestrinSetting::gameChatMix);
    refresh(KestrinSetting::noiseReduction);
    if (isAnc())
        refresh(KestrinSetting::ancMode);

    std::vector<int> cachedSlots;
    {
        Utils::SpinGuard guard(cacheLock);
        if (isAnc()) {
            for (const auto& entry : ancEqCache)
                cachedSlots.push_back(entry.first);
        } else {
            for (const auto& entry : peqCache)
                cachedSlots.push_back(entry.first);
        }
    }
    for (int slot : cachedSlots)
        updateEqBands(slot);
}

bool KestrinDeviceImpl::Impl::updateEqBands(int slot)
{
    if (isAnc()) {
        Kestrin2AncEq record;
        if (!transport.readUserBiquad(uint8_t(slot + 6), record))
            return false;
        Utils::SpinGuard guard(cacheLock);
        ancEqCache[slot] = std::move(record);
        return true;
    }
    KestrinEq record;
    if (!transport.readEqBands(uint8_t(slot), record))
        return false;
    Utils::SpinGuard guard(cacheLock);
    peqCache[slot] = std::move(record);
    return true;
}

bool KestrinDeviceImpl::Impl::hasCachedSlot(int slot)
{
    Utils::SpinGuard guard(cacheLock);
    return isAnc() ? ancEqCache.count(slot) != 0 : peqCache.count(slot) != 0;
}

bool KestrinDeviceImpl::Impl::uploadEqBands(uint8_t eqIndex,
    const std::vector<DeviceData::KestrinEqBandParams>& bands)
{
    int slot = 0;
    if (!getCustomEqId(eqIndex, slot))
        return false;

    KestrinEq updated;
    {
        Utils::SpinGuard guard(cacheLock);
        const auto found = peqCache.find(slot);
        if (found == peqCache.end())
            return false;
        updated = found->second;
    }
    if (updated.bands.size() != bands.size())
        return false;

    // The user edits whole Hz and dB while the headset keeps hundredths: a band the user did not
    // touch keeps its exact stored values, so saving one band never rounds the others.
    for (size_t i = 0; i < bands.size(); ++i) {
        KestrinBandInfo& band = updated.bands[i];
        if (band.frequency / 100 != bands[i].getFreq())
            band.frequency = bands[i].getFreq() * 100;
        if (band.gain / 100 != bands[i].getGain())
            band.gain = bands[i].getGain() * 100;
    }

    if (!transport.writeEqBands(uint8_t(slot), updated))
        return false;

    if (type == DeviceType::kestrin_2 && !dongle)
        reloadPresetOnKestrin2();

    Utils::SpinGuard guard(cacheLock);
    peqCache[slot] = std::move(updated);
    return true;
}

// On a cabled kestrin_2 the preset index is written again so that the stored preset takes effect,
// with the voice prompts silenced meanwhile. The prompt level must come back: its restore is
// retried once and, failing that, read back so that the cache tells what the headset holds.
void KestrinDeviceImpl::Impl::reloadPresetOnKestrin2()
{
    uint8_t savedIndex = 0;
    uint8_t savedLevel = 0;
    {
        Utils::SpinGuard guard(cacheLock);
        savedIndex = uint8_t(settings[size_t(KestrinSetting::eqIndex)]);
        savedLevel = uint8_t(settings[size_t(KestrinSetting::vpLevel)]);
    }
    transport.writeVpLevel(0);
    transport.writePeqIndex(savedIndex);
    QThread::msleep(c_eqReloadPauseMs);
    if (transport.writeVpLevel(savedLevel) || transport.writeVpLevel(savedLevel))
        return;

    uint8_t actual = 0;
    if (transport.readVpLevel(actual)) {
        storeCached(settings[size_t(KestrinSetting::vpLevel)], uint16_t(actual));
        GlobalLogger::Instance()->message(QtWarningMsg,
            "voice-prompt level %u not restored after the EQ upload, the headset has %u", unsigned(savedLevel),
            unsigned(actual));
    } else {
        GlobalLogger::Instance()->message(QtWarningMsg,
            "voice-prompt level %u not restored after the EQ upload, and not read back", unsigned(savedLevel));
    }
}

KestrinDeviceImpl::KestrinDeviceImpl(Platform::KestrinHidApiClient& client, uint16_t vid, uint16_t pid,
    DeviceType type, KestrinHwType hwType, bool dongle)
    : m_impl(std::make_unique<Impl>(client, vid, pid, type, hwType, dongle))
{
    m_valid = m_impl->init();
    m_impl->valid = m_valid;
}

KestrinDeviceImpl::~KestrinDeviceImpl() = default;

bool KestrinDeviceImpl::isValid() const
{
    return m_valid;
}

DeviceCategory KestrinDeviceImpl::getCategory() const
{
    return DeviceCategory::Hardware;
}

DeviceType KestrinDeviceImpl::getDeviceType() const
{
    return m_impl->type;
}

IKestrinDeviceMain* KestrinDeviceImpl::getKestrinDevice()
{
    return this;
}

bool KestrinDeviceImpl::isDongle() const
{
    return m_impl->dongle;
}

bool KestrinDeviceImpl::isFwOnly() const
{
    return false;
}

KestrinHwType KestrinDeviceImpl::getHwType() const
{
    return m_impl->hwType;
}

bool KestrinDeviceImpl::getVidPid(uint16_t& vid, uint16_t& pid) const
{
    vid = m_impl->vid;
    pid = m_impl->pid;
    return true;
}

bool KestrinDeviceImpl::setGameChatMix(uint8_t value)
{
    return m_impl->write(KestrinSetting::gameChatMix, value);
}

bool KestrinDeviceImpl::setNoiseReduction(uint8_t value)
{
    return m_impl->write(KestrinSetting::noiseReduction, value);
}

bool KestrinDeviceImpl::setAncMode(DeviceData::AncMode mode)
{
    return m_impl->write(KestrinSetting::ancMode, uint8_t(mode));
}

bool KestrinDeviceImpl::setVpLevel(uint8_t value)
{
    return m_impl->write(KestrinSetting::vpLevel, value);
}

bool KestrinDeviceImpl::setEarcupBalance(uint8_t value)
{
    return m_impl->write(KestrinSetting::earcupBalance, value);
}

bool KestrinDeviceImpl::setAmpGain(uint8_t value)
{
    return m_impl->write(KestrinSetting::ampGain, value);
}

bool KestrinDeviceImpl::setAutoPowerOff(uint16_t seconds)
{
    return m_impl->write(KestrinSetting::autoPowerOff, seconds);
}

bool KestrinDeviceImpl::setSidetone(bool on)
{
    return m_impl->write(KestrinSetting::sidetone, on);
}

bool KestrinDeviceImpl::setSidetoneLevel(uint8_t value)
{
    return m_impl->write(KestrinSetting::sidetoneLevel, value);
}

bool KestrinDeviceImpl::setMicLevel(uint8_t)
{
    // Not written from here: nothing is sent.
    return false;
}

bool KestrinDeviceImpl::setEqIndex(uint8_t index)
{
    // Written as a preset index on every model, the ANC one included.
    return m_impl->write(KestrinSetting::eqIndex, index);
}

bool KestrinDeviceImpl::setEqBands(uint8_t eqIndex, const std::vector<DeviceData::KestrinEqBandParams>& bands)
{
    return m_impl->uploadEqBands(eqIndex, bands);
}

bool KestrinDeviceImpl::setGyroSensorEnabled(bool enabled, uint8_t rate)
{
    return m_impl->transport.writeSensorsEnabled(enabled, rate);
}

bool KestrinDeviceImpl::centralize()
{
    return m_impl->transport.centralize();
}

bool KestrinDeviceImpl::calibrate(double seconds)
{
    return m_impl->transport.calibrate(seconds);
}

bool KestrinDeviceImpl::loadGameChatMix(uint8_t& value)
{
    return m_impl->load(KestrinSetting::gameChatMix, value);
}

bool KestrinDeviceImpl::loadNoiseReduction(uint8_t& value)
{
    return m_impl->load(KestrinSetting::noiseReduction, value);
}

bool KestrinDeviceImpl::loadAncMode(DeviceData::AncMode& mode)
{
    return m_impl->load(KestrinSetting::ancMode, mode);
}

bool KestrinDeviceImpl::loadVpLevel(uint8_t& value)
{
    return m_impl->load(KestrinSetting::vpLevel, value);
}

bool KestrinDeviceImpl::loadEarcupBalance(uint8_t& value)
{
    return m_impl->load(KestrinSetting::earcupBalance, value);
}

bool KestrinDeviceImpl::loadAmpGain(uint8_t& value)
{
    return m_impl->load(KestrinSetting::ampGain, value);
}

bool KestrinDeviceImpl::loadAutoPowerOff(uint16_t& seconds)
{
    return m_impl->load(KestrinSetting::autoPowerOff, seconds);
}

bool KestrinDeviceImpl::loadSidetone(bool& on)
{
    return m_impl->load(KestrinSetting::sidetone, on);
}

bool KestrinDeviceImpl::loadSidetoneLevel(uint8_t& value)
{
    return m_impl->load(KestrinSetting::sidetoneLevel, value);
}

bool KestrinDeviceImpl::loadMaxSidetoneLevel(uint8_t& value)
{
    return m_impl->loadCached(m_impl->maxSidetoneLevel, value);
}

bool KestrinDeviceImpl::loadMicLevel(uint8_t& value)
{
    return m_impl->load(KestrinSetting::micLevel, value);
}

bool KestrinDeviceImpl::loadFwVersion(QString& version)
{
    if (!m_valid)
        return false;
    version = m_impl->fwVersion;
    return true;
}

bool KestrinDeviceImpl::loadDongleFwVersion(QString& version)
{
    if (!m_valid || !m_impl->dongle)
        return false;
    version = m_impl->dongleFwVersion;
    return true;
}

bool KestrinDeviceImpl::loadPoweredOn(bool& on)
{
    return m_impl->loadCached(m_impl->poweredOn, on);
}

bool KestrinDeviceImpl::loadEqIndex(uint8_t& index)
{
    return m_impl->load(KestrinSetting::eqIndex, index);
}

bool KestrinDeviceImpl::loadEqBands(uint8_t eqIndex, std::vector<DeviceData::KestrinEqBandParams>& bands)
{
    int slot = 0;
    if (!m_valid || !Impl::getCustomEqId(eqIndex, slot))
        return false;
    if (!m_impl->hasCachedSlot(slot) && !m_impl->updateEqBands(slot))
        return false;

    Utils::SpinGuard guard(m_impl->cacheLock);
    bands.clear();
    if (m_impl->isAnc()) {
        const Kestrin2AncEq& record = m_impl->ancEqCache.at(slot);
        bands.reserve(record.bands.size());
        for (const auto& band : record.bands)
            bands.emplace_back(int(std::trunc(band.frequency)), int(std::trunc(band.gain)));
    } else {
        const KestrinEq& record = m_impl->peqCache.at(slot);
        bands.reserve(record.bands.size());
        for (const auto& band : record.bands)
            bands.emplace_back(band.frequency / 100, band.gain / 100);
    }
    return true;
}

bool KestrinDeviceImpl::loadIsNewFilm(bool& isNewFilm)
{
    return m_impl->loadCached(m_impl->isNewFilm, isNewFilm);
}

bool KestrinDeviceImpl::readMicMute(bool& muted)
{
    return m_impl->transport.readMicMute(muted);
}

bool KestrinDeviceImpl::readBatteryLevel(uint8_t& level)
{
    return m_impl->transport.readBatteryLevel(level);
}

bool KestrinDeviceImpl::readEqIndex(uint8_t& index)
{
    uint8_t value = 0;
    if (m_impl->isAnc()) {
        if (!m_impl->transport.readUserEqIndex(value))
            return false;
        ++value;
    } else if (!m_impl->transport.readPeqIndex(value)) {
        return false;
    }
    index = value;
    m_impl->storeCached(m_impl->settings[size_t(KestrinSetting::eqIndex)], uint16_t(value));
    return true;
}

bool KestrinDeviceImpl::readGameChatMix(uint8_t& value)
{
    return m_impl->read(KestrinSetting::gameChatMix, value);
}

bool KestrinDeviceImpl::readNoiseReduction(uint8_t& value)
{
    return m_impl->read(KestrinSetting::noiseReduction, value);
}

bool KestrinDeviceImpl::readAncMode(DeviceData::AncMode& mode)
{
    return m_impl->read(KestrinSetting::ancMode, mode);
}

bool KestrinDeviceImpl::readSidetone(bool& on)
{
    return m_impl->read(KestrinSetting::sidetone, on);
}

bool KestrinDeviceImpl::readSidetoneLevel(uint8_t& value)
{
    return m_impl->read(KestrinSetting::sidetoneLevel, value);
}

bool KestrinDeviceImpl::readMicLevel(uint8_t&)
{
    return false;
}

bool KestrinDeviceImpl::readPosition(QQuaternion& position)
{
    return m_impl->transport.readPosition(position);
}

bool KestrinDeviceImpl::processAvailablePositionSensors()
{
    return m_impl->transport.processAvailablePositionSensors();
}

bool KestrinDeviceImpl::factoryReset()
{
    if (!m_impl->transport.factoryReset())
        return false;
    if (m_valid)
        m_impl->refreshAfterReset();
    return true;
}

bool KestrinDeviceImpl::writeUserEqBiquad(uint8_t eqIndex, uint8_t band, DeviceData::AncEqFilterType type,
    float frequency, float gain)
{
    int slot = 0;
    if (!Impl::getCustomEqId(eqIndex, slot))
        return false;

    uint8_t bandId = 0;
    float middle = 0.0f;
    {
        Utils::SpinGuard guard(m_impl->cacheLock);
        const auto found = m_impl->ancEqCache.find(slot);
        // The caller loads the preset first; an unknown preset or band has no middle value to
        // send, and guessing one would change the filter's shape.
        if (found == m_impl->ancEqCache.end() || band >= found->second.bands.size())
            return false;
        bandId = found->second.bands[band].bandId;
        middle = found->second.bands[band].middle;
    }

    if (!m_impl->transport.writeUserEqBiquad(uint8_t(eqIndex - 1), bandId, type, frequency, middle, gain))
        return false;

    Utils::SpinGuard guard(m_impl->cacheLock);
    auto found = m_impl->ancEqCache.find(slot);
    if (found != m_impl->ancEqCache.end() && band < found->second.bands.size()) {
        auto& record = found->second.bands[band];
        record.frequency = frequency;
        record.gain = gain;
        record.filterType = uint8_t(type);
    }
    return true;
}

} // namespace Devices
