#pragma once

#include <QObject>

namespace Devices {

// The pair every holder of the current device announces: deviceLost() while the old device can
// still be read, deviceReady() once the new one is in place.
class DeviceSignals : public QObject {
    Q_OBJECT
public:
    explicit DeviceSignals(QObject* parent = nullptr)
        : QObject(parent)
    {
    }

signals:
    void deviceReady();
    void deviceLost();
};

} // namespace Devices
