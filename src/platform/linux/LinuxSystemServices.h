#pragma once

#include "platform/SystemServices.h"

namespace Platform {

// What this desktop offers of the services: animations stay on (there is no common setting to
// read), keeping the system awake is not available, and the window frame needs no native help.
class LinuxSystemServices : public ISystemServices {
public:
    std::optional<bool> readAnimationsEnabled() override;
    void keepSystemAwake(bool on) override;
    std::unique_ptr<QAbstractNativeEventFilter> createNativeEventFilter() override;
};

} // namespace Platform
