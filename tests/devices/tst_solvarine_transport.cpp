// The serial device's text protocol against a scripted unit: the commands byte for byte, the
// bootloader dialogue, the firmware description, and replies that are malformed, late or missing.

#include "ScriptedSerialPeer.h"
#include "SerialLog.h"

#include "devices/SolvarineTransport.h"

#include <QtTest>

using Devices::SolvarineTransport;
using Piece = ScriptedSerialPeer::Piece;

Q_DECLARE_METATYPE(QList<ScriptedSerialPeer::Piece>)

namespace {

const QByteArray c_warning = "WARN:   ";
const QByteArray c_failed = "Failed loading bootloader.";

QList<QByteArray> Commands(std::initializer_list<const char*> texts)
{
    QList<QByteArray> writes;
    for (const char* text : texts) {
        writes.append(text);
        writes.append("\n\r");
    }
    return writes;
}

} // namespace

class TestSolvarineTransport : public QObject {
    Q_OBJECT

private slots:
    void commandsAreSentWithTheirTerminator();
    void failedWriteStillSendsTheTerminator();

    void unitInBootloaderAnswersWithItsEcho();
    void unitRestartsIntoTheBootloader();
    void bootloaderBannerCountsAsAcknowledgement();
    void failedReset_data();
    void failedReset();

    void description_data();
    void description();
    void malformedDescription_data();
    void malformedDescription();
    void descriptionSurvivesAReplyInSingleBytes();
    void fullBufferFailsAndTheNextCommandStartsAfresh();
    void readFailureEndsTheWait();
    void readAllAppendsUntilNothingArrives();

private:
    SerialLog m_log;
};

void TestSolvarineTransport::commandsAreSentWithTheirTerminator()
{
    ScriptedSerialPeer peer;
    SolvarineTransport transport(peer);
    QVERIFY(transport.writeCommand("SRST"));
    QVERIFY(transport.executeFw());
    QCOMPARE(peer.writes(), Commands({"SRST", "x"}));
    QCOMPARE(peer.written(), QByteArray("SRST\n\rx\n\r"));
}

void TestSolvarineTransport::failedWriteStillSendsTheTerminator()
{
    ScriptedSerialPeer peer;
    peer.failWritesOf("FI1");
    SolvarineTransport transport(peer);
    QVERIFY(!transport.writeCommand("FI1"));
    QCOMPARE(peer.writes(), Commands({"FI1"}));

    ScriptedSerialPeer other;
    other.failWritesOf("\n\r");
    SolvarineTransport second(other);
    QVERIFY(!second.writeCommand("@"));
}

void TestSolvarineTransport::unitInBootloaderAnswersWithItsEcho()
{
    ScriptedSerialPeer peer;
    ScriptedSerialPeer::ScriptUnitInBootloader(peer, "unused");
    SolvarineTransport transport(peer);
    m_log.restart();

    bool already = false;
    QVERIFY(transport.resetToBootloader(already));
    QVERIFY(already);
    // No restart: neither "@" nor anything else follows the reset command.
    QCOMPARE(peer.writes(), Commands({"SRST"}));
    QCOMPARE(transport.filled(), 0);
    const QByteArray log = m_log.text();
    QVERIFY2(log.contains("Resetting Solvarine to bootloader..."), log.constData());
    QVERIFY(log.contains("Solvarine is already in bootloader mode."));
    QVERIFY(!log.contains(c_failed));
}

void TestSolvarineTransport::unitRestartsIntoTheBootloader()
{
    ScriptedSerialPeer peer;
    ScriptedSerialPeer::ScriptRunningUnit(peer, "unused");
    SolvarineTransport transport(peer);
    m_log.restart();

    bool already = true;
    QVERIFY(transport.resetToBootloader(already));
    QVERIFY(!already);
    QCOMPARE(peer.writes(), Commands({"SRST", "@"}));
    QCOMPARE(transport.filled(), 0);
    QCOMPARE(peer.pendingPieces(), 0);

    const QByteArray log = m_log.text();
    const QList<QByteArray> steps{"Resetting Solvarine to bootloader...", "Resetting found...", "Hash found...",
                                  "DSP> found, Solvarine successfully switched to bootloader."};
    qsizetype at = 0;
    for (const QByteArray& step : steps) {
        const qsizetype found = log.indexOf(step, at);
        QVERIFY2(found >= 0, step.constData());
        at = found + step.size();
    }
    QVERIFY(!log.contains(c_failed));
}

