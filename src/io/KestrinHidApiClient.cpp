#include "io/KestrinHidApiClient.h"

#include "core/GlobalLogger.h"
#include "io/SupportedVidPids.h"

#include <QThread>

#include <cerrno>
#include <cstring>
#include <set>

#include <hidapi.h>

namespace Platform {

namespace {

QByteArray HidErrorText(hid_device* device)
{
    const wchar_t* text = hid_error(device);
    return text ? QString::fromWCharArray(text).toUtf8() : QByteArray("unknown error");
}

QByteArray CodeName(DeviceType type)
{
    return Enumer<DeviceType>::NameOrNull(type).toUtf8();
}

} // namespace

KestrinHidApiClient* KestrinHidApiClient::GetKestrinHidApiClient()
{
    static KestrinHidApiClient client;
    return &client;
}

KestrinHidApiClient::KestrinHidApiClient()
    : m_hidApi(HidApiInitializer::Instance())
{
}

KestrinHidApiClient::~KestrinHidApiClient()
{
    closeDevice();
}

hid_device* KestrinHidApiClient::openDevice()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_handle)
        return nullptr;

    // The control interfaces of the products looked at, to forget the refusals of devices that
    // were unplugged (plugged in again, a device is tried and reported afresh).
    std::set<uint16_t> examined;
    std::set<std::string> present;
    // The first product that enumerates is the one to open, unless none of its control
    // interfaces opens: then the next one is tried, so that a device that cannot be opened never
    // hides one that can.
    for (const auto& product : SupportedVidPids::KestrinProducts()) {
        hid_device_info* list = hid_enumerate(SupportedVidPids::KestrinVendorId, product.pid);
        examined.insert(product.pid);
        if (list) {
            m_type.store(product.type);
            m_dongle = product.dongle;
        }
        bool refused = false;
        for (hid_device_info* entry = list; entry; entry = entry->next) {
            if (entry->usage_page != SupportedVidPids::KestrinUsagePage ||
                entry->usage != SupportedVidPids::KestrinUsage)
                continue;
            present.insert(entry->path ? entry->path : "");
            if (!m_handle && !tryOpenUnsafe(*entry))
                refused = true;
        }
        hid_free_enumeration(list);
        if (m_handle || (list && !refused))
            break;
    }

    std::lock_guard<std::mutex> refusedLock(m_refusedMutex);
    for (auto it = m_refusedPaths.begin(); it != m_refusedPaths.end();) {
        const bool gone = examined.count(it->second) && !present.count(it->first);
        it = gone ? m_refusedPaths.erase(it) : std::next(it);
    }
    return m_handle;
}

hid_device* KestrinHidApiClient::tryOpenUnsafe(const hid_device_info& entry)
{
    const std::string path = entry.path ? entry.path : "";
    errno = 0;
    hid_device* handle = hid_open_path(entry.path);
    const int openErrno = errno;
    if (handle) {
        m_handle = handle;
        m_vid = entry.vendor_id;
        m_pid = entry.product_id;
        GlobalLogger::Instance()->message(QtDebugMsg, "%s %s VID 0x%04X, PID 0x%04X opened",
                                          CodeName(m_type.load()).constData(), m_dongle ? "dongle" : "headset", m_vid,
                                          m_pid);
        std::lock_guard<std::mutex> refusedLock(m_refusedMutex);
        m_refusedPaths.erase(path);
        return handle;
    }

    {
        // Polls retry every second (access may be granted in place); the reason is told once.
        std::lock_guard<std::mutex> refusedLock(m_refusedMutex);
        if (!m_refusedPaths.emplace(path, entry.product_id).second)
            return nullptr;
    }
    const QByteArray reason = HidErrorText(nullptr);
    // hidapi words the kernel's refusal with strerror, in the user's language.
    const bool denied = openErrno == EACCES || openErrno == EPERM || reason.contains(std::strerror(EACCES)) ||
                        reason.contains("Permission denied");
    const bool busy = openErrno == EBUSY || reason.contains(std::strerror(EBUSY));
    const char* hint = denied ? "The user may not open it: install the udev rule \"60-velmor-kestrin.rules\" and plug "
                                "the device in again."
                       : busy ? "Another program holds it."
                              : "";
    GlobalLogger::Instance()->message(QtCriticalMsg, "Cannot open %s %s VID 0x%04X, PID 0x%04X, path %s: %s. %s",
                                      CodeName(m_type.load()).constData(), m_dongle ? "dongle" : "headset",
                                      entry.vendor_id, entry.product_id, path.c_str(), reason.constData(), hint);
    return nullptr;
}

bool KestrinHidApiClient::isRefused(const std::string& path) const
{
    std::lock_guard<std::mutex> refusedLock(m_refusedMutex);
    return m_refusedPaths.count(path) != 0;
}

