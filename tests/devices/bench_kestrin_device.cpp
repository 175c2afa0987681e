// Benchmark (not a test): what a full initialisation of each headset type and one custom-EQ upload
// cost on the wire, against the emulated headset, beside the least the protocol needs.
//
// For each case it prints the HID exchanges (requests), the output reports, the input-report
// reads (GET_REPORT), and the emulated time: reads times the client's read pacing (10 ms cabled,
// 50 ms through the dongle) plus the pauses the command set itself takes. The least the protocol
// needs is the same requests with one read per 59 bytes of reply and the same pauses. The wall
// time of the run with the real pacing is printed beside it.
//
//     build/<dir>/tests/devices/bench_kestrin_device

#include "KestrinRig.h"

#include "devices/KestrinDeviceImpl.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>

#include <cstdio>

using namespace HidEmu;

namespace {

constexpr int c_cabledPaceMs = 10;
constexpr int c_donglePaceMs = 50;
constexpr int c_ancPauseMs = 50;
constexpr int c_kestrin2EqPauseMs = 1000;

// Bytes the headset answers a request with (responses and notifications).
size_t ReplyBytes(const Request& rq, const Headset& headset)
{
    const std::string what = Kestrin::Describe(rq);
    if (what.rfind("get fw_version", 0) == 0) {
        const size_t text =
            rq.target == Target::Dongle ? headset.dongleFirmwareVersion.size() : headset.firmwareVersion.size();
        return 7 + 9 + text;
    }
    if (what == "get battery")
        return 7 + 9;
    if (what.rfind("get user_biquads", 0) == 0)
        return 147;
    if (what.rfind("nv read", 0) == 0)
        return 11 + 185;
    if (what == "get auto_power_off")
        return 17;
    if (what == "get mic_level")
        return 13;
    return 10;
}

int PausesMs(const std::vector<Request>& requests, bool kestrin2EqReload)
{
    int ms = 0;
    for (const auto& rq : requests) {
        if (rq.commandId == Kestrin::kAncGroup)
            ms += c_ancPauseMs;
    }
    return ms + (kestrin2EqReload ? c_kestrin2EqPauseMs : 0);
}

struct Figures {
    size_t requests = 0;
    size_t outReports = 0;
    size_t reads = 0;
    size_t leastOutReports = 0;
    size_t leastReads = 0;
    int emulatedMs = 0;
    int leastMs = 0;
    qint64 wallMs = 0;
};

Figures Measure(const Headset& headset, bool dongle, bool kestrin2EqReload, qint64 wallMs)
{
    Figures f;
    const auto requests = headset.requests();
    const int pace = dongle ? c_donglePaceMs : c_cabledPaceMs;
    f.requests = requests.size();
    f.outReports = headset.outReports().size();
    f.reads = headset.inputReportRequests();
    for (const auto& rq : requests) {
        f.leastOutReports += (rq.frame.size() + 58) / 59;
        f.leastReads += (ReplyBytes(rq, headset) + 58) / 59;
    }
    const int pauses = PausesMs(requests, kestrin2EqReload);
    f.emulatedMs = int(f.reads) * pace + pauses;
    f.leastMs = int(f.leastReads) * pace + pauses;
    f.wallMs = wallMs;
    return f;
}

void Print(const char* name, const Figures& f)
{
    std::printf("%-34s %4zu  %4zu / %-4zu  %4zu / %-4zu  %6d / %-6d  %6lld\n", name, f.requests, f.outReports,
                f.leastOutReports, f.reads, f.leastReads, f.emulatedMs, f.leastMs, static_cast<long long>(f.wallMs));
}

std::shared_ptr<Devices::KestrinDeviceImpl> Build(KestrinRig& rig)
{
    return rig.build<Devices::KestrinDeviceImpl>();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);

    std::printf("%-34s %4s  %11s  %11s  %15s  %6s\n", "case", "xchg", "out/least", "reads/least", "emul ms/least",
                "wall ms");

    struct Case {
        const char* name;
        uint16_t pid;
        uint8_t eqIndex; // 0: the preset in use is a built-in one
    };
    const Case inits[] = {
        {"init kestrin cabled", 0x4B1A, 0},
        {"init kestrin dongle", 0x4B19, 0},
        {"init kestrin_2 cabled", 0x4B2A, 0},
        {"init kestrin_2 dongle", 0x4B29, 0},
        {"init kestrin_2_anc cabled", 0x4BAA, 0},
        {"init kestrin_2_anc dongle", 0x4BA9, 0},
        {"init kestrin_2 cabled, custom EQ", 0x4B2A, 8},
        {"init kestrin_2_anc dongle, cust.", 0x4BA9, 8},
    };
    for (const Case& c : inits) {
        KestrinRig rig(c.pid, true);
        if (c.eqIndex)
            rig.state->eqIndex = c.eqIndex;
        rig.headset->clearLog();
        QElapsedTimer wall;
        wall.start();
        auto device = Build(rig);
        const qint64 ms = wall.elapsed();
        if (!device->isValid()) {
            std::printf("%s: did not initialise\n", c.name);
            return 1;
        }
        // The transport's start-up drain is part of initialisation too.
        Print(c.name, Measure(*rig.headset, rig.isDongle(), false, ms));
    }

    const Case uploads[] = {
        {"EQ upload kestrin cabled", 0x4B1A, 7},
        {"EQ upload kestrin_2 cabled", 0x4B2A, 7},
        {"EQ upload kestrin_2 dongle", 0x4B29, 7},
    };
    for (const Case& c : uploads) {
        KestrinRig rig(c.pid, true);
        auto device = Build(rig);
        std::vector<DeviceData::KestrinEqBandParams> bands;
        if (!device->loadEqBands(c.eqIndex, bands))
            return 1;
        bands[3].setGain(5);
        rig.headset->clearLog();
        QElapsedTimer wall;
        wall.start();
        if (!device->setEqBands(c.eqIndex, bands)) {
            std::printf("%s: upload failed\n", c.name);
            return 1;
        }
        const qint64 ms = wall.elapsed();
        const bool reload = rig.client->getOpenedDeviceType() == DeviceType::kestrin_2 && !rig.isDongle();
        Print(c.name, Measure(*rig.headset, rig.isDongle(), reload, ms));
    }

    {
        // The ANC model's equivalent: one band of a user EQ.
        KestrinRig rig(0x4BAA, true);
        auto device = Build(rig);
        std::vector<DeviceData::KestrinEqBandParams> bands;
        if (!device->loadEqBands(8, bands))
            return 1;
        rig.headset->clearLog();
        QElapsedTimer wall;
        wall.start();
        if (!device->writeUserEqBiquad(8, 3, DeviceData::AncEqFilterType::peaking, 250.0f, 4.0f))
            return 1;
        Print("EQ band kestrin_2_anc cabled", Measure(*rig.headset, false, false, wall.elapsed()));
    }
    return 0;
}
