#include "platform/KestrinFwUpdater.h"

#include "core/GlobalLogger.h"
#include "devices/IKestrinDeviceMain.h"
#include "platform/IHwBus.h"
#include "utils/Utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace Platform {

namespace {

constexpr int EndSleepMs = 100;         // lets the library settle before it is closed or the end is told
constexpr int LibraryBatteryLevel = 20; // what the library is told; the real level was checked before
constexpr int ApplyValue = 20;
constexpr float SetupProgress = 0.006f;
constexpr float AncWaitProgress = 0.97f;

GlobalLogger* Log()
{
    return GlobalLogger::Instance();
}

} // namespace

KestrinFwUpdater* KestrinFwUpdater::g_current = nullptr;
std::atomic<uint32_t> KestrinFwUpdater::g_target{KestrinFwUpdater::RecipientDevice};
Utils::SpinLock KestrinFwUpdater::g_spin_lock;

void KestrinFwUpdater::Lock()
{
    g_spin_lock.lock();
}

void KestrinFwUpdater::Unlock()
{
    g_spin_lock.unlock();
}

KestrinFwUpdater::KestrinFwUpdater(QString fwPath, IHwBus& bus, std::unique_ptr<IKestrinDfuLibrary> library,
                                   const Timings& timings)
    : m_fwPath(std::move(fwPath))
    , m_bus(bus)
    , m_library(std::move(library))
    , m_timings(timings)
    , m_pollTimer(new QTimer(this))
    , m_watchdog(std::make_unique<QElapsedTimer>())
{
    Lock();
    const bool first = g_current == nullptr;
    if (first)
        g_current = this;
    Unlock();

    if (!first) {
        Log()->message(QtWarningMsg, "Another FW update is running.");
        m_status = Failed;
        return;
    }
    if (!QFileInfo(m_fwPath).isFile()) {
        Log()->message(QtCriticalMsg, "FW file %s not found.", qUtf8Printable(m_fwPath));
        m_status = Failed;
        return;
    }
    m_pollTimer->setInterval(m_timings.pollMs);
    connect(m_pollTimer, &QTimer::timeout, this, &KestrinFwUpdater::pollStatus);
}

KestrinFwUpdater::~KestrinFwUpdater()
{
    shutDown();
}

void KestrinFwUpdater::shutDown()
{
    // Only the live updater gives up its place: a refused second one must not free the first's.
    Lock();
    if (g_current == this)
        g_current = nullptr;
    Unlock();
    m_pollTimer->disconnect(this);
    m_pollTimer->stop();
    // An updater deleted during an update must not leave the connection open; closing also ends
    // the library's callbacks, which now find no updater.
    closeLibrary();
}

IKestrinFwUpdater::Status KestrinFwUpdater::getStatus(StatusParams* params) const
{
    if (params)
        params->progress = m_progress;
    return m_status;
}