bool KestrinHidApiClient::opensAgain(const std::string& path)
{
    hid_device* probe = hid_open_path(path.c_str());
    if (!probe)
        return false;
    hid_close(probe);
    std::lock_guard<std::mutex> refusedLock(m_refusedMutex);
    m_refusedPaths.erase(path);
    return true;
}

bool KestrinHidApiClient::closeDevice()
{
    hid_device* closed = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_handle)
            return false;
        closed = m_handle;
        hid_close(m_handle);
        m_handle = nullptr;
        GlobalLogger::Instance()->message(QtDebugMsg, "%s device closed.", CodeName(m_type.load()).constData());
    }
    emit deviceGone(closed);
    return true;
}

bool KestrinHidApiClient::hasDevice()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_handle != nullptr;
}

bool KestrinHidApiClient::hasDeviceUnsafe() const
{
    return m_handle != nullptr;
}

bool KestrinHidApiClient::isOpenedDongle()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dongle;
}

bool KestrinHidApiClient::getOpenedVidPid(uint16_t& vid, uint16_t& pid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_handle)
        return false;
    vid = m_vid;
    pid = m_pid;
    return true;
}

DeviceType KestrinHidApiClient::getOpenedDeviceType() const
{
    return m_type.load();
}

KestrinHwType KestrinHidApiClient::getOpenedType()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_handle) {
        if (const auto* product = SupportedVidPids::FindKestrinProduct(m_pid))
            return product->hwType;
    }
    return Enumer<KestrinHwType>::Invalid();
}

bool KestrinHidApiClient::IsDongle(uint16_t pid)
{
    const auto* product = SupportedVidPids::FindKestrinProduct(pid);
    return product && product->dongle;
}

DeviceType KestrinHidApiClient::GetDevType(uint16_t pid)
{
    if (pid < 0x4B28)
        return DeviceType::kestrin;
    if (pid < 0x4BA8)
        return DeviceType::kestrin_2;
    return DeviceType::kestrin_2_anc;
}

void KestrinHidApiClient::logCommandFailed(bool isWrite) const
{
    GlobalLogger::Instance()->message(QtDebugMsg, "%s command failed, closing...", isWrite ? "write" : "read");
}

bool KestrinHidApiClient::failFilter(bool ok, bool isWrite)
{
    if (!ok) {
        logCommandFailed(isWrite);
        closeDevice();
    }
    return ok;
}

bool KestrinHidApiClient::write(const uint8_t* data, size_t len)
{
    int n = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_handle || m_transfersStopped)
            return false;
        n = hid_write(m_handle, data, len);
    }
    return n >= int32_t(len) || failFilter(false, true);
}

bool KestrinHidApiClient::read(uint8_t* buf, size_t len)
{
    int n = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_handle || m_transfersStopped)
            return false;
        // Other threads' reads and writes wait through this pause too: the device answers one
        // request at a time.
        const int delay = m_dongle ? m_dongleReadDelayMs : m_cabledReadDelayMs;
        if (delay > 0)
            QThread::msleep(static_cast<unsigned long>(delay));
        n = hid_get_input_report(m_handle, buf, len);
    }
    return n >= int32_t(len) || failFilter(false, false);
}

int KestrinHidApiClient::read_hid_timeout(uint8_t* buf, size_t len, int timeoutMs)
{
    int n = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_handle || m_transfersStopped)
            return 0;
        n = hid_read_timeout(m_handle, buf, len, timeoutMs);
    }
    if (n < 0)
        failFilter(false, false);
    return n;
}

bool KestrinHidApiClient::isWiredDeviceConnected()
{
    bool found = false;
    for (int i = 0; i < SupportedVidPids::KestrinWiredCount && !found; ++i) {
        hid_device_info* list =
            hid_enumerate(SupportedVidPids::KestrinVendorId, SupportedVidPids::KestrinProducts()[i].pid);
        // A headset whose control interfaces were all refused must not push out a dongle that works.
        bool control = false;
        bool openable = false;
        for (hid_device_info* entry = list; entry; entry = entry->next) {
            if (entry->usage_page != SupportedVidPids::KestrinUsagePage ||
                entry->usage != SupportedVidPids::KestrinUsage)
                continue;
            control = true;
            const std::string path = entry->path ? entry->path : "";
            openable = openable || !isRefused(path) || opensAgain(path);
        }
        found = list && (!control || openable);
        hid_free_enumeration(list);
    }
    return found;
}

void KestrinHidApiClient::setReadPacing(int cabledMs, int dongleMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cabledReadDelayMs = cabledMs;
    m_dongleReadDelayMs = dongleMs;
}

} // namespace Platform
