#include "utils/OscMessageWriter.h"

#include <QTest>

#include <cmath>
#include <limits>

using Utils::OscMessageWriter;

namespace {

// "2F 79 00" -> bytes; blanks and the "|" separators are for reading only.
QByteArray Hex(const char* text)
{
    QByteArray digits(text);
    digits.replace(' ', QByteArray()).replace('|', QByteArray());
    return QByteArray::fromHex(digits);
}

QString Spaced(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace

class TestOscMessageWriter : public QObject {
    Q_OBJECT

private slots:
    // The five messages of the head-tracking output, as a receiver sees them on the wire.
    void encodesTheHeadTrackingMessages_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<QList<float>>("arguments");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("unityquat") << QByteArray("/tbe/listener/unityquat") << QList<float>{0.5f, -0.25f, 0.125f, 2.0f}
                                   << Hex("2F 74 62 65 2F 6C 69 73 74 65 6E 65 72 2F 75 6E 69 74 79 71 75 61 74 00 |"
                                          "2C 66 66 66 66 00 00 00 |"
                                          "3F 00 00 00 | BE 80 00 00 | 3E 00 00 00 | 40 00 00 00");
        QTest::newRow("SceneRotator")
            << QByteArray("/SceneRotator/quaternions") << QList<float>{2.0f, -0.25f, 0.5f, -0.125f}
            << Hex("2F 53 63 65 6E 65 52 6F 74 61 74 6F 72 2F 71 75 61 74 65 72 6E 69 6F 6E 73 00 00 00 |"
                   "2C 66 66 66 66 00 00 00 |"
                   "40 00 00 00 | BE 80 00 00 | 3F 00 00 00 | BE 00 00 00");
        QTest::newRow("Virtuoso") << QByteArray("/Virtuoso/quat") << QList<float>{1.0f, 0.0f, 0.0f, -0.0f}
                                  << Hex("2F 56 69 72 74 75 6F 73 6F 2F 71 75 61 74 00 00 |"
                                         "2C 66 66 66 66 00 00 00 |"
                                         "3F 80 00 00 | 00 00 00 00 | 00 00 00 00 | 80 00 00 00");
        QTest::newRow("quaternion") << QByteArray("/quaternion") << QList<float>{1.0f, 0.0f, 0.0f, 0.0f}
                                    << Hex("2F 71 75 61 74 65 72 6E 69 6F 6E 00 |"
                                           "2C 66 66 66 66 00 00 00 |"
                                           "3F 80 00 00 | 00 00 00 00 | 00 00 00 00 | 00 00 00 00");
        QTest::newRow("ypr") << QByteArray("/ypr") << QList<float>{90.0f, -45.0f, 0.0f}
                             << Hex("2F 79 70 72 00 00 00 00 |"
                                    "2C 66 66 66 00 00 00 00 |"
                                    "42 B4 00 00 | C2 34 00 00 | 00 00 00 00");
    }

    void encodesTheHeadTrackingMessages()
    {
        QFETCH(QByteArray, address);
        QFETCH(QList<float>, arguments);
        QFETCH(QByteArray, expected);

        OscMessageWriter writer(address.constData(), 20, 20);
        for (float value : arguments)
            writer.addFloat32(value);
        QCOMPARE(Spaced(writer.getBytes()), Spaced(expected));
    }

    // The address is NUL-terminated and padded to a multiple of 4 (always at least one NUL).
    void padsTheAddress_data()
    {
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<bool>("null");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("3 characters") << QByteArray("/ab") << false << Hex("2F 61 62 00 | 2C 00 00 00");
        QTest::newRow("4 characters") << QByteArray("/abc") << false << Hex("2F 61 62 63 00 00 00 00 | 2C 00 00 00");
        QTest::newRow("5 characters") << QByteArray("/abcd") << false << Hex("2F 61 62 63 64 00 00 00 | 2C 00 00 00");
        QTest::newRow("empty") << QByteArray("") << false << Hex("00 00 00 00 | 2C 00 00 00");
        QTest::newRow("null") << QByteArray() << true << Hex("00 00 00 00 | 2C 00 00 00");
    }

    void padsTheAddress()
    {
        QFETCH(QByteArray, address);
        QFETCH(bool, null);
        QFETCH(QByteArray, expected);

        OscMessageWriter writer(null ? nullptr : address.constData(), 0, 0);
        QCOMPARE(Spaced(writer.getBytes()), Spaced(expected));
    }

    // The tag string "," plus one character per argument, NUL-terminated and padded: three tags
    // fill a block exactly, so their NUL takes a block of its own.
    void padsTheTypeTags_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("tags");

        QTest::newRow("none") << 0 << Hex("2C 00 00 00");
        QTest::newRow("one") << 1 << Hex("2C 69 00 00");
        QTest::newRow("two") << 2 << Hex("2C 69 69 00");
        QTest::newRow("three") << 3 << Hex("2C 69 69 69 00 00 00 00");
        QTest::newRow("four") << 4 << Hex("2C 69 69 69 69 00 00 00");
        QTest::newRow("seven") << 7 << Hex("2C 69 69 69 69 69 69 69 00 00 00 00");
    }

    void padsTheTypeTags()
    {
        QFETCH(int, count);
        QFETCH(QByteArray, tags);

        OscMessageWriter writer("/i", 0, 0);
        QByteArray arguments;
        for (int i = 0; i < count; ++i) {
            writer.addInt32(i);
            arguments += Hex("00 00 00") + char(i);
        }
        QCOMPARE(Spaced(writer.getBytes()), Spaced(Hex("2F 69 00 00") + tags + arguments));
    }

