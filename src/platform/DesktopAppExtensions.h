#pragma once

#include "platform/AppExtensions.h"
#include "platform/SystemServices.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QPointer>

#include <memory>
#include <optional>

namespace Platform {

// The application extensions over the operating system's services.
class DesktopAppExtensions : public AppExtensions {
    Q_OBJECT

public:
    explicit DesktopAppExtensions(std::unique_ptr<ISystemServices> services, const QString& key = ExtensionsKey(),
                                  QObject* parent = nullptr);
    ~DesktopAppExtensions() override;

    // The desktop's setting as it was at the first call; true when it could not be read.
    bool areAnimationsEnabled() const override;
    // Only the outermost begin and end reach the system.
    void beginActivity() override;
    void endActivity() override;
    void decorateNativeWindow(QCoreApplication* app) override;

private:
    std::unique_ptr<ISystemServices> m_services;
    mutable std::optional<bool> m_animationsEnabled; // empty until first asked
    bool m_decorated = false;
    std::unique_ptr<QAbstractNativeEventFilter> m_filter; // null until decorated, or for good
    QPointer<QCoreApplication> m_decoratedApp;            // where the filter is installed
    quint32 m_activities = 0;
};

} // namespace Platform
