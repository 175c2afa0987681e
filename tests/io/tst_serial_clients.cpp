// The serial clients: the program's singletons open nothing; over a pseudo-terminal pair (the
// port side held by the client, the unit side driven by the test) they pass bytes as they are,
// log each exchange and close the port when the unit hangs up.

#include "PtyPair.h"
#include "SerialLog.h"

#include "io/PosixSolvarineSerialPortClient.h"
#include "io/SolvarineSerialPortClient.h"

#include <QSerialPort>
#include <QtTest>

#include <memory>

using Platform::ISolvarineSerialPortClient;
using Platform::PosixSolvarineSerialPortClient;
using Platform::SolvarineSerialPortClient;

namespace {

// A client of the given kind ("qt" or "posix") holding the port side of `pty`.
std::unique_ptr<ISolvarineSerialPortClient> HoldPort(const QString& kind, PtyPair& pty)
{
    if (kind == QLatin1String("posix"))
        return std::make_unique<PosixSolvarineSerialPortClient>(pty.takePort());
    auto* port = new QSerialPort(pty.portName());
    if (!port->open(QIODevice::ReadWrite)) {
        qWarning("Cannot open %s: %s", qPrintable(pty.portName()), qPrintable(port->errorString()));
        delete port;
        return nullptr;
    }
    return std::make_unique<SolvarineSerialPortClient>(port);
}

void AddKinds()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("qt") << QStringLiteral("qt");
    QTest::newRow("posix") << QStringLiteral("posix");
}

} // namespace

class TestSerialClients : public QObject {
    Q_OBJECT

private slots:
    void productClientsOpenNothing_data();
    void productClientsOpenNothing();

    void writeSendsTheTextAsIs_data();
    void writeSendsTheTextAsIs();
    void readWithNothingArrivedReturnsZero_data() { AddKinds(); }
    void readWithNothingArrivedReturnsZero();
    void readReturnsWhatArrived_data() { AddKinds(); }
    void readReturnsWhatArrived();
    void hangUpClosesThePort_data();
    void hangUpClosesThePort();
    void closeDeviceAnnouncesOnce_data() { AddKinds(); }
    void closeDeviceAnnouncesOnce();
    void destructionClosesAHeldPort_data() { AddKinds(); }
    void destructionClosesAHeldPort();

private:
    SerialLog m_log;
};

void TestSerialClients::productClientsOpenNothing_data()
{
    QTest::addColumn<ISolvarineSerialPortClient*>("client");
    QTest::newRow("qt") << static_cast<ISolvarineSerialPortClient*>(
        SolvarineSerialPortClient::GetSolvarineSerialPortClient());
    QTest::newRow("posix") << static_cast<ISolvarineSerialPortClient*>(
        PosixSolvarineSerialPortClient::GetPosixSolvarineSerialPortClient());
}

void TestSerialClients::productClientsOpenNothing()
{
    QFETCH(ISolvarineSerialPortClient*, client);
    QSignalSpy gone(client, &ISolvarineSerialPortClient::deviceGone);
    m_log.restart();

    QVERIFY(!client->openDevice());
    QVERIFY(!client->openDevice());
    QVERIFY(!client->hasDevice());
    QCOMPARE(client->write("SRST"), 0);
    char buffer[16] = {};
    QCOMPARE(client->read(buffer, sizeof buffer), 0);
    QVERIFY(!client->closeDevice());
    QCOMPARE(gone.count(), 0);
    const QByteArray log = m_log.text();
    QVERIFY2(!log.contains("SLV") && !log.contains("Solvarine device closed."), log.constData());
}

void TestSerialClients::writeSendsTheTextAsIs_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("logged");

    for (const char* kind : {"qt", "posix"}) {
        QTest::addRow("%s command", kind)
            << QString::fromLatin1(kind) << QByteArray("SRST") << QByteArray("SLV written: SRST, 4 bytes");
        QTest::addRow("%s terminator", kind)
            << QString::fromLatin1(kind) << QByteArray("\n\r") << QByteArray("SLV written: \\n\\r, 2 bytes");
        QTest::addRow("%s line breaks inside", kind)
            << QString::fromLatin1(kind) << QByteArray("a\r\nb") << QByteArray("SLV written: a\\r\\nb, 4 bytes");
        QTest::addRow("%s Latin-1 byte", kind)
            << QString::fromLatin1(kind) << QByteArray("\xb5s") << QByteArray("SLV written: \xc2\xb5s, 2 bytes");
    }
}

void TestSerialClients::writeSendsTheTextAsIs()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, logged);

    PtyPair pty;
    QVERIFY(pty.isValid());
    auto client = HoldPort(kind, pty);
    QVERIFY(client);
    QVERIFY(client->hasDevice());
    m_log.restart();

    QCOMPARE(client->write(text.constData()), text.size());
    QCOMPARE(pty.receive(text.size()), text);
    const QByteArray log = m_log.text();
    QVERIFY2(log.contains(logged), log.constData());
}

