#include "devices/KestrinConverters.h"
#include "devices/PeqCoefficients.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cmath>
#include <complex>
#include <cstring>

using Devices::Kestrin2AncEq;
using Devices::KestrinBandInfo;
using Devices::KestrinConverters;
using Devices::KestrinEq;

using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {

KestrinEq TenBandPreset(int gainHundredths)
{
    static const int frequencies[10] = {32, 64, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};
    KestrinEq eq;
    eq.headerByte = 0x0A;
    eq.headerWord = 1;
    for (int i = 0; i < 10; ++i) {
        KestrinBandInfo band;
        band.byte0 = uint8_t(i);
        band.byte1 = 2;
        band.frequency = frequencies[i] * 100;
        band.gain = gainHundredths;
        band.q = 141;
        eq.bands.push_back(band);
    }
    return eq;
}

void AppendFloat(Bytes& out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(bits >> (8 * i)));
}

struct Biquad {
    double b0, b1, b2, a1, a2;
};

// The sections of one rate's coefficient words.
std::vector<Biquad> Decode(const uint16_t* words, size_t count)
{
    std::vector<Biquad> sections;
    if (count == 0)
        return sections;
    const size_t n = words[0];
    if (count != 1 + n * Devices::Peq::c_wordsPerSection)
        return sections;
    for (size_t s = 0; s < n; ++s) {
        const uint16_t* w = words + 1 + s * Devices::Peq::c_wordsPerSection;
        auto c = [&](int i) { return Devices::Peq::WordsToCoefficient(w[2 * i], w[2 * i + 1]); };
        sections.push_back(Biquad{c(0), c(1), c(2), c(3), c(4)});
    }
    return sections;
}

// |H(e^jw)| in dB of a cascade at `frequency`.
double MagnitudeDb(const std::vector<Biquad>& sections, double frequency, double sampleRate)
{
    const double w = 2.0 * M_PI * frequency / sampleRate;
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = std::polar(1.0, -2.0 * w);
    std::complex<double> h(1.0, 0.0);
    for (const Biquad& s : sections)
        h *= (s.b0 + s.b1 * z1 + s.b2 * z2) / (1.0 + s.a1 * z1 + s.a2 * z2);
    return 20.0 * std::log10(std::abs(h));
}

std::vector<Biquad> Generate(double sampleRate, const std::vector<std::array<double, 3>>& bands, double rescaleDb = 0.0)
{
    using namespace Devices::Peq;
    setParam(0, sampleRate, int(bands.size()), 1, 0, 0);
    for (size_t i = 0; i < bands.size(); ++i)
        set_peq_point(0, int(i), bands[i][0], bands[i][1], bands[i][2]);
    generate_cofe(0);
    change_rescale_cofe(0, rescaleDb);
    const auto sections = Decode(get_cofe_param(0), get_cofe_count(0));
    destroy(0);
    return sections;
}

const double c_rates[] = {44100.0, 48000.0, 88200.0, 96000.0};

} // namespace

class TestKestrinConverters : public QObject {
    Q_OBJECT

private slots:
    void bytesToEqLengths_data();
    void bytesToEqLengths();
    void eqBytesOfTheExample();
    void eqRoundTrip();
    void coefBlobLayout();
    void ancRecords_data();
    void ancRecords();
    void ancRecordsAppend();
    void rates_data();
    void rates();
    void sensorValue();
    void calibration();
    void calibrationBias();
    void processBeforeCalibrationChangesNothing();
    void biasFile_data();
    void biasFile();

    void peakingGainAtCentre_data();
    void peakingGainAtCentre();
    void flatEqIsUnity();
    void presetSectionsMatchTheirBands();
    void unrealisableBandsPassThrough_data();
    void unrealisableBandsPassThrough();
    void rescaleShiftsTheWholeResponse();
    void callsOutOfOrderFail();
};

void TestKestrinConverters::bytesToEqLengths_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("bands");
    QTest::newRow("0") << 0 << false << 0;
    QTest::newRow("4") << 4 << false << 0;
    QTest::newRow("5") << 5 << true << 0;
    QTest::newRow("22") << 22 << false << 0;
    QTest::newRow("23") << 23 << true << 1;
    QTest::newRow("24") << 24 << false << 0;
    QTest::newRow("185") << 185 << true << 10;
}

