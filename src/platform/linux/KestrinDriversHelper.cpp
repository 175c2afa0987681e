#include "platform/KestrinDriversHelper.h"

#include "app/core/GlobalLogger.h"

namespace Platform {

int KestrinDriversHelper::UninstallKestrinDrivers()
{
    // This system binds the headset to its generic HID driver; there is no driver of ours to
    // remove, so the run reports that it did nothing rather than success.
    GlobalLogger::Instance()->message(
        QtWarningMsg, "Driver removal is not available on this system; nothing was removed.");
    return OtherFailure;
}

} // namespace Platform
