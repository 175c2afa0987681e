#pragma once

#include "core/DeviceType.h"
#include "platform/IKestrinDfuLibrary.h"
#include "platform/IKestrinFwUpdater.h"
#include "utils/SpinLock.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

class QTimer;

namespace Platform {

// The waits of an update. The defaults are what the devices need; tests shorten them.
struct KestrinFwUpdaterTimings {
    int pollMs = 200;
    int setupDelayMs = 1000;          // after the connection opened, before the set-up calls
    int transferDelayMs = 1000;       // after the set-up calls, before the transfer
    int factoryResetSettleMs = 15000; // after the factory reset of the noise-cancelling model
    int ancReadyWaitMs = 25000;       // the noise-cancelling headset restarting after an update
    int watchdogMs = 20000;           // no callback for this long ends the update
};

// The update state machine over the chip vendor's library. The library calls back on a thread of
// its own; the callback only writes the thread-side status and progress under a one-byte spin
// lock, and a 200 ms timer on the GUI thread copies them to the status the GUI sees and emits the
// signals. Only one updater may live at a time (the library's callback has no context pointer).
//
// start() checks the device (type, battery), switches its motion sensors off, factory-resets the
// noise-cancelling model first, stops the hardware bus (closing the device, which the library
// opens itself), then opens the library and drives it; every update that got that far ends with
// the library closed and the bus running again.
class KestrinFwUpdater : public IKestrinFwUpdater {
    Q_OBJECT

public:
    // 0: the connected device itself; 1: the headset behind the connected dongle.
    enum CmdRecipient : uint32_t { RecipientDevice = 0, RecipientRemote = 1 };

    using Timings = KestrinFwUpdaterTimings;

    static constexpr int MinBatteryLevel = 20;

    KestrinFwUpdater(QString fwPath, IHwBus& bus, std::unique_ptr<IKestrinDfuLibrary> library,
                     const Timings& timings = Timings());
    ~KestrinFwUpdater() override;

    Status getStatus(StatusParams* params) const override;
    bool start(const std::shared_ptr<Devices::IDeviceImpl>& device, bool viaDongle) override;

    // 0.01 .. 0.95 for a transfer percentage; 0.97 and 1.0 are kept for the end.
    static float GenerateProgress(int percent);

protected:
    // Makes the image reachable through an 8-bit path for the library (setLocalImagePath).
    virtual bool prepareLocalFile(const QString& fwPath) = 0;
    void setLocalImagePath(const QByteArray& path) { m_localImagePath = path; }
    // Gives up the live updater's place, stops polling and closes the library; idempotent.
    void shutDown();

private:
    void startUpdatingFw(uint16_t vid, uint16_t pid, CmdRecipient recipient);
    void runSetupCalls(CmdRecipient recipient);
    void pollStatus();
    // Stops polling, closes the library and runs the bus again.
    void finishUpdate();
    void closeLibrary();

    static void UpdateResultCallback(uint32_t type, uint32_t msgId, const char* msg);
    void onUpdateResult(uint32_t type, uint32_t msgId, const char* msg);

    // Thread-side state, each under the spin lock.
    void setThreadStatus(Status status);
    void setThreadStatusProbablyFailed();
    void setThreadStatusParams(float progress);
    void restartElapsedTimer();
    Status threadStatus() const;

    static void Lock();
    static void Unlock();

    QByteArray m_localImagePath;
    QByteArray m_deviceName;
    const QString m_fwPath;
    IHwBus& m_bus;
    std::unique_ptr<IKestrinDfuLibrary> m_library;
    const Timings m_timings;
    QTimer* m_pollTimer;
    Status m_status = Idle;
    float m_progress = 0.0f;
    DeviceType m_deviceType = DeviceType::none;
    std::unique_ptr<QElapsedTimer> m_watchdog;
    Status m_threadStatus = Idle;
    float m_threadProgress = 0.0f;
    bool m_progressPending = false;
    bool m_dongle = false;
    bool m_libraryUsed = false; // the library was opened (or tried) and not closed yet

    static KestrinFwUpdater* g_current;
    static std::atomic<uint32_t> g_target;
    static Utils::SpinLock g_spin_lock;
};

// The updater with a local copy of the image: the library takes only 8-bit paths, so an image
// whose path is not plain ASCII is copied to `commonDataFolder`/<organisation>/<application> and
// the copy is removed, with its folders when they are left empty, when the updater is deleted.
class DesktopKestrinFwUpdater final : public KestrinFwUpdater {
    Q_OBJECT

public:
    DesktopKestrinFwUpdater(QString fwPath, IHwBus& bus, std::unique_ptr<IKestrinDfuLibrary> library,
                            QString commonDataFolder, const Timings& timings = Timings());
    ~DesktopKestrinFwUpdater() override;

protected:
    bool prepareLocalFile(const QString& fwPath) override;

private:
    const QString m_commonDataFolder;
    QString m_localCopy;
};

} // namespace Platform
