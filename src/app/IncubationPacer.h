#pragma once

#include <QObject>
#include <QQmlIncubationController>

class QQuickWindow;

// Builds QML objects that are created asynchronously (the screens of the main window) in short
// slices, each in an event-loop turn of its own: between two slices the window draws, takes input
// and keeps its timers. The window's own controller gives a slice a third of a frame and waits as
// long again, and on the software renderer a slice and a frame together then come close to a
// whole frame; these slices are short enough that they never do. At start-up it can hold the
// building back until the window's first frame is on screen, so that no slice delays that frame.
class IncubationPacer final : public QObject, public QQmlIncubationController {
public:
    static constexpr int SliceMs = 4;

    explicit IncubationPacer(QObject* parent = nullptr);

    // Takes over the engine's asynchronous building, including whatever is already under way.
    void install(QQmlEngine& engine);

    // Builds nothing until `window` has swapped its first frame, or until `fallbackMs` have
    // passed (a window that starts hidden draws none).
    void holdUntilFirstFrame(QQuickWindow* window, int fallbackMs = FirstFrameFallbackMs);

    static constexpr int FirstFrameFallbackMs = 3000;

protected:
    void incubatingObjectCountChanged(int count) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void schedule();
    void release();

    int m_timerId = 0;
    bool m_held = false;
};
