#include "devices/SolvarineDeviceImpl.h"

#include "devices/SolvarineTransport.h"

#include <atomic>
#include <cstdint>
#include <thread>

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
        while (lock.exchange(1, std::memory_order_acquire) != 0)
            std::this_thread::yield();
        version = fwDescription;
        lock.store(0, std::memory_order_release);
        return true;
    }

    Platform::ISolvarineSerialPortClient& client;
    std::unique_ptr<SolvarineTransport> transport;
    std::atomic<uint8_t> lock{0}; // guards fwDescription
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
