#include "devices/KestrinFwOnlyDeviceImpl.h"

#include "devices/KestrinTransport.h"
#include "io/KestrinHidApiClient.h"

namespace Devices {

KestrinFwOnlyDeviceImpl::KestrinFwOnlyDeviceImpl(Platform::KestrinHidApiClient& client, uint16_t vid, uint16_t pid,
                                                 DeviceType type, KestrinHwType hwType, bool dongle)
    : m_client(client)
    , m_transport(std::make_unique<KestrinTransport>(client))
    , m_vid(vid)
    , m_pid(pid)
    , m_type(type)
    , m_hwType(hwType)
    , m_dongle(dongle)
{
    if (!m_client.hasDevice())
        return;
    // Two answers in a row: one lucky reply from a device in a bad state is not enough to offer
    // it a firmware update.
    QString version;
    m_valid = m_transport->readFwVersion(version, dongle) && m_transport->readFwVersion(version, dongle);
    m_fwVersion = version;
}

KestrinFwOnlyDeviceImpl::~KestrinFwOnlyDeviceImpl() = default;

bool KestrinFwOnlyDeviceImpl::getVidPid(uint16_t& vid, uint16_t& pid) const
{
    vid = m_vid;
    pid = m_pid;
    return true;
}

bool KestrinFwOnlyDeviceImpl::loadFwVersion(QString& version)
{
    if (!m_valid || m_dongle)
        return false;
    version = m_fwVersion;
    return true;
}

bool KestrinFwOnlyDeviceImpl::loadDongleFwVersion(QString& version)
{
    if (!m_valid || !m_dongle)
        return false;
    version = m_fwVersion;
    return true;
}

bool KestrinFwOnlyDeviceImpl::factoryReset()
{
    // Sent whatever the version reads gave: a reset may be what brings the device back.
    return m_transport->factoryReset();
}

} // namespace Devices
