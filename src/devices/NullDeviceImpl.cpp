#include "devices/NullDeviceImpl.h"

namespace Devices {

const SharedDeviceImpl& NullDeviceImpl::GetSharedInstance()
{
    static const SharedDeviceImpl shared_null_impl = std::make_shared<NullDeviceImpl>();
    return shared_null_impl;
}

} // namespace Devices
