#pragma once

#include <QObject>

#include <memory>

namespace Platform {

// Whether the desktop composites the application's window: only then do the window's
// transparent parts show what lies below it. Without a compositor (an X11 desktop with no
// compositing manager) they are drawn black, so the window gives up its rounded corners.
//
// This base is the answer of a platform that always composites (Windows, macOS, Wayland) or
// shows transparency anyway (the off-screen platform): composited, for good. A platform that can
// lose its compositor derives from it and reports each change.
class WindowCompositing : public QObject {
    Q_OBJECT

public:
    explicit WindowCompositing(QObject* parent = nullptr);
    ~WindowCompositing() override;

    bool isComposited() const { return m_composited; }

signals:
    void compositedChanged(bool composited);

protected:
    // Emits compositedChanged() when the value changes.
    void setComposited(bool composited);

private:
    bool m_composited = true;
};

// The check of the platform the application runs on (Qt's platform plugin); needs the
// QGuiApplication.
std::unique_ptr<WindowCompositing> CreateWindowCompositing();

} // namespace Platform
