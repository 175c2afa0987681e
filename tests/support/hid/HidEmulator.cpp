#include "HidEmulator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace HidEmu {

namespace {

constexpr uint16_t kSetParameter = 0x0900;
constexpr uint16_t kGetParameter = 0x0901;
constexpr uint16_t kBattery = 0x0CD6;
constexpr uint16_t kFirmwareVersion = 0x1C07;

// The largest length field a command may carry; longer frames are protocol errors.
constexpr size_t kMaxLengthField = 1020;

Bytes VersionNotification(const std::string& version)
{
    Bytes payload;
    payload.reserve(3 + version.size());
    payload.push_back(0x00);
    payload.push_back(0x00);
    payload.push_back(static_cast<uint8_t>(version.size()));
    for (char c : version)
        payload.push_back(static_cast<uint8_t>(c));
    return payload;
}

} // namespace

Bytes MakeFrame(uint8_t kind, uint16_t commandId, const Bytes& payload)
{
    const size_t length = payload.size() + 2;
    Bytes frame(6 + payload.size());
    frame[0] = kMarker;
    frame[1] = kind;
    frame[2] = static_cast<uint8_t>(length & 0xFF);
    frame[3] = static_cast<uint8_t>(length >> 8);
    frame[4] = static_cast<uint8_t>(commandId & 0xFF);
    frame[5] = static_cast<uint8_t>(commandId >> 8);
    std::copy(payload.begin(), payload.end(), frame.begin() + 6);
    return frame;
}

Bytes MakeOutReport(const Bytes& piece, bool relay)
{
    Bytes report(kReportSize, 0);
    report[0] = kOutReportId;
    report[1] = static_cast<uint8_t>(piece.size());
    report[2] = relay ? kRelayFlag : 0;
    std::copy(piece.begin(), piece.begin() + std::min(piece.size(), kMaxPayload), report.begin() + 3);
    return report;
}

std::string ToHex(const Bytes& bytes)
{
    std::string text;
    char digits[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(digits, sizeof digits, i ? " %02X" : "%02X", bytes[i]);
        text += digits;
    }
    return text;
}

// ---------------------------------------------------------------------------------------------
// Exchange

void Exchange::respond(const Bytes& payload)
{
    m_device.queueReply(MakeFrame(kKindResponse, m_request.commandId, payload));
}

void Exchange::notify(const Bytes& payload)
{
    m_device.queueReply(MakeFrame(kKindNotification, m_request.commandId, payload));
}

void Exchange::send(const Bytes& bytes)
{
    m_device.queueReply(bytes);
}

uint8_t Exchange::status()
{
    return m_device.takeRefusal(m_request.commandId);
}

// ---------------------------------------------------------------------------------------------
// Headset

Headset::Headset(uint16_t productId, uint16_t vendorId)
    : m_vendorId(vendorId)
    , m_productId(productId)
{
    // A decoy collection first: the host must pick the control interface by usage page and usage.
    m_interfaces = {Interface{0x000C, 0x0001, 0}, Interface{kControlUsagePage, kControlUsage, 3}};
    installDefaultHandlers();
}

Headset::~Headset() = default;

bool Headset::isDongle() const
{
    const int variant = m_productId & 0xF;
    return variant == 0x8 || variant == 0x9;
}

int Headset::deviceType() const
{
    switch ((m_productId >> 4) & 0xF) {
    case 0x1: return 1;
    case 0x2: return 2;
    case 0xA: return 3;
    default: return 0;
    }
}

void Headset::setInterfaces(std::vector<Interface> interfaces)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_interfaces = std::move(interfaces);
}

std::vector<Interface> Headset::interfaces() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_interfaces;
}

void Headset::setHandler(uint16_t commandId, Handler handler)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_handlers[commandId] = std::move(handler);
}

void Headset::setDongleHandler(uint16_t commandId, Handler handler)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_dongleHandlers[commandId] = std::move(handler);
}

void Headset::removeHandler(uint16_t commandId)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_handlers.erase(commandId);
    m_dongleHandlers.erase(commandId);
}

