// The headset command set and the EQ store, byte for byte, against the emulated headset.

#include "KestrinRig.h"

#include "devices/KestrinConverters.h"
#include "devices/KestrinSettings.h"
#include "devices/KestrinTransport.h"

#include <QtTest>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

using namespace HidEmu;
using Devices::KestrinTransport;
using DeviceData::AncMode;

namespace {

Bytes FromHex(const QString& hex)
{
    Bytes out;
    for (const QString& part : hex.split(' ', Qt::SkipEmptyParts))
        out.push_back(uint8_t(part.toUInt(nullptr, 16)));
    return out;
}

Devices::KestrinEq TenBandEq()
{
    Devices::KestrinEq eq;
    eq.headerByte = 0x0A;
    eq.headerWord = 1;
    const int freqs[] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    for (int i = 0; i < 10; ++i) {
        Devices::KestrinBandInfo band;
        band.frequency = freqs[i] * 100;
        band.gain = (i - 5) * 100;
        band.q = 70;
        band.byte0 = uint8_t(i);
        band.byte1 = 2;
        eq.bands.push_back(band);
    }
    return eq;
}

} // namespace

using Operation = std::function<bool(KestrinTransport&)>;
Q_DECLARE_METATYPE(Operation)

class TestKestrinCommands : public QObject {
    Q_OBJECT

private slots:
    void requestFrames_data();
    void requestFrames();
    void sidetoneLevelPackage();
    void leftRightGainStopsAtFirstRefusal();
    void pairingIsForTheDongle();
    void refusedRepliesFail_data();
    void refusedRepliesFail();
    void untestedStatusBytes_data();
    void untestedStatusBytes();
    void lateRepliesAreNotTakenForThisOne_data();
    void lateRepliesAreNotTakenForThisOne();
    void valueChecks();
    void micLevelPositionDependsOnDongle();
    void batteryRefusalSkipsNotification();
    void firmwareVersions();
    void firmwareVersionMustFitItsNotification();
    void sensorsEnableWaitsForFirstSample();
    void sensorsEnableWaitIsBounded();
    void sensorsDisableDrainsReports();
    void everySettingRoundTrips_data();
    void everySettingRoundTrips();
    void eqStoreKeys_data();
    void eqStoreKeys();
    void eqStoreWaitsLongerForSlowReplies();
    void eqCoefficientSaveMustEchoItsKey();
    void eqReadBack_data();
    void eqReadBack();
};

