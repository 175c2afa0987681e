#pragma once

#include "platform/IHwBus.h"
#include "utils/TimersThread.h"

#include <atomic>
#include <mutex>

namespace Platform {

class ISolvarineSerialPortClient;
class KestrinHidApiClient;

// The hardware bus over hidapi. It polls on a worker thread of its own, once at start and then
// every second, for the one headset-family device it can hold (a headset, a dongle, or a device
// that answers only well enough for a firmware update; a wired headset wins over a dongle) and
// for the serial-port device.
//
// A full device keeps its HID handle open and leaves when the HID client closes that handle
// (deviceGone, on the first failed transfer). A firmware-only device is held with the HID device
// closed, so that the firmware updater can reach it; each poll reopens it briefly to see whether
// it now answers as a full device, and it leaves when it no longer opens or when another device
// is found in its place.
//
// No probe, initialisation or pairing exchange ever runs on the caller's thread: all device I/O
// is made on the worker, so a window on the GUI thread keeps drawing while a headset is set up.
//
// Every probe, change of the held devices and announcement happens under the bus mutex; the HID
// client's own mutex is only ever taken inside it.
class HidHwBus final : public IHwBus {
    Q_OBJECT

public:
    // On the process-wide clients by default; tests pass their own.
    explicit HidHwBus(KestrinHidApiClient* client = nullptr, ISolvarineSerialPortClient* serial = nullptr);
    // Stops polling and closes the devices.
    ~HidHwBus() override;

    // Both return at once, also while a probe is setting a device up (which holds the bus for a
    // dozen exchanges): the change then takes effect on the worker right after that probe. The
    // first probe runs on the worker, and firstProbeDone follows it.
    void runBus() override;
    void stopBus(bool closeDevices) override;
    void tryPairKestrinDongle() override;

    // Whether the held device is a firmware-only one.
    bool hasKestrinFwOnly();

    static constexpr unsigned int PollIntervalMs = 1000;

private slots:
    void onKestrinDeviceGone(void* handle);
    void onSolvarineDeviceGone();

private:
    void poll();
    void startPollingUnsafe();
    void stopUnsafe(bool closeDevices);
    void tryPorts();
    void tryKestrinUnsafe();
    void trySolvarineUnsafe();
    bool onDeviceDetectedUnsafe(const Devices::SharedDeviceImpl& device);
    void removeKestrinImplUnsafe();
    void removeKestrinIfGoneUnsafe(void* handle);
    bool hasKestrinFwOnlyUnsafe() const { return m_kestrinFwOnly.load(); }

    KestrinHidApiClient& m_client;
    ISolvarineSerialPortClient& m_serial;
    std::mutex m_mutex;
    Utils::TimersThread::TimerId m_pollTimer = -1;
    // What the last runBus or stopBus asked for; read by the polls and by the changes that wait
    // for a running probe, so that a later call always wins over an earlier one.
    std::atomic<bool> m_pollWanted{false};
    // Set by runBus, cleared by the first poll after it, which then emits firstProbeDone.
    bool m_firstProbePending = false;
    Devices::SharedDeviceImpl m_kestrin;
    Devices::SharedDeviceImpl m_solvarine;
    // The handle the full device in m_kestrin was opened under, for telling its close apart.
    void* m_kestrinHandle = nullptr;
    // Written under the mutex; read without it only to skip the bus's own closes early.
    std::atomic<bool> m_kestrinFwOnly{false};
    // A device that opened but could not be set up, kept from being announced at every poll
    // until it no longer opens.
    bool m_kestrinSetUpFailed = false;
    bool m_solvarineSetUpFailed = false;
    // Last member: destroyed first, so its worker has stopped before anything a job uses goes.
    Utils::TimersThread m_timers{4};
};

} // namespace Platform