void Headset::installDefaultHandlers()
{
    // Set parameter: 05 5A 05 00 00 09 param 00 value -> 05 5B 05 00 00 09 param 00 status.
    m_handlers[kSetParameter] = [](Exchange& ex) {
        const Request& rq = ex.request();
        const uint8_t param = rq.at(6);
        const uint8_t status = ex.status();
        if (status == 0 && rq.frame.size() >= 9)
            ex.device().parameters[param] = rq.at(8);
        ex.respond({param, 0x00, status});
    };
    // Get parameter: 05 5A 04 00 01 09 param 00 -> 05 5B 06 00 01 09 param 00 status value.
    m_handlers[kGetParameter] = [](Exchange& ex) {
        const uint8_t param = ex.request().at(6);
        const uint8_t status = ex.status();
        const auto& params = ex.device().parameters;
        const auto it = params.find(param);
        ex.respond({param, 0x00, status, it == params.end() ? uint8_t(0) : it->second});
    };
    // Battery: a response with the status, then (on success) a notification with the level at [8].
    m_handlers[kBattery] = [](Exchange& ex) {
        const uint8_t status = ex.status();
        ex.respond({status});
        if (status == 0)
            ex.notify({0x00, 0x00, ex.device().batteryLevel});
    };
    // Firmware version: response with status, then a notification: [8] length, text from [9].
    m_handlers[kFirmwareVersion] = [](Exchange& ex) {
        const uint8_t status = ex.status();
        ex.respond({status});
        if (status == 0)
            ex.notify(VersionNotification(ex.device().firmwareVersion));
    };
    m_dongleHandlers[kFirmwareVersion] = [](Exchange& ex) {
        const uint8_t status = ex.status();
        ex.respond({status});
        if (status == 0)
            ex.notify(VersionNotification(ex.device().dongleFirmwareVersion));
    };
}

void Headset::queueReply(const Bytes& bytes)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (bytes.empty())
        return;
    if (m_latency <= 0 && m_pending.empty())
        m_stream.push_back(bytes);
    else
        m_pending.push_back(Pending{m_latency, bytes});
}

void Headset::injectBytes(const Bytes& bytes)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!bytes.empty())
        m_stream.push_back(bytes);
}

void Headset::injectReport(const Bytes& report)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Bytes padded(kReportSize, 0);
    std::copy(report.begin(), report.begin() + std::min(report.size(), kReportSize), padded.begin());
    m_rawReports.push_back(padded);
}

size_t Headset::pendingOutput() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    size_t total = 0;
    for (const auto& chunk : m_stream)
        total += chunk.size();
    for (const auto& pending : m_pending)
        total += pending.bytes.size();
    return total;
}

void Headset::setReplyLatency(int reads)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_latency = std::max(0, reads);
}

void Headset::setMaxBytesPerReport(size_t bytes)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_maxBytesPerReport = std::clamp<size_t>(bytes, 1, kMaxPayload);
}

void Headset::setOneReplyPerReport(bool on)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_oneReplyPerReport = on;
}

void Headset::refuse(uint16_t commandId, uint8_t status, int times)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (int i = 0; i < times; ++i)
        m_refusals[commandId].push_back(status);
}

uint8_t Headset::takeRefusal(uint16_t commandId)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    auto it = m_refusals.find(commandId);
    if (it == m_refusals.end() || it->second.empty())
        return 0;
    const uint8_t status = it->second.front();
    it->second.pop_front();
    return status;
}

void Headset::ignore(uint16_t commandId, int times)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_ignored[commandId] += times;
}

void Headset::setSilent(bool silent)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_silent = silent;
}

void Headset::setHeadsetLinked(bool linked)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_headsetLinked = linked;
}

void Headset::refuseOpen(const std::string& reason)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_openRefusal = reason;
}

std::string Headset::openRefusal() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_openRefusal;
}

void Headset::failWrites(int count)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_failWrites = count;
}

void Headset::shortWrites(int count)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_shortWrites = count;
}

void Headset::failReads(int count)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_failReads = count;
}

void Headset::queueInputReport(const Bytes& report)
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_inputReports.push_back(report);
    }
    m_inputArrived.notify_all();
}

size_t Headset::pendingInputReports() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_inputReports.size();
}

std::vector<Request> Headset::requests() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_requests;
}

std::vector<Bytes> Headset::outReports() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_outReports;
}

std::vector<std::string> Headset::violations() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_violations;
}

std::vector<Request> Headset::unhandled() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_unhandled;
}

size_t Headset::inputReportRequests() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_inputReportRequests;
}

void Headset::clearLog()
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_requests.clear();
    m_outReports.clear();
    m_violations.clear();
    m_unhandled.clear();
    m_inputReportRequests = 0;
}

bool Headset::isUnplugged() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_unplugged;
}

void Headset::markUnplugged()
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_mutex);
        m_unplugged = true;
    }
    m_inputArrived.notify_all();
}

void Headset::violation(std::string text)
{
    m_violations.push_back(std::move(text));
}

