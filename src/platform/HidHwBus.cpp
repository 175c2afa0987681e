#include "platform/HidHwBus.h"

#include "core/GlobalLogger.h"
#include "devices/IKestrinDeviceMain.h"
#include "devices/KestrinDeviceImpl.h"
#include "devices/KestrinFwOnlyDeviceImpl.h"
#include "devices/KestrinTransport.h"
#include "devices/SolvarineDeviceImpl.h"
#include "io/KestrinHidApiClient.h"
#include "io/PosixSolvarineSerialPortClient.h"

namespace Platform {

namespace {

struct OpenedDevice {
    uint16_t vid = 0;
    uint16_t pid = 0;
    bool dongle = false;
    KestrinHwType hwType = KestrinHwType::ps_headset;
    DeviceType type = DeviceType::none;
};

OpenedDevice ReadOpened(KestrinHidApiClient& client)
{
    OpenedDevice opened;
    client.getOpenedVidPid(opened.vid, opened.pid);
    opened.dongle = client.isOpenedDongle();
    opened.hwType = client.getOpenedType();
    opened.type = client.getOpenedDeviceType();
    return opened;
}

template <typename Device>
std::shared_ptr<Device> Build(KestrinHidApiClient& client)
{
    const OpenedDevice opened = ReadOpened(client);
    return std::make_shared<Device>(client, opened.vid, opened.pid, opened.type, opened.hwType, opened.dongle);
}

// Whether the device the client has open is the product `device` was built for.
bool IsOpenedProduct(KestrinHidApiClient& client, const Devices::SharedDeviceImpl& device)
{
    Devices::IKestrinDeviceMain* kestrin = device ? device->getKestrinDevice() : nullptr;
    uint16_t heldVid = 0, heldPid = 0, vid = 0, pid = 0;
    if (!kestrin || !kestrin->getVidPid(heldVid, heldPid) || !client.getOpenedVidPid(vid, pid))
        return false;
    return heldVid == vid && heldPid == pid;
}

// A job that runs once on the bus worker, at once.
Utils::TimersThread::StartParams OneShot()
{
    Utils::TimersThread::StartParams params;
    params.mode = Utils::TimersThread::Mode::AfterRunStart;
    return params;
}

} // namespace

HidHwBus::HidHwBus(KestrinHidApiClient* client, ISolvarineSerialPortClient* serial)
    : m_client(client ? *client : *KestrinHidApiClient::GetKestrinHidApiClient())
    , m_serial(serial ? *serial : *PosixSolvarineSerialPortClient::GetPosixSolvarineSerialPortClient())
{
    // The client may close the device on any thread; the removal is handled here, on ours.
    connect(&m_client, &KestrinHidApiClient::deviceGone, this, &HidHwBus::onKestrinDeviceGone, Qt::QueuedConnection);
}

HidHwBus::~HidHwBus()
{
    m_pollWanted = false;
    // A running probe or pairing job holds the mutex, a dongle set-up for up to half a minute of
    // slow replies: its transfers fail from here on, so it ends at its next exchange and the
    // program's end waits for one exchange at most. A poll that runs after it finds polling
    // unwanted, and the worker stops with the first member to go.
    m_client.setTransfersStopped(true);
    std::lock_guard<std::mutex> lock(m_mutex);
    stopUnsafe(true);
    m_solvarine.reset();
    m_kestrin.reset();
    m_kestrinHandle = nullptr;
    m_client.setTransfersStopped(false);
}

void HidHwBus::runBus()
{
    m_pollWanted = true;
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (lock.owns_lock()) {
        startPollingUnsafe();
        return;
    }
    // A probe or a pairing holds the bus: start once it is done, unless stopped meanwhile.
    m_timers.startTimer(
        1, 0,
        [this] {
            std::lock_guard<std::mutex> workerLock(m_mutex);
            if (m_pollWanted)
                startPollingUnsafe();
        },
        OneShot());
}

void HidHwBus::startPollingUnsafe()
{
    if (m_pollTimer != -1)
        return;
    Utils::TimersThread::StartParams params;
    params.mode = Utils::TimersThread::Mode::AfterRunEnd; // a slow probe never makes the next one come sooner
    // The first probe runs at once, on the worker: setting a headset up takes a dozen paced
    // exchanges, which the caller's thread must not wait for.
    params.hasFirstDelay = true;
    params.firstDelayMs = 0;
    m_firstProbePending = true;
    m_pollTimer = m_timers.startTimer(
        0, PollIntervalMs, [this] { poll(); }, params);
    if (m_pollTimer == -1) {
        m_firstProbePending = false;
        GlobalLogger::Instance()->message(QtCriticalMsg, "Cannot start polling for devices.");
    }
}

void HidHwBus::poll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Stopped while this run was due: the stop itself follows.
    if (!m_pollWanted)
        return;
    tryKestrinUnsafe();
    trySolvarineUnsafe();
    if (m_firstProbePending) {
        m_firstProbePending = false;
        // After the arrivals of this probe, so that a queued receiver handles them first.
        emit firstProbeDone();
    }
}

