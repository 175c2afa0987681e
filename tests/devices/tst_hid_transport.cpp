#include "HidEmulator.h"

#include "devices/KestrinTransport.h"
#include "io/KestrinHidApiClient.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <memory>

using Devices::KestrinTransport;
using HidEmu::Bytes;
using Platform::KestrinHidApiClient;

Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(std::vector<Bytes>)

namespace {

Bytes Response(uint16_t id, const Bytes& payload)
{
    return HidEmu::MakeFrame(HidEmu::kKindResponse, id, payload);
}

// Accepts a get-parameter reply for one parameter: 05 5B L 00 01 09 param 00 status value.
KestrinTransport::Validator GetParamReply(uint8_t param)
{
    return [param](unsigned char* r) {
        return r[0] == 0x05 && r[1] == 0x5B && r[4] == 0x01 && r[5] == 0x09 && r[6] == param;
    };
}

const Bytes c_getSidetone{0x05, 0x5A, 0x04, 0x00, 0x01, 0x09, 0x2C, 0x00};

// One emulated device opened through a real client, with a transport on top. Reads are not paced:
// the pacing belongs to the client and has its own test.
struct Fixture {
    explicit Fixture(uint16_t pid, bool drainFirst = true)
    {
        device = HidEmu::Plug(pid);
        client = std::make_unique<KestrinHidApiClient>();
        client->setReadPacing(0, 0);
        if (!client->openDevice())
            qFatal("emulated device did not open");
        if (drainFirst)
            transport = std::make_unique<KestrinTransport>(*client);
    }
    // Sends one request and waits for the reply `valid` accepts; the value at [9] on success.
    bool getParam(const Bytes& request, uint8_t param, int& value)
    {
        return transport->exchange(request.data(), request.size(), false, 10, GetParamReply(param),
                                   [&](const uint8_t* reply, size_t length) {
                                       if (length < 10 || reply[8] != 0)
                                           return false;
                                       value = reply[9];
                                       return true;
                                   });
    }
    std::shared_ptr<HidEmu::Headset> device;
    std::unique_ptr<KestrinHidApiClient> client;
    std::unique_ptr<KestrinTransport> transport;
};

} // namespace

class TestHidTransport : public QObject {
    Q_OBJECT

private slots:
    void init();

    void framesCommands_data();
    void framesCommands();
    void emptyCommandSendsNothing();
    void failedWriteEndsTheCommand();
    void exchangeMatchesTheReply();
    void relayFlagReachesHeadsetOrDongle();
    void repliesSplitAcrossReports_data();
    void repliesSplitAcrossReports();
    void severalCommandsInOneReport();
    void staleAndNonMatchingRepliesDropped_data();
    void staleAndNonMatchingRepliesDropped();
    void receiveGivesUpAfterEightEmptyReads();
    void receiveStopsAfterThousandReads();
    void eqUploadWaitsLongerThenPatienceReturns();
    void oversizedPackageCountsAsEmpty();
    void unframedBytesAreSkipped_data();
    void unframedBytesAreSkipped();
    void partialCommandOfFailedReceiveIsNotSpliced();
    void longestCommandWithNextOneInTheSamePackage();
    void silentDeviceIsClosedOnceAfterFiveEmptyReceives();
    void receivedCommandResetsTheEmptyCount();
    void constructionDrainsStaleInput();
    void tryParseCommand_data();
    void tryParseCommand();
    void closedDeviceFailsQuickly();
    void readPositionSkipsAndCentres();
    void readPositionRejectsShortSample();
    void processAvailablePositionSensorsDrainsAll();
    void calibrateRefusesShortDurations_data();
    void calibrateRefusesShortDurations();
};

void TestHidTransport::init()
{
    HidEmu::Bus::instance().reset();
}