int Headset::hostWrite(const unsigned char* data, size_t length)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_unplugged)
        return -1;
    Bytes report(data, data + length);
    m_outReports.push_back(report);
    if (m_failWrites > 0) {
        --m_failWrites;
        return -1;
    }
    if (length != kReportSize)
        violation("OUT report of " + std::to_string(length) + " bytes: " + ToHex(report));
    if (length < 3 || data[0] != kOutReportId) {
        violation("OUT report without report id 6: " + ToHex(report));
        return static_cast<int>(length);
    }
    const size_t n = data[1];
    if (n == 0 || n > kMaxPayload || n + 3 > length) {
        violation("OUT report with a bad byte count: " + ToHex(report));
        return static_cast<int>(length);
    }
    const bool relay = data[2] == kRelayFlag;
    if (data[2] != 0 && !relay)
        violation("OUT report with an unknown flag byte: " + ToHex(report));
    for (size_t i = 3 + n; i < length; ++i) {
        if (data[i] != 0) {
            violation("OUT report with non-zero padding: " + ToHex(report));
            break;
        }
    }
    if (m_incoming.empty()) {
        m_incomingRelay = relay;
        m_incomingPackages = 0;
    } else if (m_incomingRelay != relay) {
        violation("relay flag changes inside one command: " + ToHex(report));
    }
    m_incoming.insert(m_incoming.end(), data + 3, data + 3 + n);
    ++m_incomingPackages;
    parseIncoming();

    if (m_shortWrites > 0) {
        --m_shortWrites;
        return static_cast<int>(length) - 1;
    }
    return static_cast<int>(length);
}

void Headset::parseIncoming()
{
    while (m_incoming.size() >= 4) {
        if (m_incoming[0] != kMarker) {
            violation("request does not start with 05: " + ToHex(m_incoming));
            m_incoming.clear();
            return;
        }
        const size_t l = m_incoming[2] | (size_t(m_incoming[3]) << 8);
        if (l > kMaxLengthField || l < 2) {
            violation("request with length field " + std::to_string(l) + ": " + ToHex(m_incoming));
            m_incoming.clear();
            return;
        }
        if (m_incoming.size() < l + 4)
            return;
        Request request;
        request.frame.assign(m_incoming.begin(), m_incoming.begin() + l + 4);
        request.commandId = uint16_t(request.frame[4] | (request.frame[5] << 8));
        request.relayed = m_incomingRelay;
        request.packages = m_incomingPackages;
        m_incoming.erase(m_incoming.begin(), m_incoming.begin() + l + 4);
        if (!m_incoming.empty())
            violation("bytes of a second request in the package of another: " + ToHex(m_incoming));
        m_incomingPackages = 0;
        dispatch(std::move(request));
    }
}

void Headset::dispatch(Request request)
{
    if (request.kind() != kKindRequest)
        violation("request of kind " + std::to_string(request.kind()) + ": " + ToHex(request.frame));
    if (!isDongle() && request.relayed)
        violation("relay flag on a cabled headset: " + ToHex(request.frame));
    request.target = (isDongle() && !request.relayed) ? Target::Dongle : Target::Headset;
    m_requests.push_back(request);

    if (m_silent)
        return;
    auto ignored = m_ignored.find(request.commandId);
    if (ignored != m_ignored.end() && ignored->second > 0) {
        --ignored->second;
        return;
    }
    // A cabled headset does not act on requests meant to be relayed by a dongle.
    if (!isDongle() && request.relayed)
        return;
    if (request.target == Target::Headset && isDongle() && !m_headsetLinked)
        return;
    auto& table = request.target == Target::Dongle ? m_dongleHandlers : m_handlers;
    auto it = table.find(request.commandId);
    if (it == table.end() || !it->second) {
        m_unhandled.push_back(request);
        return;
    }
    Handler handler = it->second; // a handler may replace itself
    Exchange exchange(*this, request);
    handler(exchange);
}

void Headset::agePending()
{
    while (!m_pending.empty()) {
        Pending& front = m_pending.front();
        if (front.readsLeft > 0) {
            --front.readsLeft;
            return;
        }
        m_stream.push_back(std::move(front.bytes));
        m_pending.pop_front();
    }
}

int Headset::hostGetInputReport(unsigned char* data, size_t length)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (m_unplugged)
        return -1;
    ++m_inputReportRequests;
    if (m_failReads > 0) {
        --m_failReads;
        return -1;
    }
    if (length < 3 || data[0] != kInReportId) {
        violation("GET_REPORT without report id 7");
        return -1;
    }
    if (length != kReportSize)
        violation("GET_REPORT of " + std::to_string(length) + " bytes");

    Bytes report(kReportSize, 0);
    report[0] = kInReportId;
    agePending();
    if (!m_rawReports.empty()) {
        report = m_rawReports.front();
        m_rawReports.pop_front();
    } else {
        size_t n = 0;
        while (n < m_maxBytesPerReport && !m_stream.empty()) {
            Bytes& chunk = m_stream.front();
            const size_t take = std::min(chunk.size(), m_maxBytesPerReport - n);
            std::copy(chunk.begin(), chunk.begin() + take, report.begin() + 3 + n);
            n += take;
            chunk.erase(chunk.begin(), chunk.begin() + take);
            if (!chunk.empty())
                break;
            m_stream.pop_front();
            if (m_oneReplyPerReport)
                break;
        }
        report[1] = static_cast<uint8_t>(n);
    }
    const size_t copied = std::min(length, kReportSize);
    std::copy(report.begin(), report.begin() + copied, data);
    std::fill(data + copied, data + length, 0);
    return static_cast<int>(copied);
}