void TestKestrinCommands::requestFrames_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<bool>("relayed");
    QTest::addColumn<bool>("result");

    const int anc = 0x4BA9; // behind a dongle: requests for the headset carry the relay flag
    auto row = [&](const char* name, int pid, Operation op, const char* frame, bool relayed, bool result) {
        QTest::newRow(name) << pid << op << QString(frame) << relayed << result;
    };

    // One row a line reads as the table it is.
    // clang-format off
    row("writePeqIndex", anc, [](KestrinTransport& t) { return t.writePeqIndex(9); }, "05 5A 05 00 00 09 00 00 09", true, true);
    row("readPeqIndex", anc, [](KestrinTransport& t) { uint8_t v; return t.readPeqIndex(v); }, "05 5A 04 00 01 09 00 00", true, true);
    row("writeVpLevel", anc, [](KestrinTransport& t) { return t.writeVpLevel(4); }, "05 5A 05 00 00 09 20 00 04", true, true);
    row("readVpLevel", anc, [](KestrinTransport& t) { uint8_t v; return t.readVpLevel(v); }, "05 5A 04 00 01 09 20 00", true, true);
    row("readMicMute", anc, [](KestrinTransport& t) { bool v; return t.readMicMute(v); }, "05 5A 04 00 01 09 22 00", true, true);
    row("writeNoiseReduction", anc, [](KestrinTransport& t) { return t.writeNoiseReduction(2); }, "05 5A 05 00 00 09 24 00 02", true, true);
    row("readNoiseReduction", anc, [](KestrinTransport& t) { uint8_t v; return t.readNoiseReduction(v); }, "05 5A 04 00 01 09 24 00", true, true);
    row("writeEarcupBalance", anc, [](KestrinTransport& t) { return t.writeEarcupBalance(130); }, "05 5A 05 00 00 09 25 00 82", true, true);
    row("readEarcupBalance", anc, [](KestrinTransport& t) { uint8_t v; return t.readEarcupBalance(v); }, "05 5A 04 00 01 09 25 00", true, true);
    row("writeAmpGain", anc, [](KestrinTransport& t) { return t.writeAmpGain(0x88); }, "05 5A 05 00 00 09 28 00 88", true, true);
    row("readAmpGain", anc, [](KestrinTransport& t) { uint8_t v; return t.readAmpGain(v); }, "05 5A 04 00 01 09 28 00", true, true);
    row("readLeftGain", anc, [](KestrinTransport& t) { uint8_t v; return t.readLeftGain(v); }, "05 5A 04 00 01 09 29 00", true, true);
    row("writeSidetoneLevel", anc, [](KestrinTransport& t) { return t.writeSidetoneLevel(12); }, "05 5A 05 00 00 09 2C 00 0C", true, true);
    row("readSidetoneLevel", anc, [](KestrinTransport& t) { uint8_t v; return t.readSidetoneLevel(v); }, "05 5A 04 00 01 09 2C 00", true, true);
    row("readMaxSidetoneLevel", anc, [](KestrinTransport& t) { uint8_t v; return t.readMaxSidetoneLevel(v); }, "05 5A 04 00 01 09 2D 00", true, true);
    row("readIsNewFilm", 0x4B1A, [](KestrinTransport& t) { bool v; return t.readIsNewFilm(v); }, "05 5A 04 00 01 09 2F 00", false, true);
    row("writeMicLevel", anc, [](KestrinTransport& t) { return t.writeMicLevel(5); }, "05 5A 05 00 00 09 35 00 05", true, true);
    row("readMicLevel", anc, [](KestrinTransport& t) { uint8_t v; return t.readMicLevel(v); }, "05 5A 04 00 01 09 35 00", true, true);
    row("writeGameChatMix", anc, [](KestrinTransport& t) { return t.writeGameChatMix(7); }, "05 5A 05 00 82 2C 0B 00 07", true, true);
    row("readGameChatMix", anc, [](KestrinTransport& t) { uint8_t v; return t.readGameChatMix(v); }, "05 5A 04 00 83 2C 0B 00", true, true);
    row("writeSidetoneState", anc, [](KestrinTransport& t) { return t.writeSidetoneState(true); }, "05 5A 05 00 82 2C 07 00 01", true, true);
    row("readSidetoneState", anc, [](KestrinTransport& t) { bool v; return t.readSidetoneState(v); }, "05 5A 04 00 83 2C 07 00", true, true);
    row("writeAutoPowerOff 0", anc, [](KestrinTransport& t) { return t.writeAutoPowerOff(0); },
        "05 5A 0C 00 82 2C 01 00 00 00 00 00 00 00 00 00", true, true);
    row("writeAutoPowerOff 300", anc, [](KestrinTransport& t) { return t.writeAutoPowerOff(300); },
        "05 5A 0C 00 82 2C 01 00 01 00 2C 01 01 00 2C 01", true, true);
    row("readAutoPowerOff", anc, [](KestrinTransport& t) { uint16_t v; return t.readAutoPowerOff(v); }, "05 5A 04 00 83 2C 01 00", true, true);
    row("readPoweredOn", 0x4BAA, [](KestrinTransport& t) { bool v; return t.readPoweredOn(v); }, "05 5A 02 00 80 2C", false, true);
    row("writeAncMode", anc, [](KestrinTransport& t) { return t.writeAncMode(AncMode::off); }, "05 5A 04 00 30 2E 01 02", true, true);
    row("readAncMode", anc, [](KestrinTransport& t) { AncMode v; return t.readAncMode(v); }, "05 5A 03 00 30 2E 02", true, true);
    row("writeUserEqIndex", anc, [](KestrinTransport& t) { return t.writeUserEqIndex(3); }, "05 5A 04 00 30 2E 0C 03", true, true);
    row("readUserEqIndex", anc, [](KestrinTransport& t) { uint8_t v; return t.readUserEqIndex(v); }, "05 5A 03 00 30 2E 0D", true, true);
    row("writeUserEqBiquad", anc,
        [](KestrinTransport& t) {
            return t.writeUserEqBiquad(6, 0x13, DeviceData::AncEqFilterType::peaking, 1000.0f, 0.7f, -3.0f);
        },
        // frequency, gain, then the middle value
        "05 5A 12 00 30 2E 0B 06 13 06 00 00 7A 44 00 00 40 C0 33 33 33 3F", true, true);
    row("readUserBiquad", anc, [](KestrinTransport& t) { Devices::Kestrin2AncEq v; return t.readUserBiquad(7, v); },
        "05 5A 05 00 30 2E 32 07 0A", true, true);
    row("readBatteryLevel", anc, [](KestrinTransport& t) { uint8_t v; return t.readBatteryLevel(v); }, "05 5A 03 00 D6 0C 00", true, true);
    row("readFwVersion headset", anc, [](KestrinTransport& t) { QString v; return t.readFwVersion(v, false); },
        "05 5A 03 00 07 1C 00", true, true);
    row("readFwVersion dongle", anc, [](KestrinTransport& t) { QString v; return t.readFwVersion(v, true); },
        "05 5A 03 00 07 1C 00", false, true);
    row("readTvqReady", anc, [](KestrinTransport& t) { bool v; return t.readTvqReady(v); }, "05 5A 03 00 02 00 08", true, true);
    row("writeSensorsEnabled on", anc, [](KestrinTransport& t) { return t.writeSensorsEnabled(true, 200); },
        "05 5A 05 00 00 09 2E 00 BC", true, true);
    row("writeSensorsEnabled off", anc, [](KestrinTransport& t) { return t.writeSensorsEnabled(false, 1); },
        "05 5A 05 00 00 09 2E 00 01", true, true);
    row("factoryReset", anc, [](KestrinTransport& t) { return t.factoryReset(); }, "05 5A 04 00 01 11 95 00", true, true);
    row("pairing", anc, [](KestrinTransport& t) { return t.pairing(); }, "05 5A 04 00 01 11 AA 00", false, true);
    row("factoryReset cabled", 0x4B2E, [](KestrinTransport& t) { return t.factoryReset(); }, "05 5A 04 00 01 11 95 00", false, true);
    // clang-format on
}