void TestKestrinConverters::bytesToEqLengths()
{
    QFETCH(int, length);
    QFETCH(bool, ok);
    QFETCH(int, bands);
    Bytes data(size_t(length) + 1, 0x11); // one spare byte that must not be read
    KestrinEq eq;
    eq.bands.resize(3);
    eq.headerWord = 42;
    QCOMPARE(KestrinConverters::BytesToEq(data.data(), size_t(length), eq), ok);
    if (ok) {
        QCOMPARE(int(eq.bands.size()), bands);
        QCOMPARE(eq.headerByte, uint8_t(0x11));
    } else {
        QCOMPARE(eq.bands.size(), size_t(3));
        QCOMPARE(eq.headerWord, 42);
    }
}

void TestKestrinConverters::eqBytesOfTheExample()
{
    KestrinEq eq;
    eq.headerByte = 0x0A;
    eq.headerWord = 1;
    KestrinBandInfo band;
    band.byte0 = 0x01;
    band.byte1 = 0x02;
    band.frequency = 12500;
    band.gain = -300;
    band.q = 70;
    band.param4 = 0;
    eq.bands.push_back(band);
    const Bytes expected{0x0A, 0x01, 0x00, 0x00, 0x00, 0x01, 0x02, 0xD4, 0x30, 0x00, 0x00, 0xD4,
                         0xFE, 0xFF, 0xFF, 0x46, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    QCOMPARE(KestrinConverters::GetEqBytes(eq), expected);

    KestrinEq parsed;
    QVERIFY(KestrinConverters::BytesToEq(expected.data(), expected.size(), parsed));
    QVERIFY(parsed == eq);

    KestrinEq empty;
    empty.headerByte = 3;
    QCOMPARE(KestrinConverters::GetEqBytes(empty).size(), size_t(5));
}

void TestKestrinConverters::eqRoundTrip()
{
    QRandomGenerator random(1234);
    for (int round = 0; round < 50; ++round) {
        Bytes data(5 + 18 * size_t(random.bounded(11)));
        for (auto& byte : data)
            byte = uint8_t(random.bounded(256));
        KestrinEq eq;
        QVERIFY(KestrinConverters::BytesToEq(data.data(), data.size(), eq));
        QCOMPARE(KestrinConverters::GetEqBytes(eq), data);
    }
}

void TestKestrinConverters::coefBlobLayout()
{
    for (int bands : {0, 1, 10}) {
        KestrinEq eq = TenBandPreset(300);
        eq.bands.resize(size_t(bands));
        const Bytes blob = KestrinConverters::GetCoefBytes(eq);
        const uint16_t count = uint16_t(1 + bands * Devices::Peq::c_wordsPerSection);
        QVERIFY(blob.size() <= 844);
        QCOMPARE(blob.size(), size_t(4 + 4 * (4 + 2 * count)));
        QCOMPARE(Bytes(blob.begin(), blob.begin() + 4), (Bytes{0x04, 0x00, 0x00, 0x00}));
        size_t offset = 4;
        for (uint8_t code : {1, 2, 5, 6}) {
            QCOMPARE(blob[offset], code);
            QCOMPARE(blob[offset + 1], uint8_t(0));
            QCOMPARE(uint16_t(blob[offset + 2] | (blob[offset + 3] << 8)), count);
            QCOMPARE(uint16_t(blob[offset + 4] | (blob[offset + 5] << 8)), uint16_t(bands)); // section count word
            offset += 4 + 2 * size_t(count);
        }
    }
}

void TestKestrinConverters::ancRecords_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("records");
    QTest::newRow("0") << 0 << true << 0;
    QTest::newRow("13") << 13 << false << 0;
    QTest::newRow("14") << 14 << true << 1;
    QTest::newRow("15") << 15 << false << 0;
    QTest::newRow("140") << 140 << true << 10;
}

