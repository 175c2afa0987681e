#include "platform/IHwBus.h"

#include "platform/HidHwBus.h"

namespace Platform {

std::unique_ptr<IHwBus> CreateHardwareBus()
{
    return std::make_unique<HidHwBus>();
}

} // namespace Platform
