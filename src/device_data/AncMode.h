#pragma once

#include "core/Enumer.h"

#include <cstdint>

namespace DeviceData {

// Active noise cancelling mode of the ANC headset. The numbers are what the headset sends and
// receives. Enumer<AncMode> lists them as on, off, transparency with the labels shown on screen.
enum class AncMode : uint8_t {
    on = 0,
    transparency = 1,
    off = 2,
};

// Filter type of one user-EQ band on the ANC headset, one byte on the wire. The program only ever
// writes peaking filters.
enum class AncEqFilterType : uint8_t {
    peaking = 6,
};

} // namespace DeviceData

ENUMER_DECLARE_METADATA(DeviceData::AncMode);
