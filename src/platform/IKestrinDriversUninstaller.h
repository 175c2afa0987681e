#pragma once

#include <QObject>

#include <cstdint>
#include <memory>

namespace Platform {

// Removes the old device drivers of the headset family through an elevated second run of the
// program ("--remove-kestrin-drivers"), reporting how it went. GUI thread only; the status signal
// is emitted there.
class IKestrinDriversUninstaller : public QObject {
    Q_OBJECT

public:
    enum Status : int32_t {
        Idle = 0, // not started
        Running = 1,
        Done = 2,            // removed
        DeviceConnected = 3, // a headset or dongle of the family is attached
        NoElevation = 4,     // the elevated run did not start
        Failed = 5,          // anything else, or no answer in time
    };

    using QObject::QObject;
    ~IKestrinDriversUninstaller() override = default;

    virtual Status getStatus() const = 0;
    // Starts a removal; ignored while one runs. May be called again after an end state.
    virtual void start() = 0;

    // Whether this platform has drivers of the family to remove.
    static bool IsSupported();

signals:
    void sigStatusChanged();
};

// The uninstaller of this platform.
std::unique_ptr<IKestrinDriversUninstaller> CreateKestrinDriversUninstaller();

} // namespace Platform
