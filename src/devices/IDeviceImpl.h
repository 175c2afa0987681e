#pragma once

#include "core/DeviceType.h"

#include <cstdint>
#include <memory>

namespace Devices {

class IKestrinDeviceMain;
class ISolvarineDeviceMain;

// What stands behind a device: nothing, the simulated headset or real hardware. The numbers are
// the ones the UI models use for their Category (Stub, Software, Hardware).
enum class DeviceCategory : uint8_t {
    Stub = 0,
    Software = 1,
    Hardware = 2,
};

// Process-unique device ids. Devices are built on the bus worker as well as on the GUI thread;
// the first id handed out is 1 and no id is ever reused, so identity is decided by id, not by
// pointer.
class InstanceId {
public:
    static uint64_t Create();
};

// Any device the program can talk to. Always held through SharedDeviceImpl.
class IDeviceImpl {
public:
    IDeviceImpl()
        : m_instanceId(InstanceId::Create())
    {
    }
    virtual ~IDeviceImpl() = 0;
    IDeviceImpl(const IDeviceImpl&) = delete;
    IDeviceImpl& operator=(const IDeviceImpl&) = delete;

    virtual uint64_t getInstanceId() const { return m_instanceId; }
    virtual bool isValid() const { return false; }
    virtual DeviceCategory getCategory() const = 0;
    virtual DeviceType getDeviceType() const = 0;
    // The headset operations, when the device is a headset.
    virtual IKestrinDeviceMain* getKestrinDevice() { return nullptr; }
    // The serial-port device's operations, when the device is one.
    virtual ISolvarineDeviceMain* getSolvarineDevice() { return nullptr; }

private:
    const uint64_t m_instanceId;
};

using SharedDeviceImpl = std::shared_ptr<IDeviceImpl>;

} // namespace Devices
