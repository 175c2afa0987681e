#include "platform/PlatformFactories.h"

#include "platform/DesktopAppExtensions.h"
#include "platform/SystemServices.h"

namespace Platform {

std::unique_ptr<Launcher> CreatePlatformLauncher()
{
    return std::make_unique<Launcher>();
}

std::unique_ptr<AppExtensions> CreateAppExtensions()
{
    return std::make_unique<DesktopAppExtensions>(CreateSystemServices());
}

} // namespace Platform
