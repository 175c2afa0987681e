#include "platform/DesktopAppExtensions.h"

#include <QCoreApplication>

namespace Platform {

DesktopAppExtensions::DesktopAppExtensions(std::unique_ptr<ISystemServices> services, const QString& key,
                                           QObject* parent)
    : AppExtensions(key, parent)
    , m_services(std::move(services))
{
}

DesktopAppExtensions::~DesktopAppExtensions()
{
    if (m_filter && m_decoratedApp)
        m_decoratedApp->removeNativeEventFilter(m_filter.get());
}

bool DesktopAppExtensions::areAnimationsEnabled() const
{
    // Read at the first question rather than when made: asking the desktop may take a round trip,
    // and a start that only hands over to the running instance never asks.
    if (!m_animationsEnabled)
        m_animationsEnabled = m_services->readAnimationsEnabled().value_or(true);
    return *m_animationsEnabled;
}

void DesktopAppExtensions::beginActivity()
{
    if (m_activities == 0)
        m_services->keepSystemAwake(true);
    ++m_activities;
}

void DesktopAppExtensions::endActivity()
{
    if (m_activities == 0)
        return;
    if (--m_activities == 0)
        m_services->keepSystemAwake(false);
}

void DesktopAppExtensions::decorateNativeWindow(QCoreApplication* app)
{
    if (m_decorated || !app)
        return;
    m_decorated = true;
    m_filter = m_services->createNativeEventFilter();
    if (m_filter) {
        app->installNativeEventFilter(m_filter.get());
        m_decoratedApp = app;
    }
}

} // namespace Platform
