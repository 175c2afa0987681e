#pragma once

namespace Platform {

class KestrinDriversHelper {
public:
    // The exit codes of the driver-removal run.
    enum Result {
        Removed = 0,         // removed, or nothing to remove
        DeviceConnected = 1, // a headset or dongle of the family is attached; nothing removed
        AccessDenied = 2,    // the system refused a removal
        OtherFailure = 3,
    };

    // True while a headset or dongle of the family is attached.
    static bool IsAnyKestrinConnected();
    // Removes every device node of the headset family; one of the results above.
    static int UninstallKestrinDrivers();
};

} // namespace Platform
