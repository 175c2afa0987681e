#pragma once

#include "devices/IDeviceImpl.h"

namespace Devices {

// Stands for "no device". One shared instance serves the whole process; compare a device's id
// with GetSharedInstance()->getInstanceId() to tell whether it is the null device.
class NullDeviceImpl final : public IDeviceImpl {
public:
    static const SharedDeviceImpl& GetSharedInstance();

    NullDeviceImpl() = default;
    DeviceCategory getCategory() const override { return DeviceCategory::Stub; }
    DeviceType getDeviceType() const override { return DeviceType::none; }
};

} // namespace Devices