void TestSerialClients::readWithNothingArrivedReturnsZero()
{
    QFETCH(QString, kind);
    PtyPair pty;
    QVERIFY(pty.isValid());
    auto client = HoldPort(kind, pty);
    QVERIFY(client);
    m_log.restart();

    char buffer[16] = {};
    QCOMPARE(client->read(buffer, sizeof buffer), 0);
    QVERIFY(client->hasDevice());
    const QByteArray log = m_log.text();
    QVERIFY2(log.contains("SLV read: , 0 bytes"), log.constData());
}

void TestSerialClients::readReturnsWhatArrived()
{
    QFETCH(QString, kind);
    PtyPair pty;
    QVERIFY(pty.isValid());
    auto client = HoldPort(kind, pty);
    QVERIFY(client);
    m_log.restart();

    const QByteArray reply = "Resetting DSP.\n\r";
    QVERIFY(pty.send(reply));
    // Never more than asked for.
    QByteArray received;
    bool withinSize = true;
    QDeadlineTimer deadline(5000);
    while (received.size() < reply.size() && !deadline.hasExpired()) {
        char buffer[64] = {};
        const int64_t count = client->read(buffer, 5);
        QVERIFY(count >= 0);
        withinSize = withinSize && count <= 5;
        received.append(buffer, int(count));
    }
    QVERIFY(withinSize);
    QCOMPARE(received, reply);
    QVERIFY(client->hasDevice());

    // One reply in one read.
    QVERIFY(pty.send("\n\rDSP>"));
    char buffer[64] = {};
    int64_t count = 0;
    deadline.setRemainingTime(5000);
    while (count == 0 && !deadline.hasExpired())
        count = client->read(buffer, sizeof buffer);
    QCOMPARE(QByteArray(buffer, int(count)), QByteArray("\n\rDSP>"));
    const QByteArray log = m_log.text();
    QVERIFY2(log.contains("SLV read: \\n\\rDSP>, 6 bytes"), log.constData());
}

void TestSerialClients::hangUpClosesThePort_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("isWrite");
    for (const char* kind : {"qt", "posix"}) {
        QTest::addRow("%s read", kind) << QString::fromLatin1(kind) << false;
        QTest::addRow("%s write", kind) << QString::fromLatin1(kind) << true;
    }
}

void TestSerialClients::hangUpClosesThePort()
{
    QFETCH(QString, kind);
    QFETCH(bool, isWrite);
    PtyPair pty;
    QVERIFY(pty.isValid());
    auto client = HoldPort(kind, pty);
    QVERIFY(client);
    QSignalSpy gone(client.get(), &ISolvarineSerialPortClient::deviceGone);
    m_log.restart();

    pty.closeUnit();
    char buffer[16] = {};
    const int64_t result = isWrite ? client->write("FI1") : client->read(buffer, sizeof buffer);
    QCOMPARE(result, int64_t(-1));
    QVERIFY(!client->hasDevice());
    QCOMPARE(gone.count(), 1);

    // Nothing held any more: quiet zeros, no second announcement.
    QCOMPARE(client->write("FI1"), 0);
    QCOMPARE(client->read(buffer, sizeof buffer), 0);
    QVERIFY(!client->closeDevice());
    QCOMPARE(gone.count(), 1);

    const QByteArray log = m_log.text();
    const QByteArray failed = isWrite ? "write command failed, closing..." : "read command failed, closing...";
    QVERIFY2(log.contains(failed), log.constData());
    QCOMPARE(log.count("Solvarine device closed."), 1);
    QVERIFY(log.indexOf(failed) < log.indexOf("Solvarine device closed."));
    QVERIFY(!log.contains(isWrite ? "SLV written" : "SLV read"));
}

void TestSerialClients::closeDeviceAnnouncesOnce()
{
    QFETCH(QString, kind);
    PtyPair pty;
    QVERIFY(pty.isValid());
    auto client = HoldPort(kind, pty);
    QVERIFY(client);
    QSignalSpy gone(client.get(), &ISolvarineSerialPortClient::deviceGone);
    m_log.restart();

    QVERIFY(client->closeDevice());
    QVERIFY(!client->hasDevice());
    QVERIFY(!client->closeDevice());
    QCOMPARE(gone.count(), 1);
    QCOMPARE(m_log.text().count("Solvarine device closed."), 1);
}

void TestSerialClients::destructionClosesAHeldPort()
{
    QFETCH(QString, kind);
    PtyPair pty;
    QVERIFY(pty.isValid());
    auto client = HoldPort(kind, pty);
    QVERIFY(client);
    int gone = 0;
    connect(client.get(), &ISolvarineSerialPortClient::deviceGone, this, [&gone] { ++gone; });
    m_log.restart();

    client.reset();
    QCOMPARE(gone, 1);
    QCOMPARE(m_log.text().count("Solvarine device closed."), 1);
}

QTEST_GUILESS_MAIN(TestSerialClients)
#include "tst_serial_clients.moc"