    void encodesInt32BigEndian_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("1") << 1 << Hex("00 00 00 01");
        QTest::newRow("-2") << -2 << Hex("FF FF FF FE");
        QTest::newRow("0x12345678") << 0x12345678 << Hex("12 34 56 78");
        QTest::newRow("min") << std::numeric_limits<int>::min() << Hex("80 00 00 00");
    }

    void encodesInt32BigEndian()
    {
        QFETCH(int, value);
        QFETCH(QByteArray, expected);

        OscMessageWriter writer("/x", 0, 0);
        writer.addInt32(value);
        QCOMPARE(Spaced(writer.getBytes()), Spaced(Hex("2F 78 00 00 | 2C 69 00 00") + expected));
    }

    void encodesFloat32Bits_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("1") << 1.0f << Hex("3F 80 00 00");
        QTest::newRow("0") << 0.0f << Hex("00 00 00 00");
        QTest::newRow("-0") << -0.0f << Hex("80 00 00 00");
        QTest::newRow("-1.5") << -1.5f << Hex("BF C0 00 00");
        QTest::newRow("smallest subnormal") << std::numeric_limits<float>::denorm_min() << Hex("00 00 00 01");
        QTest::newRow("infinity") << std::numeric_limits<float>::infinity() << Hex("7F 80 00 00");
    }

    void encodesFloat32Bits()
    {
        QFETCH(float, value);
        QFETCH(QByteArray, expected);

        OscMessageWriter writer("/x", 0, 0);
        writer.addFloat32(value);
        QCOMPARE(Spaced(writer.getBytes()), Spaced(Hex("2F 78 00 00 | 2C 66 00 00") + expected));
    }

    void encodesStringsPadded_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("null");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("hi") << QByteArray("hi") << false << Hex("68 69 00 00");
        QTest::newRow("empty") << QByteArray("") << false << Hex("00 00 00 00");
        QTest::newRow("null") << QByteArray() << true << Hex("00 00 00 00");
        QTest::newRow("3 characters") << QByteArray("abc") << false << Hex("61 62 63 00");
        QTest::newRow("4 characters") << QByteArray("abcd") << false << Hex("61 62 63 64 00 00 00 00");
    }

    void encodesStringsPadded()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, null);
        QFETCH(QByteArray, expected);

        OscMessageWriter writer("/x", 0, 0);
        writer.addString(null ? nullptr : text.constData());
        QCOMPARE(Spaced(writer.getBytes()), Spaced(Hex("2F 78 00 00 | 2C 73 00 00") + expected));
    }

    // Arguments of all three kinds keep the order they were added in, and a string in the middle
    // keeps the numbers after it aligned.
    void mixesArgumentKinds()
    {
        OscMessageWriter writer("/mix", 4, 4);
        writer.addInt32(7);
        writer.addString("abcde");
        writer.addFloat32(0.5f);
        writer.addString("");
        QCOMPARE(Spaced(writer.getBytes()), Spaced(Hex("2F 6D 69 78 00 00 00 00 |"
                                                       "2C 69 73 66 73 00 00 00 |"
                                                       "00 00 00 07 |"
                                                       "61 62 63 64 65 00 00 00 |"
                                                       "3F 00 00 00 |"
                                                       "00 00 00 00")));
    }

    // Reading does not change the writer: a later argument lands after the earlier ones.
    void canBeReadRepeatedly()
    {
        OscMessageWriter writer("/x", -5, -1); // negative reserves count as none
        writer.addInt32(1);
        const QByteArray first = writer.getBytes();
        QCOMPARE(writer.getBytes(), first);
        writer.addInt32(2);
        QCOMPARE(Spaced(writer.getBytes()), Spaced(Hex("2F 78 00 00 | 2C 69 69 00 | 00 00 00 01 | 00 00 00 02")));
        QCOMPARE(Spaced(first), Spaced(Hex("2F 78 00 00 | 2C 69 00 00 | 00 00 00 01")));
    }

    void staticHelpersWorkOnAnyArray()
    {
        QByteArray bytes("ab");
        OscMessageWriter::AlignBytes(bytes);
        QCOMPARE(Spaced(bytes), Spaced(Hex("61 62 00 00")));
        OscMessageWriter::AlignBytes(bytes); // already aligned: nothing
        QCOMPARE(bytes.size(), 4);

        QByteArray empty;
        OscMessageWriter::AlignBytes(empty);
        QVERIFY(empty.isEmpty());

        // The padding counts from the start of the array, not of the text.
        QByteArray prefixed("x");
        OscMessageWriter::AddStringAndAlign(prefixed, "yz");
        QCOMPARE(Spaced(prefixed), Spaced(Hex("78 79 7A 00")));
        OscMessageWriter::AddStringAndAlign(prefixed, nullptr);
        QCOMPARE(Spaced(prefixed), Spaced(Hex("78 79 7A 00 | 00 00 00 00")));

        QByteArray number("n");
        OscMessageWriter::Add32BitNumber(number, 0x01020304);
        QCOMPARE(Spaced(number), Spaced(Hex("6E 01 02 03 04")));
    }
};

QTEST_APPLESS_MAIN(TestOscMessageWriter)
#include "tst_osc_message_writer.moc"
