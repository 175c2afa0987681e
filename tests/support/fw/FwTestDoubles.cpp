#include "support/fw/FwTestDoubles.h"

namespace TestSupport {

ScriptedFwUpdater::ScriptedFwUpdater(QString path, Status initial, bool result)
    : fwPath(std::move(path))
    , startResult(result)
    , m_status(initial)
{
}

Platform::IKestrinFwUpdater::Status ScriptedFwUpdater::getStatus(StatusParams* params) const
{
    if (params)
        params->progress = m_progress;
    return m_status;
}

bool ScriptedFwUpdater::start(const std::shared_ptr<Devices::IDeviceImpl>& device, bool viaDongle)
{
    ++starts;
    if (!startResult || m_status != Idle)
        return false;
    startedDevice = device;
    startedViaDongle = viaDongle;
    setStatus(Transferring);
    return true;
}

void ScriptedFwUpdater::setStatus(Status status)
{
    m_status = status;
    emit sigStatusChanged();
}

void ScriptedFwUpdater::setProgress(float progress)
{
    m_progress = progress;
    emit sigProgressChanged();
}

std::unique_ptr<Platform::IKestrinFwUpdater> ScriptedFwUpdaterFactory::create(const QString& fwPath,
                                                                              Platform::IHwBus& bus)
{
    ++created;
    lastPath = fwPath;
    lastBus = &bus;
    auto updater = std::make_unique<ScriptedFwUpdater>(fwPath, initialStatus, startResult);
    last = updater.get();
    return updater;
}

void ScriptedDriversUninstaller::start()
{
    ++starts;
    if (m_status == Running)
        return;
    setStatus(Running);
}

void ScriptedDriversUninstaller::setStatus(Status status)
{
    if (status == m_status)
        return;
    m_status = status;
    emit sigStatusChanged();
}

} // namespace TestSupport
