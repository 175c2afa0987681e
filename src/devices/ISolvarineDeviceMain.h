#pragma once

#include <QString>

namespace Devices {

// Operations of the serial-port device.
class ISolvarineDeviceMain {
public:
    virtual ~ISolvarineDeviceMain() = default;
    virtual bool loadFwVersion(QString& version) = 0;
};

} // namespace Devices