bool KestrinFwUpdater::start(const std::shared_ptr<Devices::IDeviceImpl>& device, bool viaDongle)
{
    if (m_status != Idle || !device)
        return false;
    if (!m_library || !m_library->isAvailable()) {
        Log()->message(QtWarningMsg, "Firmware update is not available on this system.");
        return false;
    }

    const DeviceType type = device->getDeviceType();
    if (!IsLikeKestrin(type))
        return false;
    Devices::IKestrinDeviceMain* headset = device->getKestrinDevice();
    if (!headset)
        return false;
    m_deviceType = type;
    m_deviceName = Enumer<DeviceType>::NameOrNull(type).toUtf8();
    m_dongle = headset->isDongle();
    const char* name = m_deviceName.constData();

    bool checkBattery = true;
    if (viaDongle) {
        if (!m_dongle || headset->isFwOnly())
            return false;
        Log()->message(QtDebugMsg, "Preparing %s %s FW update...", name, "headset via dongle");
    } else {
        Log()->message(QtDebugMsg, "Preparing %s %s FW update...", name, m_dongle ? "dongle" : "headset");
        checkBattery = !m_dongle; // the dongle runs on the bus power
    }

    if (checkBattery) {
        uint8_t level = 0;
        if (!headset->readBatteryLevel(level) && !headset->readBatteryLevel(level)) {
            Log()->message(QtCriticalMsg, "Failed to read battery level.");
            return false;
        }
        if (level < MinBatteryLevel) {
            Log()->message(QtWarningMsg, "Battery level shold be at least %d%%.", MinBatteryLevel);
            return false;
        }
    }

    Log()->message(QtDebugMsg, "Disabling sensors...");
    headset->setGyroSensorEnabled(false, 1); // best effort: sensor reports only slow the transfer
    uint16_t vid = 0;
    uint16_t pid = 0;
    if (!headset->getVidPid(vid, pid)) {
        Log()->message(QtWarningMsg, "Failed to read the %s USB ids.", name);
        return false;
    }

    // The noise-cancelling headset takes a new image only from its factory state; the dongle's
    // own firmware needs no reset.
    int delayMs = 0;
    const bool dongleItself = m_dongle && !viaDongle;
    if (type == DeviceType::kestrin_2_anc && !dongleItself) {
        m_bus.stopBus(false);
        if (!headset->factoryReset()) {
            Log()->message(QtWarningMsg, "Failed to factory reset.");
            m_bus.runBus();
            return false;
        }
        delayMs = m_timings.factoryResetSettleMs;
    }

    const CmdRecipient recipient = viaDongle ? RecipientRemote : RecipientDevice;
    // The library opens the device itself, so it starts only once the bus has closed it: a probe
    // that holds the bus right now closes it when it ends.
    auto stopped = std::make_shared<QMetaObject::Connection>();
    *stopped = connect(
        &m_bus, &IHwBus::busStopped, this,
        [this, stopped, delayMs, vid, pid, recipient](bool closed) {
            if (!closed)
                return;
            disconnect(*stopped);
            QTimer::singleShot(delayMs, delayMs > 0 ? Qt::CoarseTimer : Qt::PreciseTimer, this,
                               [this, vid, pid, recipient] {
                                   startUpdatingFw(vid, pid, recipient);
                                   restartElapsedTimer();
                                   m_pollTimer->start();
                               });
        },
        Qt::QueuedConnection);
    m_bus.stopBus(true);

    Lock();
    m_threadStatus = Transferring;
    Unlock();
    m_status = Transferring;
    emit sigStatusChanged();
    Log()->message(QtDebugMsg, "Starting %s %s FW update...", name,
                   viaDongle ? "headset via dongle" : (m_dongle ? "dongle" : "headset"));

    return true;
}

void KestrinFwUpdater::startUpdatingFw(uint16_t vid, uint16_t pid, CmdRecipient recipient)
{
    g_target = recipient;
    m_libraryUsed = true; // from here on the update ends with the library closed

    if (!prepareLocalFile(m_fwPath)) {
        Log()->message(QtCriticalMsg, "Failed obtaining local file.");
        setThreadStatus(Failed);
        return;
    }

    const int result = m_library->initialize(vid, pid);
    if (result != 1) {
        Log()->message(QtCriticalMsg, "Connect fail(%d). 0x%04X:0x%04X", result, unsigned(vid), unsigned(pid));
        setThreadStatus(Failed);
        return;
    }

    QTimer::singleShot(m_timings.setupDelayMs, this, [this, recipient] { runSetupCalls(recipient); });
}

void KestrinFwUpdater::runSetupCalls(CmdRecipient recipient)
{
    if (!m_libraryUsed || threadStatus() != Transferring)
        return; // ended meanwhile

    Lock();
    m_threadProgress = SetupProgress;
    m_progressPending = false; // copied here
    Unlock();
    m_progress = SetupProgress;
    emit sigProgressChanged();

    m_library->setTargetDevice(uint8_t(recipient));
    m_library->registerUpdateResultCallback(&KestrinFwUpdater::UpdateResultCallback);
    m_library->requestDfuInfo();
    m_library->setDfuMode(0);
    m_library->setBatteryLevel(LibraryBatteryLevel);
    m_library->setDfuAgentFilepath(m_localImagePath.constData());
    restartElapsedTimer();
    m_library->setPingTimerFlag(0);

    QTimer::singleShot(m_timings.transferDelayMs, this, [this] {
        if (m_libraryUsed && threadStatus() == Transferring)
            m_library->startDataTransfer();
    });
}

void KestrinFwUpdater::closeLibrary()
{
    if (!m_libraryUsed)
        return;
    m_libraryUsed = false;
    m_library->close();
}

void KestrinFwUpdater::finishUpdate()
{
    m_pollTimer->stop();
    QThread::msleep(EndSleepMs);
    closeLibrary();
    m_bus.runBus();
}

// ---- The library's thread ----

void KestrinFwUpdater::UpdateResultCallback(uint32_t type, uint32_t msgId, const char* msg)
{
    Lock();
    KestrinFwUpdater* self = g_current;
    if (self)
        self->m_watchdog->restart();
    Unlock();
    // The updater is gone: its destructor closes the library, which waits for this call to end.
    if (self)
        self->onUpdateResult(type, msgId, msg ? msg : "");
}

