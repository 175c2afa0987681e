#pragma once

#include <memory>
#include <optional>

class QAbstractNativeEventFilter;

namespace Platform {

// The few operating-system calls behind the application extensions, apart so that the
// extensions' own rules (read once, count nested requests, install once) hold on every platform
// and can be tested with a scripted stand-in.
class ISystemServices {
public:
    virtual ~ISystemServices() = default;

    // The desktop's setting for window animations; empty when it cannot be read.
    virtual std::optional<bool> readAnimationsEnabled() = 0;
    // Asks the system to stay awake (true) or lets it sleep again when idle (false).
    virtual void keepSystemAwake(bool on) = 0;
    // The filter that lets the application draw its own window frame; null where the platform
    // has no native frame to adjust.
    virtual std::unique_ptr<QAbstractNativeEventFilter> createNativeEventFilter() = 0;
};

// The services of the platform the program runs on.
std::unique_ptr<ISystemServices> CreateSystemServices();

} // namespace Platform
