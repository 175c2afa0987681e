#include "devices/SolvarineDeviceImpl.h"

#include "devices/SolvarineTransport.h"
#include "utils/SpinLock.h"

#include <cstdint>

namespace Devices {

class SolvarineDeviceImpl::Impl {
public:
    explicit Impl(Platform::ISolvarineSerialPortClient& client)
        : client(client)
        , transport(std::make_unique<SolvarineTransport>(client))
    {
        // Filled before the device is handed to anyone, so without the lock.
        valid = init();
    }

    // The bootloader dialogue, then the description read.
    bool init()
    {
        bool alreadyInBootloader = false;
        return transport->resetToBootloader(alreadyInBootloader) && transport->readFwDescription(fwDescription);
    }

    bool loadFwVersion(QString& version)
    {
        if (!valid)
            return false;
        Utils::SpinGuard guard(lock);
        version = fwDescription;
        return true;
    }

    Platform::ISolvarineSerialPortClient& client;
    std::unique_ptr<SolvarineTransport> transport;
    Utils::SpinLock lock; // guards fwDescription
    bool valid = false;
    QString fwDescription;
};

SolvarineDeviceImpl::SolvarineDeviceImpl(Platform::ISolvarineSerialPortClient& client)
    : m_impl(std::make_unique<Impl>(client))
{
}

SolvarineDeviceImpl::~SolvarineDeviceImpl() = default;

bool SolvarineDeviceImpl::isValid() const
{
    return m_impl->valid;
}

bool SolvarineDeviceImpl::loadFwVersion(QString& version)
{
    return m_impl->loadFwVersion(version);
}

} // namespace Devices