void TestHidTransport::framesCommands_data()
{
    QTest::addColumn<int>("pid");
    QTest::addColumn<Bytes>("command");
    QTest::addColumn<bool>("toDongle");
    QTest::addColumn<std::vector<Bytes>>("reports");

    const Bytes sidetone12{0x05, 0x5A, 0x05, 0x00, 0x00, 0x09, 0x2C, 0x00, 0x0C};
    QTest::newRow("sidetone level, cabled")
        << 0x4B2A << sidetone12 << false << std::vector<Bytes>{HidEmu::MakeOutReport(sidetone12, false)};
    QTest::newRow("sidetone level, via dongle")
        << 0x4B29 << sidetone12 << false << std::vector<Bytes>{HidEmu::MakeOutReport(sidetone12, true)};
    QTest::newRow("to the dongle itself")
        << 0x4B29 << Bytes{0x05, 0x5A, 0x03, 0x00, 0x07, 0x1C, 0x00} << true
        << std::vector<Bytes>{HidEmu::MakeOutReport({0x05, 0x5A, 0x03, 0x00, 0x07, 0x1C, 0x00}, false)};
    QTest::newRow("to the dongle, cabled headset")
        << 0x4B2A << sidetone12 << true << std::vector<Bytes>{HidEmu::MakeOutReport(sidetone12, false)};

    auto command = [](size_t total) {
        Bytes bytes = HidEmu::MakeFrame(0x5A, 0x0E03, Bytes(total - 6, 0));
        for (size_t i = 6; i < bytes.size(); ++i)
            bytes[i] = uint8_t(i);
        return bytes;
    };
    const Bytes c59 = command(59);
    QTest::newRow("59 bytes: one package")
        << 0x4B1E << c59 << false << std::vector<Bytes>{HidEmu::MakeOutReport(c59, false)};
    const Bytes c60 = command(60);
    QTest::newRow("60 bytes: 59 + 1") << 0x4B1E << c60 << false
                                      << std::vector<Bytes>{
                                             HidEmu::MakeOutReport(Bytes(c60.begin(), c60.begin() + 59), false),
                                             HidEmu::MakeOutReport(Bytes(c60.begin() + 59, c60.end()), false)};
    // A ten-band UI block save: 193 bytes in four packages, relayed through the dongle.
    Bytes save{0x05, 0x5A, 0xBD, 0x00, 0x0D, 0x0A, 0x07, 0xEF};
    for (int i = 0; i < 185; ++i)
        save.push_back(uint8_t(i * 7));
    std::vector<Bytes> saveReports;
    for (size_t offset = 0; offset < save.size(); offset += 59)
        saveReports.push_back(HidEmu::MakeOutReport(
            Bytes(save.begin() + offset, save.begin() + std::min(save.size(), offset + 59)), true));
    QTest::newRow("193 bytes via dongle: 59 59 59 16") << 0x4B18 << save << false << saveReports;
}

void TestHidTransport::framesCommands()
{
    QFETCH(int, pid);
    QFETCH(Bytes, command);
    QFETCH(bool, toDongle);
    QFETCH(std::vector<Bytes>, reports);

    Fixture f{uint16_t(pid)};
    f.device->clearLog();
    QVERIFY(f.transport->writeCommand(command.data(), command.size(), toDongle));

    const auto written = f.device->outReports();
    QCOMPARE(written.size(), reports.size());
    for (size_t i = 0; i < reports.size(); ++i)
        QVERIFY2(written[i] == reports[i], qPrintable(QString::fromStdString(HidEmu::ToHex(written[i]))));
    const auto requests = f.device->requests();
    QCOMPARE(requests.size(), size_t(1));
    QCOMPARE(requests[0].frame, command);
    QCOMPARE(requests[0].packages, reports.size());
    QVERIFY(f.device->violations().empty());
}

void TestHidTransport::emptyCommandSendsNothing()
{
    Fixture f(0x4B2A);
    QVERIFY(f.transport->writeCommand(nullptr, 0, false));
    QVERIFY(f.device->outReports().empty());
    QVERIFY(!f.transport->writePackage(c_getSidetone.data(), 0, false));
    const Bytes tooLong(60, 0x05);
    QVERIFY(!f.transport->writePackage(tooLong.data(), tooLong.size(), false));
    QVERIFY(f.device->outReports().empty());
}

