#pragma once

#include <QObject>
#include <QQmlIncubationController>

// Builds QML objects that are created asynchronously (the screens of the main window) in
// slices, each in an event-loop turn of its own: between two slices the window draws, takes input
// and keeps its timers. Once the window shows content the slices are short: the window's own
// controller gives a slice a third of a frame and waits as long again, and on the software
// renderer a slice and a frame together then come close to a whole frame; these slices are short
// enough that they never do. Before that the window shows only its background, which nothing can
// make stutter, so the slices are long: the first content is not held up by a frame and an
// event-loop turn for every few milliseconds of building. At start-up it holds the building back
// until the application says so (after the window's first frame), so that no slice delays that
// frame.
class IncubationPacer final : public QObject, public QQmlIncubationController {
public:
    static constexpr int SliceMs = 4;
    // Long enough that the turns between slices cost little, short enough that the window still
    // answers (a close, say) within a few frames.
    static constexpr int LongSliceMs = 50;

    explicit IncubationPacer(QObject* parent = nullptr);

    // Takes over the engine's asynchronous building, including whatever is already under way.
    void install(QQmlEngine& engine);

    // Builds nothing from now until release().
    void hold();
    void release();

    // Long slices while nothing is on view (the start), short ones from then on (never back).
    void setContentShown();
    int sliceMs() const { return m_contentShown ? SliceMs : LongSliceMs; }

protected:
    void incubatingObjectCountChanged(int count) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void schedule();

    int m_timerId = 0;
    bool m_held = false;
    bool m_contentShown = false;
};
