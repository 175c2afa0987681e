// CPU time of one command exchange through the transport against the emulated headset (no reply
// latency, the client's read pacing off), beside the bare hid_* calls that the exchange makes:
// one hid_write of the request package and one hid_get_input_report that brings the reply. The
// difference is what the client and the transport add: locking, framing, reassembly and matching.
//
// CPU time suffers from whatever else the machine runs, so the user-space instructions retired
// are counted too where the system offers hardware perf events. Where it does not (most virtual
// machines), run it under valgrind --tool=callgrind and compare the inclusive cost per call of the
// two measured functions, ExchangeViaTransport and ExchangeBare.
//
//   bench_hid_transport [exchanges per round (default 100000)] [rounds (default 7)]

#include "HidEmulator.h"

#include "devices/KestrinTransport.h"
#include "io/KestrinHidApiClient.h"

#include <hidapi.h>

#include <linux/perf_event.h>
#include <sys/syscall.h>
#include <unistd.h>

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

// Instructions retired in user space by the calling thread; -1 when perf events are unavailable.
class InstructionCounter {
public:
    InstructionCounter()
    {
        perf_event_attr attr{};
        attr.type = PERF_TYPE_HARDWARE;
        attr.size = sizeof attr;
        attr.config = PERF_COUNT_HW_INSTRUCTIONS;
        attr.exclude_kernel = 1;
        attr.exclude_hv = 1;
        m_fd = int(syscall(SYS_perf_event_open, &attr, 0, -1, -1, 0));
    }
    ~InstructionCounter()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    double read() const
    {
        uint64_t value = 0;
        if (m_fd < 0 || ::read(m_fd, &value, sizeof value) != ssize_t(sizeof value))
            return -1.0;
        return double(value);
    }

private:
    int m_fd = -1;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Get parameter 0x2C (sidetone level): an 8-byte request, a 10-byte reply.
const uint8_t c_request[] = {0x05, 0x5A, 0x04, 0x00, 0x01, 0x09, 0x2C, 0x00};

struct Context {
    Devices::KestrinTransport& transport;
    hid_device* handle;
    Devices::KestrinTransport::Validator valid;
    long failures = 0;
    uint8_t value = 0;
};

// The two measured exchanges stay out of line, each one function in a profile.
__attribute__((noinline)) void ExchangeViaTransport(Context& c)
{
    const bool ok =
        c.transport.exchange(c_request, sizeof c_request, false, 10, c.valid, [&c](const uint8_t* reply, size_t) {
            if (reply[8] != 0)
                return false;
            c.value = reply[9];
            return true;
        });
    c.failures += !ok;
}

__attribute__((noinline)) void ExchangeBare(Context& c)
{
    uint8_t out[62] = {};
    out[0] = 0x06;
    out[1] = sizeof c_request;
    std::memcpy(out + 3, c_request, sizeof c_request);
    if (hid_write(c.handle, out, sizeof out) != int(sizeof out))
        ++c.failures;
    uint8_t in[62] = {};
    in[0] = 0x07;
    if (hid_get_input_report(c.handle, in, sizeof in) != int(sizeof in) || in[1] != 10)
        ++c.failures;
    c.value = in[3 + 9];
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

    Context context{transport, handle, [](unsigned char* r) {
                        return r[0] == 0x05 && r[1] == 0x5B && r[4] == 0x01 && r[5] == 0x09 && r[6] == 0x2C;
                    }};
    auto viaTransport = [&] { ExchangeViaTransport(context); };
    auto bare = [&] { ExchangeBare(context); };
    const InstructionCounter instructions;
    struct Sample {
        double seconds;
        double instructions;
    };
    auto measure = [&](auto&& exchange) {
        const double startInstructions = instructions.read();
        const double start = ThreadCpuSeconds();
        for (long i = 0; i < exchanges; ++i) {
            exchange();
            if ((i & 1023) == 1023)
                device->clearLog(); // keeps the emulator's request log from growing
        }
        const double seconds = (ThreadCpuSeconds() - start) / double(exchanges);
        return Sample{seconds, (instructions.read() - startInstructions) / double(exchanges)};
    };

    measure(viaTransport); // warm-up
    measure(bare);
    std::vector<double> transportTimes, bareTimes, transportInstructions, bareInstructions;
    for (int r = 0; r < rounds; ++r) {
        const Sample t = measure(viaTransport);
        const Sample b = measure(bare);
        transportTimes.push_back(t.seconds);
        bareTimes.push_back(b.seconds);
        transportInstructions.push_back(t.instructions);
        bareInstructions.push_back(b.instructions);
    }
    const double tMin = *std::min_element(transportTimes.begin(), transportTimes.end());
    const double bMin = *std::min_element(bareTimes.begin(), bareTimes.end());
    const double tMed = Median(transportTimes);
    const double bMed = Median(bareTimes);
    std::printf("exchanges per round: %ld, rounds: %d, last value %u\n", exchanges, rounds, unsigned(context.value));
    const bool counted = instructions.read() >= 0.0;
    std::printf("                                        CPU min    CPU median   instructions\n");
    std::printf("bare hid_write + hid_get_input_report: %7.1f ns  %7.1f ns  %10.0f\n", bMin * 1e9, bMed * 1e9,
                counted ? Median(bareInstructions) : 0.0);
    std::printf("KestrinTransport::exchange:            %7.1f ns  %7.1f ns  %10.0f\n", tMin * 1e9, tMed * 1e9,
                counted ? Median(transportInstructions) : 0.0);
    std::printf("transport / bare, CPU time (min):      %.3f (adds %.1f %%)\n", tMin / bMin,
                (tMin / bMin - 1.0) * 100.0);
    std::printf("transport / bare, CPU time (median):   %.3f (adds %.1f %%)\n", tMed / bMed,
                (tMed / bMed - 1.0) * 100.0);
    if (counted) {
        const double ratio = Median(transportInstructions) / Median(bareInstructions);
        std::printf("transport / bare, instructions:        %.3f (adds %.1f %%)\n", ratio, (ratio - 1.0) * 100.0);
    } else {
        std::printf("instructions: perf events unavailable here\n");
    }
    if (context.failures) {
        std::fprintf(stderr, "%ld exchanges failed\n", context.failures);
        return 1;
    }
    return 0;
}
