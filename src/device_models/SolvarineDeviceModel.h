#pragma once

#include "devices/DeviceSignals.h"
#include "devices/IDeviceImpl.h"

#include <QString>

namespace Devices {
class DeviceProxy;
class ISolvarineDeviceMain;
} // namespace Devices

namespace DeviceModels {

// The model of the serial device: its firmware version text, the only thing the screens show of
// it. It follows the proxy's current device and re-announces deviceReady() only when a serial
// device became current; deviceLost() is passed on for any device. After a loss the last text is
// kept until the next serial device is ready.
//
// GUI thread only.
class SolvarineDeviceModel : public Devices::DeviceSignals {
    Q_OBJECT
public:
    explicit SolvarineDeviceModel(const Devices::DeviceProxy& proxy, QObject* parent = nullptr);
    ~SolvarineDeviceModel() override;

    QString getFwVersion() const { return m_fwVersion; }
    // The current serial device is real hardware.
    bool isHw() const { return m_hw; }
    // Reads the device's firmware version into the stored text (no device traffic).
    void loadData();

public slots:
    void onDeviceReady();
    void onDeviceLost();

private:
    const Devices::DeviceProxy& m_proxy;
    Devices::SharedDeviceImpl m_device;
    Devices::ISolvarineDeviceMain* m_main = nullptr; // part of m_device; null when it has none
    QString m_fwVersion;
    bool m_hw = false;
};

} // namespace DeviceModels
