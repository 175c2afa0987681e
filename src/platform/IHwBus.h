#pragma once

#include "devices/IDeviceImpl.h"

#include <QObject>

#include <memory>

namespace Platform {

// Finds the devices the application can drive and announces them. The signals are emitted on
// the bus's worker thread (or on the thread that started or stopped the bus); receivers connect
// them queued, which needs the metatype "Devices::SharedDeviceImpl".
class IHwBus : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~IHwBus() override = default;

    // Starts probing: one probe at once, then one every second. The probes may run on a thread of
    // the bus's own; firstProbeDone tells when the first one has finished.
    virtual void runBus() = 0;
    // Stops probing; with closeDevices the devices found are closed and announced as removed.
    virtual void stopBus(bool closeDevices) = 0;
    // Pairs the dongle with its headset (only while a firmware-only dongle is held).
    virtual void tryPairKestrinDongle() = 0;

signals:
    void deviceArrived(Devices::SharedDeviceImpl device);
    void deviceRemoved(Devices::SharedDeviceImpl device);
    // The first probe after runBus has finished; the devices it found were announced before it,
    // so a receiver connected queued has handled their arrival when this reaches it.
    void firstProbeDone();
    // A stopBus has taken effect: no probe runs any more and, with devicesClosed, the devices are
    // closed. A probe that holds the bus when stopBus is called delays this until it ends.
    void busStopped(bool devicesClosed);
    // A device answered and its set-up begins (a dozen paced exchanges for a headset, seconds
    // for the serial-port device): the window may build the device's screen meanwhile. Then
    // comes deviceArrived, or deviceSetUpFailed. A device whose set-up failed is not announced
    // again while it stays plugged in.
    void deviceSetUpStarted(DeviceType type);
    void deviceSetUpFailed(DeviceType type);
    // Declared for platforms that ask the user for device access; never emitted here.
    void notPermitted();
};

// The bus of this platform: headsets and dongles found through hidapi (HidHwBus).
std::unique_ptr<IHwBus> CreateHardwareBus();

} // namespace Platform
