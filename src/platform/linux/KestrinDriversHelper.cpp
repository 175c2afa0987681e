#include "platform/KestrinDriversHelper.h"

#include "core/GlobalLogger.h"
#include "io/HidApiInitializer.h"
#include "io/SupportedVidPids.h"

#include <hidapi.h>

namespace Platform {

bool KestrinDriversHelper::IsAnyKestrinConnected()
{
    HidApiInitializer::Instance();
    hid_device_info* devices = hid_enumerate(SupportedVidPids::KestrinVendorId, 0);
    bool found = false;
    for (const hid_device_info* info = devices; info && !found; info = info->next)
        found = SupportedVidPids::FindKestrinProduct(info->product_id) != nullptr;
    hid_free_enumeration(devices);
    return found;
}

int KestrinDriversHelper::UninstallKestrinDrivers()
{
    // This system binds the headset to its generic HID driver; there is no driver of ours to
    // remove, so the run reports that it did nothing rather than success.
    GlobalLogger::Instance()->message(QtWarningMsg,
                                      "Driver removal is not available on this system; nothing was removed.");
    return OtherFailure;
}

} // namespace Platform
