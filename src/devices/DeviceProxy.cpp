#include "devices/DeviceProxy.h"

#include "devices/NullDeviceImpl.h"

namespace Devices {

DeviceProxy::DeviceProxy()
{
    setDevice(NullDeviceImpl::GetSharedInstance());
}

bool DeviceProxy::setDevice(const SharedDeviceImpl& device)
{
    if (!device)
        return false;
    if (m_device && m_device->getInstanceId() == device->getInstanceId())
        return true;

    emit deviceLost();
    m_device = device;
    if (device->getInstanceId() != NullDeviceImpl::GetSharedInstance()->getInstanceId())
        emit deviceReady();
    return true;
}

bool DeviceProxy::resetImpl()
{
    return setDevice(NullDeviceImpl::GetSharedInstance());
}

uint64_t DeviceProxy::getInstanceId() const
{
    return m_device->getInstanceId();
}

DeviceType DeviceProxy::getDeviceType() const
{
    return m_device->getDeviceType();
}

DeviceCategory DeviceProxy::getCategory() const
{
    return m_device->getCategory();
}

} // namespace Devices
