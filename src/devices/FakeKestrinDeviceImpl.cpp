#include "devices/FakeKestrinDeviceImpl.h"

namespace Devices {

template <typename T>
bool FakeKestrinDeviceImpl::store(T& field, T value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    field = value;
    return true;
}

template <typename T>
bool FakeKestrinDeviceImpl::fetch(const T& field, T& out)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    out = field;
    return true;
}

KestrinHwType FakeKestrinDeviceImpl::getHwType() const
{
    return Enumer<KestrinHwType>::Invalid();
}

bool FakeKestrinDeviceImpl::getVidPid(uint16_t&, uint16_t&) const
{
    return false;
}

bool FakeKestrinDeviceImpl::setGameChatMix(uint8_t value)
{
    return store(m_gameChatMix, value);
}
bool FakeKestrinDeviceImpl::setNoiseReduction(uint8_t value)
{
    return store(m_noiseReduction, value);
}
bool FakeKestrinDeviceImpl::setAncMode(DeviceData::AncMode mode)
{
    return store(m_ancMode, mode);
}
bool FakeKestrinDeviceImpl::setVpLevel(uint8_t value)
{
    return store(m_vpLevel, value);
}
bool FakeKestrinDeviceImpl::setEarcupBalance(uint8_t value)
{
    return store(m_earcupBalance, value);
}
bool FakeKestrinDeviceImpl::setAmpGain(uint8_t value)
{
    return store(m_ampGain, value);
}
bool FakeKestrinDeviceImpl::setAutoPowerOff(uint16_t seconds)
{
    return store(m_autoPowerOff, seconds);
}
bool FakeKestrinDeviceImpl::setSidetone(bool on)
{
    return store(m_sidetone, on);
}
bool FakeKestrinDeviceImpl::setMicLevel(uint8_t value)
{
    return store(m_micLevel, value);
}
bool FakeKestrinDeviceImpl::setEqIndex(uint8_t eqIndex)
{
    return store(m_eqIndex, eqIndex);
}

bool FakeKestrinDeviceImpl::setSidetoneLevel(uint8_t value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (value > m_maxSidetoneLevel)
        return false;
    m_sidetoneLevel = value;
    return true;
}

bool FakeKestrinDeviceImpl::setEqBands(uint8_t, const std::vector<DeviceData::KestrinEqBandParams>&)
{
    return false;
}
bool FakeKestrinDeviceImpl::setGyroSensorEnabled(bool, uint8_t)
{
    return false;
}
bool FakeKestrinDeviceImpl::centralize()
{
    return false;
}
bool FakeKestrinDeviceImpl::calibrate(double)
{
    return false;
}

bool FakeKestrinDeviceImpl::loadGameChatMix(uint8_t& value)
{
    return fetch(m_gameChatMix, value);
}
bool FakeKestrinDeviceImpl::loadNoiseReduction(uint8_t& value)
{
    return fetch(m_noiseReduction, value);
}
bool FakeKestrinDeviceImpl::loadAncMode(DeviceData::AncMode& mode)
{
    return fetch(m_ancMode, mode);
}
bool FakeKestrinDeviceImpl::loadVpLevel(uint8_t& value)
{
    return fetch(m_vpLevel, value);
}
bool FakeKestrinDeviceImpl::loadEarcupBalance(uint8_t& value)
{
    return fetch(m_earcupBalance, value);
}
bool FakeKestrinDeviceImpl::loadAmpGain(uint8_t& value)
{
    return fetch(m_ampGain, value);
}
bool FakeKestrinDeviceImpl::loadAutoPowerOff(uint16_t& seconds)
{
    return fetch(m_autoPowerOff, seconds);
}
bool FakeKestrinDeviceImpl::loadSidetone(bool& on)
{
    return fetch(m_sidetone, on);
}
bool FakeKestrinDeviceImpl::loadSidetoneLevel(uint8_t& value)
{
    return fetch(m_sidetoneLevel, value);
}
bool FakeKestrinDeviceImpl::loadMaxSidetoneLevel(uint8_t& value)
{
    return fetch(m_maxSidetoneLevel, value);
}
bool FakeKestrinDeviceImpl::loadMicLevel(uint8_t& value)
{
    return fetch(m_micLevel, value);
}
bool FakeKestrinDeviceImpl::loadEqIndex(uint8_t& eqIndex)
{
    return fetch(m_eqIndex, eqIndex);
}

bool FakeKestrinDeviceImpl::loadFwVersion(QString& version)
{
    version.clear();
    return true;
}

bool FakeKestrinDeviceImpl::loadDongleFwVersion(QString& version)
{
    version.clear();
    return true;
}

bool FakeKestrinDeviceImpl::loadPoweredOn(bool& on)
{
    on = false;
    return true;
}

bool FakeKestrinDeviceImpl::loadEqBands(uint8_t, std::vector<DeviceData::KestrinEqBandParams>&)
{
    return false;
}

bool FakeKestrinDeviceImpl::loadIsNewFilm(bool& newFilm)
{
    newFilm = false;
    return true;
}

bool FakeKestrinDeviceImpl::readMicMute(bool& muted)
{
    muted = false;
    return true;
}

bool FakeKestrinDeviceImpl::readBatteryLevel(uint8_t& percent)
{
    percent = 0;
    return true;
}

// Nothing changes on a simulated headset by itself, so a fresh read is the stored value.
bool FakeKestrinDeviceImpl::readEqIndex(uint8_t& eqIndex)
{
    return loadEqIndex(eqIndex);
}
bool FakeKestrinDeviceImpl::readGameChatMix(uint8_t& value)
{
    return loadGameChatMix(value);
}
bool FakeKestrinDeviceImpl::readNoiseReduction(uint8_t& value)
{
    return loadNoiseReduction(value);
}
bool FakeKestrinDeviceImpl::readAncMode(DeviceData::AncMode& mode)
{
    return loadAncMode(mode);
}
bool FakeKestrinDeviceImpl::readSidetone(bool& on)
{
    return loadSidetone(on);
}
bool FakeKestrinDeviceImpl::readSidetoneLevel(uint8_t& value)
{
    return loadSidetoneLevel(value);
}
bool FakeKestrinDeviceImpl::readMicLevel(uint8_t& value)
{
    return loadMicLevel(value);
}

bool FakeKestrinDeviceImpl::readPosition(QQuaternion&)
{
    return false;
}
bool FakeKestrinDeviceImpl::processAvailablePositionSensors()
{
    return false;
}
bool FakeKestrinDeviceImpl::factoryReset()
{
    return false;
}

bool FakeKestrinDeviceImpl::writeUserEqBiquad(uint8_t, uint8_t, DeviceData::AncEqFilterType, float, float)
{
    return false;
}

} // namespace Devices
