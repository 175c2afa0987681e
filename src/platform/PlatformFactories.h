#pragma once

#include "platform/AppExtensions.h"
#include "platform/Launcher.h"

#include <memory>

// The platform objects behind their interfaces, as the program uses them.
namespace Platform {

std::unique_ptr<Launcher> CreatePlatformLauncher();
std::unique_ptr<AppExtensions> CreateAppExtensions();

} // namespace Platform
