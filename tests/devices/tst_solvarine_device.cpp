// The serial device: built on a scripted unit it runs the bootloader dialogue and reads its
// firmware description once; over a pseudo-terminal with the real clients a unit on another
// thread answers the same dialogue.

#include "PtyPair.h"
#include "ScriptedSerialPeer.h"

#include "devices/SolvarineDeviceImpl.h"
#include "io/PosixSolvarineSerialPortClient.h"
#include "io/SolvarineSerialPortClient.h"

#include <QMap>
#include <QSerialPort>
#include <QtTest>

#include <atomic>
#include <memory>
#include <thread>

using Devices::SolvarineDeviceImpl;
using Piece = ScriptedSerialPeer::Piece;

namespace {

// The unit at the other end of a pseudo-terminal, on a thread of its own: it answers each
// command line (ended by "\n\r") with its scripted pieces, each after its own pause.
class PtyUnit {
public:
    struct Answer {
        int pauseMs = 0;
        QByteArray bytes;
    };

    PtyUnit(PtyPair& pty, QMap<QByteArray, QList<Answer>> script)
        : m_pty(pty)
        , m_script(std::move(script))
        , m_thread([this] { run(); })
    {
    }
    ~PtyUnit() { stop(); }

    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // Command lines in the order they arrived; read after stop().
    QList<QByteArray> commands() const { return m_commands; }

private:
    void run()
    {
        QByteArray line;
        while (!m_stop) {
            pollfd entry{m_pty.unitFd(), POLLIN, 0};
            if (::poll(&entry, 1, 20) <= 0)
                continue;
            char chunk[256];
            const ssize_t got = ::read(m_pty.unitFd(), chunk, sizeof chunk);
            if (got <= 0)
                return;
            line.append(chunk, got);
            qsizetype end = 0;
            while ((end = line.indexOf("\n\r")) >= 0) {
                const QByteArray command = line.left(end);
                line.remove(0, end + 2);
                m_commands.append(command);
                for (const Answer& answer : m_script.value(command)) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(answer.pauseMs));
                    m_pty.send(answer.bytes);
                }
            }
        }
    }

    PtyPair& m_pty;
    const QMap<QByteArray, QList<Answer>> m_script;
    QList<QByteArray> m_commands;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace

class TestSolvarineDevice : public QObject {
    Q_OBJECT

private slots:
    void validDevice_data();
    void validDevice();
    void invalidDevice_data();
    void invalidDevice();
    void devicesHaveTheirOwnIds();
    void overPseudoTerminal_data();
    void overPseudoTerminal();
};

void TestSolvarineDevice::validDevice_data()
{
    QTest::addColumn<bool>("inBootloader");
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::newRow("already in bootloader") << true << QList<QByteArray>{"SRST", "\n\r", "FI1", "\n\r"};
    QTest::newRow("restarts into bootloader") << false << QList<QByteArray>{"SRST", "\n\r", "@", "\n\r", "FI1", "\n\r"};
}

void TestSolvarineDevice::validDevice()
{
    QFETCH(bool, inBootloader);
    QFETCH(QList<QByteArray>, writes);

    ScriptedSerialPeer unit;
    if (inBootloader)
        ScriptedSerialPeer::ScriptUnitInBootloader(unit, "SLV-DSP 2.4.1");
    else
        ScriptedSerialPeer::ScriptRunningUnit(unit, "SLV-DSP 2.4.1");
    SolvarineDeviceImpl device(unit);

    QVERIFY(device.isValid());
    QCOMPARE(unit.writes(), writes);
    QCOMPARE(device.getCategory(), Devices::DeviceCategory::Hardware);
    QCOMPARE(device.getDeviceType(), DeviceType::solvarine);
    QVERIFY(!device.getKestrinDevice());
    Devices::ISolvarineDeviceMain* main = device.getSolvarineDevice();
    QCOMPARE(main, static_cast<Devices::ISolvarineDeviceMain*>(&device));

    QString version;
    QVERIFY(main->loadFwVersion(version));
    QCOMPARE(version, QStringLiteral("SLV-DSP 2.4.1"));
    // Read once when the device was built: asking again causes no traffic.
    QVERIFY(device.loadFwVersion(version));
    QCOMPARE(unit.writes(), writes);
}