void TestSolvarineTransport::bootloaderBannerCountsAsAcknowledgement()
{
    ScriptedSerialPeer peer;
    ScriptedSerialPeer::ScriptRunningUnit(peer, "unused");
    // No "Resetting DSP." at the start, but the banner further on; the restart's "#" comes after
    // the wait for the acknowledgement (25 reads) has given up.
    peer.onCommand("SRST", {Piece{"\n\r?? "}, Piece{"dspBootloader(tm) ver 3.2\n\r"}, Piece{"#", 30}});
    SolvarineTransport transport(peer);
    bool already = true;
    QVERIFY(transport.resetToBootloader(already));
    QVERIFY(!already);
    QCOMPARE(peer.writes(), Commands({"SRST", "@"}));
}

void TestSolvarineTransport::failedReset_data()
{
    QTest::addColumn<QList<Piece>>("resetReply");
    QTest::addColumn<QList<Piece>>("continueReply");
    QTest::addColumn<QByteArray>("failingWrite");
    QTest::addColumn<QList<QByteArray>>("writes");

    const QList<Piece> acknowledged{Piece{"Resetting DSP.\n\r"}, Piece{"\n\rdspBootloader(tm) ver 3.2\n\r#"}};
    const QList<Piece> prompt{Piece{"@\n\r\n\rDSP>"}};
    const QList<QByteArray> resetOnly = Commands({"SRST"});
    const QList<QByteArray> both = Commands({"SRST", "@"});

    QTest::newRow("silence") << QList<Piece>{} << prompt << QByteArray() << resetOnly;
    QTest::newRow("three bytes") << QList<Piece>{Piece{"SRS"}} << prompt << QByteArray() << resetOnly;
    QTest::newRow("echo without prompt") << QList<Piece>{Piece{"SRST\n\r"}, Piece{"DSP"}} << prompt << QByteArray()
                                         << resetOnly;
    // The prompt comes, but too late: after 25 empty reads.
    QTest::newRow("late prompt") << QList<Piece>{Piece{"SRST\n\r"}, Piece{"\n\rDSP>", 30}} << prompt << QByteArray()
                                 << resetOnly;
    QTest::newRow("neither acknowledgement nor banner")
        << QList<Piece>{Piece{"Unknown command\n\r#"}} << prompt << QByteArray() << resetOnly;
    QTest::newRow("acknowledgement cut short")
        << QList<Piece>{Piece{"Resetting DSP"}} << prompt << QByteArray() << resetOnly;
    QTest::newRow("no hash after restart")
        << QList<Piece>{Piece{"Resetting DSP.\n\r"}, Piece{"\n\rbooting\n\r"}} << prompt << QByteArray() << resetOnly;
    QTest::newRow("no prompt after @") << acknowledged << QList<Piece>{Piece{"@\n\r"}} << QByteArray() << both;
    QTest::newRow("prompt not last") << acknowledged << QList<Piece>{Piece{"@\n\r\n\rDSP> ?"}} << QByteArray() << both;
    QTest::newRow("reset write fails") << acknowledged << prompt << QByteArray("SRST") << resetOnly;
    QTest::newRow("@ write fails") << acknowledged << prompt << QByteArray("@") << both;
    QTest::newRow("read fails") << QList<Piece>{Piece{"Resetting DSP.\n\r"}, Piece{QByteArray(), 0, true}} << prompt
                                << QByteArray() << resetOnly;
}

