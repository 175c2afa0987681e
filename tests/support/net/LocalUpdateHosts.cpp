// Linked into the test programs that run the whole application, ahead of the platform library:
// its update and news requests go to the discard port of the loopback interface, where nothing
// listens, so every request fails at once and no test reaches off the machine.

#include "platform/NetworkUpdater.h"

namespace Platform {

NetworkUpdater::Endpoints NetworkUpdater::Endpoints::Product()
{
    const QString local = QStringLiteral("https://127.0.0.1:9");
    return {local, local, local, local};
}

} // namespace Platform