void TestKestrinCommands::requestFrames()
{
    QFETCH(int, pid);
    QFETCH(Operation, operation);
    QFETCH(QString, frame);
    QFETCH(bool, relayed);
    QFETCH(bool, result);

    KestrinRig rig{uint16_t(pid)};
    KestrinTransport transport(*rig.client);
    QCOMPARE(operation(transport), result);

    const auto requests = rig.headset->requests();
    QCOMPARE(requests.size(), size_t(1));
    QCOMPARE(QString::fromStdString(ToHex(requests[0].frame)), QString::fromStdString(ToHex(FromHex(frame))));
    QCOMPARE(requests[0].relayed, relayed);
    QCOMPARE(ToStringList(rig.headset->violations()), QStringList());
    QCOMPARE(transport.bufferedBytes(), size_t(0));
}

void TestKestrinCommands::sidetoneLevelPackage()
{
    KestrinRig rig{0x4B28};
    KestrinTransport transport(*rig.client);
    QVERIFY(transport.writeSidetoneLevel(12));
    const Bytes expected = FromHex("06 09 80 05 5A 05 00 00 09 2C 00 0C");
    Bytes report = rig.headset->outReports().back();
    QCOMPARE(report.size(), size_t(62));
    QCOMPARE(ToHex(Bytes(report.begin(), report.begin() + 12)), ToHex(expected));
    QVERIFY(std::all_of(report.begin() + 12, report.end(), [](uint8_t b) { return b == 0; }));
    QCOMPARE(rig.state->sidetoneLevel, uint8_t(12));
}

void TestKestrinCommands::leftRightGainStopsAtFirstRefusal()
{
    KestrinRig rig{0x4B2A};
    KestrinTransport transport(*rig.client);
    QVERIFY(transport.writeLeftRightGain(10, 20));
    QCOMPARE(ToStringList(rig.takeLog()), (QStringList{"set left_gain 10", "set right_gain 20"}));
    QCOMPARE(rig.state->leftGain, uint8_t(10));
    QCOMPARE(rig.state->rightGain, uint8_t(20));

    rig.headset->refuse(Kestrin::kSetParameter, 1);
    QVERIFY(!transport.writeLeftRightGain(11, 21));
    QCOMPARE(ToStringList(rig.takeLog()), QStringList{"set left_gain 11"});
}

void TestKestrinCommands::pairingIsForTheDongle()
{
    KestrinRig rig{0x4B28};
    KestrinTransport transport(*rig.client);
    QVERIFY(transport.pairing());
    QCOMPARE(rig.state->pairings, 1);
    const Bytes expected = MakeOutReport(FromHex("05 5A 04 00 01 11 AA 00"), false);
    QCOMPARE(ToHex(rig.headset->outReports().back()), ToHex(expected));
    QCOMPARE(ToStringList(rig.log()), QStringList{"pairing @dongle"});

    // A cabled headset has nothing to pair.
    KestrinRig cabled{0x4B2E};
    KestrinTransport cabledTransport(*cabled.client);
    QVERIFY(!cabledTransport.pairing());
    QCOMPARE(cabled.state->pairings, 0);
}

