#pragma once

// An in-process emulated headset family behind our own hid_* functions (FakeHidApi.cpp).
// Tests attach emulated headsets or dongles to the bus; the product code under test then finds,
// opens and talks to them through the ordinary hidapi calls. See README.md beside this file.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <vector>

namespace HidEmu {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kVendorId = 0x3329;
constexpr uint16_t kControlUsagePage = 0xFF13;
constexpr uint16_t kControlUsage = 0x0001;
constexpr size_t kReportSize = 62;
constexpr size_t kMaxPayload = 59;
constexpr uint8_t kOutReportId = 6;
constexpr uint8_t kInReportId = 7;
constexpr uint8_t kRelayFlag = 0x80;

constexpr uint8_t kMarker = 0x05;
constexpr uint8_t kKindRequest = 0x5A;
constexpr uint8_t kKindResponse = 0x5B;
constexpr uint8_t kKindNotification = 0x5D;

// One HID collection of an emulated USB device, as hid_enumerate lists it.
struct Interface {
    uint16_t usagePage = kControlUsagePage;
    uint16_t usage = kControlUsage;
    int number = 0;
};

// Who a request reaches: the headset itself (cabled, or relayed by the dongle) or the dongle.
enum class Target { Headset, Dongle };

// One framed request as the emulator received it from the host.
struct Request {
    Bytes frame; // the whole command: 05 5A L L id id payload...
    uint16_t commandId = 0;
    bool relayed = false; // the packages carried the relay flag 0x80
    Target target = Target::Headset;
    size_t packages = 0; // number of OUT reports it came in

    uint8_t kind() const { return frame.size() > 1 ? frame[1] : 0; }
    // The bytes after the command id.
    Bytes payload() const { return frame.size() > 6 ? Bytes(frame.begin() + 6, frame.end()) : Bytes(); }
    // Byte i of the frame, or `fallback` when the frame is shorter.
    uint8_t at(size_t i, uint8_t fallback = 0) const { return i < frame.size() ? frame[i] : fallback; }
};

// Builds a command frame: 05 kind L(le16) id(le16) payload.
Bytes MakeFrame(uint8_t kind, uint16_t commandId, const Bytes& payload);
// A full 62-byte OUT report as the host should send it.
Bytes MakeOutReport(const Bytes& piece, bool relay);
// Hex text "05 5A 04 00" for failure messages.
std::string ToHex(const Bytes& bytes);

class Headset;

// What a command handler gets: the request, the device, and ways to answer.
class Exchange {
public:
    Exchange(Headset& device, const Request& request)
        : m_device(device)
        , m_request(request)
    {
    }
    const Request& request() const { return m_request; }
    Headset& device() { return m_device; }
    // A response (kind 0x5B) carrying the request's command id and `payload`.
    void respond(const Bytes& payload);
    // A notification (kind 0x5D) with the request's command id, queued after the responses.
    void notify(const Bytes& payload);
    // Any raw bytes, queued as they are.
    void send(const Bytes& bytes);
    // The status a handler should put into its reply: 0, unless a refusal was injected for this
    // command id (Headset::refuse), which this call consumes.
    uint8_t status();

private:
    Headset& m_device;
    const Request& m_request;
};

using Handler = std::function<void(Exchange&)>;

// One emulated headset or USB dongle of the family. All members are thread-safe; handlers run
// with the device's (recursive) lock held and may call any member.
class Headset {
public:
    // The device type and the dongle flag follow from the product id, as on real hardware.
    explicit Headset(uint16_t productId, uint16_t vendorId = kVendorId);
    ~Headset();
    Headset(const Headset&) = delete;
    Headset& operator=(const Headset&) = delete;

    uint16_t vendorId() const { return m_vendorId; }
    uint16_t productId() const { return m_productId; }
    bool isDongle() const;
    // 1 kestrin, 2 kestrin_2, 3 kestrin_2_anc, as the product id says.
    int deviceType() const;

    // The collections the device lists; by default a decoy (consumer control) before the
    // control interface, so that the host has to pick by usage.
    void setInterfaces(std::vector<Interface> interfaces);
    std::vector<Interface> interfaces() const;

    // --- command handlers (the extension point) ---
    // Handlers for requests that reach the headset (cabled, or relayed through the dongle).
    void setHandler(uint16_t commandId, Handler handler);
    // Handlers for requests addressed to the dongle itself (no relay flag on a dongle).
    void setDongleHandler(uint16_t commandId, Handler handler);
    void removeHandler(uint16_t commandId);
    // Per-device state for handler sets, created on first use: device.state<MyState>().
    template <typename T>
    T& state()
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        auto& slot = m_states[std::type_index(typeid(T))];
        if (!slot)
            slot = std::make_shared<T>();
        return *static_cast<T*>(slot.get());
    }

    // Built-in state answered by the default handlers (see README.md).
    std::map<uint8_t, uint8_t> parameters; // 0x0900 set / 0x0901 get, by parameter number
    std::string firmwareVersion = "1.0.0";
    std::string dongleFirmwareVersion = "2.0.0";
    uint8_t batteryLevel = 80;

    // --- replies and the outgoing byte stream ---
    // Queues bytes for the host, subject to the reply latency.
    void queueReply(const Bytes& bytes);
    // Raw bytes straight into the outgoing stream, ahead of pending replies (garbage, stale data).
    void injectBytes(const Bytes& bytes);
    // A literal IN report (up to 62 bytes, zero-padded) served by the next GET_REPORT as it is,
    // for example one with an oversized length byte.
    void injectReport(const Bytes& report);
    size_t pendingOutput() const;

