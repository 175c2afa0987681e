#pragma once

#include "platform/IHwBus.h"
#include "utils/TimersThread.h"

#include <atomic>
#include <mutex>

namespace Platform {

class KestrinHidApiClient;

// The hardware bus over hidapi. It polls, once at start and then every second on a worker thread
// of its own, for the one headset-family device it can hold: a headset, a dongle, or a device
// that answers only well enough for a firmware update. A wired headset wins over a dongle.
//
// A full device keeps its HID handle open and leaves when the HID client closes that handle
// (deviceGone, on the first failed transfer). A firmware-only device is held with the HID device
// closed, so that the firmware updater can reach it; each poll reopens it briefly to see whether
// it now answers as a full device, and it leaves when it no longer opens.
//
// The serial-port device is not probed: its client never opens a port in this build, so such a
// probe could find nothing.
//
// Every probe, change of the held device and announcement happens under the bus mutex; the HID
// client's own mutex is only ever taken inside it.
class HidHwBus final : public IHwBus {
    Q_OBJECT

public:
    // On the process-wide HID client by default; tests pass their own.
    explicit HidHwBus(KestrinHidApiClient* client = nullptr);
    // Stops polling and closes the devices.
    ~HidHwBus() override;

    // The first probe runs on the calling thread, so that a device connected at start is
    // announced before the caller goes on; the polls run on the bus's worker.
    void runBus() override;
    void stopBus(bool closeDevices) override;
    void tryPairKestrinDongle() override;

    // Whether the held device is a firmware-only one.
    bool hasKestrinFwOnly();

    static constexpr unsigned int PollIntervalMs = 1000;

private slots:
    void onKestrinDeviceGone(void* handle);

private:
    void runTimer();
    void tryPorts();
    void tryKestrinUnsafe();
    bool onDeviceDetectedUnsafe(const Devices::SharedDeviceImpl& device);
    void removeKestrinImplUnsafe();
    bool hasKestrinFwOnlyUnsafe() const { return m_kestrinFwOnly.load(); }

    KestrinHidApiClient& m_client;
    std::mutex m_mutex;
    Utils::TimersThread::TimerId m_pollTimer = -1;
    Devices::SharedDeviceImpl m_kestrin;
    // The handle the full device in m_kestrin was opened under, for telling its close apart.
    void* m_kestrinHandle = nullptr;
    // Written under the mutex; read without it only to skip the bus's own closes early.
    std::atomic<bool> m_kestrinFwOnly{false};
    // Last member: destroyed first, so its worker has stopped before anything a job uses goes.
    Utils::TimersThread m_timers{4};
};

} // namespace Platform
