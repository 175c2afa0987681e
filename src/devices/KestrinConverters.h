#pragma once

#include <QQuaternion>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Devices {

// One band of a custom EQ preset as the headset stores it. Values in hundredths unless noted.
struct KestrinBandInfo {
    int32_t frequency = 0; // Hz x 100
    int32_t gain = 0;      // dB x 100
    int32_t q = 0;         // the filter's Q x 100 (the third parameter)
    int32_t param4 = 0;    // carried through unchanged
    uint8_t byte0 = 0;     // carried through unchanged, stored before the numbers
    uint8_t byte1 = 0;

    friend bool operator==(const KestrinBandInfo& a, const KestrinBandInfo& b)
    {
        return a.frequency == b.frequency && a.gain == b.gain && a.q == b.q && a.param4 == b.param4 &&
               a.byte0 == b.byte0 && a.byte1 == b.byte1;
    }
};

// One custom parametric-EQ preset of the kestrin and kestrin_2 headsets.
struct KestrinEq {
    std::vector<KestrinBandInfo> bands;
    int32_t headerWord = 0; // carried through unchanged
    uint8_t headerByte = 0; // carried through unchanged

    friend bool operator==(const KestrinEq& a, const KestrinEq& b)
    {
        return a.bands == b.bands && a.headerWord == b.headerWord && a.headerByte == b.headerByte;
    }
};

// One band of a user EQ of the ANC headset (kestrin_2_anc).
struct Kestrin2AncBand {
    float frequency = 0.0f; // Hz
    float middle = 0.0f;    // carried through unchanged
    float gain = 0.0f;      // dB
    uint8_t filterType = 0; // a DeviceData::AncEqFilterType
    uint8_t bandId = 0;     // the headset's number for the band
};

struct Kestrin2AncEq {
    std::vector<Kestrin2AncBand> bands;
};

// The headset family's data conversions (static), and the head-tracking state of one transport.
// The head-tracking members are called only with the owning transport's mutex held.
class KestrinConverters {
public:
    // The coefficient layer's sample-rate codes.
    enum Rate : int { Rate44k1 = 1, Rate48k = 2, Rate88k2 = 5, Rate96k = 6 };

    // Stored preset format: header byte, header word (int32), then 18 bytes per band: two bytes,
    // frequency, gain, Q and the fourth value (int32 each), all little-endian.
    static bool BytesToEq(const uint8_t* data, size_t length, KestrinEq& eq);
    static std::vector<uint8_t> GetEqBytes(const KestrinEq& eq);
    // The real-time coefficient blob: 04 00 00 00, then for the rates 1, 2, 5, 6 in this order:
    // the rate code, 00, the word count c (le16) and c coefficient words (le16).
    static std::vector<uint8_t> GetCoefBytes(const KestrinEq& eq);
    // Appends the 14-byte ANC band records (band id, filter type, frequency, middle, gain as
    // little-endian floats); false when the length is not a multiple of 14.
    static bool BytesToKestrin2AncEq(const uint8_t* data, size_t length, Kestrin2AncEq& eq);
    static double AirohaRateToDouble(Rate rate);
    // The 16-bit little-endian value at the cursor; advances it by 2.
    static uint16_t ValueFromKestrinSensorBytes(const uint8_t*& cursor);
    // The gyro-bias file: exactly 24 bytes, x, y, z as little-endian doubles.
    static bool SaveBiasToBinaryFile(const QString& path, double x, double y, double z);
    static bool ReadBiasFromBinaryFile(const QString& path, double& x, double& y, double& z);

    // Head tracking.
    void setSensorsEnabled(bool enabled, uint8_t rate);
    void centralize();
    bool calibrate(double seconds);
    void processPosition(const uint8_t (&sample)[14]);
    QQuaternion getPosition() const;
    bool isCalibrating() const;
    void resetCalibration();

    bool isCalibrated() const { return m_calibrated; }
    double biasX() const { return m_biasX; }
    double biasY() const { return m_biasY; }
    double biasZ() const { return m_biasZ; }

private:
    int64_t m_sumX = 0;
    int64_t m_sumY = 0;
    int64_t m_sumZ = 0;
    double m_calibrationSeconds = 0.0;
    double m_biasX = 0.0;
    double m_biasY = 0.0;
    double m_biasZ = 0.0;
    QString m_biasFilePath;
    int32_t m_sampleCount = 0;
    uint8_t m_rate = 0;
    bool m_calibrated = false;
};

} // namespace Devices