void HidHwBus::tryPorts()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    tryKestrinUnsafe();
    trySolvarineUnsafe();
}

void HidHwBus::stopBus(bool closeDevices)
{
    m_pollWanted = false;
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (lock.owns_lock()) {
        stopUnsafe(closeDevices);
        lock.unlock();
        emit busStopped(closeDevices);
        return;
    }
    // A probe or a pairing holds the bus, possibly for a whole device set-up: the stop follows it
    // on the worker. Polls that fall due before then do nothing.
    m_timers.startTimer(
        1, 0,
        [this, closeDevices] {
            {
                std::lock_guard<std::mutex> workerLock(m_mutex);
                stopUnsafe(closeDevices);
            }
            emit busStopped(closeDevices);
        },
        OneShot());
}

void HidHwBus::stopUnsafe(bool closeDevices)
{
    if (closeDevices) {
        // A full device leaves through the client's deviceGone; a firmware-only one has no
        // open handle to close, so it leaves here.
        m_client.closeDevice();
        if (m_kestrin && hasKestrinFwOnlyUnsafe())
            removeKestrinImplUnsafe();
        m_serial.closeDevice();
    }
    // Restarted since this stop was asked for: polling goes on.
    if (m_pollWanted || m_pollTimer == -1)
        return;
    // Never waits: a poll that is due or running finds polling unwanted and does nothing.
    m_timers.stopTimerNoWait(m_pollTimer);
}

void HidHwBus::tryPairKestrinDongle()
{
    m_timers.startTimer(
        1, 0,
        [this] {
            std::lock_guard<std::mutex> lock(m_mutex);
            // A dongle that answers as a full device already has its headset.
            if (!hasKestrinFwOnlyUnsafe() || !m_client.openDevice())
                return;
            if (m_client.isOpenedDongle()) {
                Devices::KestrinTransport transport(m_client);
                transport.pairing();
            }
            m_client.closeDevice();
        },
        OneShot());
}

bool HidHwBus::hasKestrinFwOnly()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return hasKestrinFwOnlyUnsafe();
}

void HidHwBus::tryKestrinUnsafe()
{
    if (m_kestrin) {
        Devices::IKestrinDeviceMain* kestrin = m_kestrin->getKestrinDevice();
        // A wired headset wins over the dongle: the dongle leaves through deviceGone, and a later
        // poll opens the headset, which the client tries first.
        if (kestrin && kestrin->isDongle() && m_client.isWiredDeviceConnected())
            m_client.closeDevice();
        if (!hasKestrinFwOnlyUnsafe())
            return; // a working device is not probed again
    }

    hid_device* handle = m_client.openDevice();
    if (!handle) {
        m_kestrinSetUpFailed = false;
        if (hasKestrinFwOnlyUnsafe())
            removeKestrinImplUnsafe(); // the firmware-only device was unplugged
        return;
    }
    // Each poll reopens a firmware-only device to see whether it now answers in full: no news.
    const bool announce = !hasKestrinFwOnlyUnsafe() && !m_kestrinSetUpFailed;
    if (announce)
        emit deviceSetUpStarted(DeviceType::kestrin);
    if (hasKestrinFwOnlyUnsafe() && !IsOpenedProduct(m_client, m_kestrin)) {
        // Another product took the firmware-only device's place between two polls: the old one
        // leaves, so that nothing (a firmware update above all) aims at a product that is gone.
        GlobalLogger::Instance()->message(QtDebugMsg, "Kestrin device for FW update only was replaced.");
        removeKestrinImplUnsafe();
    }

    auto full = Build<Devices::KestrinDeviceImpl>(m_client);
    if (full->isValid()) {
        if (hasKestrinFwOnlyUnsafe())
            removeKestrinImplUnsafe();
        m_kestrinHandle = handle;
        onDeviceDetectedUnsafe(full);
        return;
    }
    if (hasKestrinFwOnlyUnsafe()) {
        // Still only good for a firmware update: keep the device we have, with its HID closed.
        m_client.closeDevice();
        return;
    }
    full.reset();

    // The failed initialisation may have left the device in the middle of a reply: start afresh.
    m_client.closeDevice();
    handle = m_client.openDevice();
    if (handle) {
        auto fwOnly = Build<Devices::KestrinFwOnlyDeviceImpl>(m_client);
        m_client.closeDevice();
        if (fwOnly->isValid()) {
            GlobalLogger::Instance()->message(QtDebugMsg, "Kestrin device for FW update only found.");
            m_kestrinHandle = handle;
            if (onDeviceDetectedUnsafe(fwOnly))
                m_kestrinFwOnly = true;
            return;
        }
        m_kestrinFwOnly = false;
    }
    GlobalLogger::Instance()->message(QtWarningMsg, "Kestrin device seems to be invalid, closing...");
    m_client.closeDevice();
    if (announce) {
        m_kestrinSetUpFailed = true;
        emit deviceSetUpFailed(DeviceType::kestrin);
    }
}

