#include "core/DeviceType.h"

ENUMER_DEFINE_METADATA(DeviceType, data)
{
    data.appendInternal(uint32_t(DeviceType::none), "none");
    data.appendInternal(uint32_t(DeviceType::kestrin), "kestrin");
    data.appendInternal(uint32_t(DeviceType::kestrin_2), "kestrin_2");
    data.appendInternal(uint32_t(DeviceType::kestrin_2_anc), "kestrin_2_anc");
    data.appendInternal(uint32_t(DeviceType::solvarine), "solvarine");
}

ENUMER_DEFINE_METADATA(KestrinHwType, data)
{
    data.appendInternal(uint32_t(KestrinHwType::ps_headset), "ps_headset");
    data.appendInternal(uint32_t(KestrinHwType::ps_dongle), "ps_dongle");
    data.appendInternal(uint32_t(KestrinHwType::xbox_headset), "xbox_headset");
    data.appendInternal(uint32_t(KestrinHwType::xbox_dongle), "xbox_dongle");
}

bool IsLikeKestrin(DeviceType type)
{
    const auto value = uint32_t(type);
    return value >= uint32_t(DeviceType::kestrin) && value <= uint32_t(DeviceType::kestrin_2_anc);
}

bool AreDevicesSimilar(DeviceType a, DeviceType b)
{
    if (IsLikeKestrin(a))
        return IsLikeKestrin(b);
    return a == b;
}
