#include "devices/KestrinConverters.h"

#include "core/GlobalLogger.h"
#include "devices/PeqCoefficients.h"

#include <QFile>

#include <cstring>
#include <mutex>

namespace Devices {

namespace {

constexpr size_t c_eqHeaderSize = 5;
constexpr size_t c_eqBandSize = 18;
constexpr size_t c_ancRecordSize = 14;
constexpr size_t c_coefReserve = 844;
constexpr size_t c_biasFileSize = 24;

uint32_t ReadLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void AppendLe32(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value >> 16));
    out.push_back(uint8_t(value >> 24));
}

void AppendLe16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

float ReadFloatLe(const uint8_t* p)
{
    const uint32_t bits = ReadLe32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void WriteLe64(uint8_t* p, double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i)
        p[i] = uint8_t(bits >> (8 * i));
}

double ReadLe64(const uint8_t* p)
{
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= uint64_t(p[i]) << (8 * i);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace

bool KestrinConverters::BytesToEq(const uint8_t* data, size_t length, KestrinEq& eq)
{
    if (length < c_eqHeaderSize || (length - c_eqHeaderSize) % c_eqBandSize != 0)
        return false;
    eq.headerByte = data[0];
    eq.headerWord = int32_t(ReadLe32(data + 1));
    eq.bands.clear();
    const size_t count = (length - c_eqHeaderSize) / c_eqBandSize;
    eq.bands.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = data + c_eqHeaderSize + i * c_eqBandSize;
        KestrinBandInfo band;
        band.byte0 = p[0];
        band.byte1 = p[1];
        band.frequency = int32_t(ReadLe32(p + 2));
        band.gain = int32_t(ReadLe32(p + 6));
        band.q = int32_t(ReadLe32(p + 10));
        band.param4 = int32_t(ReadLe32(p + 14));
        eq.bands.push_back(band);
    }
    return true;
}

std::vector<uint8_t> KestrinConverters::GetEqBytes(const KestrinEq& eq)
{
    std::vector<uint8_t> out;
    out.reserve(c_eqHeaderSize + c_eqBandSize * eq.bands.size());
    out.push_back(eq.headerByte);
    AppendLe32(out, uint32_t(eq.headerWord));
    for (const KestrinBandInfo& band : eq.bands) {
        out.push_back(band.byte0);
        out.push_back(band.byte1);
        AppendLe32(out, uint32_t(band.frequency));
        AppendLe32(out, uint32_t(band.gain));
        AppendLe32(out, uint32_t(band.q));
        AppendLe32(out, uint32_t(band.param4));
    }
    return out;
}

std::vector<uint8_t> KestrinConverters::GetCoefBytes(const KestrinEq& eq)
{
    // The coefficient layer keeps its state per instance between calls; one sequence at a time.
    static std::mutex s_peqMutex;
    std::lock_guard<std::mutex> lock(s_peqMutex);

    std::vector<uint8_t> out;
    out.reserve(c_coefReserve);
    AppendLe32(out, 4); // four sample rates follow
    const int bandCount = int(eq.bands.size());
    for (Rate code : {Rate44k1, Rate48k, Rate88k2, Rate96k}) {
        Peq::setParam(0, AirohaRateToDouble(code), bandCount, 1, 0, 0);
        for (int i = 0; i < bandCount; ++i) {
            const KestrinBandInfo& band = eq.bands[size_t(i)];
            Peq::set_peq_point(0, i, band.frequency * 0.01, band.gain * 0.01, band.q * 0.01);
        }
        out.push_back(uint8_t(code));
        out.push_back(0x00);
        Peq::generate_cofe(0);
        Peq::change_rescale_cofe(0, 0.0);
        const uint16_t count = Peq::get_cofe_count(0);
        const uint16_t* words = Peq::get_cofe_param(0);
        AppendLe16(out, words ? count : 0);
        for (uint16_t i = 0; words && i < count; ++i)
            AppendLe16(out, words[i]);
        Peq::destroy(0);
    }
    return out;
}

