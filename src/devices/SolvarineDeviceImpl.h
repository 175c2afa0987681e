#pragma once

#include "devices/IDeviceImpl.h"
#include "devices/ISolvarineDeviceMain.h"

#include <memory>

namespace Platform {
class ISolvarineSerialPortClient;
}

namespace Devices {

// The serial device. Construction switches the unit into its bootloader and reads the
// description of its firmware, which is all the application shows of it; after that there is no
// traffic with the unit. Construction blocks the calling thread for the whole dialogue (2.3 s or
// more when the unit restarts); the device is valid only when both steps succeeded.
class SolvarineDeviceImpl final : public IDeviceImpl, public ISolvarineDeviceMain {
public:
    explicit SolvarineDeviceImpl(Platform::ISolvarineSerialPortClient& client);
    ~SolvarineDeviceImpl() override;

    bool isValid() const override;
    DeviceCategory getCategory() const override { return DeviceCategory::Hardware; }
    DeviceType getDeviceType() const override { return DeviceType::solvarine; }
    ISolvarineDeviceMain* getSolvarineDevice() override { return this; }

    // The firmware description read at construction; false (and `version` untouched) on a device
    // that is not valid. No device traffic; callable from any thread.
    bool loadFwVersion(QString& version) override;

private:
    class Impl;
    const std::unique_ptr<Impl> m_impl;
};

} // namespace Devices
