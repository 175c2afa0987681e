#include "devices/KestrinDeviceImpl.h"

#include "devices/KestrinDeviceImplPrivate.h"
#include "io/KestrinHidApiClient.h"

namespace Devices {

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
    if (!readInto(KestrinSetting::ampGain) || !readInto(KestrinSetting::autoPowerOff) ||
        !readInto(KestrinSetting::sidetone))
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

} // namespace Devices
