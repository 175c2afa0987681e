// What one empty probe of the bus costs on this machine with the real hidapi (hidraw backend):
// the twelve hid_enumerate calls of the supported product ids, none of them attached. The idle
// figures of bench_bus use the emulator, whose enumeration is nearly free; this is the part that
// the real system adds per poll.
//
//   bench_bus_enumerate [probes (default 200)]

#include <hidapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

double CpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double WallSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

constexpr unsigned short VendorId = 0x3329;
constexpr unsigned short ProductIds[] = {0x4B1E, 0x4B1A, 0x4B2E, 0x4B2A, 0x4BAE, 0x4BAA,
                                         0x4B18, 0x4B19, 0x4B28, 0x4B29, 0x4BA8, 0x4BA9};

} // namespace

int main(int argc, char** argv)
{
    const int probes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    if (hid_init() != 0) {
        std::fprintf(stderr, "hid_init failed\n");
        return 1;
    }
    std::vector<double> cpu;
    std::vector<double> wall;
    int found = 0;
    for (int i = 0; i < probes; ++i) {
        const double cpu0 = CpuSeconds();
        const double wall0 = WallSeconds();
        for (unsigned short pid : ProductIds) {
            hid_device_info* list = hid_enumerate(VendorId, pid);
            found += list ? 1 : 0;
            hid_free_enumeration(list);
        }
        cpu.push_back(CpuSeconds() - cpu0);
        wall.push_back(WallSeconds() - wall0);
    }
    hid_exit();
    std::sort(cpu.begin(), cpu.end());
    std::sort(wall.begin(), wall.end());
    std::printf("one empty probe (12 x hid_enumerate), %d probes: median %.3f ms CPU, %.3f ms wall; "
                "at one probe per second %.3f %% of one core%s\n",
                probes, cpu[cpu.size() / 2] * 1e3, wall[wall.size() / 2] * 1e3, cpu[cpu.size() / 2] * 100.0,
                found ? " (a supported device is attached!)" : "");
    return 0;
}
