#include "platform/KestrinDriversUninstaller.h"

#include "core/GlobalLogger.h"
#include "platform/KestrinDriversHelper.h"

#include <QCoreApplication>
#include <QTimer>

namespace Platform {

namespace {

constexpr char RemovalOption[] = "--remove-kestrin-drivers";

bool IsEndState(IKestrinDriversUninstaller::Status status)
{
    switch (status) {
    case IKestrinDriversUninstaller::Done:
    case IKestrinDriversUninstaller::DeviceConnected:
    case IKestrinDriversUninstaller::NoElevation:
    case IKestrinDriversUninstaller::Failed: return true;
    case IKestrinDriversUninstaller::Idle:
    case IKestrinDriversUninstaller::Running: break;
    }
    return false;
}

} // namespace

KestrinDriversUninstaller::KestrinDriversUninstaller(Options options, QObject* parent)
    : IKestrinDriversUninstaller(parent)
    , m_options(std::move(options))
    , m_pollTimer(new QTimer(this))
{
    if (!m_options.isAnyKestrinConnected)
        m_options.isAnyKestrinConnected = KestrinDriversHelper::IsAnyKestrinConnected;
    m_pollTimer->setInterval(PollIntervalMs);
    connect(m_pollTimer, &QTimer::timeout, this, &KestrinDriversUninstaller::pollStatus);
}

KestrinDriversUninstaller::~KestrinDriversUninstaller()
{
    if (m_worker.joinable())
        m_worker.join();
}

void KestrinDriversUninstaller::start()
{
    if (m_status == Running)
        return;
    GlobalLogger::Instance()->message(QtDebugMsg, "Uninstalling Kestrin drivers...");
    // Nothing is removed while a device of the family is attached; no second run is started.
    if (m_options.isAnyKestrinConnected()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Kestrin is still connected.");
        setStatus(DeviceConnected);
        return;
    }

    setStatus(Running);
    if (m_worker.joinable())
        m_worker.join(); // the run before this one, already ended
    setThreadStatus(Running);
    const QString program = m_options.program.isEmpty() ? QCoreApplication::applicationFilePath() : m_options.program;
    m_worker = std::thread([this, program] { work(program); });
    m_pollTimer->start();
}

void KestrinDriversUninstaller::setStatus(Status status)
{
    if (status == m_status)
        return;
    m_status = status;
    emit sigStatusChanged();
}

void KestrinDriversUninstaller::setThreadStatus(Status status)
{
    Utils::SpinGuard guard(m_spinLock);
    m_threadStatus = status;
}

void KestrinDriversUninstaller::pollStatus()
{
    Status status;
    {
        Utils::SpinGuard guard(m_spinLock);
        status = m_threadStatus;
    }

    if (IsEndState(status))
        m_pollTimer->stop();
    setStatus(status);
}

void KestrinDriversUninstaller::work(const QString& program)
{
    GlobalLogger::Instance()->message(QtDebugMsg, "Starting uninstaller in admin mode...");
    const std::unique_ptr<IDriversRemovalProcess> process = m_options.createProcess();
    if (!process || !process->start(program, {QString::fromLatin1(RemovalOption)})) {
        GlobalLogger::Instance()->message(QtDebugMsg, "Failed to run in admin mode.");
        setThreadStatus(NoElevation);
        return;
    }
    if (!process->waitForEnd(m_options.waitMs)) {
        GlobalLogger::Instance()->message(QtDebugMsg, "Failed waiting the uninstaller process.");
        setThreadStatus(Failed);
        return;
    }
    int code = 0;
    if (!process->exitCode(code)) {
        GlobalLogger::Instance()->message(QtDebugMsg, "Failed getting error code.");
        setThreadStatus(Failed);
        return;
    }
    GlobalLogger::Instance()->message(QtDebugMsg, "Error code is %d.", code);
    switch (code) {
    case KestrinDriversHelper::Removed: setThreadStatus(Done); break;
    case KestrinDriversHelper::DeviceConnected: setThreadStatus(DeviceConnected); break;
    default: setThreadStatus(Failed); break;
    }
}

} // namespace Platform
