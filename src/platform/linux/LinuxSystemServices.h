#pragma once

#include "platform/SystemServices.h"

#include <QDBusUnixFileDescriptor>

namespace Platform {

// The services over the freedesktop D-Bus interfaces that Linux desktops offer:
// - the animation setting through the desktop portal's settings (GNOME's "enable-animations");
// - staying awake through a systemd-logind inhibitor lock, held as long as its descriptor is
//   open;
// - the window frame needs no native help here.
// Where a service is missing (no portal, no logind in a container), the log says so once and the
// nearest default holds: animations on, the system's own power settings.
class LinuxSystemServices : public ISystemServices {
public:
    std::optional<bool> readAnimationsEnabled() override;
    void keepSystemAwake(bool on) override;
    std::unique_ptr<QAbstractNativeEventFilter> createNativeEventFilter() override;

private:
    QDBusUnixFileDescriptor m_inhibitor; // valid while the system is kept awake
};

} // namespace Platform