void TestHidTransport::failedWriteEndsTheCommand()
{
    Fixture f(0x4B2A);
    QSignalSpy gone(f.client.get(), &KestrinHidApiClient::deviceGone);
    f.device->failWrites(1);
    const Bytes big = HidEmu::MakeFrame(0x5A, 0x0E03, Bytes(150, 1));
    QVERIFY(!f.transport->writeCommand(big.data(), big.size(), false));
    QCOMPARE(f.device->outReports().size(), size_t(1)); // the rest was not sent
    QCOMPARE(gone.count(), 1);
    int value = -1;
    QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(value, -1);
}

void TestHidTransport::exchangeMatchesTheReply()
{
    Fixture f(0x4B2E);
    f.device->parameters[0x2C] = 9;
    int value = -1;
    QVERIFY(f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(value, 9);
    QCOMPARE(f.transport->bufferedBytes(), size_t(0));

    // A refusal reaches the evaluation, and the reply is removed all the same.
    f.device->refuse(0x0901, 1);
    value = -1;
    QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(value, -1);
    QCOMPARE(f.transport->bufferedBytes(), size_t(0));
    QCOMPARE(f.transport->currentCommandLength(), size_t(0));
    QVERIFY(f.device->violations().empty());
}

void TestHidTransport::relayFlagReachesHeadsetOrDongle()
{
    Fixture f(0x4BA8);
    f.device->firmwareVersion = "3.1.4";
    f.device->dongleFirmwareVersion = "9.9";
    const Bytes request{0x05, 0x5A, 0x03, 0x00, 0x07, 0x1C, 0x00};
    auto twoStep = [&](bool toDongle) {
        QString version;
        const bool ok = f.transport->exchange(
            request.data(), request.size(), toDongle, 7,
            [](unsigned char* r) { return r[1] == 0x5B && r[4] == 0x07 && r[5] == 0x1C; },
            [&](const uint8_t* reply, size_t) { return reply[6] == 0; });
        if (!ok)
            return QString();
        // The notification that follows carries the text.
        const bool notified = f.transport->readCmdAndValidate(
            10, [](unsigned char* r) { return r[1] == 0x5D && r[4] == 0x07 && r[5] == 0x1C; });
        if (!notified)
            return QString();
        const uint8_t* n = f.transport->currentCommand();
        const size_t length = f.transport->currentCommandLength();
        if (9 + size_t(n[8]) <= length)
            version = QString::fromUtf8(reinterpret_cast<const char*>(n + 9), n[8]);
        f.transport->consumeCurrentCommand();
        return version;
    };
    QCOMPARE(twoStep(false), QStringLiteral("3.1.4"));
    QCOMPARE(twoStep(true), QStringLiteral("9.9"));
    const auto requests = f.device->requests();
    QCOMPARE(requests.size(), size_t(2));
    QVERIFY(requests[0].relayed);
    QCOMPARE(requests[0].target, HidEmu::Target::Headset);
    QVERIFY(!requests[1].relayed);
    QCOMPARE(requests[1].target, HidEmu::Target::Dongle);
    QVERIFY(f.device->violations().empty());

    // A dongle whose headset is not linked relays nothing back.
    f.device->setHeadsetLinked(false);
    QCOMPARE(twoStep(false), QString());
    QCOMPARE(twoStep(true), QStringLiteral("9.9"));
}

void TestHidTransport::repliesSplitAcrossReports_data()
{
    QTest::addColumn<int>("bytesPerReport");
    QTest::addColumn<int>("latency");
    QTest::newRow("1 byte per report") << 1 << 0;
    QTest::newRow("2 bytes per report") << 2 << 0;
    QTest::newRow("3 bytes per report") << 3 << 0;
    QTest::newRow("7 bytes per report") << 7 << 0;
    QTest::newRow("whole report") << 59 << 0;
    QTest::newRow("latency 5 reads") << 59 << 5;
    QTest::newRow("latency 7 reads, 4 bytes per report") << 4 << 7;
}

void TestHidTransport::repliesSplitAcrossReports()
{
    QFETCH(int, bytesPerReport);
    QFETCH(int, latency);
    Fixture f(0x4B2A);
    f.device->setMaxBytesPerReport(size_t(bytesPerReport));
    f.device->setReplyLatency(latency);
    // A long reply: the firmware-version notification with a 40-character text.
    f.device->firmwareVersion = std::string(40, 'v');
    f.device->parameters[0x2C] = 3;
    int value = -1;
    QVERIFY(f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(value, 3);

    const Bytes request{0x05, 0x5A, 0x03, 0x00, 0x07, 0x1C, 0x00};
    QVERIFY(f.transport->exchange(
        request.data(), request.size(), false, 7,
        [](unsigned char* r) { return r[1] == 0x5B && r[4] == 0x07 && r[5] == 0x1C; }, nullptr));
    QVERIFY(f.transport->readCmdAndValidate(10, [](unsigned char* r) { return r[1] == 0x5D && r[4] == 0x07; }));
    QCOMPARE(f.transport->currentCommandLength(), size_t(9 + 40));
    QCOMPARE(f.transport->currentCommand()[8], uint8_t(40));
    f.transport->consumeCurrentCommand();
    QCOMPARE(f.transport->bufferedBytes(), size_t(0));
}

void TestHidTransport::severalCommandsInOneReport()
{
    Fixture f(0x4B2A);
    const Bytes first = Response(0x0901, {0x20, 0x00, 0x00, 0x11});
    const Bytes second = Response(0x0901, {0x2C, 0x00, 0x00, 0x22});
    Bytes both = first;
    both.insert(both.end(), second.begin(), second.end());
    f.device->injectBytes(both);

    // No other thread uses this transport, so the framing members can be called directly.
    const size_t readsBefore = f.device->inputReportRequests();
    QVERIFY(f.transport->readCmdAndValidate(10, GetParamReply(0x20)));
    QCOMPARE(f.transport->currentCommand()[9], uint8_t(0x11));
    f.transport->consumeCurrentCommand();
    QCOMPARE(f.device->inputReportRequests(), readsBefore + 1);
    // The second one is complete already: no further read.
    QVERIFY(f.transport->readCmdAndValidate(10, GetParamReply(0x2C)));
    QCOMPARE(f.transport->currentCommand()[9], uint8_t(0x22));
    f.transport->consumeCurrentCommand();
    QCOMPARE(f.device->inputReportRequests(), readsBefore + 1);
}

void TestHidTransport::staleAndNonMatchingRepliesDropped_data()
{
    QTest::addColumn<int>("stale");
    QTest::addColumn<bool>("found");
    QTest::newRow("none") << 0 << true;
    QTest::newRow("24 skipped") << 24 << true;
    QTest::newRow("25 give up") << 25 << false;
}

void TestHidTransport::staleAndNonMatchingRepliesDropped()
{
    QFETCH(int, stale);
    QFETCH(bool, found);
    Fixture f(0x4B2A);
    f.device->parameters[0x2C] = 5;
    // Late replies to abandoned requests and unsolicited notifications, before the real reply.
    for (int i = 0; i < stale; ++i) {
        if (i % 3 == 0)
            f.device->injectBytes(Response(0x0901, {0x20, 0x00, 0x00, uint8_t(i)}));
        else if (i % 3 == 1)
            f.device->injectBytes(HidEmu::MakeFrame(0x5D, 0x0CD6, {0x00, 0x00, 0x50}));
        else
            f.device->injectBytes(Response(0x2C83, {0x00, 0x07, 0x00, 0x01}));
    }
    int value = -1;
    QCOMPARE(f.getParam(c_getSidetone, 0x2C, value), found);
    QCOMPARE(value, found ? 5 : -1);
    if (!found) {
        // The real reply is still queued; the next wait finds it.
        QVERIFY(f.transport->readCmdAndValidate(10, GetParamReply(0x2C)));
        f.transport->consumeCurrentCommand();
    }
    QVERIFY(f.client->hasDevice());
}

void TestHidTransport::receiveGivesUpAfterEightEmptyReads()
{
    Fixture f(0x4B2A);
    f.device->setSilent(true);
    const size_t before = f.device->inputReportRequests();
    int value = -1;
    QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(f.device->inputReportRequests() - before, size_t(8));

    // A read that brings bytes without completing the command counts as the first of the row.
    f.device->injectBytes({0x05, 0x5B, 0x06, 0x00, 0x01});
    const size_t start = f.device->inputReportRequests();
    QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(f.device->inputReportRequests() - start, size_t(8));
    QCOMPARE(f.transport->bufferedBytes(), size_t(0));
}

void TestHidTransport::receiveStopsAfterThousandReads()
{
    Fixture f(0x4B2A);
    f.device->setSilent(true);
    f.device->setMaxBytesPerReport(1);
    // A device that trickles bytes that never form a command.
    f.device->injectBytes(Bytes(1500, 0xEE));
    const size_t before = f.device->inputReportRequests();
    int value = -1;
    QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(f.device->inputReportRequests() - before, size_t(1000));
    QVERIFY(f.transport->bufferedBytes() <= 3);
}

void TestHidTransport::eqUploadWaitsLongerThenPatienceReturns()
{
    Fixture f(0x4B2A);
    QSignalSpy gone(f.client.get(), &KestrinHidApiClient::deviceGone);
    f.device->setSilent(true);
    Devices::KestrinEq eq;
    eq.bands.push_back(Devices::KestrinBandInfo{12500, -300, 70, 0, 1, 2});
    const size_t before = f.device->inputReportRequests();
    // Five steps, each waiting 40 reads; the fifth empty receive in a row closes the device.
    QVERIFY(!f.transport->writeEqBands(0, eq));
    QCOMPARE(f.device->inputReportRequests() - before, size_t(5 * 40));
    QCOMPARE(gone.count(), 1);

    // Afterwards a receive is patient for 8 reads again: a reply 20 reads late is missed.
    QVERIFY(f.client->openDevice());
    f.device->setSilent(false);
    f.device->setReplyLatency(20);
    const size_t start = f.device->inputReportRequests();
    int value = -1;
    QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(f.device->inputReportRequests() - start, size_t(8));
}

void TestHidTransport::oversizedPackageCountsAsEmpty()
{
    Fixture f(0x4B2A);
    f.device->parameters[0x2C] = 4;
    // A report claiming 60 bytes carries nothing usable, even what looks like a reply.
    Bytes oversized{0x07, 60, 0x00};
    const Bytes fake = Response(0x0901, {0x2C, 0x00, 0x00, 0x63});
    oversized.insert(oversized.end(), fake.begin(), fake.end());
    f.device->injectReport(oversized);
    int value = -1;
    QVERIFY(f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(value, 4);
}

void TestHidTransport::unframedBytesAreSkipped_data()
{
    QTest::addColumn<Bytes>("junk");
    QTest::newRow("garbage") << Bytes{0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
    QTest::newRow("garbage with a lone marker") << Bytes{0x00, 0x05, 0x00, 0x05};
    QTest::newRow("length field 1021") << Bytes{0x05, 0x5B, 0xFD, 0x03, 0x01, 0x09};
    QTest::newRow("length field 0xFFFF") << Bytes{0x05, 0x5B, 0xFF, 0xFF};
    QTest::newRow("tail of an earlier reply") << Bytes{0x09, 0x2C, 0x00, 0x00, 0x07};
}

void TestHidTransport::unframedBytesAreSkipped()
{
    QFETCH(Bytes, junk);
    Fixture f(0x4B2A);
    f.device->parameters[0x2C] = 6;
    f.device->injectBytes(junk); // shares the package with the reply
    int value = -1;
    QVERIFY(f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(value, 6);
    QCOMPARE(f.transport->bufferedBytes(), size_t(0));
}

void TestHidTransport::partialCommandOfFailedReceiveIsNotSpliced()
{
    Fixture f(0x4B2A);
    f.device->setSilent(true);
    // The first half of a reply arrives, the rest does not: the receive gives up.
    const Bytes late = Response(0x0901, {0x2C, 0x00, 0x00, 0x44});
    f.device->injectBytes(Bytes(late.begin(), late.begin() + 5));
    int value = -1;
    QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(f.transport->bufferedBytes(), size_t(0));

    // Later the tail arrives, then the reply to the new request.
    f.device->setSilent(false);
    f.device->parameters[0x2C] = 8;
    f.device->injectBytes(Bytes(late.begin() + 5, late.end()));
    QVERIFY(f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(value, 8);
}

void TestHidTransport::longestCommandWithNextOneInTheSamePackage()
{
    Fixture f(0x4B2A);
    // L = 1020: a 1024-byte command, then a short reply whose start shares the last package.
    Bytes longest = HidEmu::MakeFrame(0x5B, 0x0A0C, Bytes(1018, 0x5A));
    QCOMPARE(longest.size(), size_t(1024));
    const Bytes next = Response(0x0901, {0x2C, 0x00, 0x00, 0x31});
    Bytes stream = longest;
    stream.insert(stream.end(), next.begin(), next.end());
    f.device->injectBytes(stream);

    QVERIFY(f.transport->readCmdAndValidate(1024, [](unsigned char* r) { return r[4] == 0x0C && r[5] == 0x0A; }));
    QCOMPARE(f.transport->currentCommandLength(), size_t(1024));
    QVERIFY(f.transport->bufferedBytes() > 1024);
    f.transport->consumeCurrentCommand();
    QVERIFY(f.transport->readCmdAndValidate(10, GetParamReply(0x2C)));
    QCOMPARE(f.transport->currentCommand()[9], uint8_t(0x31));
}

void TestHidTransport::silentDeviceIsClosedOnceAfterFiveEmptyReceives()
{
    Fixture f(0x4B2A);
    QSignalSpy gone(f.client.get(), &KestrinHidApiClient::deviceGone);
    f.device->setSilent(true);
    int value = -1;
    for (int i = 0; i < 4; ++i)
        QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    QVERIFY(f.client->hasDevice());
    QCOMPARE(gone.count(), 0);
    QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    QVERIFY(!f.client->hasDevice());
    QCOMPARE(gone.count(), 1);
    // Later attempts fail at once and report nothing more.
    QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    for (int i = 0; i < 6; ++i)
        QVERIFY(!f.transport->readCmdAndValidate(10, GetParamReply(0x2C)));
    QCOMPARE(gone.count(), 1);
}

void TestHidTransport::receivedCommandResetsTheEmptyCount()
{
    Fixture f(0x4B2A);
    QSignalSpy gone(f.client.get(), &KestrinHidApiClient::deviceGone);
    int value = -1;
    f.device->setSilent(true);
    for (int i = 0; i < 4; ++i)
        QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    // A refused reply is still a command received.
    f.device->setSilent(false);
    f.device->refuse(0x0901, 2);
    QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    f.device->setSilent(true);
    for (int i = 0; i < 4; ++i)
        QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    QVERIFY(f.client->hasDevice());
    QCOMPARE(gone.count(), 0);
    QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(gone.count(), 1);
}

void TestHidTransport::constructionDrainsStaleInput()
{
    Fixture f(0x4B2A, false);
    // Replies meant for an earlier owner of the device.
    for (int i = 0; i < 5; ++i)
        f.device->injectBytes(Response(0x0901, {0x2C, 0x00, 0x00, 0x77}));
    f.transport = std::make_unique<KestrinTransport>(*f.client);
    QCOMPARE(f.device->pendingOutput(), size_t(0));
    QCOMPARE(f.transport->bufferedBytes(), size_t(0));
    f.device->parameters[0x2C] = 1;
    int value = -1;
    QVERIFY(f.getParam(c_getSidetone, 0x2C, value));
    QCOMPARE(value, 1);

    // Draining stops at the first empty package.
    Fixture quiet(0x4B1A, false);
    quiet.transport = std::make_unique<KestrinTransport>(*quiet.client);
    QCOMPARE(quiet.device->inputReportRequests(), size_t(1));
}

void TestHidTransport::tryParseCommand_data()
{
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<int>("filledAfter");
    QTest::newRow("3 bytes: too short to tell") << Bytes{0x05, 0x5B, 0x03} << false << 3;
    QTest::newRow("3 garbage bytes: kept for now") << Bytes{0x01, 0x02, 0x03} << false << 3;
    QTest::newRow("incomplete") << Bytes{0x05, 0x5B, 0x03, 0x00, 0xD6} << false << 5;
    QTest::newRow("complete") << Bytes{0x05, 0x5B, 0x03, 0x00, 0xD6, 0x0C, 0x00} << true << 7;
    QTest::newRow("complete, more behind") << Bytes{0x05, 0x5B, 0x02, 0x00, 0xD6, 0x0C, 0x05} << true << 7;
    QTest::newRow("wrong marker: emptied") << Bytes{0x06, 0x5B, 0x03, 0x00, 0xD6, 0x0C, 0x00} << false << 0;
    QTest::newRow("length 1021: emptied") << Bytes{0x05, 0x5B, 0xFD, 0x03, 0xD6, 0x0C, 0x00} << false << 0;
}

void TestHidTransport::tryParseCommand()
{
    QFETCH(Bytes, bytes);
    QFETCH(bool, complete);
    QFETCH(int, filledAfter);
    Fixture f(0x4B2A);
    std::memcpy(const_cast<uint8_t*>(f.transport->currentCommand()), bytes.data(), bytes.size());
    size_t filled = bytes.size();
    QCOMPARE(f.transport->tryParseCommand(filled), complete);
    QCOMPARE(int(filled), filledAfter);
    QCOMPARE(int(f.transport->bufferedBytes()), filledAfter);
    if (complete)
        QCOMPARE(f.transport->currentCommandLength(), size_t(bytes[2] + 4));
}

void TestHidTransport::closedDeviceFailsQuickly()
{
    Fixture f(0x4B2A);
    QVERIFY(f.client->closeDevice());
    int value = -1;
    QVERIFY(!f.getParam(c_getSidetone, 0x2C, value));
    QQuaternion q;
    QVERIFY(!f.transport->readPosition(q));
    QVERIFY(f.transport->processAvailablePositionSensors());
}

void TestHidTransport::readPositionSkipsAndCentres()
{
    Fixture f(0x4BAA);
    Bytes sample(14, 0);
    sample[0] = 3;
    Bytes centre(14, 0);
    centre[0] = 4;
    Bytes other(14, 0);
    other[0] = 9;
    f.device->queueInputReport(centre);
    f.device->queueInputReport(other);
    f.device->queueInputReport(sample);
    f.device->queueInputReport(sample); // stays queued for the next call
    QQuaternion q(0.5f, 0.5f, 0.5f, 0.5f);
    QVERIFY(f.transport->readPosition(q));
    QCOMPARE(q, QQuaternion());
    QCOMPARE(f.device->pendingInputReports(), size_t(1));
    QVERIFY(f.transport->readPosition(q));
    QVERIFY(!f.transport->readPosition(q)); // nothing queued
}

void TestHidTransport::readPositionRejectsShortSample()
{
    Fixture f(0x4BAA);
    f.device->queueInputReport({3, 1, 2, 3});
    QQuaternion q(0.5f, 0.5f, 0.5f, 0.5f);
    QVERIFY(!f.transport->readPosition(q));
    QCOMPARE(q, QQuaternion(0.5f, 0.5f, 0.5f, 0.5f));
}

void TestHidTransport::processAvailablePositionSensorsDrainsAll()
{
    Fixture f(0x4BAA);
    QVERIFY(f.transport->calibrate(1.0));
    for (int i = 0; i < 5; ++i) {
        Bytes sample(14, 0);
        sample[0] = uint8_t(i % 2 ? 3 : 4);
        f.device->queueInputReport(sample);
    }
    f.device->queueInputReport({3, 1});
    QVERIFY(f.transport->processAvailablePositionSensors());
    QCOMPARE(f.device->pendingInputReports(), size_t(0));
}

void TestHidTransport::calibrateRefusesShortDurations_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("0.5") << 0.5 << false;
    QTest::newRow("0") << 0.0 << false;
    QTest::newRow("-3") << -3.0 << false;
    QTest::newRow("NaN") << std::nan("") << false;
    QTest::newRow("1") << 1.0 << true;
    QTest::newRow("2.5") << 2.5 << true;
}

void TestHidTransport::calibrateRefusesShortDurations()
{
    QFETCH(double, seconds);
    QFETCH(bool, accepted);
    Fixture f(0x4BAA);
    QCOMPARE(f.transport->calibrate(seconds), accepted);
    QVERIFY(f.transport->centralize());
}

QTEST_GUILESS_MAIN(TestHidTransport)
#include "tst_hid_transport.moc"
