#pragma once

#include <QStringList>

namespace TestSupport {

// The installers that the application has started, in order (InstallerDesktop.cpp, linked in
// place of the platform's installer service).
QStringList& StartedInstallers();

} // namespace TestSupport
