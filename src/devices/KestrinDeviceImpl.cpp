#include "devices/KestrinDeviceImpl.h"

#include "devices/KestrinDeviceImplPrivate.h"
#include "io/KestrinHidApiClient.h"

namespace Devices {

// What the headset is asked for when it is opened, in this order, and again after a factory reset
// (versions aside): the settings whose rows are read then, between the reads that are not settings.
struct KestrinOpenRead {
    enum What : uint8_t { ofSetting, poweredOn, fwVersion, dongleFwVersion, maxSidetoneLevel };
    What what = ofSetting;
    KestrinSetting setting{};
};

constexpr bool NamesSetting(const KestrinOpenRead& read, KestrinSetting setting)
{
    return read.what == KestrinOpenRead::ofSetting && read.setting == setting;
}

constexpr KestrinOpenRead c_openReads[] = {
    {KestrinOpenRead::poweredOn},
    {.setting = KestrinSetting::vpLevel},
    {.setting = KestrinSetting::earcupBalance},
    {KestrinOpenRead::fwVersion},
    {.setting = KestrinSetting::ampGain},
    {.setting = KestrinSetting::autoPowerOff},
    {.setting = KestrinSetting::sidetone},
    {KestrinOpenRead::dongleFwVersion},
    {KestrinOpenRead::maxSidetoneLevel},
    {.setting = KestrinSetting::sidetoneLevel},
    {.setting = KestrinSetting::eqIndex},
    {.setting = KestrinSetting::gameChatMix},
    {.setting = KestrinSetting::noiseReduction},
    {.setting = KestrinSetting::ancMode},
};
static_assert(NamesEverySettingOnce(c_openReads, [](const KestrinSettingInfo& info) { return info.readWhenOpened; }),
              "the read list names every setting read when the headset is opened, once");

// One read of the list. Opening: a failure fails the opening. After a reset: a value that cannot
// be read keeps the old one, and the versions are not read again.
bool KestrinDeviceImpl::Impl::readOnOpen(const KestrinOpenRead& read, bool opening)
{
    switch (read.what) {
    case KestrinOpenRead::poweredOn: {
        // Through the dongle the headset counts as powered on without asking.
        bool on = true;
        if (!dongle && !transport.readPoweredOn(on))
            return !opening;
        if (opening || !dongle)
            storeCached(poweredOn, on);
        return true;
    }
    case KestrinOpenRead::fwVersion: return !opening || transport.readFwVersion(fwVersion, false);
    case KestrinOpenRead::dongleFwVersion: return !opening || !dongle || transport.readFwVersion(dongleFwVersion, true);
    case KestrinOpenRead::maxSidetoneLevel: {
        uint8_t level = 0;
        if (!transport.readMaxSidetoneLevel(level))
            return !opening;
        storeCached(maxSidetoneLevel, level);
        return true;
    }
    case KestrinOpenRead::ofSetting: break;
    }
    if (!HasSetting(SettingInfo(read.setting).models, type))
        return true;
    uint16_t value = 0;
    if (!readSetting(read.setting, value))
        return !opening;
    storeCached(settings[size_t(read.setting)], value);
    return true;
}

// A setting from the headset; the ANC headset's EQ index is its user-EQ number plus one.
bool KestrinDeviceImpl::Impl::readSetting(KestrinSetting setting, uint16_t& value)
{
    if (setting != KestrinSetting::eqIndex || !isAnc())
        return transport.readSetting(setting, value);
    uint8_t userEq = 0;
    if (!transport.readUserEqIndex(userEq))
        return false;
    value = uint8_t(userEq + 1);
    return true;
}

// Reads every setting once; the first failure leaves the object invalid and none of the values
// read so far is served.
bool KestrinDeviceImpl::Impl::init()
{
    if (!client.hasDevice())
        return false;
    for (const KestrinOpenRead& read : c_openReads) {
        if (!readOnOpen(read, true))
            return false;
    }

    // Not fatal: a headset that does not answer this query keeps the flag false.
    bool newFilm = false;
    isNewFilm = transport.readIsNewFilm(newFilm) && newFilm;

    int slot = 0;
    if (getCustomEqId(uint8_t(settings[size_t(KestrinSetting::eqIndex)]), slot))
        updateEqBands(slot);
    return true;
}

// After a factory reset the headset holds its defaults: read them back so that the load
// operations tell what it holds. Presets that were read before are read again.
void KestrinDeviceImpl::Impl::refreshAfterReset()
{
    for (const KestrinOpenRead& read : c_openReads)
        readOnOpen(read, false);

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

KestrinDeviceImpl::KestrinDeviceImpl(Platform::KestrinHidApiClient& client, uint16_t vid, uint16_t pid, DeviceType type,
                                     KestrinHwType hwType, bool dongle)
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
    return m_impl->read(KestrinSetting::eqIndex, index);
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

} // namespace Devices
