// Arbitrary bytes as the ANC headset's user-EQ band records.

#include "devices/KestrinConverters.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Devices::Kestrin2AncEq eq;
    eq.bands.resize(1);
    const bool ok = Devices::KestrinConverters::BytesToKestrin2AncEq(data, size, eq);
    if (ok != (size % 14 == 0))
        std::abort();
    if (eq.bands.size() != 1 + (ok ? size / 14 : 0))
        std::abort();
    for (size_t i = 1; i < eq.bands.size(); ++i) {
        if (eq.bands[i].bandId != data[(i - 1) * 14] || eq.bands[i].filterType != data[(i - 1) * 14 + 1])
            std::abort();
    }
    return 0;
}
