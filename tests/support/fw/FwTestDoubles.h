#pragma once

#include "platform/IHwBus.h"
#include "platform/IKestrinDriversUninstaller.h"
#include "platform/IKestrinFwUpdater.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

namespace TestSupport {

// A hardware bus that only records what is asked of it ("runBus", "stopBus close", "stopBus keep",
// "tryPairKestrinDongle"). A stop takes effect at once unless holdStops is set, as when a probe
// holds the bus; releaseStops then lets the held ones take effect.
class RecordingHwBus final : public Platform::IHwBus {
    Q_OBJECT
public:
    using IHwBus::IHwBus;
    void runBus() override { calls << QStringLiteral("runBus"); }
    void stopBus(bool closeDevices) override
    {
        calls << (closeDevices ? QStringLiteral("stopBus close") : QStringLiteral("stopBus keep"));
        if (holdStops)
            heldStops << closeDevices;
        else
            emit busStopped(closeDevices);
    }
    void releaseStops()
    {
        holdStops = false;
        const QList<bool> held = std::exchange(heldStops, {});
        for (bool closeDevices : held)
            emit busStopped(closeDevices);
    }
    void tryPairKestrinDongle() override { calls << QStringLiteral("tryPairKestrinDongle"); }

    QStringList calls;
    bool holdStops = false;
    QList<bool> heldStops;
};

// A firmware updater whose status the test sets. It tells its signals as the real one does.
class ScriptedFwUpdater final : public Platform::IKestrinFwUpdater {
    Q_OBJECT
public:
    explicit ScriptedFwUpdater(QString fwPath, Status initial = Idle, bool startResult = true);

    Status getStatus(StatusParams* params) const override;
    bool start(const std::shared_ptr<Devices::IDeviceImpl>& device, bool viaDongle) override;

    // Sets the status and emits sigStatusChanged (last: the owner may drop the updater then).
    void setStatus(Status status);
    // Sets the progress and emits sigProgressChanged.
    void setProgress(float progress);

    const QString fwPath;
    bool startResult;
    int starts = 0;
    bool startedViaDongle = false;
    std::shared_ptr<Devices::IDeviceImpl> startedDevice;

private:
    Status m_status;
    float m_progress = 0.0f;
};

// Makes the scripted updaters for a mediator and keeps track of the last one.
class ScriptedFwUpdaterFactory {
public:
    std::unique_ptr<Platform::IKestrinFwUpdater> create(const QString& fwPath, Platform::IHwBus& bus);

    Platform::IKestrinFwUpdater::Status initialStatus = Platform::IKestrinFwUpdater::Idle;
    bool startResult = true;
    int created = 0;
    QString lastPath;
    Platform::IHwBus* lastBus = nullptr;
    QPointer<ScriptedFwUpdater> last; // null once the owner deleted it
};

// A driver uninstaller whose run the test ends.
class ScriptedDriversUninstaller final : public Platform::IKestrinDriversUninstaller {
    Q_OBJECT
public:
    Status getStatus() const override { return m_status; }
    // Running, unless a run is under way (then nothing).
    void start() override;
    // Ends the run (or sets any status) and emits sigStatusChanged when it changed.
    void setStatus(Status status);

    int starts = 0;

private:
    Status m_status = Idle;
};

} // namespace TestSupport
