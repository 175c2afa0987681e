#include "platform/HidHwBus.h"

#include "app/core/GlobalLogger.h"
#include "devices/IKestrinDeviceMain.h"
#include "devices/KestrinDeviceImpl.h"
#include "devices/KestrinFwOnlyDeviceImpl.h"
#include "devices/KestrinTransport.h"
#include "platform/io/KestrinHidApiClient.h"

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

} // namespace

HidHwBus::HidHwBus(KestrinHidApiClient* client)
    : m_client(client ? *client : *KestrinHidApiClient::GetKestrinHidApiClient())
{
    // The client may close the device on any thread; the removal is handled here, on ours.
    connect(&m_client, &KestrinHidApiClient::deviceGone, this, &HidHwBus::onKestrinDeviceGone, Qt::QueuedConnection);
}

HidHwBus::~HidHwBus()
{
    stopBus(true);
    // A pairing job may still be running; it takes the mutex too.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_kestrin.reset();
    m_kestrinHandle = nullptr;
}

void HidHwBus::runBus()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pollTimer != -1)
            return;
    }
    tryPorts();
    runTimer();
}

void HidHwBus::runTimer()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pollTimer != -1)
        return;
    Utils::TimersThread::StartParams params;
    params.mode = Utils::TimersThread::Mode::AfterRunEnd; // a slow probe never makes the next one come sooner
    m_pollTimer = m_timers.startTimer(0, PollIntervalMs, [this] { tryPorts(); }, params);
}

void HidHwBus::tryPorts()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    tryKestrinUnsafe();
}

void HidHwBus::stopBus(bool closeDevices)
{
    Utils::TimersThread::TimerId poll = -1;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (closeDevices) {
            // A full device leaves through the client's deviceGone; a firmware-only one has no
            // open handle to close, so it leaves here.
            m_client.closeDevice();
            if (m_kestrin && hasKestrinFwOnlyUnsafe())
                removeKestrinImplUnsafe();
        }
        poll = m_pollTimer;
        m_pollTimer = -1;
    }
    // Outside the mutex: stopping waits for a running poll, which takes the mutex.
    if (poll != -1)
        m_timers.stopTimer(poll);
}

void HidHwBus::tryPairKestrinDongle()
{
    Utils::TimersThread::StartParams params;
    params.mode = Utils::TimersThread::Mode::AfterRunStart;
    m_timers.startTimer(1, 0, [this] {
        std::lock_guard<std::mutex> lock(m_mutex);
        // A dongle that answers as a full device already has its headset.
        if (!hasKestrinFwOnlyUnsafe() || !m_client.openDevice())
            return;
        if (m_client.isOpenedDongle()) {
            Devices::KestrinTransport transport(m_client);
            transport.pairing();
        }
        m_client.closeDevice();
    }, params);
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
        if (hasKestrinFwOnlyUnsafe())
            removeKestrinImplUnsafe(); // the firmware-only device was unplugged
        return;
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
}

bool HidHwBus::onDeviceDetectedUnsafe(const Devices::SharedDeviceImpl& device)
{
    GlobalLogger::Instance()->message(QtDebugMsg, "deviceArrived");
    if (!IsLikeKestrin(device->getDeviceType()))
        return false;
    m_kestrin = device;
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
    std::lock_guard<std::mutex> lock(m_mutex);
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

} // namespace Platform