void TestKestrinCommands::refusedRepliesFail_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<int>("commandId");
    QTest::addColumn<Operation>("operation");

    auto row = [](const char* name, int pid, int id, Operation op) { QTest::newRow(name) << pid << id << op; };
    // Every reply whose status decides is refused with status 3: none of them may count as done.
    // One row a line reads as the table it is.
    // clang-format off
    row("writePeqIndex", 0x4B1A, 0x0900, [](KestrinTransport& t) { return t.writePeqIndex(2); });
    row("writeNoiseReduction", 0x4B1A, 0x0900, [](KestrinTransport& t) { return t.writeNoiseReduction(2); });
    row("writeEarcupBalance", 0x4B1A, 0x0900, [](KestrinTransport& t) { return t.writeEarcupBalance(130); });
    row("writeAmpGain", 0x4B1A, 0x0900, [](KestrinTransport& t) { return t.writeAmpGain(130); });
    row("writeSidetoneLevel", 0x4B1A, 0x0900, [](KestrinTransport& t) { return t.writeSidetoneLevel(2); });
    row("readNoiseReduction", 0x4B1A, 0x0901, [](KestrinTransport& t) { uint8_t v = 77; return t.readNoiseReduction(v) || v != 77; });
    row("readEarcupBalance", 0x4B1A, 0x0901, [](KestrinTransport& t) { uint8_t v = 77; return t.readEarcupBalance(v) || v != 77; });
    row("readSidetoneLevel", 0x4B1A, 0x0901, [](KestrinTransport& t) { uint8_t v = 77; return t.readSidetoneLevel(v) || v != 77; });
    row("readMaxSidetoneLevel", 0x4B1A, 0x0901, [](KestrinTransport& t) { uint8_t v = 77; return t.readMaxSidetoneLevel(v) || v != 77; });
    row("readMicLevel", 0x4B2A, 0x0901, [](KestrinTransport& t) { uint8_t v = 77; return t.readMicLevel(v) || v != 77; });
    row("writeGameChatMix", 0x4B1A, 0x2C82, [](KestrinTransport& t) { return t.writeGameChatMix(3); });
    row("writeSidetoneState", 0x4B1A, 0x2C82, [](KestrinTransport& t) { return t.writeSidetoneState(true); });
    row("readSidetoneState", 0x4B1A, 0x2C83, [](KestrinTransport& t) { bool v = false; return t.readSidetoneState(v) || v; });
    row("writeAutoPowerOff", 0x4B1A, 0x2C82, [](KestrinTransport& t) { return t.writeAutoPowerOff(60); });
    row("writeAncMode", 0x4BAA, 0x2E30, [](KestrinTransport& t) { return t.writeAncMode(AncMode::off); });
    row("writeUserEqIndex", 0x4BAA, 0x2E30, [](KestrinTransport& t) { return t.writeUserEqIndex(2); });
    row("writeUserEqBiquad", 0x4BAA, 0x2E30, [](KestrinTransport& t) {
        return t.writeUserEqBiquad(6, 0x10, DeviceData::AncEqFilterType::peaking, 100.0f, 0.7f, 1.0f);
    });
    row("readBatteryLevel", 0x4B1A, 0x0CD6, [](KestrinTransport& t) { uint8_t v = 77; return t.readBatteryLevel(v) || v != 77; });
    row("readFwVersion", 0x4B1A, 0x1C07, [](KestrinTransport& t) { QString v = "x"; return t.readFwVersion(v, false) || v != "x"; });
    row("readTvqReady", 0x4B1A, 0x0002, [](KestrinTransport& t) { bool v = false; return t.readTvqReady(v) || v; });
    row("writeSensorsEnabled", 0x4B1A, 0x0900, [](KestrinTransport& t) { return t.writeSensorsEnabled(true, 60); });
    row("factoryReset", 0x4B1A, 0x1101, [](KestrinTransport& t) { return t.factoryReset(); });
    row("pairing", 0x4B19, 0x1101, [](KestrinTransport& t) { return t.pairing(); });
    // clang-format on
}

void TestKestrinCommands::refusedRepliesFail()
{
    QFETCH(int, pid);
    QFETCH(int, commandId);
    QFETCH(Operation, operation);

    KestrinRig rig{uint16_t(pid)};
    KestrinTransport transport(*rig.client);
    rig.headset->refuse(uint16_t(commandId), 3);
    QVERIFY(!operation(transport));
    QCOMPARE(rig.requestCount(), size_t(1));
    // The refusal was consumed along with its reply: the next exchange starts clean.
    QCOMPARE(transport.bufferedBytes(), size_t(0));
}

void TestKestrinCommands::untestedStatusBytes_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<int>("commandId");
    QTest::addColumn<QString>("payload"); // the reply's bytes after its command id
    QTest::addColumn<Operation>("operation");

    auto row = [](const char* name, int pid, int id, const char* payload, Operation op) {
        QTest::newRow(name) << pid << id << QString::fromLatin1(payload) << op;
    };
    // Replies whose byte in a status position is not a verdict on the command: the headset may
    // put anything there (07 below), and the value beside it is what counts.
    // One row a line reads as the table it is.
    // clang-format off
    row("writeVpLevel", 0x4B1A, 0x0900, "20 00 07", [](KestrinTransport& t) { return t.writeVpLevel(4); });
    row("writeMicLevel", 0x4B2A, 0x0900, "35 00 07", [](KestrinTransport& t) { return t.writeMicLevel(4); });
    row("readPeqIndex", 0x4B1A, 0x0901, "00 00 07 04",
        [](KestrinTransport& t) { uint8_t v = 0; return t.readPeqIndex(v) && v == 4; });
    row("readVpLevel", 0x4B1A, 0x0901, "20 00 07 0B",
        [](KestrinTransport& t) { uint8_t v = 0; return t.readVpLevel(v) && v == 11; });
    row("readMicMute open", 0x4B1A, 0x0901, "22 00 07 FF",
        [](KestrinTransport& t) { bool v = true; return t.readMicMute(v) && !v; });
    row("readMicMute muted", 0x4B2A, 0x0901, "22 00 07 00",
        [](KestrinTransport& t) { bool v = false; return t.readMicMute(v) && v; });
    row("readIsNewFilm", 0x4B1A, 0x0901, "2F 00 07 0A",
        [](KestrinTransport& t) { bool v = false; return t.readIsNewFilm(v) && v; });
    row("readGameChatMix", 0x4B1A, 0x2C83, "07 0B 00 0C",
        [](KestrinTransport& t) { uint8_t v = 0; return t.readGameChatMix(v) && v == 12; });
    row("readAutoPowerOff", 0x4B1A, 0x2C83, "07 01 00 01 00 2C 01 01 00 2C 01",
        [](KestrinTransport& t) { uint16_t v = 0; return t.readAutoPowerOff(v) && v == 300; });
    row("readAncMode", 0x4BAA, 0x2E30, "02 07 01",
        [](KestrinTransport& t) { AncMode v = AncMode::on; return t.readAncMode(v) && v == AncMode::transparency; });
    // The game/chat mix set reply is told apart by a 00 at [6]; its verdict is [8].
    row("writeGameChatMix refused at [8]", 0x4B1A, 0x2C82, "00 0B 03",
        [](KestrinTransport& t) { return !t.writeGameChatMix(4); });
    // clang-format on
}