void KestrinFwUpdater::onUpdateResult(uint32_t type, uint32_t msgId, const char* msg)
{
    switch (type) {
    case IKestrinDfuLibrary::ResultDone: setThreadStatus(Succeeded); break;
    case IKestrinDfuLibrary::ResultTimeout:
    case IKestrinDfuLibrary::ResultFail:
        Log()->message(QtDebugMsg, "%s, MessageID: %u",
                       type == IKestrinDfuLibrary::ResultTimeout ? "SDK_STATUS_TIMEOUT" : "SDK_STATUS_FAIL", msgId);
        if (g_target != RecipientRemote) {
            Log()->message(QtDebugMsg, "target isn't remote");
            break;
        }
        if (msgId == IKestrinDfuLibrary::MsgIdLinkDisconnected) {
            Log()->message(QtWarningMsg, "Error: SPP is disconnected, please reconnect device with dongle");
            setThreadStatusProbablyFailed();
        }
        break;
    case IKestrinDfuLibrary::ResultLinkLost:
        Log()->message(QtCriticalMsg, "Error: SPP is disconnected, stop DFU.");
        setThreadStatus(Failed);
        break;
    case IKestrinDfuLibrary::ResultReadyToApply:
        m_library->applyNewFirmware(ApplyValue);
        setThreadStatus(Applying);
        Log()->message(QtDebugMsg, "applyNewFirmware...");
        break;
    case IKestrinDfuLibrary::ResultDfuError:
        Log()->message(QtCriticalMsg, "[DFU] status=%d, msgID=%d, msg=%s\n", int(type), int(msgId), msg);
        setThreadStatus(Failed);
        break;
    case IKestrinDfuLibrary::ResultInfo:
        if (msgId == IKestrinDfuLibrary::MsgIdProgress) {
            bool ok = false;
            const int percent = QByteArray(msg).toInt(&ok);
            if (ok)
                setThreadStatusParams(GenerateProgress(percent));
        } else if (msgId == IKestrinDfuLibrary::MsgIdLinkState) {
            if (g_target != RecipientRemote)
                Log()->message(QtDebugMsg, "target isn't remote");
            else if (msg[0] == 1)
                Log()->message(QtWarningMsg, "Error: SPP is disconnected, please wait for reconnect.");
        }
        break;
    default: break;
    }
}

void KestrinFwUpdater::setThreadStatus(Status status)
{
    if (status == Succeeded || status == Failed)
        QThread::msleep(EndSleepMs);
    Lock();
    m_threadStatus = status;
    Unlock();
    if (status == Succeeded)
        Log()->message(QtDebugMsg, "Updating %s FW succeeded.", m_deviceName.constData());
    else if (status == Failed)
        Log()->message(QtDebugMsg, "Updating %s FW failed.", m_deviceName.constData());
}

void KestrinFwUpdater::setThreadStatusProbablyFailed()
{
    // The link to the headset drops while it restarts into the new image; once applying, that
    // is the expected end.
    if (threadStatus() == Applying) {
        Log()->message(QtWarningMsg, "Let's hope %s HS is updated via the dongle.", m_deviceName.constData());
        setThreadStatus(Succeeded);
    } else {
        setThreadStatus(Failed);
    }
}

void KestrinFwUpdater::setThreadStatusParams(float progress)
{
    Lock();
    m_threadProgress = progress;
    m_progressPending = true;
    Unlock();
}

void KestrinFwUpdater::restartElapsedTimer()
{
    Lock();
    m_watchdog->restart();
    Unlock();
}

IKestrinFwUpdater::Status KestrinFwUpdater::threadStatus() const
{
    Lock();
    const Status status = m_threadStatus;
    Unlock();
    return status;
}

float KestrinFwUpdater::GenerateProgress(int percent)
{
    const float x = float(percent) * 0.01f;
    if (x < 0.0f)
        return 0.01f;
    if (x > 1.0f)
        return 0.95f;
    return std::clamp(0.01f + 0.94f * x, 0.01f, 0.95f);
}

// ---- The GUI thread's poll ----

