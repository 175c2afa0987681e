#include "devices/IDeviceImpl.h"

#include <atomic>

namespace Devices {

uint64_t InstanceId::Create()
{
    static std::atomic<uint64_t> next_id{0};
    return next_id.fetch_add(1, std::memory_order_relaxed) + 1;
}

IDeviceImpl::~IDeviceImpl() = default;

} // namespace Devices