void TestKestrinCommands::untestedStatusBytes()
{
    QFETCH(int, pid);
    QFETCH(int, commandId);
    QFETCH(QString, payload);
    QFETCH(Operation, operation);

    KestrinRig rig{uint16_t(pid)};
    KestrinTransport transport(*rig.client);
    const Bytes reply = FromHex(payload);
    rig.headset->setHandler(uint16_t(commandId), [reply](Exchange& ex) { ex.respond(reply); });
    QVERIFY(operation(transport));
    QCOMPARE(rig.requestCount(), size_t(1));
    QCOMPARE(transport.bufferedBytes(), size_t(0));
    QVERIFY(rig.headset->violations().empty());
}

void TestKestrinCommands::lateRepliesAreNotTakenForThisOne_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<QString>("stale");
    QTest::addColumn<Operation>("operation");

    // A reply that an earlier, abandoned request left in the stream comes first; each would pass
    // a test of the frame header alone.
    QTest::newRow("get reply for a set") << 0x4B1A << "05 5B 06 00 01 09 24 00 00 02"
                                         << Operation([](KestrinTransport& t) { return !t.writeNoiseReduction(1); });
    QTest::newRow("set reply for a get") << 0x4B1A << "05 5B 06 00 00 09 20 00 00 0E"
                                         << Operation([](KestrinTransport& t) {
                                                uint8_t v = 0;
                                                return t.readVpLevel(v) && v == 11;
                                            });
    QTest::newRow("other setting") << 0x4B1A << "05 5B 06 00 83 2C 00 07 00 01" << Operation([](KestrinTransport& t) {
        uint8_t v = 0;
        return t.readGameChatMix(v) && v == 10;
    });
    QTest::newRow("set reply of other setting")
        << 0x4B1A << "05 5B 05 00 82 2C 00 07 00"
        << Operation([](KestrinTransport& t) { return !t.writeGameChatMix(4); });
    QTest::newRow("other parameter") << 0x4B1A << "05 5B 06 00 01 09 24 00 00 02" << Operation([](KestrinTransport& t) {
        uint8_t v = 0;
        return t.readPeqIndex(v) && v == 1;
    });
    QTest::newRow("other anc sub-command")
        << 0x4BAA << "05 5B 05 00 30 2E 0D 00 04" << Operation([](KestrinTransport& t) {
               AncMode v = AncMode::off;
               return t.readAncMode(v) && v == AncMode::on;
           });
}

void TestKestrinCommands::lateRepliesAreNotTakenForThisOne()
{
    QFETCH(int, pid);
    QFETCH(QString, stale);
    QFETCH(Operation, operation);

    KestrinRig rig{uint16_t(pid)};
    KestrinTransport transport(*rig.client);
    // The set operations below are refused by the headset: only the stale reply says "done".
    rig.headset->refuse(Kestrin::kSetParameter, 5);
    rig.headset->refuse(Kestrin::kSetSetting, 5);
    rig.headset->injectBytes(FromHex(stale));
    QVERIFY(operation(transport));
    QCOMPARE(transport.bufferedBytes(), size_t(0));
}