    // --- fault injection ---
    // Replies become visible only after this many GET_REPORT requests.
    void setReplyLatency(int reads);
    // At most this many bytes per IN report (1..59); smaller values split replies.
    void setMaxBytesPerReport(size_t bytes);
    // When true, an IN report never carries bytes of two different queued replies.
    void setOneReplyPerReport(bool on);
    // The next `times` replies to `commandId` get this status (handlers ask Exchange::status()).
    void refuse(uint16_t commandId, uint8_t status, int times = 1);
    // The next `times` requests with this id are logged but not answered.
    void ignore(uint16_t commandId, int times = 1);
    // No request is answered while silent.
    void setSilent(bool silent);
    // Behind a dongle: whether the headset is linked; relayed requests go unanswered when not.
    void setHeadsetLinked(bool linked);
    // The next `count` hid_write calls fail (-1) or report one byte less than given.
    void failWrites(int count);
    void shortWrites(int count);
    // The next `count` hid_get_input_report calls fail (-1).
    void failReads(int count);
    // While not empty, every hid_open_path of this device fails with this reason (for example
    // "Permission denied", as the kernel refuses a node the user may not open); "" opens again.
    void refuseOpen(const std::string& reason);
    std::string openRefusal() const;

    // --- interrupt-pipe input (sensor reports), read by hid_read_timeout ---
    void queueInputReport(const Bytes& report);
    size_t pendingInputReports() const;

    // --- observation ---
    std::vector<Request> requests() const;
    std::vector<Bytes> outReports() const;       // every hid_write, verbatim
    std::vector<std::string> violations() const; // protocol errors the host made
    std::vector<Request> unhandled() const;      // requests no handler answered
    size_t inputReportRequests() const;          // GET_REPORT calls served
    void clearLog();

    // --- called by the fake hid_* functions ---
    int hostWrite(const unsigned char* data, size_t length);
    int hostGetInputReport(unsigned char* data, size_t length);
    int hostReadTimeout(unsigned char* data, size_t length, int milliseconds);
    bool isUnplugged() const;
    void markUnplugged();

private:
    friend class Exchange;
    void installDefaultHandlers();
    void dispatch(Request request);
    void parseIncoming();
    void violation(std::string text);
    void agePending();
    uint8_t takeRefusal(uint16_t commandId);

    mutable std::recursive_mutex m_mutex;
    std::condition_variable_any m_inputArrived;
    const uint16_t m_vendorId;
    const uint16_t m_productId;
    std::vector<Interface> m_interfaces;
    std::map<uint16_t, Handler> m_handlers;
    std::map<uint16_t, Handler> m_dongleHandlers;
    std::map<std::type_index, std::shared_ptr<void>> m_states;

    // Host -> device assembly of framed requests.
    Bytes m_incoming;
    bool m_incomingRelay = false;
    size_t m_incomingPackages = 0;

    // Device -> host.
    struct Pending {
        int readsLeft;
        Bytes bytes;
    };
    std::deque<Pending> m_pending;
    std::deque<Bytes> m_stream; // each entry: one reply (or injected run of bytes), partially sent
    std::deque<Bytes> m_rawReports;
    std::deque<Bytes> m_inputReports;

    int m_latency = 0;
    size_t m_maxBytesPerReport = kMaxPayload;
    bool m_oneReplyPerReport = false;
    std::map<uint16_t, std::deque<uint8_t>> m_refusals;
    std::map<uint16_t, int> m_ignored;
    bool m_silent = false;
    bool m_headsetLinked = true;
    int m_failWrites = 0;
    int m_shortWrites = 0;
    int m_failReads = 0;
    bool m_unplugged = false;
    std::string m_openRefusal;

    std::vector<Request> m_requests;
    std::vector<Bytes> m_outReports;
    std::vector<std::string> m_violations;
    std::vector<Request> m_unhandled;
    size_t m_inputReportRequests = 0;
};

// The emulated USB bus that the fake hid_* functions consult. A process-wide singleton.
class Bus {
public:
    static Bus& instance();

    // Plugs a device in; it is enumerated from now on.
    void attach(const std::shared_ptr<Headset>& device);
    // Unplugs a device: it leaves the enumeration and every open handle to it fails from now on.
    void unplug(const std::shared_ptr<Headset>& device);
    // Unplugs everything and forgets the call counters; open handles fail until closed.
    void reset();

    // The next hid_open_path fails with this error text ("" = opens normally).
    void failNextOpen(const std::string& errorText);

    int initCalls() const;
    int exitCalls() const;
    int openHandles() const;
    int enumerateCalls() const;

    // --- called by the fake hid_* functions ---
    struct Entry {
        std::shared_ptr<Headset> device;
        Interface interface;
        std::string path;
    };
    std::vector<Entry> enumerate(uint16_t vendorId, uint16_t productId);
    std::shared_ptr<Headset> open(const std::string& path, int* interfaceNumber, std::string* error);
    void noteInit();
    void noteExit();
    void noteClosed();

private:
    Bus() = default;
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<Headset>> m_devices;
    int m_serial = 0;
    std::map<const Headset*, int> m_ids;
    std::string m_nextOpenError;
    int m_initCalls = 0;
    int m_exitCalls = 0;
    int m_openHandles = 0;
    int m_enumerateCalls = 0;
};

// Convenience: a new device of this product id, attached to the bus.
std::shared_ptr<Headset> Plug(uint16_t productId);

} // namespace HidEmu
