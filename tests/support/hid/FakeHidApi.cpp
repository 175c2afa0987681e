// Our own definitions of the hidapi functions, routed to the emulated bus (HidEmulator.h).
// Linked into test executables only, as object files, so that they take precedence over the
// real library that the product links.

#include "HidEmulator.h"

#include <hidapi.h>

#include <cstdlib>
#include <cstring>
#include <string>

struct hid_device_ {
    std::shared_ptr<HidEmu::Headset> device;
    int interfaceNumber = 0;
    bool control = false;
};

namespace {

std::wstring& LastError()
{
    static thread_local std::wstring text;
    return text;
}

void SetError(const std::string& text)
{
    LastError().assign(text.begin(), text.end());
}

wchar_t* CopyWide(const std::wstring& text)
{
    auto* copy = static_cast<wchar_t*>(std::calloc(text.size() + 1, sizeof(wchar_t)));
    std::wmemcpy(copy, text.c_str(), text.size());
    return copy;
}

bool Usable(hid_device* dev)
{
    if (!dev) {
        SetError("No device handle");
        return false;
    }
    if (dev->device->isUnplugged()) {
        SetError("Device disconnected");
        return false;
    }
    if (!dev->control) {
        SetError("Report not supported on this interface");
        return false;
    }
    return true;
}

} // namespace

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void)
{
    HidEmu::Bus::instance().noteInit();
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void)
{
    HidEmu::Bus::instance().noteExit();
    return 0;
}

struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    hid_device_info* head = nullptr;
    hid_device_info** tail = &head;
    for (const auto& entry : HidEmu::Bus::instance().enumerate(vendor_id, product_id)) {
        auto* info = static_cast<hid_device_info*>(std::calloc(1, sizeof(hid_device_info)));
        info->path = strdup(entry.path.c_str());
        info->vendor_id = entry.device->vendorId();
        info->product_id = entry.device->productId();
        info->serial_number = CopyWide(L"EMU0001");
        info->release_number = 0x0100;
        info->manufacturer_string = CopyWide(L"Velmor");
        info->product_string = CopyWide(L"Emulated headset");
        info->usage_page = entry.interface.usagePage;
        info->usage = entry.interface.usage;
        info->interface_number = entry.interface.number;
        info->bus_type = HID_API_BUS_USB;
        *tail = info;
        tail = &info->next;
    }
    return head;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info* devs)
{
    while (devs) {
        hid_device_info* next = devs->next;
        std::free(devs->path);
        std::free(devs->serial_number);
        std::free(devs->manufacturer_string);
        std::free(devs->product_string);
        std::free(devs);
        devs = next;
    }
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open(unsigned short, unsigned short, const wchar_t*)
{
    SetError("hid_open is not emulated; enumerate and open by path");
    return nullptr;
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open_path(const char* path)
{
    std::string error;
    int number = 0;
    auto device = HidEmu::Bus::instance().open(path ? path : "", &number, &error);
    if (!device) {
        SetError(error);
        return nullptr;
    }
    auto* handle = new hid_device_;
    handle->device = device;
    handle->interfaceNumber = number;
    for (const auto& iface : device->interfaces()) {
        if (iface.number == number)
            handle->control = iface.usagePage == HidEmu::kControlUsagePage && iface.usage == HidEmu::kControlUsage;
    }
    return handle;
}

int HID_API_EXPORT HID_API_CALL hid_write(hid_device* dev, const unsigned char* data, size_t length)
{
    if (!Usable(dev))
        return -1;
    const int n = dev->device->hostWrite(data, length);
    if (n < 0)
        SetError("Write failed");
    return n;
}

int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device* dev, unsigned char* data, size_t length, int milliseconds)
{
    if (!Usable(dev))
        return -1;
    const int n = dev->device->hostReadTimeout(data, length, milliseconds);
    if (n < 0)
        SetError("Read failed");
    return n;
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device* dev, unsigned char* data, size_t length)
{
    return hid_read_timeout(dev, data, length, -1);
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device*, int)
{
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_send_feature_report(hid_device*, const unsigned char*, size_t)
{
    SetError("Feature reports are not emulated");
    return -1;
}

int HID_API_EXPORT HID_API_CALL hid_get_feature_report(hid_device*, unsigned char*, size_t)
{
    SetError("Feature reports are not emulated");
    return -1;
}

int HID_API_EXPORT HID_API_CALL hid_get_input_report(hid_device* dev, unsigned char* data, size_t length)
{
    if (!Usable(dev))
        return -1;
    const int n = dev->device->hostGetInputReport(data, length);
    if (n < 0)
        SetError("GET_REPORT failed");
    return n;
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* dev)
{
    if (!dev)
        return;
    HidEmu::Bus::instance().noteClosed();
    delete dev;
}

int HID_API_EXPORT_CALL hid_get_manufacturer_string(hid_device*, wchar_t* string, size_t maxlen)
{
    if (maxlen)
        std::wcsncpy(string, L"Velmor", maxlen);
    return 0;
}

int HID_API_EXPORT_CALL hid_get_product_string(hid_device*, wchar_t* string, size_t maxlen)
{
    if (maxlen)
        std::wcsncpy(string, L"Emulated headset", maxlen);
    return 0;
}

int HID_API_EXPORT_CALL hid_get_serial_number_string(hid_device*, wchar_t* string, size_t maxlen)
{
    if (maxlen)
        std::wcsncpy(string, L"EMU0001", maxlen);
    return 0;
}

struct hid_device_info HID_API_EXPORT* HID_API_CALL hid_get_device_info(hid_device*)
{
    SetError("Device info is not emulated");
    return nullptr;
}

int HID_API_EXPORT_CALL hid_get_indexed_string(hid_device*, int, wchar_t*, size_t)
{
    SetError("Indexed strings are not emulated");
    return -1;
}

HID_API_EXPORT const wchar_t* HID_API_CALL hid_error(hid_device*)
{
    return LastError().empty() ? L"Success" : LastError().c_str();
}

HID_API_EXPORT const struct hid_api_version* HID_API_CALL hid_version(void)
{
    static const hid_api_version version{HID_API_VERSION_MAJOR, HID_API_VERSION_MINOR, HID_API_VERSION_PATCH};
    return &version;
}

HID_API_EXPORT const char* HID_API_CALL hid_version_str(void)
{
    return HID_API_VERSION_STR;
}

} // extern "C"