void TestKestrinConverters::ancRecords()
{
    QFETCH(int, length);
    QFETCH(bool, ok);
    QFETCH(int, records);
    Bytes data;
    while (data.size() < size_t(length)) {
        data.push_back(0x03);
        data.push_back(0x06);
        AppendFloat(data, 1000.0f);
        AppendFloat(data, 0.7f);
        AppendFloat(data, -3.5f);
    }
    data.resize(size_t(length));
    Kestrin2AncEq eq;
    QCOMPARE(KestrinConverters::BytesToKestrin2AncEq(data.data(), data.size(), eq), ok);
    QCOMPARE(int(eq.bands.size()), records);
    if (records > 0) {
        QCOMPARE(eq.bands[0].bandId, uint8_t(3));
        QCOMPARE(eq.bands[0].filterType, uint8_t(6));
        QCOMPARE(eq.bands[0].frequency, 1000.0f);
        QCOMPARE(eq.bands[0].middle, 0.7f);
        QCOMPARE(eq.bands[0].gain, -3.5f);
    }
}

void TestKestrinConverters::ancRecordsAppend()
{
    Bytes record{0x01, 0x06};
    AppendFloat(record, 250.0f);
    AppendFloat(record, 1.0f);
    AppendFloat(record, 2.0f);
    Kestrin2AncEq eq;
    QVERIFY(KestrinConverters::BytesToKestrin2AncEq(record.data(), record.size(), eq));
    QVERIFY(KestrinConverters::BytesToKestrin2AncEq(record.data(), record.size(), eq));
    QCOMPARE(eq.bands.size(), size_t(2));
}

void TestKestrinConverters::rates_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("rate");
    QTest::newRow("1") << 1 << 44100.0;
    QTest::newRow("2") << 2 << 48000.0;
    QTest::newRow("3") << 3 << 0.0;
    QTest::newRow("4") << 4 << 0.0;
    QTest::newRow("5") << 5 << 88200.0;
    QTest::newRow("6") << 6 << 96000.0;
    QTest::newRow("0") << 0 << 0.0;
    QTest::newRow("7") << 7 << 0.0;
}

void TestKestrinConverters::rates()
{
    QFETCH(int, code);
    QFETCH(double, rate);
    QCOMPARE(KestrinConverters::AirohaRateToDouble(KestrinConverters::Rate(code)), rate);
}

void TestKestrinConverters::sensorValue()
{
    const uint8_t bytes[] = {0x34, 0x12, 0xFE, 0xFF};
    const uint8_t* cursor = bytes;
    QCOMPARE(KestrinConverters::ValueFromKestrinSensorBytes(cursor), uint16_t(0x1234));
    QCOMPARE(cursor, bytes + 2);
    QCOMPARE(int16_t(KestrinConverters::ValueFromKestrinSensorBytes(cursor)), int16_t(-2));
}

void TestKestrinConverters::calibration()
{
    KestrinConverters c;
    c.setSensorsEnabled(true, 60);
    uint8_t sample[14] = {3};
    QVERIFY(c.calibrate(3.0));
    QVERIFY(c.isCalibrating());
    QVERIFY(!c.calibrate(2.0)); // one runs already
    for (int i = 0; i < 179; ++i)
        c.processPosition(sample);
    QVERIFY(c.isCalibrating());
    c.processPosition(sample);
    QVERIFY(!c.isCalibrating());
    QVERIFY(c.isCalibrated());
    QCOMPARE(c.getPosition(), QQuaternion());
    QVERIFY(c.calibrate(1.0));
    QCOMPARE(c.getPosition(), QQuaternion());
    c.resetCalibration();
    QVERIFY(!c.isCalibrating());
    QVERIFY(!c.isCalibrated());
}

void TestKestrinConverters::calibrationBias()
{
    KestrinConverters c;
    c.setSensorsEnabled(true, 2);
    QVERIFY(c.calibrate(1.0));
    uint8_t a[14] = {3, 0xFE, 0xFF, 10, 0, 0x00, 0x80}; // x -2, y 10, z -32768
    uint8_t b[14] = {3, 0xFD, 0xFF, 11, 0, 0xFF, 0x7F}; // x -3, y 11, z 32767
    c.processPosition(a);
    c.processPosition(b);
    QVERIFY(c.isCalibrated());
    QCOMPARE(c.biasX(), -2.5);
    QCOMPARE(c.biasY(), 10.5);
    QCOMPARE(c.biasZ(), -0.5);
}

void TestKestrinConverters::processBeforeCalibrationChangesNothing()
{
    KestrinConverters c;
    c.setSensorsEnabled(true, 60);
    uint8_t sample[14] = {3, 0x10, 0x00};
    for (int i = 0; i < 100; ++i)
        c.processPosition(sample);
    QVERIFY(!c.isCalibrated());
    QVERIFY(!c.isCalibrating());
    QCOMPARE(c.biasX(), 0.0);
    c.setSensorsEnabled(false, 5); // does nothing
    QCOMPARE(c.getPosition(), QQuaternion());
}

