// Feeds arbitrary input-report streams through the transport's reassembly and reply matching.
//
// Input: byte 0 the minimum reply length, byte 1 flags (bit 0: opened via a dongle, bits 1-2: the
// validator), then reports, each one byte count as the report carries it (0..255, so also
// invalid ones) followed by up to 59 bytes.

#include "HidEmulator.h"

#include "devices/KestrinTransport.h"
#include "io/KestrinHidApiClient.h"

#include <cstdlib>
#include <cstring>

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t minLength = data[0] % 64;
    const uint8_t flags = data[1];
    const uint8_t wantedId = size > 2 ? data[2] : 0;
    data += 2;
    size -= 2;

    HidEmu::Bus::instance().reset();
    auto device = HidEmu::Plug((flags & 1) ? 0x4B29 : 0x4B2A);
    device->setSilent(true); // only the fuzzed stream reaches the host
    Platform::KestrinHidApiClient client;
    client.setReadPacing(0, 0);
    if (!client.openDevice())
        std::abort();
    Devices::KestrinTransport transport(client);

    while (size > 0) {
        HidEmu::Bytes report(HidEmu::kReportSize, 0);
        report[0] = HidEmu::kInReportId;
        report[1] = data[0];
        const size_t take = std::min<size_t>(size - 1, HidEmu::kMaxPayload);
        std::memcpy(report.data() + 3, data + 1, take);
        device->injectReport(report);
        data += 1 + take;
        size -= 1 + take;
    }

    Devices::KestrinTransport::Validator validator;
    switch ((flags >> 1) & 3) {
    case 0: validator = [](unsigned char* r) { return r[0] == 0x05; }; break;
    case 1:
        validator = [minLength, wantedId](unsigned char* r) {
            return minLength >= 6 && r[1] == 0x5B && r[4] == wantedId;
        };
        break;
    case 2: validator = [minLength](unsigned char* r) { return minLength >= 9 && r[1] == 0x5D && r[8] < 0x80; }; break;
    default: validator = [](unsigned char*) { return false; }; break;
    }

    // One request through the whole exchange, then whatever else the stream holds.
    const uint8_t request[] = {0x05, 0x5A, 0x04, 0x00, 0x01, 0x09, 0x2C, 0x00};
    auto evaluate = [](const uint8_t* reply, size_t length) {
        Require(length >= 4 && length <= Devices::KestrinTransport::c_bufferSize);
        Require(reply[0] == 0x05);
        Require(length == (size_t(reply[2]) | (size_t(reply[3]) << 8)) + 4);
        volatile uint8_t last = reply[length - 1];
        (void)last;
        return true;
    };
    transport.exchange(request, sizeof request, false, minLength, validator, evaluate);
    for (int i = 0; i < 200 && client.hasDevice(); ++i) {
        if (transport.readCmdAndValidate(minLength, validator)) {
            const size_t length = transport.currentCommandLength();
            Require(length >= minLength && length >= 4);
            Require(length <= transport.bufferedBytes());
            Require(transport.bufferedBytes() <= Devices::KestrinTransport::c_bufferCapacity);
            evaluate(transport.currentCommand(), length);
            transport.consumeCurrentCommand();
        }
        Require(transport.bufferedBytes() <= Devices::KestrinTransport::c_bufferCapacity);
        if (device->pendingOutput() == 0 && transport.bufferedBytes() == 0 && i > 8)
            break;
    }
    client.closeDevice();
    return 0;
}
