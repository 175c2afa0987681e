#pragma once

#include "core/DeviceType.h"
#include "io/HidApiInitializer.h"

#include <QObject>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

struct hid_device_;
typedef struct hid_device_ hid_device;
struct hid_device_info;

namespace Platform {

// The one process-wide channel to the headset family's HID control interface. It opens the first
// supported headset or dongle (wired headsets first), and serialises every open, close, read and
// write on one mutex. Any failed transfer closes the device at once and reports it through
// deviceGone, so an unplugged headset is noticed on its first failing command.
//
// Lock order: a transport's or the hardware bus's mutex may be held while calling in here, never
// the reverse; deviceGone is emitted after the client's mutex is released.
class KestrinHidApiClient : public QObject {
    Q_OBJECT
public:
    static KestrinHidApiClient* GetKestrinHidApiClient();

    // The program uses the singleton; tests may build their own.
    KestrinHidApiClient();
    ~KestrinHidApiClient() override;
    KestrinHidApiClient(const KestrinHidApiClient&) = delete;
    KestrinHidApiClient& operator=(const KestrinHidApiClient&) = delete;

    // Opens the first supported device that can be opened (wired headsets first): the new handle,
    // or null when one is already open or none could be opened. A device the user may not open,
    // or that another program holds, is skipped, so it never hides one behind it; why it cannot
    // be opened is logged once for as long as it stays plugged in.
    hid_device* openDevice();
    // Closes the open handle and emits deviceGone with it; false when nothing was open.
    bool closeDevice();
    bool hasDevice();
    // For callers that already hold the client's mutex.
    bool hasDeviceUnsafe() const;
    bool isOpenedDongle();
    // Both ids of the open device; false (arguments untouched) when nothing is open.
    bool getOpenedVidPid(uint16_t& vid, uint16_t& pid);
    // The model of the last device an open was attempted on. Safe from any thread.
    DeviceType getOpenedDeviceType() const;
    // The variant of the open device, Enumer<KestrinHwType>::Invalid() when nothing is open.
    KestrinHwType getOpenedType();

    static bool IsDongle(uint16_t pid);
    static DeviceType GetDevType(uint16_t pid);

    // One output report; the first byte is the report id.
    bool write(const uint8_t* data, size_t len);
    // One input report by GET_REPORT; the caller puts the wanted report id in buf[0].
    bool read(uint8_t* buf, size_t len);
    // One report from the interrupt pipe: hidapi's byte count (0 on time-out, or when nothing is
    // open); a negative count closes the device.
    int read_hid_timeout(uint8_t* buf, size_t len, int timeoutMs);
    // Returns `ok`; when false, logs the failed command and closes the device first.
    bool failFilter(bool ok, bool isWrite);

    // A wired headset that can be opened is attached, open or not; one that was refused at its
    // last open counts only once an open succeeds again (access granted in place, or the headset
    // plugged in again at the same node with access). Takes no lock of the client's.
    bool isWiredDeviceConnected();

    // The pause before each GET_REPORT, which gives the headset (and the dongle's radio link)
    // time to prepare its reply: 10 ms on a cabled headset, 50 ms through the dongle. Only
    // measurements of the bare protocol cost change it.
    void setReadPacing(int cabledMs, int dongleMs);

    // While set, every write and read fails at once without touching the device, so that a
    // device set-up of a dozen paced exchanges on another thread ends at its next exchange instead
    // of holding up the program's end. Safe from any thread.
    void setTransfersStopped(bool stopped) { m_transfersStopped = stopped; }
    bool areTransfersStopped() const { return m_transfersStopped; }

signals:
    void deviceGone(void* handle);
    void notPermitted();

private:
    void logCommandFailed(bool isWrite) const;
    // Tries one enumerated control interface; logs a refusal once per path.
    hid_device* tryOpenUnsafe(const ::hid_device_info& entry);
    bool isRefused(const std::string& path) const;
    // Whether a refused control interface opens now, without taking it: it then counts no more
    // as refused.
    bool opensAgain(const std::string& path);

    HidApiInitializer& m_hidApi;
    hid_device* m_handle = nullptr;
    uint16_t m_vid = 0;
    uint16_t m_pid = 0;
    // Read without the mutex by other threads, hence atomic.
    std::atomic<DeviceType> m_type{DeviceType::none};
    bool m_dongle = false;
    std::atomic<bool> m_transfersStopped{false};
    int m_cabledReadDelayMs = 10;
    int m_dongleReadDelayMs = 50;
    mutable std::mutex m_mutex;
    // Paths of the control interfaces whose last open failed: logged already, and not taken for a
    // wired headset that would win over a working dongle. A leaf lock of its own, because
    // isWiredDeviceConnected runs without the client's.
    std::map<std::string, uint16_t> m_refusedPaths; // path -> product id
    mutable std::mutex m_refusedMutex;
};

} // namespace Platform
