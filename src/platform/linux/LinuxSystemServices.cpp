#include "platform/linux/LinuxSystemServices.h"

#include "app/core/GlobalLogger.h"

#include <QAbstractNativeEventFilter>

namespace Platform {

std::optional<bool> LinuxSystemServices::readAnimationsEnabled()
{
    // No setting common to the desktops here says whether windows animate: nothing was read.
    return std::nullopt;
}

void LinuxSystemServices::keepSystemAwake(bool on)
{
    if (on) {
        GlobalLogger::Instance()->message(QtDebugMsg,
            "Keeping the system awake is not available here; a long activity relies on the "
            "system's own power settings.");
    }
}

std::unique_ptr<QAbstractNativeEventFilter> LinuxSystemServices::createNativeEventFilter()
{
    return nullptr;
}

std::unique_ptr<ISystemServices> CreateSystemServices()
{
    return std::make_unique<LinuxSystemServices>();
}

} // namespace Platform
