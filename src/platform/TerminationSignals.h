#pragma once

#include <QObject>

class QSocketNotifier;

namespace Platform {

// Turns the requests to stop the process (log-out, Ctrl+C in a terminal, kill) into a signal on
// the GUI thread, so that the run can end as after a normal quit: its log flushed and the
// single-instance marker and channel released. Without it these requests end the process on the
// spot.
//
// One object at a time; it restores the default actions when destroyed. Needs the application
// object.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

signals:
    // Emitted on the GUI thread, once per request.
    void terminationRequested(int signalNumber);

private:
    void onSignal();

    QSocketNotifier* m_notifier = nullptr; // child
};

} // namespace Platform
