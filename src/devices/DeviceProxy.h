#pragma once

#include "devices/DeviceSignals.h"
#include "devices/IDeviceImpl.h"

namespace Devices {

// Holds the one current device (the shared null device when there is none) and announces its
// changes. Used on the GUI thread only; listeners are called directly.
class DeviceProxy : public DeviceSignals {
    Q_OBJECT
public:
    DeviceProxy();

    // Makes `device` current. Empty: false, nothing changes. The same device (same id): true,
    // silent. Otherwise deviceLost() while the old device is still held, then the swap, then
    // deviceReady() unless the new device is the null device.
    bool setDevice(const SharedDeviceImpl& device);
    // Back to the null device: deviceLost() only, or nothing when no device is held.
    bool resetImpl();

    SharedDeviceImpl getDevice() const { return m_device; }
    uint64_t getInstanceId() const;
    DeviceType getDeviceType() const;
    DeviceCategory getCategory() const;

private:
    SharedDeviceImpl m_device;
};

} // namespace Devices
