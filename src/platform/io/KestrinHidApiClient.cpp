#include "platform/io/KestrinHidApiClient.h"

#include "app/core/GlobalLogger.h"
#include "platform/io/SupportedVidPids.h"

#include <QThread>

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

KestrinHidApiClient::KestrinHidApiClient() : m_hidApi(HidApiInitializer::Instance()) {}

KestrinHidApiClient::~KestrinHidApiClient()
{
    closeDevice();
}

hid_device* KestrinHidApiClient::openDevice()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_handle)
        return nullptr;

    hid_device_info* list = nullptr;
    const SupportedVidPids::KestrinProduct* found = nullptr;
    for (const auto& product : SupportedVidPids::KestrinProducts()) {
        list = hid_enumerate(SupportedVidPids::KestrinVendorId, product.pid);
        if (list) {
            found = &product;
            break;
        }
    }
    if (found) {
        // Only this product id is considered, even when its open fails below: the next poll
        // tries again.
        m_type.store(found->type);
        m_dongle = found->dongle;
        for (hid_device_info* entry = list; entry; entry = entry->next) {
            if (entry->usage_page != SupportedVidPids::KestrinUsagePage || entry->usage != SupportedVidPids::KestrinUsage)
                continue;
            hid_device* handle = hid_open_path(entry->path);
            if (handle) {
                m_handle = handle;
                m_vid = entry->vendor_id;
                m_pid = entry->product_id;
                GlobalLogger::Instance()->message(QtDebugMsg, "%s %s VID 0x%04X, PID 0x%04X opened", CodeName(found->type).constData(),
                                                  m_dongle ? "dongle" : "headset", m_vid, m_pid);
            } else {
                GlobalLogger::Instance()->message(QtCriticalMsg, "Failed to open VID 0x%04X, PID 0x%04X, path %s ...",
                                                  entry->vendor_id, entry->product_id, entry->path ? entry->path : "");
                GlobalLogger::Instance()->message(QtCriticalMsg, "with error: %s", HidErrorText(nullptr).constData());
            }
            break;
        }
    }
    hid_free_enumeration(list);
    return m_handle;
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
        if (!m_handle)
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
        if (!m_handle)
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
        if (!m_handle)
            return 0;
        n = hid_read_timeout(m_handle, buf, len, timeoutMs);
    }
    if (n < 0)
        failFilter(false, false);
    return n;
}

bool KestrinHidApiClient::isWiredDeviceConnected() const
{
    for (int i = 0; i < SupportedVidPids::KestrinWiredCount; ++i) {
        hid_device_info* list = hid_enumerate(SupportedVidPids::KestrinVendorId, SupportedVidPids::KestrinProducts()[i].pid);
        const bool found = list != nullptr;
        hid_free_enumeration(list);
        if (found)
            return true;
    }
    return false;
}

void KestrinHidApiClient::setReadPacing(int cabledMs, int dongleMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cabledReadDelayMs = cabledMs;
    m_dongleReadDelayMs = dongleMs;
}

} // namespace Platform
