#pragma once

#include "devices/IDeviceImpl.h"

#include <QObject>

#include <memory>

namespace Platform {

// Finds the devices the application can drive and announces them. The signals are emitted on
// the bus's worker thread; receivers connect them queued (metatype "Devices::SharedDeviceImpl").
class IHwBus : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~IHwBus() override = default;

    // Starts probing: one probe at once, then periodic ones.
    virtual void runBus() = 0;
    // Stops probing; with closeDevices the devices found are closed and announced as removed.
    virtual void stopBus(bool closeDevices) = 0;
    // Pairs the dongle with its headset (only while a firmware-only dongle is held).
    virtual void tryPairKestrinDongle() = 0;

signals:
    void deviceArrived(Devices::SharedDeviceImpl device);
    void deviceRemoved(Devices::SharedDeviceImpl device);
    void notPermitted();
};

// The bus of this platform. USB device discovery is not available in this build yet: the bus it
// returns finds nothing and says so in the log when started.
std::unique_ptr<IHwBus> CreateHardwareBus();

} // namespace Platform