bool KestrinConverters::BytesToKestrin2AncEq(const uint8_t* data, size_t length, Kestrin2AncEq& eq)
{
    if (length % c_ancRecordSize != 0)
        return false;
    for (size_t offset = 0; offset < length; offset += c_ancRecordSize) {
        const uint8_t* p = data + offset;
        Kestrin2AncBand band;
        band.bandId = p[0];
        band.filterType = p[1];
        band.frequency = ReadFloatLe(p + 2);
        band.middle = ReadFloatLe(p + 6);
        band.gain = ReadFloatLe(p + 10);
        eq.bands.push_back(band);
    }
    return true;
}

double KestrinConverters::AirohaRateToDouble(Rate rate)
{
    switch (int(rate)) {
    case 1: return 44100.0;
    case 2: return 48000.0;
    case 5: return 88200.0;
    case 6: return 96000.0;
    default: return 0.0;
    }
}

uint16_t KestrinConverters::ValueFromKestrinSensorBytes(const uint8_t*& cursor)
{
    const uint16_t value = uint16_t(cursor[0] | (cursor[1] << 8));
    cursor += 2;
    return value;
}

bool KestrinConverters::SaveBiasToBinaryFile(const QString& path, double x, double y, double z)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    uint8_t bytes[c_biasFileSize];
    WriteLe64(bytes, x);
    WriteLe64(bytes + 8, y);
    WriteLe64(bytes + 16, z);
    return file.write(reinterpret_cast<const char*>(bytes), sizeof bytes) == qint64(sizeof bytes);
}

bool KestrinConverters::ReadBiasFromBinaryFile(const QString& path, double& x, double& y, double& z)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() != qint64(c_biasFileSize))
        return false;
    const QByteArray bytes = file.read(c_biasFileSize);
    if (bytes.size() != int(c_biasFileSize))
        return false;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.constData());
    x = ReadLe64(p);
    y = ReadLe64(p + 8);
    z = ReadLe64(p + 16);
    return true;
}

void KestrinConverters::setSensorsEnabled(bool enabled, uint8_t rate)
{
    if (!enabled)
        return;
    m_rate = rate;
    m_sumX = m_sumY = m_sumZ = 0;
    m_sampleCount = 0;
}

void KestrinConverters::centralize()
{
    GlobalLogger::Instance()->message(QtDebugMsg, "centering");
}

bool KestrinConverters::calibrate(double seconds)
{
    if (isCalibrating())
        return false;
    m_calibrationSeconds = seconds;
    m_sumX = m_sumY = m_sumZ = 0;
    m_sampleCount = 0;
    m_calibrated = false;
    GlobalLogger::Instance()->message(QtDebugMsg, "calculating bias during %f seconds", seconds);
    return true;
}

void KestrinConverters::processPosition(const uint8_t (&sample)[14])
{
    if (m_calibrated || m_calibrationSeconds == 0.0)
        return;
    const uint8_t* cursor = sample + 1;
    const int16_t x = int16_t(ValueFromKestrinSensorBytes(cursor));
    const int16_t y = int16_t(ValueFromKestrinSensorBytes(cursor));
    const int16_t z = int16_t(ValueFromKestrinSensorBytes(cursor));
    ++m_sampleCount;
    m_sumX += x;
    m_sumY += y;
    m_sumZ += z;
    if (double(m_sampleCount) >= m_calibrationSeconds * m_rate) {
        m_calibrated = true;
        m_calibrationSeconds = 0.0;
        m_biasX = double(m_sumX) / m_sampleCount;
        m_biasY = double(m_sumY) / m_sampleCount;
        m_biasZ = double(m_sumZ) / m_sampleCount;
        GlobalLogger::Instance()->message(QtDebugMsg, "Calibration done!");
        GlobalLogger::Instance()->message(QtDebugMsg, "gyro bias: %8f %8f %8f", m_biasX, m_biasY, m_biasZ);
        SaveBiasToBinaryFile(m_biasFilePath, m_biasX, m_biasY, m_biasZ);
    }
}

QQuaternion KestrinConverters::getPosition() const
{
    return QQuaternion(); // identity: the samples feed only the bias calibration
}

bool KestrinConverters::isCalibrating() const
{
    return !m_calibrated && m_calibrationSeconds != 0.0;
}

void KestrinConverters::resetCalibration()
{
    m_calibrated = false;
    m_sumX = m_sumY = m_sumZ = 0;
    m_sampleCount = 0;
    m_calibrationSeconds = 0.0;
}

} // namespace Devices