void TestSolvarineTransport::failedReset()
{
    QFETCH(QList<Piece>, resetReply);
    QFETCH(QList<Piece>, continueReply);
    QFETCH(QByteArray, failingWrite);
    QFETCH(QList<QByteArray>, writes);

    ScriptedSerialPeer peer;
    peer.onCommand("SRST", resetReply);
    peer.onCommand("@", continueReply);
    if (!failingWrite.isEmpty())
        peer.failWritesOf(failingWrite);
    SolvarineTransport transport(peer);
    m_log.restart();

    bool already = true;
    QVERIFY(!transport.resetToBootloader(already));
    QVERIFY2(already, "the flag is written only on success");
    QCOMPARE(peer.writes(), writes);

    const QByteArray log = m_log.text();
    QCOMPARE(log.count(c_failed), 1);
    const qsizetype line = log.lastIndexOf('\n', log.indexOf(c_failed)) + 1;
    QVERIFY2(log.mid(line).startsWith(c_warning), log.constData());
    QVERIFY(!log.contains("successfully switched"));
}

void TestSolvarineTransport::description_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("description");

    QTest::newRow("bootloader reply") << ScriptedSerialPeer::FileInfoReply("SLV-DSP 2.4.1 (2023-11-02)")
                                      << QStringLiteral("SLV-DSP 2.4.1 (2023-11-02)");
    // The unit ends its lines with "\n\r": the carriage return belongs to the next line.
    QTest::newRow("carriage return after line feed")
        << QByteArray("File Allocation\n\rDescription: v1\n\r\n\rDSP>") << QStringLiteral("v1");
    QTest::newRow("carriage return before line feed")
        << QByteArray("File Allocation\r\nDescription: v1\r\n\n\rDSP>") << QStringLiteral("v1\r");
    QTest::newRow("empty description") << QByteArray("File Allocation\n\rDescription: \n\r\n\rDSP>") << QString();
    QTest::newRow("Latin-1 text") << QByteArray("File Allocation\n\rDescription: R\xe9v. \xb5"
                                                "C 7\n\rDSP>")
                                  << QString::fromUtf8("R\xc3\xa9v. \xc2\xb5"
                                                       "C 7");
    // The line feed that ends the text may be the prompt's own.
    QTest::newRow("description ends at the prompt")
        << QByteArray("File Allocation\n\rDescription: v1\n\rDSP>") << QStringLiteral("v1");
    QTest::newRow("first description wins")
        << QByteArray("File Allocation\n\rDescription: one\n\rDescription: two\n\r\n\rDSP>") << QStringLiteral("one");
}

void TestSolvarineTransport::description()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, description);

    ScriptedSerialPeer peer;
    peer.onCommand("FI1", reply);
    SolvarineTransport transport(peer);
    QString text = QStringLiteral("before");
    QVERIFY(transport.readFwDescription(text));
    QCOMPARE(text, description);
    QCOMPARE(peer.writes(), Commands({"FI1"}));
    QCOMPARE(transport.filled(), 0);
}

void TestSolvarineTransport::malformedDescription_data()
{
    QTest::addColumn<QList<Piece>>("reply");
    QTest::addColumn<QByteArray>("failingWrite");

    QTest::newRow("no reply") << QList<Piece>{} << QByteArray();
    QTest::newRow("no prompt") << QList<Piece>{Piece{"File Allocation\n\rDescription: v1\n\r"}} << QByteArray();
    QTest::newRow("no File Allocation") << QList<Piece>{Piece{"Files\n\rDescription: v1\n\r\n\rDSP>"}} << QByteArray();
    QTest::newRow("no Description") << QList<Piece>{Piece{"File Allocation\n\rDescr: v1\n\r\n\rDSP>"}} << QByteArray();
    QTest::newRow("marker without its blank")
        << QList<Piece>{Piece{"File Allocation\n\rDescription:v1\n\r\n\rDSP>"}} << QByteArray();
    QTest::newRow("command write fails") << QList<Piece>{Piece{ScriptedSerialPeer::FileInfoReply("v1")}}
                                         << QByteArray("FI1");
    QTest::newRow("read fails") << QList<Piece>{Piece{"File Allocation\n\r"}, Piece{QByteArray(), 0, true}}
                                << QByteArray();
}

