#pragma once

#include "core/Enumer.h"

#include <QHashFunctions>

#include <cstdint>

// The kind of a device. The code names ("none", "kestrin", ...) appear in file and folder names,
// settings groups, JSON and log lines: see Enumer<DeviceType>.
enum class DeviceType : uint32_t {
    none = 0,
    kestrin = 1,
    kestrin_2 = 2,
    kestrin_2_anc = 3,
    solvarine = 4,
};
ENUMER_DECLARE_METADATA(DeviceType);

// The hardware variant of a headset family device, chosen from its USB product id. A device
// without a variant reports Enumer<KestrinHwType>::Invalid().
enum class KestrinHwType : uint32_t {
    ps_headset = 0,
    ps_dongle = 1,
    xbox_headset = 2,
    xbox_dongle = 3,
};
ENUMER_DECLARE_METADATA(KestrinHwType);

// True for the headset family (kestrin, kestrin_2, kestrin_2_anc).
bool IsLikeKestrin(DeviceType type);

// Every headset model stands in for every other; any other type only for itself. Symmetric.
bool AreDevicesSimilar(DeviceType a, DeviceType b);

inline size_t qHash(DeviceType type, size_t seed = 0) noexcept
{
    return qHash(uint32_t(type), seed);
}

inline size_t qHash(KestrinHwType type, size_t seed = 0) noexcept
{
    return qHash(uint32_t(type), seed);
}
