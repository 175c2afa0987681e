#pragma once

#include <QObject>

class QSocketNotifier;

namespace Platform {

// Ends the event loop when the process is asked to stop (log-out, Ctrl+C in a terminal, kill),
// so the run closes as after a normal quit: its log is flushed and the single-instance marker and
// channel are released. Without it these requests end the process on the spot.
//
// One object at a time; it restores the default actions when destroyed. Needs the application
// object.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    // Emitted on the GUI thread before the event loop is asked to end.
    void terminationRequested(int signalNumber);

private:
    void onSignal();

    QSocketNotifier* m_notifier = nullptr; // child
};

} // namespace Platform
