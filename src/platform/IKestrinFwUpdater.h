#pragma once

#include "devices/IDeviceImpl.h"

#include <QObject>
#include <QString>

#include <memory>

namespace Platform {

class IHwBus;

// One firmware update of a headset or a dongle of the headset family. The owner creates it with
// the image, connects the two signals, calls start() and deletes it once the status is Succeeded
// or Failed. Everything happens on the GUI thread; the signals are emitted there.
class IKestrinFwUpdater : public QObject {
    Q_OBJECT

public:
    enum Status : int32_t {
        Idle = 0, // ready to start (or refused)
        Transferring = 1,
        Applying = 2,
        Succeeded = 3,
        Failed = 4, // also from the start when the image is missing or another update runs
    };
    struct StatusParams {
        float progress = 0.0f; // 0..1
    };

    using QObject::QObject;
    ~IKestrinFwUpdater() override = default;

    // The status; the progress through `params` when it is not null.
    virtual Status getStatus(StatusParams* params) const = 0;
    // Starts updating `device` (the headset behind a dongle when `viaDongle`); false when refused,
    // with nothing changed.
    virtual bool start(const std::shared_ptr<Devices::IDeviceImpl>& device, bool viaDongle) = 0;

signals:
    void sigStatusChanged();
    void sigProgressChanged();
};

// Whether this system can install firmware at all (the chip vendor's update library is there);
// checking for firmware and caching it do not depend on it.
bool IsKestrinFwInstallSupported();

// The updater of this platform for the image at `fwPath`, stopping and restarting `bus` around
// the update.
std::unique_ptr<IKestrinFwUpdater> CreateKestrinFwUpdater(const QString& fwPath, IHwBus& bus);

} // namespace Platform