void TestKestrinCommands::valueChecks()
{
    KestrinRig rig{0x4B1A};
    KestrinTransport transport(*rig.client);

    // Mute: 00 muted, FF open, anything else no answer.
    rig.headset->setHandler(Kestrin::kGetParameter, [](Exchange& ex) {
        ex.respond({ex.request().at(6), 0x00, 0x00, 0x01});
    });
    bool muted = true;
    QVERIFY(!transport.readMicMute(muted));
    QCOMPARE(muted, true);

    // New film: only 0x0A says so; other values are a successful "no".
    rig.headset->setHandler(Kestrin::kGetParameter, [](Exchange& ex) {
        ex.respond({ex.request().at(6), 0x00, 0x00, 0x0B});
    });
    bool newFilm = true;
    QVERIFY(transport.readIsNewFilm(newFilm));
    QCOMPARE(newFilm, false);

    // Sidetone: 0 or 1 only.
    rig.headset->setHandler(Kestrin::kGetSetting, [](Exchange& ex) { ex.respond({0x00, 0x07, 0x00, 0x02}); });
    bool sidetone = true;
    QVERIFY(!transport.readSidetoneState(sidetone));
    QCOMPARE(sidetone, true);

    // ANC mode: taken as reported, even one the program does not know (the device model repairs
    // it); refusing it would leave such a headset without settings.
    KestrinRig anc{0x4BAE};
    KestrinTransport ancTransport(*anc.client);
    for (uint8_t raw : {3, 0x80, 0xFF}) {
        anc.state->reportedAncMode = raw;
        AncMode mode = AncMode::transparency;
        QVERIFY(ancTransport.readAncMode(mode));
        QCOMPARE(int(mode), int(raw));
    }
    anc.state->reportedAncMode = 2;
    AncMode mode = AncMode::on;
    QVERIFY(ancTransport.readAncMode(mode));
    QCOMPARE(mode, AncMode::off);
}

void TestKestrinCommands::micLevelPositionDependsOnDongle()
{
    for (uint16_t pid : {uint16_t(0x4B2A), uint16_t(0x4B29)}) {
        KestrinRig rig{pid};
        rig.state->micLevel = 13;
        KestrinTransport transport(*rig.client);
        uint8_t level = 0;
        QVERIFY(transport.readMicLevel(level));
        QCOMPARE(level, uint8_t(13));
    }
}

void TestKestrinCommands::batteryRefusalSkipsNotification()
{
    KestrinRig rig{0x4B1A};
    KestrinTransport transport(*rig.client);
    rig.headset->batteryLevel = 64;
    uint8_t level = 0;
    QVERIFY(transport.readBatteryLevel(level));
    QCOMPARE(level, uint8_t(64));

    const size_t readsBefore = rig.headset->inputReportRequests();
    rig.headset->refuse(Kestrin::kBattery, 1);
    level = 9;
    QVERIFY(!transport.readBatteryLevel(level));
    QCOMPARE(level, uint8_t(9));
    // One read brought the refusal; no patience was spent waiting for a notification.
    QVERIFY(rig.headset->inputReportRequests() - readsBefore < size_t(KestrinTransport::c_patience));
}

void TestKestrinCommands::firmwareVersions()
{
    KestrinRig rig{0x4B28};
    rig.headset->firmwareVersion = "5.2.1";
    rig.headset->dongleFirmwareVersion = "1.0.7-ß";
    KestrinTransport transport(*rig.client);
    QString headset;
    QString dongle;
    QVERIFY(transport.readFwVersion(headset, false));
    QVERIFY(transport.readFwVersion(dongle, true));
    QCOMPARE(headset, QString("5.2.1"));
    QCOMPARE(dongle, QString::fromUtf8("1.0.7-ß"));
    QCOMPARE(ToStringList(rig.log()), (QStringList{"get fw_version", "get fw_version @dongle"}));
}

void TestKestrinCommands::firmwareVersionMustFitItsNotification()
{
    KestrinRig rig{0x4B1A};
    // The notification claims 40 bytes of text but carries 3.
    rig.headset->setHandler(Kestrin::kFirmwareVersion, [](Exchange& ex) {
        ex.respond({0x00});
        ex.notify({0x00, 0x00, 40, '1', '.', '2'});
    });
    KestrinTransport transport(*rig.client);
    QString version = "kept";
    QVERIFY(!transport.readFwVersion(version, false));
    QCOMPARE(version, QString("kept"));
    QCOMPARE(transport.bufferedBytes(), size_t(0));
}

void TestKestrinCommands::sensorsEnableWaitsForFirstSample()
{
    KestrinRig rig{0x4B2A};
    rig.state->reportsBeforeSample = 3;
    KestrinTransport transport(*rig.client);
    QVERIFY(transport.writeSensorsEnabled(true, 60));
    QCOMPARE(rig.state->sensors, uint8_t(0x80 | 60));
    // The unrelated reports and the first sample were read; nothing more.
    QCOMPARE(rig.headset->pendingInputReports(), size_t(0));
}

