// CPU time of one command exchange through the transport against the emulated headset (no reply
// latency, the client's read pacing off), beside the bare hid_* calls that the exchange makes:
// one hid_write of the request package and one hid_get_input_report that brings the reply. The
// difference is what the client and the transport add: locking, framing, reassembly and matching.
//
//   bench_hid_transport [exchanges per round (default 100000)] [rounds (default 7)]

#include "HidEmulator.h"

#include "devices/KestrinTransport.h"
#include "platform/io/KestrinHidApiClient.h"

#include <hidapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const long exchanges = argc > 1 ? std::atol(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;

    auto device = HidEmu::Plug(0x4B2A);
    device->parameters[0x2C] = 7;
    Platform::KestrinHidApiClient client;
    client.setReadPacing(0, 0);
    hid_device* handle = client.openDevice();
    if (!handle) {
        std::fprintf(stderr, "the emulated headset did not open\n");
        return 1;
    }
    Devices::KestrinTransport transport(client);

    // Get parameter 0x2C (sidetone level): an 8-byte request, a 10-byte reply.
    const uint8_t request[] = {0x05, 0x5A, 0x04, 0x00, 0x01, 0x09, 0x2C, 0x00};
    const Devices::KestrinTransport::Validator valid = [](unsigned char* r) {
        return r[0] == 0x05 && r[1] == 0x5B && r[4] == 0x01 && r[5] == 0x09 && r[6] == 0x2C;
    };
    long failures = 0;
    uint8_t value = 0;

    auto viaTransport = [&] {
        const bool ok = transport.exchange(request, sizeof request, false, 10, valid, [&](const uint8_t* reply, size_t) {
            if (reply[8] != 0)
                return false;
            value = reply[9];
            return true;
        });
        failures += !ok;
    };
    auto bare = [&] {
        uint8_t out[62] = {};
        out[0] = 0x06;
        out[1] = sizeof request;
        std::memcpy(out + 3, request, sizeof request);
        if (hid_write(handle, out, sizeof out) != int(sizeof out))
            ++failures;
        uint8_t in[62] = {};
        in[0] = 0x07;
        if (hid_get_input_report(handle, in, sizeof in) != int(sizeof in) || in[1] != 10)
            ++failures;
        value = in[3 + 9];
    };
    auto measure = [&](auto&& exchange) {
        const double start = ThreadCpuSeconds();
        for (long i = 0; i < exchanges; ++i) {
            exchange();
            if ((i & 1023) == 1023)
                device->clearLog(); // keeps the emulator's request log from growing
        }
        return (ThreadCpuSeconds() - start) / double(exchanges);
    };

    measure(viaTransport); // warm-up
    measure(bare);
    std::vector<double> transportTimes;
    std::vector<double> bareTimes;
    for (int r = 0; r < rounds; ++r) {
        transportTimes.push_back(measure(viaTransport));
        bareTimes.push_back(measure(bare));
    }
    const double t = Median(transportTimes);
    const double b = Median(bareTimes);
    std::printf("exchanges per round: %ld, rounds: %d, last value %u\n", exchanges, rounds, unsigned(value));
    std::printf("bare hid_write + hid_get_input_report: %8.1f ns CPU per exchange\n", b * 1e9);
    std::printf("KestrinTransport::exchange:            %8.1f ns CPU per exchange\n", t * 1e9);
    std::printf("transport / bare: %.3f (adds %.1f %%)\n", t / b, (t / b - 1.0) * 100.0);
    if (failures) {
        std::fprintf(stderr, "%ld exchanges failed\n", failures);
        return 1;
    }
    return 0;
}
