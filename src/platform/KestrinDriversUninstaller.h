#pragma once

#include "platform/IKestrinDriversUninstaller.h"
#include "utils/SpinLock.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

class QTimer;

namespace Platform {

// The second run of the program that removes the drivers, as this platform starts it: elevated
// where the platform has elevation. Used on the uninstaller's worker thread only, one object per
// run.
class IDriversRemovalProcess {
public:
    virtual ~IDriversRemovalProcess() = default;

    // Starts `program` with `arguments`; false when it did not start (the user declined the
    // elevation, the program cannot be run).
    virtual bool start(const QString& program, const QStringList& arguments) = 0;
    // Waits at most `timeoutMs` for the run to end; false on time-out or error.
    virtual bool waitForEnd(int timeoutMs) = 0;
    // The run's exit code; false when it has none (it was killed, it crashed).
    virtual bool exitCode(int& code) = 0;
};

// This platform's way of starting the removal run.
std::unique_ptr<IDriversRemovalProcess> CreateDriversRemovalProcess();

// What the removal flow is built on; the defaults are the program's.
struct KestrinDriversUninstallerOptions {
    static constexpr int DefaultWaitMs = 5 * 60 * 1000;

    std::function<std::unique_ptr<IDriversRemovalProcess>()> createProcess = CreateDriversRemovalProcess;
    std::function<bool()> isAnyKestrinConnected; // null: the family scan of KestrinDriversHelper
    QString program;                             // empty: this program's own executable
    int waitMs = DefaultWaitMs;                  // how long the removal run may take
};

// The removal flow: refuses to start while a headset or dongle of the family is attached, then
// starts the program's own executable with "--remove-kestrin-drivers" on a worker thread, waits
// for it at most five minutes and maps its exit code to the status (0 removed, 1 a device of the
// family is attached, anything else a failure). A GUI-thread timer picks the worker's result up
// every 200 ms and signals it.
class KestrinDriversUninstaller final : public IKestrinDriversUninstaller {
    Q_OBJECT

public:
    using Options = KestrinDriversUninstallerOptions;
    static constexpr int DefaultWaitMs = Options::DefaultWaitMs;
    static constexpr int PollIntervalMs = 200;

    explicit KestrinDriversUninstaller(Options options = Options(), QObject* parent = nullptr);
    // Waits for a run in progress (at most the wait for the removal run).
    ~KestrinDriversUninstaller() override;

    Status getStatus() const override { return m_status; }
    void start() override;

private:
    void setStatus(Status status);
    void setThreadStatus(Status status);
    void pollStatus();
    void work(const QString& program);

    Options m_options;
    QTimer* m_pollTimer;
    std::thread m_worker;
    Utils::SpinLock m_spinLock;
    Status m_status = Idle;       // GUI side
    Status m_threadStatus = Idle; // written by the worker, under the spin lock
};

} // namespace Platform
