#include "platform/WindowCompositing.h"

namespace Platform {

WindowCompositing::WindowCompositing(QObject* parent)
    : QObject(parent)
{
}

WindowCompositing::~WindowCompositing() = default;

void WindowCompositing::setComposited(bool composited)
{
    if (m_composited == composited)
        return;
    m_composited = composited;
    emit compositedChanged(composited);
}

} // namespace Platform