void TestKestrinConverters::biasFile_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("16 bytes") << 16;
    QTest::newRow("32 bytes") << 32;
}

void TestKestrinConverters::biasFile()
{
    QFETCH(int, size);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("bias.bin");
    QVERIFY(KestrinConverters::SaveBiasToBinaryFile(path, 1.5, -2.25, 1e-9));
    QCOMPARE(QFileInfo(path).size(), qint64(24));
    double x = 0, y = 0, z = 0;
    QVERIFY(KestrinConverters::ReadBiasFromBinaryFile(path, x, y, z));
    QCOMPARE(x, 1.5);
    QCOMPARE(y, -2.25);
    QCOMPARE(z, 1e-9);

    const QString wrong = dir.filePath("wrong.bin");
    QFile file(wrong);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(size, '\1'));
    file.close();
    x = 7;
    QVERIFY(!KestrinConverters::ReadBiasFromBinaryFile(wrong, x, y, z));
    QCOMPARE(x, 7.0);
    QVERIFY(!KestrinConverters::ReadBiasFromBinaryFile(dir.filePath("missing.bin"), x, y, z));
    QVERIFY(!KestrinConverters::SaveBiasToBinaryFile(QString(), 1, 2, 3));
    QVERIFY(!KestrinConverters::SaveBiasToBinaryFile(dir.filePath("no/such/folder/bias.bin"), 1, 2, 3));
}

void TestKestrinConverters::peakingGainAtCentre_data()
{
    QTest::addColumn<double>("frequency");
    QTest::addColumn<double>("gain");
    QTest::addColumn<double>("q");
    const double frequencies[] = {32, 64, 125, 250, 1000, 4000, 16000};
    const double gains[] = {-12, -3, 0.5, 6, 12};
    const double qs[] = {0.5, 1.41, 4};
    for (double f : frequencies)
        for (double g : gains)
            for (double q : qs)
                QTest::addRow("%g Hz %+g dB Q %g", f, g, q) << f << g << q;
}

void TestKestrinConverters::peakingGainAtCentre()
{
    QFETCH(double, frequency);
    QFETCH(double, gain);
    QFETCH(double, q);
    for (double rate : c_rates) {
        const auto sections = Generate(rate, {{frequency, gain, q}});
        QCOMPARE(sections.size(), size_t(1));
        const double db = MagnitudeDb(sections, frequency, rate);
        QVERIFY2(std::abs(db - gain) < 0.1, qPrintable(QStringLiteral("%1 Hz: %2 dB").arg(rate).arg(db)));
        // Far from the centre the band leaves the signal alone.
        if (frequency <= 1000)
            QVERIFY(std::abs(MagnitudeDb(sections, frequency * 16, rate)) < std::abs(gain) / 2 + 0.1);
    }
}

void TestKestrinConverters::flatEqIsUnity()
{
    KestrinEq eq = TenBandPreset(0);
    const Bytes blob = KestrinConverters::GetCoefBytes(eq);
    size_t offset = 4;
    for (double rate : c_rates) {
        const size_t count = size_t(blob[offset + 2] | (blob[offset + 3] << 8));
        std::vector<uint16_t> words(count);
        for (size_t i = 0; i < count; ++i)
            words[i] = uint16_t(blob[offset + 4 + 2 * i] | (blob[offset + 5 + 2 * i] << 8));
        const auto sections = Decode(words.data(), words.size());
        QCOMPARE(sections.size(), size_t(10));
        for (double f : {20.0, 100.0, 1000.0, 10000.0, 20000.0})
            QVERIFY2(std::abs(MagnitudeDb(sections, f, rate)) < 1e-6, qPrintable(QString::number(f)));
        offset += 4 + 2 * count;
    }
    QCOMPARE(offset, blob.size());
}

