#include "platform/NetworkUpdater.h"

namespace Platform {

NetworkUpdater::NetworkUpdater(QObject* parent)
    : QObject(parent)
{
}

} // namespace Platform