void TestSolvarineTransport::malformedDescription()
{
    QFETCH(QList<Piece>, reply);
    QFETCH(QByteArray, failingWrite);

    ScriptedSerialPeer peer;
    peer.onCommand("FI1", reply);
    if (!failingWrite.isEmpty())
        peer.failWritesOf(failingWrite);
    SolvarineTransport transport(peer);
    m_log.restart();

    QString text = QStringLiteral("before");
    QVERIFY(!transport.readFwDescription(text));
    QCOMPARE(text, QStringLiteral("before"));
    QCOMPARE(transport.filled(), 0);
    QVERIFY(!m_log.text().contains(c_warning));
}

void TestSolvarineTransport::descriptionSurvivesAReplyInSingleBytes()
{
    const QByteArray reply = ScriptedSerialPeer::FileInfoReply("v1.0");
    QList<Piece> pieces;
    for (char byte : reply)
        pieces.append(Piece{QByteArray(1, byte)});
    // A pause in the middle that is shorter than the wait.
    pieces[20].silentReads = 10;

    ScriptedSerialPeer peer;
    peer.onCommand("FI1", pieces);
    SolvarineTransport transport(peer);
    // 25 reads are not enough for this reply in single bytes: the wait ends without the prompt.
    QString text;
    QVERIFY(!transport.readFwDescription(text));

    // Each read may bring many bytes, though: the same reply in pieces of 8.
    pieces.clear();
    for (qsizetype at = 0; at < reply.size(); at += 8)
        pieces.append(Piece{reply.mid(at, 8)});
    ScriptedSerialPeer chunked;
    chunked.onCommand("FI1", pieces);
    SolvarineTransport second(chunked);
    QVERIFY(second.readFwDescription(text));
    QCOMPARE(text, QStringLiteral("v1.0"));
}

void TestSolvarineTransport::fullBufferFailsAndTheNextCommandStartsAfresh()
{
    ScriptedSerialPeer peer;
    // 1,100 bytes without a prompt, then the prompt.
    peer.onCommand("FI1", {Piece{QByteArray(1100, 'A')}, Piece{"\n\rDSP>"}});
    SolvarineTransport transport(peer);
    QString text = QStringLiteral("before");
    QVERIFY(!transport.readFwDescription(text));
    QCOMPARE(text, QStringLiteral("before"));
    // Once the buffer was full, the reads asked for nothing and the prompt stayed unread.
    QVERIFY(peer.readSizes().contains(0));
    QVERIFY(!peer.readSizes().contains(size_t(SolvarineTransport::BufferSize) + 1));
    QCOMPARE(transport.filled(), 0);

    // The rest of the old reply is left over: it lacks "File Allocation".
    peer.onCommand("FI1", ScriptedSerialPeer::FileInfoReply("v2"));
    QVERIFY(!transport.readFwDescription(text));
    QVERIFY(transport.readFwDescription(text));
    QCOMPARE(text, QStringLiteral("v2"));
}

void TestSolvarineTransport::readFailureEndsTheWait()
{
    ScriptedSerialPeer peer;
    peer.queue(Piece{QByteArray(), 0, true});
    peer.queue(Piece{"\n\rDSP>"});
    SolvarineTransport transport(peer);
    QVERIFY(!transport.readUntilDsp());
    QCOMPARE(peer.readSizes().size(), 1);
}

void TestSolvarineTransport::readAllAppendsUntilNothingArrives()
{
    ScriptedSerialPeer peer;
    peer.queue(Piece{"ab"});
    peer.queue(Piece{"cd"});
    peer.queue(Piece{"ef", 1});
    SolvarineTransport transport(peer);
    QCOMPARE(transport.readAll(), 0);
    QCOMPARE(QByteArray(transport.buffer(), int(transport.filled())), QByteArray("abcd"));
    QCOMPARE(transport.readAll(), 0);
    QCOMPARE(QByteArray(transport.buffer(), int(transport.filled())), QByteArray("abcdef"));

    peer.queue(Piece{QByteArray(), 0, true});
    QCOMPARE(transport.readAll(), -1);
    transport.consumeCurrentBuffer();
    QCOMPARE(transport.filled(), 0);
}

QTEST_GUILESS_MAIN(TestSolvarineTransport)
#include "tst_solvarine_transport.moc"