void TestKestrinConverters::presetSectionsMatchTheirBands()
{
    const std::vector<std::array<double, 3>> bands{{32, 6, 0.7},   {64, -4, 1.41},   {125, 3, 1.41}, {250, -12, 2},
                                                   {500, 12, 1},   {1000, -1, 1.41}, {2000, 5, 3},   {4000, -8, 1.41},
                                                   {8000, 9, 0.9}, {16000, -6, 1.41}};
    for (double rate : c_rates) {
        const auto sections = Generate(rate, bands);
        QCOMPARE(sections.size(), bands.size());
        for (size_t i = 0; i < bands.size(); ++i) {
            const double db = MagnitudeDb({sections[i]}, bands[i][0], rate);
            QVERIFY2(std::abs(db - bands[i][1]) < 0.1,
                     qPrintable(QStringLiteral("band %1 at %2 Hz: %3").arg(i).arg(rate).arg(db)));
        }
    }
}

void TestKestrinConverters::unrealisableBandsPassThrough_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<double>("frequency");
    QTest::addColumn<double>("q");
    QTest::addColumn<double>("gain");
    QTest::newRow("rate 0") << 0.0 << 1000.0 << 1.0 << 6.0;
    QTest::newRow("at Nyquist") << 48000.0 << 24000.0 << 1.0 << 6.0;
    QTest::newRow("above Nyquist") << 44100.0 << 30000.0 << 1.0 << 6.0;
    QTest::newRow("frequency 0") << 48000.0 << 0.0 << 1.0 << 6.0;
    QTest::newRow("negative frequency") << 48000.0 << -100.0 << 1.0 << 6.0;
    QTest::newRow("Q 0") << 48000.0 << 1000.0 << 0.0 << 6.0;
    QTest::newRow("negative Q") << 48000.0 << 1000.0 << -1.0 << 6.0;
    QTest::newRow("NaN gain") << 48000.0 << 1000.0 << 1.0 << std::nan("");
    QTest::newRow("infinite frequency") << 48000.0 << HUGE_VAL << 1.0 << 6.0;
}

void TestKestrinConverters::unrealisableBandsPassThrough()
{
    QFETCH(double, rate);
    QFETCH(double, frequency);
    QFETCH(double, q);
    QFETCH(double, gain);
    const auto sections = Generate(rate, {{frequency, gain, q}});
    QCOMPARE(sections.size(), size_t(1));
    QCOMPARE(sections[0].b0, 1.0);
    QCOMPARE(sections[0].b1, 0.0);
    QCOMPARE(sections[0].b2, 0.0);
    QCOMPARE(sections[0].a1, 0.0);
    QCOMPARE(sections[0].a2, 0.0);
}

void TestKestrinConverters::rescaleShiftsTheWholeResponse()
{
    const std::vector<std::array<double, 3>> bands{{1000, 6, 1.0}, {5000, -3, 2.0}};
    const auto plain = Generate(48000, bands);
    const auto quieter = Generate(48000, bands, -6.0);
    for (double f : {50.0, 1000.0, 5000.0, 15000.0})
        QVERIFY(std::abs(MagnitudeDb(quieter, f, 48000) - (MagnitudeDb(plain, f, 48000) - 6.0)) < 0.01);
}

void TestKestrinConverters::callsOutOfOrderFail()
{
    using namespace Devices::Peq;
    destroy(0);
    QCOMPARE(set_peq_point(0, 0, 1000, 3, 1), -1);
    QCOMPARE(generate_cofe(0), -1);
    QCOMPARE(change_rescale_cofe(0, 0.0), -1);
    QCOMPARE(get_cofe_count(0), uint16_t(0));
    QVERIFY(get_cofe_param(0) == nullptr);
    QCOMPARE(setParam(c_instances, 48000, 1, 1, 0, 0), -1);
    QCOMPARE(setParam(0, 48000, c_maxBands + 1, 1, 0, 0), -1);
    QCOMPARE(setParam(0, 48000, 2, 2, 0, 0), -1); // unknown format version
    QCOMPARE(setParam(0, 48000, 2, 1, 0, 0), 0);
    QCOMPARE(set_peq_point(0, 2, 1000, 3, 1), -1);
    QCOMPARE(generate_cofe(0), 0);
    QCOMPARE(get_cofe_count(0), uint16_t(21));
    QCOMPARE(destroy(0), 0);
    QCOMPARE(get_cofe_count(0), uint16_t(0));
}

QTEST_GUILESS_MAIN(TestKestrinConverters)
#include "tst_kestrin_converters.moc"