void HidHwBus::trySolvarineUnsafe()
{
    if (m_solvarine)
        return;
    if (!m_serial.openDevice()) {
        m_solvarineSetUpFailed = false;
        return;
    }
    const bool announce = !m_solvarineSetUpFailed;
    if (announce)
        emit deviceSetUpStarted(DeviceType::solvarine);
    // Talks the unit into its bootloader while it is built, which takes seconds: on the worker.
    auto device = std::make_shared<Devices::SolvarineDeviceImpl>(m_serial);
    if (device->isValid()) {
        onDeviceDetectedUnsafe(device);
        return;
    }
    GlobalLogger::Instance()->message(QtWarningMsg, "Solvarine device seems to be invalid, closing...");
    m_serial.closeDevice();
    if (announce) {
        m_solvarineSetUpFailed = true;
        emit deviceSetUpFailed(DeviceType::solvarine);
    }
}

bool HidHwBus::onDeviceDetectedUnsafe(const Devices::SharedDeviceImpl& device)
{
    GlobalLogger::Instance()->message(QtDebugMsg, "deviceArrived");
    const DeviceType type = device->getDeviceType();
    if (IsLikeKestrin(type))
        m_kestrin = device;
    else if (type == DeviceType::solvarine)
        m_solvarine = device;
    else
        return false;
    emit deviceArrived(device);
    return true;
}

void HidHwBus::removeKestrinImplUnsafe()
{
    const Devices::SharedDeviceImpl removed = m_kestrin;
    m_kestrin.reset();
    m_kestrinHandle = nullptr;
    m_kestrinFwOnly = false;
    emit deviceRemoved(removed);
}

void HidHwBus::onKestrinDeviceGone(void* handle)
{
    // Closes of a firmware-only device are the bus's own, made on every poll; skip them without
    // waiting for a poll that may be talking to the device.
    if (m_kestrinFwOnly.load())
        return;
    std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
    if (lock.owns_lock()) {
        removeKestrinIfGoneUnsafe(handle);
        return;
    }
    // A poll holds the mutex, for as long as it sets a device up: the check waits for it on the
    // worker, never on this (the GUI) thread.
    const bool queued = m_timers.startTimer(
                            1, 0,
                            [this, handle] {
                                std::lock_guard<std::mutex> workerLock(m_mutex);
                                removeKestrinIfGoneUnsafe(handle);
                            },
                            OneShot()) != -1;
    if (!queued) {
        lock.lock();
        removeKestrinIfGoneUnsafe(handle);
    }
}

void HidHwBus::removeKestrinIfGoneUnsafe(void* handle)
{
    if (!m_kestrin || hasKestrinFwOnlyUnsafe() || handle != m_kestrinHandle)
        return;
    // The allocator may hand a freed handle's address to a later open, so a late notice of an
    // earlier close can carry the held device's handle. Only the bus opens while it holds a full
    // device, so the held handle is closed exactly when the client has nothing open.
    if (m_client.hasDevice())
        return;
    GlobalLogger::Instance()->message(QtDebugMsg, "Kestrin device removed");
    removeKestrinImplUnsafe();
}

void HidHwBus::onSolvarineDeviceGone()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_solvarine)
        return;
    GlobalLogger::Instance()->message(QtDebugMsg, "Solvarine device removed");
    const Devices::SharedDeviceImpl removed = m_solvarine;
    m_solvarine.reset();
    emit deviceRemoved(removed);
}

} // namespace Platform
