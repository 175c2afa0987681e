// The OSC output: its settings, and the datagrams it sends, received on a loopback socket of the
// test and decoded independently of the writer.

#include "tst_osc_reader.h"

#include "ui_mediators/UIKesOscMediator.h"

#include <QTest>

#include <cmath>

using UIMediators::UIKesOscMediator;

namespace {

quint32 Bits(float value)
{
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

QList<quint32> Bits(const QList<float>& values)
{
    QList<quint32> bits;
    for (float value : values)
        bits << Bits(value);
    return bits;
}

// An OSC output aimed at the test's receiver.
struct Output {
    Output()
    {
        osc.setIpAddress(QStringLiteral("127.0.0.1"));
        osc.setUdpPort(receiver.portText());
    }

    OscReceiver receiver;
    UIKesOscMediator osc;
};

// w = 0.5, x = -0.25, y = 0.125, z = 0.75: distinct, exactly representable components, so every
// reordering and sign shows.
const QQuaternion c_orientation(0.5f, -0.25f, 0.125f, 0.75f);

} // namespace

class TestOscMediator : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        OscReceiver receiver;
        QVERIFY2(receiver.isBound(), "no loopback UDP socket");
    }

    void defaults()
    {
        UIKesOscMediator osc;
        QCOMPARE(osc.getIpAddress(), QStringLiteral("127.0.0.1"));
        QCOMPARE(osc.getUdpPort(), QStringLiteral("8000"));
        QCOMPARE(osc.getOscFormatIndex(), 4);
        QCOMPARE(osc.getOscFormats(), (QStringList{
                                          QStringLiteral("/tbe/listener/unityquat x y z w"),
                                          QStringLiteral("/SceneRotator/quaternions w y x -z"),
                                          QStringLiteral("/Virtuoso/quat w z x -y"),
                                          QStringLiteral("/quaternion w x y z"),
                                          QStringLiteral("/ypr yaw pitch roll"),
                                      }));
    }

    void formatIndexStaysInTheList_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("expected");

        QTest::newRow("0") << 0 << 0;
        QTest::newRow("3") << 3 << 3;
        QTest::newRow("5 is past the list") << 5 << 4;
        QTest::newRow("negative") << -1 << 4;
        QTest::newRow("65536") << 65536 << 4;
    }

    void formatIndexStaysInTheList()
    {
        QFETCH(int, index);
        QFETCH(int, expected);
        UIKesOscMediator osc;
        osc.setOscFormatIndex(index);
        QCOMPARE(osc.getOscFormatIndex(), expected);
    }

    void portText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("empty restores 8000") << QString() << QStringLiteral("8000");
        QTest::newRow("9001") << QStringLiteral("9001") << QStringLiteral("9001");
        QTest::newRow("0") << QStringLiteral("0") << QStringLiteral("0");
        QTest::newRow("65535") << QStringLiteral("65535") << QStringLiteral("65535");
        QTest::newRow("65536") << QStringLiteral("65536") << QStringLiteral("1234");
        QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("1234");
        QTest::newRow("negative") << QStringLiteral("-1") << QStringLiteral("1234");
        QTest::newRow("hexadecimal") << QStringLiteral("0x10") << QStringLiteral("1234");
        QTest::newRow("fraction") << QStringLiteral("80.5") << QStringLiteral("1234");
    }

    void portText()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        UIKesOscMediator osc;
        osc.setUdpPort(QStringLiteral("1234"));
        osc.setUdpPort(text);
        QCOMPARE(osc.getUdpPort(), expected);
    }

    // Setting the address sends nothing, so these addresses are only parsed.
    void addressText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("IPv4") << QStringLiteral("192.0.2.7") << QStringLiteral("192.0.2.7");
        QTest::newRow("IPv6") << QStringLiteral("::1") << QStringLiteral("::1");
        QTest::newRow("empty restores the local host") << QString() << QStringLiteral("127.0.0.1");
        QTest::newRow("not an address") << QStringLiteral("localhost:9000") << QString();
        QTest::newRow("out of range") << QStringLiteral("300.1.1.1") << QString();
    }

    void addressText()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        UIKesOscMediator osc;
        osc.setIpAddress(QStringLiteral("192.0.2.1"));
        osc.setIpAddress(text);
        QCOMPARE(osc.getIpAddress(), expected);
    }

    // Each format's address and argument order, as the receiver decodes them.
    void sendsEachFormat_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<QList<float>>("arguments");

        const QQuaternion& q = c_orientation;
        QTest::newRow("0 unityquat") << 0 << QByteArray("/tbe/listener/unityquat")
                                     << QList<float>{q.x(), q.y(), q.z(), q.scalar()};
        QTest::newRow("1 SceneRotator") << 1 << QByteArray("/SceneRotator/quaternions")
                                        << QList<float>{q.scalar(), q.y(), q.x(), -q.z()};
        QTest::newRow("2 Virtuoso") << 2 << QByteArray("/Virtuoso/quat")
                                    << QList<float>{q.scalar(), q.z(), q.x(), -q.y()};
        QTest::newRow("3 quaternion") << 3 << QByteArray("/quaternion")
                                      << QList<float>{q.scalar(), q.x(), q.y(), q.z()};
        // yaw, pitch, roll as given (pitch 10, yaw 20, roll 30).
        QTest::newRow("4 ypr") << 4 << QByteArray("/ypr") << QList<float>{20.0f, 10.0f, 30.0f};
    }

    void sendsEachFormat()
    {
        QFETCH(int, format);
        QFETCH(QByteArray, address);
        QFETCH(QList<float>, arguments);

        Output out;
        out.osc.setOscFormatIndex(format);
        out.osc.setOscEnabled(true);
        out.osc.updateHeadPosition(c_orientation, 10.0f, 20.0f, 30.0f);

        const OscReading reading = ReadOsc(out.receiver.next());
        QVERIFY(reading.wellFormed);
        QCOMPARE(reading.address, address);
        QCOMPARE(reading.tags, QByteArray(arguments.size(), 'f'));
        QCOMPARE(reading.floats, arguments);
        QVERIFY(!out.receiver.hasPending());
    }

    // Straight ahead: a negated zero goes out with its sign bit set.
    void identityOrientation_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QList<quint32>>("bits");

        QTest::newRow("SceneRotator") << 1 << Bits({1.0f, 0.0f, 0.0f, -0.0f});
        QTest::newRow("Virtuoso") << 2 << Bits({1.0f, 0.0f, 0.0f, -0.0f});
        QTest::newRow("ypr") << 4 << Bits({0.0f, 0.0f, 0.0f});
    }

    void identityOrientation()
    {
        QFETCH(int, format);
        QFETCH(QList<quint32>, bits);

        Output out;
        out.osc.setOscFormatIndex(format);
        out.osc.sendOscPosition();
        const OscReading reading = ReadOsc(out.receiver.next());
        QVERIFY(reading.wellFormed);
        QCOMPARE(reading.bits, bits);
    }

    // Each update sends one datagram while enabled and none while disabled; loopback keeps the
    // order, so the first datagram received tells which updates went out.
    void sendsOnlyWhileEnabled()
    {
        Output out;
        out.osc.setOscFormatIndex(4);
        out.osc.updateHeadPosition(QQuaternion(), 1.0f, 1.0f, 1.0f); // off: nothing
        out.osc.setOscEnabled(true);
        out.osc.updateHeadPosition(QQuaternion(), 2.0f, 2.0f, 2.0f);
        out.osc.setOscEnabled(false);
        out.osc.updateHeadPosition(QQuaternion(), 3.0f, 3.0f, 3.0f); // off: stored, not sent
        out.osc.sendOscPosition();                                   // sends the stored one anyway

        QCOMPARE(ReadOsc(out.receiver.next()).floats, (QList<float>{2.0f, 2.0f, 2.0f}));
        QCOMPARE(ReadOsc(out.receiver.next()).floats, (QList<float>{3.0f, 3.0f, 3.0f}));
        QVERIFY(!out.receiver.hasPending());
    }

    void followsTheTarget()
    {
        OscReceiver first;
        OscReceiver second;
        UIKesOscMediator osc;
        osc.setUdpPort(first.portText());
        osc.sendOscPosition();
        osc.setUdpPort(second.portText());
        osc.sendOscPosition();
        QVERIFY(ReadOsc(first.next()).wellFormed);
        QVERIFY(ReadOsc(second.next()).wellFormed);
        QVERIFY(!first.hasPending());
    }

    // Nowhere to send: a null address sends nothing, port 0 fails in the system; neither
    // disturbs later sends.
    void unusableTargetsPassSilently()
    {
        Output out;
        out.osc.setOscEnabled(true);
        out.osc.setIpAddress(QStringLiteral("not an address"));
        out.osc.updateHeadPosition(QQuaternion(), 1.0f, 1.0f, 1.0f);
        out.osc.setIpAddress(QString());
        out.osc.setUdpPort(QStringLiteral("0"));
        out.osc.updateHeadPosition(QQuaternion(), 2.0f, 2.0f, 2.0f);
        out.osc.setUdpPort(out.receiver.portText());
        out.osc.updateHeadPosition(QQuaternion(), 3.0f, 3.0f, 3.0f);
        QCOMPARE(ReadOsc(out.receiver.next()).floats, (QList<float>{3.0f, 3.0f, 3.0f}));
        QVERIFY(!out.receiver.hasPending());
    }
};

QTEST_GUILESS_MAIN(TestOscMediator)
#include "tst_osc_mediator.moc"
