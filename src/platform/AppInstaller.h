#pragma once

#include <QString>

#include <memory>

namespace Platform {

// Starts the application's installer, which the maker publishes for Windows only.
class IAppInstaller {
public:
    virtual ~IAppInstaller() = default;
    // Empty when this system can run the installer; otherwise why it cannot, for the log.
    virtual QString unavailableReason() const = 0;
    // Hands the installer at `path` to the system; false when it was not started.
    virtual bool start(const QString& path) = 0;
};

// The installer service of this system.
std::unique_ptr<IAppInstaller> CreateAppInstaller();

} // namespace Platform
