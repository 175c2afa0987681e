#pragma once

#include <QString>

#include <functional>
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
    // Asks the system to stay awake (true) or lets it sleep again when idle (false). Where the
    // system offers no way, it says so in the log and the program goes on.
    virtual void keepSystemAwake(bool on) = 0;
    // The filter that lets the application draw its own window frame; null where the platform
    // has no native frame to adjust.
    virtual std::unique_ptr<QAbstractNativeEventFilter> createNativeEventFilter() = 0;
};

// The services of the platform the program runs on.
std::unique_ptr<ISystemServices> CreateSystemServices();

// Asks the desktop's file manager to show the folder of `filePath` (absolute) with the file
// selected. False when no file manager can be asked at all; otherwise the request is on its way,
// and `unanswered` runs later (on the calling thread) if no file manager takes it.
bool AskFileManagerToShow(const QString& filePath, std::function<void()> unanswered);

} // namespace Platform
