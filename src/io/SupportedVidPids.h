#pragma once

#include "core/DeviceType.h"

#include <QString>

#include <array>
#include <cstdint>
#include <string>

namespace Platform {

// The USB identities the application drives.
struct SupportedVidPids {
    struct VidPid {
        uint32_t vid = 0;
        uint32_t pid = 0;
        friend bool operator==(const VidPid& a, const VidPid& b) { return a.vid == b.vid && a.pid == b.pid; }
        friend bool operator!=(const VidPid& a, const VidPid& b) { return !(a == b); }
    };

    // One product of the headset family. The third hex digit of the product id selects the model
    // (1 kestrin, 2 kestrin_2, A kestrin_2_anc), the last one the variant (8 xbox dongle,
    // 9 ps dongle, A ps headset, E xbox headset).
    struct KestrinProduct {
        uint16_t pid;
        DeviceType type;
        KestrinHwType hwType;
        bool dongle;
    };

    static constexpr uint16_t KestrinVendorId = 0x3329;
    // The vendor-defined collection that carries the command reports.
    static constexpr uint16_t KestrinUsagePage = 0xFF13;
    static constexpr uint16_t KestrinUsage = 0x0001;
    // The wired headsets come first in the table.
    static constexpr int KestrinWiredCount = 6;

    // Every supported product in the order the HID client tries them: headsets before dongles.
    static const std::array<KestrinProduct, 12>& KestrinProducts();
    // The table entry of a product id, or null for an unsupported one.
    static const KestrinProduct* FindKestrinProduct(uint16_t pid);

    // The serial device (USB CDC-ACM).
    static constexpr VidPid SolvarineVidPid{0x2753, 0x1111};

    // Finds the serial device's port and stores its name ("/dev/ttyACM0") through `port` when
    // that is not null. On Linux the serial ports are listed in sysfs; each one is matched by the
    // vendor and product id of the USB device it belongs to.
    static bool FindSolvarine(std::wstring* port);
    // The same search over a given sysfs "class/tty" folder (tests pass a fake tree).
    static bool FindSolvarineIn(const QString& ttyClassDir, std::wstring* port);
};

} // namespace Platform
