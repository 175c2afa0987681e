// Arbitrary bytes as a stored EQ preset: parsing must stay inside the input, a parsed preset must
// write back to the same bytes, and its coefficient blob must keep its layout.

#include "devices/KestrinConverters.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Devices::KestrinEq eq;
    if (!Devices::KestrinConverters::BytesToEq(data, size, eq))
        return 0;
    const std::vector<uint8_t> bytes = Devices::KestrinConverters::GetEqBytes(eq);
    if (bytes.size() != size || !std::equal(bytes.begin(), bytes.end(), data))
        std::abort();
    if (eq.bands.size() <= 10) {
        const std::vector<uint8_t> blob = Devices::KestrinConverters::GetCoefBytes(eq);
        if (blob.size() < 4 || blob[0] != 4)
            std::abort();
        size_t offset = 4;
        for (int code : {1, 2, 5, 6}) {
            if (offset + 4 > blob.size() || blob[offset] != code)
                std::abort();
            offset += 4 + 2 * size_t(blob[offset + 2] | (blob[offset + 3] << 8));
        }
        if (offset != blob.size())
            std::abort();
    }
    return 0;
}