void KestrinFwUpdater::pollStatus()
{
    const char* name = m_deviceName.constData();
    Lock();
    if (m_watchdog->isValid() && m_watchdog->elapsed() >= m_timings.watchdogMs) {
        // Logging under the spin lock is fine: the logger's own lock is a leaf.
        Log()->message(QtCriticalMsg, "%s FW update timeout.", name);
        if (m_dongle && m_threadStatus == Applying) {
            Log()->message(QtWarningMsg, "Let's hope the dongle is updated.");
            m_threadStatus = Succeeded;
        } else {
            m_threadStatus = Failed;
        }
        m_watchdog->restart();
    }

    if (m_threadStatus == Succeeded) {
        const bool dongleItself = m_dongle && g_target != RecipientRemote;
        if (m_deviceType == DeviceType::kestrin_2_anc && !dongleItself) {
            // The noise-cancelling headset restarts after taking the image; the update ends
            // once it has had the time to come back.
            m_threadStatus = Applying;
            m_threadProgress = AncWaitProgress;
            m_progressPending = false;
            Unlock();
            const bool changed = m_status != Applying;
            m_status = Applying;
            m_progress = AncWaitProgress;
            emit sigProgressChanged();
            Log()->message(QtDebugMsg, "Waiting for %s ready...", name);
            m_pollTimer->stop();
            QThread::msleep(EndSleepMs);
            closeLibrary();
            QTimer::singleShot(m_timings.ancReadyWaitMs, Qt::CoarseTimer, this, [this] {
                Log()->message(QtDebugMsg, "Waiting finished.");
                Lock();
                m_threadStatus = Succeeded;
                m_threadProgress = 1.0f;
                Unlock();
                m_bus.runBus();
                m_status = Succeeded;
                m_progress = 1.0f;
                emit sigProgressChanged();
                emit sigStatusChanged(); // last: the owner may drop the updater now
            });
            if (changed)
                emit sigStatusChanged();
            return;
        }

        m_threadProgress = 1.0f;
        m_progressPending = false;
        Unlock();
        m_progress = 1.0f;
        if (m_status == Succeeded) {
            emit sigProgressChanged();
            return;
        }
        m_status = Succeeded;
        emit sigProgressChanged();
        finishUpdate();
        emit sigStatusChanged();
        return;
    }

    const Status threadStatus = m_threadStatus;
    const bool pending = m_progressPending;
    const float threadProgress = m_threadProgress;
    m_progressPending = false;
    Unlock();

    const bool changed = threadStatus != m_status;
    m_status = threadStatus;
    if (pending) {
        m_progress = threadProgress;
        emit sigProgressChanged();
    }
    if (!changed)
        return;
    if (m_status == Succeeded || m_status == Failed)
        finishUpdate();
    emit sigStatusChanged();
}

// ---- The local copy of the image ----

DesktopKestrinFwUpdater::DesktopKestrinFwUpdater(QString fwPath, IHwBus& bus,
                                                 std::unique_ptr<IKestrinDfuLibrary> library, QString commonDataFolder,
                                                 const Timings& timings)
    : KestrinFwUpdater(std::move(fwPath), bus, std::move(library), timings)
    , m_commonDataFolder(std::move(commonDataFolder))
{
}

DesktopKestrinFwUpdater::~DesktopKestrinFwUpdater()
{
    shutDown(); // the library must be done with the copy before it goes
    if (m_localCopy.isEmpty())
        return;
    QFile::remove(m_localCopy);
    QDir dir = QFileInfo(m_localCopy).absoluteDir();
    for (int level = 0; level < 2; ++level) {
        const QString path = dir.absolutePath();
        if (!dir.cdUp() || !dir.rmdir(path)) // rmdir only removes an empty folder
            break;
    }
}

bool DesktopKestrinFwUpdater::prepareLocalFile(const QString& fwPath)
{
    if (Utils::IsAsciiOnly(fwPath)) {
        setLocalImagePath(fwPath.toUtf8());
        return true;
    }
    if (m_commonDataFolder.isEmpty()) {
        Log()->message(QtCriticalMsg, "failed obtaining COMMON_APPDATA path");
        return false;
    }
    const QString folder =
        QDir::cleanPath(QDir(m_commonDataFolder)
                            .absoluteFilePath(QCoreApplication::organizationName() + QLatin1Char('/') +
                                              QCoreApplication::applicationName()));
    if (!Utils::IsAsciiOnly(folder))
        return false;
    QDir().mkpath(folder);

    const QString fileName = QFileInfo(fwPath).fileName();
    if (!Utils::IsAsciiOnly(fileName))
        return false;
    const QString destination = QDir(folder).absoluteFilePath(fileName);
    QFile::remove(destination);
    if (!QFile::copy(fwPath, destination)) {
        Log()->message(QtWarningMsg, "failed to copy fw file");
        return false;
    }
    Log()->message(QtDebugMsg, "FW file copied to %s", qUtf8Printable(destination));
    m_localCopy = destination;
    setLocalImagePath(destination.toUtf8());
    return true;
}

bool IsKestrinFwInstallSupported()
{
    static const bool supported = CreateKestrinDfuLibrary()->isAvailable();
    return supported;
}

std::unique_ptr<IKestrinFwUpdater> CreateKestrinFwUpdater(const QString& fwPath, IHwBus& bus)
{
    // The nearest to a machine-wide data folder that a user's process may write to.
    const QString common = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return std::make_unique<DesktopKestrinFwUpdater>(fwPath, bus, CreateKestrinDfuLibrary(), common);
}

} // namespace Platform