void TestSolvarineDevice::invalidDevice_data()
{
    QTest::addColumn<QList<Piece>>("resetReply");
    QTest::addColumn<QByteArray>("fileInfoReply");
    QTest::addColumn<QList<QByteArray>>("writes");

    const QList<Piece> echo{Piece{"SRST\n\r\n\rDSP>"}};
    QTest::newRow("unit silent") << QList<Piece>{} << ScriptedSerialPeer::FileInfoReply("v1")
                                 << QList<QByteArray>{"SRST", "\n\r"};
    QTest::newRow("description missing") << echo << QByteArray("File Allocation\n\r\n\rDSP>")
                                         << QList<QByteArray>{"SRST", "\n\r", "FI1", "\n\r"};
    QTest::newRow("no answer to FI1") << echo << QByteArray() << QList<QByteArray>{"SRST", "\n\r", "FI1", "\n\r"};
}

void TestSolvarineDevice::invalidDevice()
{
    QFETCH(QList<Piece>, resetReply);
    QFETCH(QByteArray, fileInfoReply);
    QFETCH(QList<QByteArray>, writes);

    ScriptedSerialPeer unit;
    unit.onCommand("SRST", resetReply);
    unit.onCommand("FI1", fileInfoReply);
    SolvarineDeviceImpl device(unit);

    QVERIFY(!device.isValid());
    QCOMPARE(unit.writes(), writes);
    QString version = QStringLiteral("untouched");
    QVERIFY(!device.loadFwVersion(version));
    QCOMPARE(version, QStringLiteral("untouched"));
}

void TestSolvarineDevice::devicesHaveTheirOwnIds()
{
    ScriptedSerialPeer unit;
    ScriptedSerialPeer::ScriptUnitInBootloader(unit, "v1");
    SolvarineDeviceImpl first(unit);
    SolvarineDeviceImpl second(unit);
    QVERIFY(first.isValid());
    QVERIFY(second.isValid());
    QVERIFY(first.getInstanceId() != second.getInstanceId());
}

void TestSolvarineDevice::overPseudoTerminal_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("inBootloader");
    QTest::newRow("posix, in bootloader") << QStringLiteral("posix") << true;
    QTest::newRow("posix, restarts") << QStringLiteral("posix") << false;
    QTest::newRow("qt, in bootloader") << QStringLiteral("qt") << true;
}

void TestSolvarineDevice::overPseudoTerminal()
{
    QFETCH(QString, kind);
    QFETCH(bool, inBootloader);

    PtyPair pty;
    QVERIFY(pty.isValid());
    std::unique_ptr<Platform::ISolvarineSerialPortClient> client;
    if (kind == QLatin1String("posix")) {
        client = std::make_unique<Platform::PosixSolvarineSerialPortClient>(pty.takePort());
    } else {
        auto* port = new QSerialPort(pty.portName());
        QVERIFY2(port->open(QIODevice::ReadWrite), qPrintable(port->errorString()));
        client = std::make_unique<Platform::SolvarineSerialPortClient>(port);
    }

    QMap<QByteArray, QList<PtyUnit::Answer>> script;
    if (inBootloader) {
        script.insert("SRST", {{0, "SRST\n\r"}, {10, "\n\rDSP>"}});
    } else {
        // The restart's output ends with "#" well within the wait that follows the reset.
        script.insert("SRST", {{0, "Resetting DSP.\n\r"}, {600, "\n\rdspBootloader(tm) ver 3.2\n\r#"}});
        script.insert("@", {{0, "@\n\r"}, {5, "\n\rDSP>"}});
    }
    script.insert("FI1", {{0, "FI1\n\rFile Allocation Table\n\r"}, {10, "Description: Solvarine 1.7\n\r\n\rDSP>"}});

    PtyUnit unit(pty, script);
    SolvarineDeviceImpl device(*client);
    unit.stop();

    QVERIFY(device.isValid());
    QString version;
    QVERIFY(device.loadFwVersion(version));
    QCOMPARE(version, QStringLiteral("Solvarine 1.7"));
    const QList<QByteArray> expected =
        inBootloader ? QList<QByteArray>{"SRST", "FI1"} : QList<QByteArray>{"SRST", "@", "FI1"};
    QCOMPARE(unit.commands(), expected);
}

QTEST_GUILESS_MAIN(TestSolvarineDevice)
#include "tst_solvarine_device.moc"
