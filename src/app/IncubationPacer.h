#pragma once

#include <QObject>
#include <QQmlIncubationController>

// Builds QML objects that are created asynchronously (the screens of the main window) in short
// slices, each in an event-loop turn of its own: between two slices the window draws, takes input
// and keeps its timers. The window's own controller gives a slice a third of a frame and waits as
// long again, and on the software renderer a slice and a frame together then come close to a
// whole frame; these slices are short enough that they never do. At start-up it holds the
// building back until the window's first frame is on screen (the application's first-frame
// event), so that no slice delays that frame.
class IncubationPacer final : public QObject, public QQmlIncubationController {
public:
    static constexpr int SliceMs = 4;

    explicit IncubationPacer(QObject* parent = nullptr);

    // Takes over the engine's asynchronous building, including whatever is already under way.
    void install(QQmlEngine& engine);

    // Builds nothing from now until release().
    void hold();
    void release();

protected:
    void incubatingObjectCountChanged(int count) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void schedule();

    int m_timerId = 0;
    bool m_held = false;
};