int Headset::hostReadTimeout(unsigned char* data, size_t length, int milliseconds)
{
    std::unique_lock<std::recursive_mutex> lock(m_mutex);
    auto ready = [this] { return m_unplugged || !m_inputReports.empty(); };
    if (milliseconds < 0)
        m_inputArrived.wait(lock, ready);
    else if (milliseconds > 0)
        m_inputArrived.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
    if (m_unplugged)
        return -1;
    if (m_inputReports.empty())
        return 0;
    Bytes report = std::move(m_inputReports.front());
    m_inputReports.pop_front();
    const size_t copied = std::min(length, report.size());
    std::copy(report.begin(), report.begin() + copied, data);
    return static_cast<int>(copied);
}

// ---------------------------------------------------------------------------------------------
// Bus

Bus& Bus::instance()
{
    // Never destroyed: hid_exit may run from the destructors of other statics at exit.
    static Bus* bus = new Bus;
    return *bus;
}

void Bus::attach(const std::shared_ptr<Headset>& device)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (std::find(m_devices.begin(), m_devices.end(), device) != m_devices.end())
        return;
    m_devices.push_back(device);
    m_ids[device.get()] = ++m_serial;
}

void Bus::unplug(const std::shared_ptr<Headset>& device)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_devices.erase(std::remove(m_devices.begin(), m_devices.end(), device), m_devices.end());
        m_ids.erase(device.get());
    }
    device->markUnplugged();
}

void Bus::reset()
{
    std::vector<std::shared_ptr<Headset>> devices;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        devices.swap(m_devices);
        m_ids.clear();
        m_nextOpenError.clear();
        m_initCalls = m_exitCalls = m_enumerateCalls = 0;
    }
    for (const auto& device : devices)
        device->markUnplugged();
}

void Bus::failNextOpen(const std::string& errorText)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_nextOpenError = errorText;
}

int Bus::initCalls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_initCalls;
}

int Bus::exitCalls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_exitCalls;
}

int Bus::openHandles() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_openHandles;
}

int Bus::enumerateCalls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_enumerateCalls;
}

std::vector<Bus::Entry> Bus::enumerate(uint16_t vendorId, uint16_t productId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_enumerateCalls;
    std::vector<Entry> entries;
    for (const auto& device : m_devices) {
        if ((vendorId && device->vendorId() != vendorId) || (productId && device->productId() != productId))
            continue;
        for (const Interface& iface : device->interfaces()) {
            entries.push_back(Entry{device, iface,
                                    "emu:" + std::to_string(m_ids[device.get()]) + ":" + std::to_string(iface.number)});
        }
    }
    return entries;
}

std::shared_ptr<Headset> Bus::open(const std::string& path, int* interfaceNumber, std::string* error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_nextOpenError.empty()) {
        *error = m_nextOpenError;
        m_nextOpenError.clear();
        return nullptr;
    }
    for (const auto& device : m_devices) {
        const std::string prefix = "emu:" + std::to_string(m_ids[device.get()]) + ":";
        if (path.compare(0, prefix.size(), prefix) != 0)
            continue;
        const int number = std::atoi(path.c_str() + prefix.size());
        const std::string refusal = device->openRefusal();
        if (!refusal.empty()) {
            // Worded as hidapi's hidraw back end words it.
            *error = "Failed to open a device with path '" + path + "': " + refusal;
            return nullptr;
        }
        for (const Interface& iface : device->interfaces()) {
            if (iface.number == number) {
                *interfaceNumber = number;
                ++m_openHandles;
                return device;
            }
        }
    }
    *error = "No such device: " + path;
    return nullptr;
}

void Bus::noteInit()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_initCalls;
}

void Bus::noteExit()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_exitCalls;
}

void Bus::noteClosed()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_openHandles;
}

std::shared_ptr<Headset> Plug(uint16_t productId)
{
    auto device = std::make_shared<Headset>(productId);
    Bus::instance().attach(device);
    return device;
}

} // namespace HidEmu