void TestKestrinCommands::sensorsEnableWaitIsBounded()
{
    KestrinRig rig{0x4B2A};
    rig.state->sampleOnEnable = false;
    KestrinTransport transport(*rig.client);

    // A headset that streams other reports and never a sample.
    std::atomic<bool> stop{false};
    auto headset = rig.headset;
    std::thread feeder([&stop, headset] {
        while (!stop) {
            Bytes report(14, 0);
            report[0] = 5;
            headset->queueInputReport(report);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    // Without a limit this never returns while the feeder runs.
    const bool enabled = transport.writeSensorsEnabled(true, 60);
    stop = true;
    feeder.join();
    QVERIFY(enabled);
}

void TestKestrinCommands::sensorsDisableDrainsReports()
{
    KestrinRig rig{0x4B1A};
    KestrinTransport transport(*rig.client);
    for (int i = 0; i < 5; ++i) {
        Bytes report(14, 0);
        report[0] = 3;
        rig.headset->queueInputReport(report);
    }
    QVERIFY(transport.writeSensorsEnabled(false, 1));
    QCOMPARE(rig.headset->pendingInputReports(), size_t(0));
    QCOMPARE(rig.state->sensors, uint8_t(1));
}

void TestKestrinCommands::everySettingRoundTrips_data()
{
    QTest::addColumn<int>("setting");
    QTest::addColumn<int>("pid");
    struct Product {
        const char* name;
        int pid;
        DeviceType type;
    };
    const Product products[] = {
        {"kestrin cabled", 0x4B1A, DeviceType::kestrin},
        {"kestrin_2 dongle", 0x4B28, DeviceType::kestrin_2},
        {"kestrin_2_anc cabled", 0x4BAA, DeviceType::kestrin_2_anc},
        {"kestrin_2_anc dongle", 0x4BA9, DeviceType::kestrin_2_anc},
    };
    for (const Devices::KestrinSettingInfo& info : Devices::c_kestrinSettings) {
        for (const Product& product : products) {
            if (Devices::HasSetting(info.models, product.type))
                QTest::addRow("%s, %s", info.name, product.name) << int(info.setting) << product.pid;
        }
    }
}

// Each setting's set and get commands, as its row declares them (numbers, payload coding, reply
// checks, where the value sits), meet on the same value of the headset, at both ends of its range
// and in the middle.
void TestKestrinCommands::everySettingRoundTrips()
{
    QFETCH(int, setting);
    QFETCH(int, pid);
    const Devices::KestrinSettingInfo& info = Devices::SettingInfo(Devices::KestrinSetting(setting));
    KestrinRig rig{uint16_t(pid)};
    KestrinTransport transport(*rig.client);

    // The headset holds the sidetone level to its own maximum.
    int high = info.max;
    if (info.setting == Devices::KestrinSetting::sidetoneLevel) {
        uint8_t max = 0;
        QVERIFY(transport.readMaxSidetoneLevel(max));
        high = max;
    }
    for (const int value : {info.min, high, (info.min + high) / 2}) {
        QVERIFY2(transport.writeSetting(info.setting, uint16_t(value)), qPrintable(QString::number(value)));
        uint16_t read = 0;
        QVERIFY(transport.readSetting(info.setting, read));
        QCOMPARE(int(read), value);
    }
    QCOMPARE(ToStringList(rig.headset->violations()), QStringList());
    QCOMPARE(transport.bufferedBytes(), size_t(0));
}

void TestKestrinCommands::eqStoreKeys_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("uiKey");
    QTest::addColumn<QString>("coefficientKey");
    QTest::newRow("slot 0") << 0 << "00 EF"
                            << "2C E4";
    QTest::newRow("slot 7") << 7 << "07 EF"
                            << "33 E4";
    QTest::newRow("slot 212 carries into the high byte") << 212 << "D4 EF"
                                                         << "00 E5";
}

void TestKestrinCommands::eqStoreKeys()
{
    QFETCH(int, slot);
    QFETCH(QString, uiKey);
    QFETCH(QString, coefficientKey);

    KestrinRig rig{0x4B19};
    KestrinTransport transport(*rig.client);
    const Devices::KestrinEq eq = TenBandEq();
    QVERIFY(transport.writeEqBands(uint8_t(slot), eq));
    QCOMPARE(ToStringList(rig.state->storeFaults), QStringList());

    const auto requests = rig.headset->requests();
    QCOMPARE(requests.size(), size_t(5));
    const Bytes ui = Devices::KestrinConverters::GetEqBytes(eq);
    const Bytes coefficients = Devices::KestrinConverters::GetCoefBytes(eq);
    QCOMPARE(ui.size(), size_t(185));

    // 1: the coefficients, audible at once.
    Bytes realtimePayload{0x00};
    realtimePayload.insert(realtimePayload.end(), coefficients.begin(), coefficients.end());
    const Bytes realtime = MakeFrame(kKindRequest, 0x0E03, realtimePayload);
    QCOMPARE(ToHex(requests[0].frame), ToHex(realtime));
    // 2, 3: room for the UI block, then the block itself: 05 5A BD 00 0D 0A k EF + 185 bytes, in
    // four packages.
    QCOMPARE(ToHex(requests[1].frame), ToHex(FromHex("05 5A 04 00 03 0A B9 00")));
    Bytes save = FromHex("05 5A BD 00 0D 0A " + uiKey);
    save.insert(save.end(), ui.begin(), ui.end());
    QCOMPARE(ToHex(requests[2].frame), ToHex(save));
    QCOMPARE(requests[2].packages, size_t(4));
    // 4, 5: the same for the coefficients.
    const uint16_t n = uint16_t(coefficients.size());
    QCOMPARE(ToHex(requests[3].frame),
             ToHex(Bytes{0x05, 0x5A, 0x04, 0x00, 0x03, 0x0A, uint8_t(n & 0xFF), uint8_t(n >> 8)}));
    Bytes savePayload = FromHex(coefficientKey);
    savePayload.insert(savePayload.end(), coefficients.begin(), coefficients.end());
    const Bytes saveCoefficients = MakeFrame(kKindRequest, 0x0A0D, savePayload);
    QCOMPARE(ToHex(requests[4].frame), ToHex(saveCoefficients));
    for (const auto& request : requests)
        QVERIFY(request.relayed);
    QCOMPARE(ToStringList(rig.headset->violations()), QStringList());
}

void TestKestrinCommands::eqStoreWaitsLongerForSlowReplies()
{
    KestrinRig rig{0x4B1A};
    KestrinTransport transport(*rig.client);
    // Slower than the ordinary patience of 8 reads, well within the store's 40.
    rig.headset->setReplyLatency(20);
    QVERIFY(transport.writeEqBands(1, TenBandEq()));
    uint8_t level = 0;
    QVERIFY(!transport.readVpLevel(level));
}

void TestKestrinCommands::eqCoefficientSaveMustEchoItsKey()
{
    KestrinRig rig{0x4B1A};
    KestrinTransport transport(*rig.client);
    // A headset that acknowledges every save with the UI key of slot 0.
    rig.headset->setHandler(Kestrin::kNvSave, [](Exchange& ex) { ex.respond({0x00, 0x00, 0xEF}); });
    QVERIFY(!transport.writeEqBands(0, TenBandEq()));
    QVERIFY(transport.bufferedBytes() == 0);
    rig.headset->setHandler(Kestrin::kNvSave, [](Exchange& ex) {
        ex.respond({0x00, ex.request().at(6), ex.request().at(7)});
    });
    QVERIFY(transport.writeEqBands(0, TenBandEq()));
}

using ReadReply = std::function<Bytes(const Request&)>;
Q_DECLARE_METATYPE(ReadReply)

void TestKestrinCommands::eqReadBack_data()
{
    QTest::addColumn<ReadReply>("reply");
    QTest::addColumn<bool>("accepted");

    auto block = [](size_t bands) {
        Devices::KestrinEq eq = TenBandEq();
        eq.bands.resize(bands);
        return Devices::KestrinConverters::GetEqBytes(eq);
    };
    auto reply = [](uint8_t status, uint8_t slot, const Bytes& ui) {
        Bytes payload{status, slot, 0xEF, 0x00, 0x00};
        payload.insert(payload.end(), ui.begin(), ui.end());
        return MakeFrame(kKindResponse, 0x0A0C, payload);
    };

    QTest::newRow("ten bands") << ReadReply([=](const Request& rq) { return reply(0, rq.at(6), block(10)); }) << true;
    QTest::newRow("one band") << ReadReply([=](const Request& rq) { return reply(0, rq.at(6), block(1)); }) << true;
    QTest::newRow("another slot") << ReadReply([=](const Request& rq) {
        return reply(0, uint8_t(rq.at(6) + 1), block(10));
    }) << false;
    QTest::newRow("refused") << ReadReply([=](const Request& rq) { return reply(1, rq.at(6), block(10)); }) << false;
    QTest::newRow("length field 193") << ReadReply([=](const Request& rq) {
        Bytes ui = block(10);
        ui.push_back(0);
        return reply(0, rq.at(6), ui);
    }) << false;
    QTest::newRow("torn band") << ReadReply([=](const Request& rq) {
        Bytes ui = block(2);
        ui.resize(ui.size() - 3);
        return reply(0, rq.at(6), ui);
    }) << false;
}

void TestKestrinCommands::eqReadBack()
{
    QFETCH(ReadReply, reply);
    QFETCH(bool, accepted);

    KestrinRig rig{0x4B2A};
    rig.headset->setHandler(Kestrin::kNvRead, [reply](Exchange& ex) { ex.send(reply(ex.request())); });
    KestrinTransport transport(*rig.client);
    Devices::KestrinEq eq;
    eq.headerWord = 99;
    QCOMPARE(transport.readEqBands(2, eq), accepted);
    QCOMPARE(ToHex(rig.headset->requests().front().frame), ToHex(FromHex("05 5A 06 00 0C 0A 02 EF E8 03")));
    if (accepted) {
        QCOMPARE(eq.headerWord, 1);
        QVERIFY(!eq.bands.empty());
        QCOMPARE(eq.bands[0], TenBandEq().bands[0]);
    } else {
        QCOMPARE(eq.headerWord, 99);
    }
    QCOMPARE(transport.bufferedBytes(), size_t(0));
}

QTEST_GUILESS_MAIN(TestKestrinCommands)
#include "tst_kestrin_commands.moc"
