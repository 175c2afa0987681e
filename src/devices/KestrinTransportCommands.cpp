// The headset's settings, status, version, sensor and system commands.
//
// Every operation sends one request and waits for the one reply that answers it. A reply is
// recognised by its kind, its command id and the parameter, setting or sub-command it echoes, so a
// late reply to an earlier request of another kind is skipped instead of being taken for this
// one. A status byte is tested only where the headset is known to report one for that command:
// several replies carry other bytes there (or nothing that means a refusal), and a headset must
// not be turned away for them.

#include "devices/KestrinTransport.h"

#include "core/GlobalLogger.h"
#include "devices/KestrinConverters.h"
#include "io/KestrinHidApiClient.h"
#include "utils/Utils.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstring>

namespace Devices {

namespace {

using Validator = KestrinTransport::Validator;

constexpr uint8_t c_marker = 0x05;
constexpr uint8_t c_request = 0x5A;
constexpr uint8_t c_response = 0x5B;
constexpr uint8_t c_notification = 0x5D;

// Set/get parameter (0x0900 / 0x0901).
constexpr uint8_t c_paramEqIndex = 0x00;
constexpr uint8_t c_paramVpLevel = 0x20;
constexpr uint8_t c_paramMicMute = 0x22;
constexpr uint8_t c_paramNoiseReduction = 0x24;
constexpr uint8_t c_paramEarcupBalance = 0x25;
constexpr uint8_t c_paramAmpGain = 0x28;
constexpr uint8_t c_paramLeftGain = 0x29;
constexpr uint8_t c_paramRightGain = 0x2A;
constexpr uint8_t c_paramSidetoneLevel = 0x2C;
constexpr uint8_t c_paramMaxSidetoneLevel = 0x2D;
constexpr uint8_t c_paramSensors = 0x2E;
constexpr uint8_t c_paramNewFilm = 0x2F;
constexpr uint8_t c_paramMicLevel = 0x35;

// Set/get setting (0x2C82 / 0x2C83).
constexpr uint8_t c_settingAutoPowerOff = 0x01;
constexpr uint8_t c_settingSidetone = 0x07;
constexpr uint8_t c_settingGameChatMix = 0x0B;

// Noise-cancelling and user-EQ group (0x2E30).
constexpr uint8_t c_ancSetMode = 0x01;
constexpr uint8_t c_ancGetMode = 0x02;
constexpr uint8_t c_ancSetBiquad = 0x0B;
constexpr uint8_t c_ancSetUserEq = 0x0C;
constexpr uint8_t c_ancGetUserEq = 0x0D;
constexpr uint8_t c_ancGetBiquads = 0x32;

// System actions (0x1101).
constexpr uint8_t c_actionFactoryReset = 0x95;
constexpr uint8_t c_actionPairing = 0xAA;

constexpr uint8_t c_sensorRateLimit = 60;
constexpr uint8_t c_sensorEnableBit = 0x80;
constexpr uint8_t c_sensorSampleReport = 3;
constexpr int c_sensorReadTimeoutMs = 100;
// Enabling the sensors waits for their first sample, skipping unrelated reports on the way; a
// headset that keeps sending other reports must not hold the transport forever.
constexpr qint64 c_sensorStartLimitMs = 1000;

// The pause the noise-cancelling processor needs after each of its commands.
constexpr unsigned long c_ancPauseMs = 50;

// A set-parameter reply: 05 5B 05 00 00 09 param 00 status.
bool IsSetParamReply(const unsigned char* r, uint8_t param)
{
    return r[0] == c_marker && r[1] == c_response && r[3] == 0x00 && r[4] == 0x00 && r[5] == 0x09 && r[6] == param
        && r[7] == 0x00;
}

// A get-parameter reply: 05 5B L 00 01 09 param 00 status value.
bool IsGetParamReply(const unsigned char* r, uint8_t param)
{
    return r[0] == c_marker && r[1] == c_response && r[3] == 0x00 && r[4] == 0x01 && r[5] == 0x09 && r[6] == param
        && r[7] == 0x00;
}

// A setting reply: 05 5B L 00 82|83 2C status setting 00 value...
bool IsSettingReply(const unsigned char* r, uint8_t commandLow, uint8_t setting)
{
    return r[0] == c_marker && r[1] == c_response && r[3] == 0x00 && r[4] == commandLow && r[5] == 0x2C
        && r[7] == setting && r[8] == 0x00;
}

// A noise-cancelling group reply: 05 5B L 00 30 2E sub ...
bool IsAncReply(const unsigned char* r, uint8_t sub)
{
    return r[0] == c_marker && r[1] == c_response && r[3] == 0x00 && r[4] == 0x30 && r[5] == 0x2E && r[6] == sub;
}

bool IsTwoStepReply(const unsigned char* r, uint8_t kind, uint8_t idLow, uint8_t idHigh)
{
    return r[0] == c_marker && r[1] == kind && r[3] == 0x00 && r[4] == idLow && r[5] == idHigh;
}

void AppendFloat(std::vector<uint8_t>& out, float value)
{
    uint8_t bytes[4];
    static_assert(sizeof(float) == 4, "the headset takes IEEE-754 single precision floats");
    std::memcpy(bytes, &value, 4);
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
    std::reverse(bytes, bytes + 4);
#endif
    out.insert(out.end(), bytes, bytes + 4);
}

bool StatusAt(const uint8_t* reply, size_t at)
{
    return reply[at] == 0;
}

// Whether a reply's status byte decides the outcome of its command.
enum class Status { tested, untested };

// 05 5A 05 00 00 09 param 00 value; with a tested status, accepted when [8] is 0.
bool SetParameter(KestrinTransport& transport, uint8_t param, uint8_t value, const Validator& valid, Status status)
{
    const uint8_t request[] = { c_marker, c_request, 0x05, 0x00, 0x00, 0x09, param, 0x00, value };
    return transport.exchange(request, sizeof request, false, 9, valid, [status](const uint8_t* reply, size_t) {
        return status == Status::untested || StatusAt(reply, 8);
    });
}

// 05 5A 04 00 01 09 param 00; the value is at [9], with a tested status accepted when [8] is 0.
bool GetParameter(KestrinTransport& transport, uint8_t param, const Validator& valid, Status status, uint8_t& out)
{
    const uint8_t request[] = { c_marker, c_request, 0x04, 0x00, 0x01, 0x09, param, 0x00 };
    uint8_t value = 0;
    if (!transport.exchange(request, sizeof request, false, 10, valid, [&value, status](const uint8_t* reply, size_t) {
            value = reply[9];
            return status == Status::untested || StatusAt(reply, 8);
        }))
        return false;
    out = value;
    return true;
}

} // namespace

// Every operation sends one request and waits for the reply its `is_response_valid` accepts; the
// reply is removed from the buffer whether or not its value is then accepted. Output values are
// written only on success.

// ---------------------------------------------------------------------------------------------
// Set / get parameter

bool KestrinTransport::writePeqIndex(uint8_t index)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsSetParamReply(r, c_paramEqIndex) && r[2] == 0x05;
    };
    return SetParameter(*this, c_paramEqIndex, index, is_response_valid, Status::tested);
}

bool KestrinTransport::readPeqIndex(uint8_t& index)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsGetParamReply(r, c_paramEqIndex); };
    return GetParameter(*this, c_paramEqIndex, is_response_valid, Status::untested, index);
}

bool KestrinTransport::writeVpLevel(uint8_t level)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsSetParamReply(r, c_paramVpLevel); };
    return SetParameter(*this, c_paramVpLevel, level, is_response_valid, Status::untested);
}

bool KestrinTransport::readVpLevel(uint8_t& level)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsGetParamReply(r, c_paramVpLevel); };
    return GetParameter(*this, c_paramVpLevel, is_response_valid, Status::untested, level);
}

bool KestrinTransport::readMicMute(bool& muted)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsGetParamReply(r, c_paramMicMute); };
    uint8_t value = 0;
    // The value alone answers: 0x00 muted, 0xFF open.
    if (!GetParameter(*this, c_paramMicMute, is_response_valid, Status::untested, value))
        return false;
    if (value != 0x00 && value != 0xFF)
        return false;
    muted = value == 0x00;
    return true;
}

bool KestrinTransport::writeNoiseReduction(uint8_t value)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsSetParamReply(r, c_paramNoiseReduction);
    };
    return SetParameter(*this, c_paramNoiseReduction, value, is_response_valid, Status::tested);
}

bool KestrinTransport::readNoiseReduction(uint8_t& value)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsGetParamReply(r, c_paramNoiseReduction);
    };
    return GetParameter(*this, c_paramNoiseReduction, is_response_valid, Status::tested, value);
}

bool KestrinTransport::writeEarcupBalance(uint8_t value)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsSetParamReply(r, c_paramEarcupBalance);
    };
    return SetParameter(*this, c_paramEarcupBalance, value, is_response_valid, Status::tested);
}

bool KestrinTransport::readEarcupBalance(uint8_t& value)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsGetParamReply(r, c_paramEarcupBalance);
    };
    return GetParameter(*this, c_paramEarcupBalance, is_response_valid, Status::tested, value);
}

bool KestrinTransport::writeAmpGain(uint8_t value)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsSetParamReply(r, c_paramAmpGain); };
    return SetParameter(*this, c_paramAmpGain, value, is_response_valid, Status::tested);
}

bool KestrinTransport::readAmpGain(uint8_t& value)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsGetParamReply(r, c_paramAmpGain) && r[2] == 0x06;
    };
    return GetParameter(*this, c_paramAmpGain, is_response_valid, Status::tested, value);
}

bool KestrinTransport::writeLeftRightGain(uint8_t left, uint8_t right)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsSetParamReply(r, c_paramLeftGain) || IsSetParamReply(r, c_paramRightGain);
    };
    // The right gain goes out only once the left one was taken. Each reply must echo its own
    // parameter, hence the second look at [6].
    const uint8_t leftRequest[] = { c_marker, c_request, 0x05, 0x00, 0x00, 0x09, c_paramLeftGain, 0x00, left };
    if (!exchange(leftRequest, sizeof leftRequest, false, 9, is_response_valid,
            [](const uint8_t* reply, size_t) { return reply[6] == c_paramLeftGain && StatusAt(reply, 8); }))
        return false;
    const uint8_t rightRequest[] = { c_marker, c_request, 0x05, 0x00, 0x00, 0x09, c_paramRightGain, 0x00, right };
    return exchange(rightRequest, sizeof rightRequest, false, 9, is_response_valid,
        [](const uint8_t* reply, size_t) { return reply[6] == c_paramRightGain && StatusAt(reply, 8); });
}

bool KestrinTransport::readLeftGain(uint8_t& value)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsGetParamReply(r, c_paramLeftGain) && r[2] == 0x06;
    };
    return GetParameter(*this, c_paramLeftGain, is_response_valid, Status::tested, value);
}

bool KestrinTransport::writeSidetoneLevel(uint8_t value)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsSetParamReply(r, c_paramSidetoneLevel);
    };
    return SetParameter(*this, c_paramSidetoneLevel, value, is_response_valid, Status::tested);
}

bool KestrinTransport::readSidetoneLevel(uint8_t& value)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsGetParamReply(r, c_paramSidetoneLevel);
    };
    return GetParameter(*this, c_paramSidetoneLevel, is_response_valid, Status::tested, value);
}

bool KestrinTransport::readMaxSidetoneLevel(uint8_t& value)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsGetParamReply(r, c_paramMaxSidetoneLevel);
    };
    return GetParameter(*this, c_paramMaxSidetoneLevel, is_response_valid, Status::tested, value);
}

bool KestrinTransport::readIsNewFilm(bool& isNewFilm)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsGetParamReply(r, c_paramNewFilm); };
    uint8_t value = 0;
    if (!GetParameter(*this, c_paramNewFilm, is_response_valid, Status::untested, value))
        return false;
    isNewFilm = value == 0x0A;
    return true;
}

bool KestrinTransport::writeMicLevel(uint8_t value)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsSetParamReply(r, c_paramMicLevel); };
    return SetParameter(*this, c_paramMicLevel, value, is_response_valid, Status::untested);
}

bool KestrinTransport::readMicLevel(uint8_t& value)
{
    // A longer reply: through the dongle the level sits three bytes further on.
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsGetParamReply(r, c_paramMicLevel) && r[2] == 0x09;
    };
    const uint8_t request[] = { c_marker, c_request, 0x04, 0x00, 0x01, 0x09, c_paramMicLevel, 0x00 };
    const size_t at = m_viaDongle ? 12 : 9;
    uint8_t level = 0;
    if (!exchange(request, sizeof request, false, 13, is_response_valid, [&level, at](const uint8_t* reply, size_t) {
            level = reply[at];
            return StatusAt(reply, 8);
        }))
        return false;
    value = level;
    return true;
}

bool KestrinTransport::writeSensorsEnabled(bool enable, uint8_t rate)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsSetParamReply(r, c_paramSensors); };
    const uint8_t value = uint8_t(std::min(rate, c_sensorRateLimit) | (enable ? c_sensorEnableBit : 0));
    const uint8_t request[] = { c_marker, c_request, 0x05, 0x00, 0x00, 0x09, c_paramSensors, 0x00, value };

    std::lock_guard<std::mutex> lock(m_mutex);
    m_converters->setSensorsEnabled(enable, rate);
    if (!exchangeUnsafe(request, sizeof request, false, 9, is_response_valid,
            [](const uint8_t* reply, size_t) { return StatusAt(reply, 8); }))
        return false;

    uint8_t report[14];
    if (enable) {
        // Wait for the first sample, so that head tracking starts from live data, but not for
        // ever: a headset that keeps sending other reports must not hold the transport.
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            if (waited.hasExpired(c_sensorStartLimitMs)) {
                GlobalLogger::Instance()->message(QtWarningMsg, "no head-tracking sample within %d ms",
                    int(c_sensorStartLimitMs));
                break;
            }
            report[0] = 0;
            if (m_client.read_hid_timeout(report, 1, c_sensorReadTimeoutMs) <= 0 || report[0] == c_sensorSampleReport)
                break;
        }
    } else {
        // Drop the samples still queued, so that a later start does not see stale ones.
        while (m_client.read_hid_timeout(report, sizeof report, 0) > 0) {
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Settings: the reply carries the status at [6] and echoes the setting at [7]

bool KestrinTransport::writeGameChatMix(uint8_t mix)
{
    // This reply is told apart by a 00 at [6]; its outcome is the byte at [8].
    static const Validator is_response_valid = [](unsigned char* r) {
        return r[0] == c_marker && r[1] == c_response && r[2] == 0x05 && r[3] == 0x00 && r[4] == 0x82
            && r[5] == 0x2C && r[6] == 0x00 && r[7] == c_settingGameChatMix;
    };
    const uint8_t request[] = { c_marker, c_request, 0x05, 0x00, 0x82, 0x2C, c_settingGameChatMix, 0x00, mix };
    return exchange(request, sizeof request, false, 9, is_response_valid,
        [](const uint8_t* reply, size_t) { return StatusAt(reply, 8); });
}

bool KestrinTransport::readGameChatMix(uint8_t& mix)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsSettingReply(r, 0x83, c_settingGameChatMix);
    };
    const uint8_t request[] = { c_marker, c_request, 0x04, 0x00, 0x83, 0x2C, c_settingGameChatMix, 0x00 };
    uint8_t value = 0;
    if (!exchange(request, sizeof request, false, 10, is_response_valid, [&value](const uint8_t* reply, size_t) {
            value = reply[9];
            return true;
        }))
        return false;
    mix = value;
    return true;
}

bool KestrinTransport::writeSidetoneState(bool on)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsSettingReply(r, 0x82, c_settingSidetone);
    };
    const uint8_t request[] = { c_marker, c_request, 0x05, 0x00, 0x82, 0x2C, c_settingSidetone, 0x00,
        uint8_t(on ? 1 : 0) };
    return exchange(request, sizeof request, false, 9, is_response_valid,
        [](const uint8_t* reply, size_t) { return StatusAt(reply, 6); });
}

bool KestrinTransport::readSidetoneState(bool& on)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsSettingReply(r, 0x83, c_settingSidetone);
    };
    const uint8_t request[] = { c_marker, c_request, 0x04, 0x00, 0x83, 0x2C, c_settingSidetone, 0x00 };
    uint8_t value = 0;
    if (!exchange(request, sizeof request, false, 10, is_response_valid, [&value](const uint8_t* reply, size_t) {
            value = reply[9];
            return StatusAt(reply, 6) && value <= 1;
        }))
        return false;
    on = value == 1;
    return true;
}

bool KestrinTransport::writeAutoPowerOff(uint16_t seconds)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsSettingReply(r, 0x82, c_settingAutoPowerOff);
    };
    // The enable byte follows from the time (0 = never), and the four bytes go out twice.
    const uint8_t enabled = seconds ? 1 : 0;
    const uint8_t lo = uint8_t(seconds & 0xFF);
    const uint8_t hi = uint8_t(seconds >> 8);
    const uint8_t request[] = { c_marker, c_request, 0x0C, 0x00, 0x82, 0x2C, c_settingAutoPowerOff, 0x00,
        enabled, 0x00, lo, hi, enabled, 0x00, lo, hi };
    return exchange(request, sizeof request, false, 9, is_response_valid,
        [](const uint8_t* reply, size_t) { return StatusAt(reply, 6); });
}

bool KestrinTransport::readAutoPowerOff(uint16_t& seconds)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsSettingReply(r, 0x83, c_settingAutoPowerOff);
    };
    const uint8_t request[] = { c_marker, c_request, 0x04, 0x00, 0x83, 0x2C, c_settingAutoPowerOff, 0x00 };
    uint16_t value = 0;
    if (!exchange(request, sizeof request, false, 17, is_response_valid, [&value](const uint8_t* reply, size_t) {
            value = uint16_t(reply[11] | reply[12] << 8);
            return true;
        }))
        return false;
    seconds = value;
    return true;
}

bool KestrinTransport::readPoweredOn(bool& on)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return r[0] == c_marker && r[1] == c_response && r[3] == 0x00 && r[4] == 0x80 && r[5] == 0x2C;
    };
    const uint8_t request[] = { c_marker, c_request, 0x02, 0x00, 0x80, 0x2C };
    bool value = false;
    if (!exchange(request, sizeof request, false, 7, is_response_valid, [&value](const uint8_t* reply, size_t) {
            value = reply[6] != 0;
            return true;
        }))
        return false;
    on = value;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Noise cancelling and the ANC model's user EQs: each answer needs a pause before the
// noise-cancelling processor takes the next command

bool KestrinTransport::writeAncMode(DeviceData::AncMode mode)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsAncReply(r, c_ancSetMode); };
    const uint8_t request[] = { c_marker, c_request, 0x04, 0x00, 0x30, 0x2E, c_ancSetMode, uint8_t(mode) };
    return exchange(request, sizeof request, false, 9, is_response_valid, [](const uint8_t* reply, size_t) {
        QThread::msleep(c_ancPauseMs);
        return StatusAt(reply, 8);
    });
}

bool KestrinTransport::readAncMode(DeviceData::AncMode& mode)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsAncReply(r, c_ancGetMode); };
    const uint8_t request[] = { c_marker, c_request, 0x03, 0x00, 0x30, 0x2E, c_ancGetMode };
    uint8_t value = 0;
    if (!exchange(request, sizeof request, false, 9, is_response_valid, [&value](const uint8_t* reply, size_t) {
            QThread::msleep(c_ancPauseMs);
            // Taken as the headset reports it: a mode the program does not know is repaired by
            // the device model, which can write the default back; failing the read instead would
            // leave such a headset without its settings.
            value = reply[8];
            return true;
        }))
        return false;
    mode = DeviceData::AncMode(value);
    return true;
}

bool KestrinTransport::writeUserEqIndex(uint8_t index)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsAncReply(r, c_ancSetUserEq) && r[7] == 0x00;
    };
    const uint8_t request[] = { c_marker, c_request, 0x04, 0x00, 0x30, 0x2E, c_ancSetUserEq, index };
    return exchange(request, sizeof request, false, 9, is_response_valid, [](const uint8_t* reply, size_t) {
        QThread::msleep(c_ancPauseMs);
        return StatusAt(reply, 8);
    });
}

bool KestrinTransport::readUserEqIndex(uint8_t& index)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsAncReply(r, c_ancGetUserEq) && r[7] == 0x00;
    };
    const uint8_t request[] = { c_marker, c_request, 0x03, 0x00, 0x30, 0x2E, c_ancGetUserEq };
    uint8_t value = 0;
    if (!exchange(request, sizeof request, false, 9, is_response_valid, [&value](const uint8_t* reply, size_t) {
            QThread::msleep(c_ancPauseMs);
            value = reply[8];
            return true;
        }))
        return false;
    index = value;
    return true;
}

bool KestrinTransport::writeUserEqBiquad(uint8_t eqIndex, uint8_t band, DeviceData::AncEqFilterType type,
    float frequency, float middle, float gain)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsAncReply(r, c_ancSetBiquad) && r[7] == 0x00;
    };
    std::vector<uint8_t> request { c_marker, c_request, 0x12, 0x00, 0x30, 0x2E, c_ancSetBiquad, eqIndex, band,
        uint8_t(type) };
    // On the wire the gain comes before the middle value.
    AppendFloat(request, frequency);
    AppendFloat(request, gain);
    AppendFloat(request, middle);
    return exchange(request.data(), request.size(), false, 9, is_response_valid, [](const uint8_t* reply, size_t) {
        QThread::msleep(c_ancPauseMs);
        return StatusAt(reply, 8);
    });
}

bool KestrinTransport::readUserBiquad(uint8_t eqIndex, Kestrin2AncEq& eq)
{
    static const Validator is_response_valid = [](unsigned char* r) { return IsAncReply(r, c_ancGetBiquads); };
    const uint8_t request[] = { c_marker, c_request, 0x05, 0x00, 0x30, 0x2E, c_ancGetBiquads, eqIndex, 0x0A };
    Kestrin2AncEq read;
    if (!exchange(request, sizeof request, false, 147, is_response_valid, [&read](const uint8_t* reply, size_t length) {
            QThread::msleep(c_ancPauseMs);
            return KestrinConverters::BytesToKestrin2AncEq(reply + 7, (length - 7) % 256, read);
        }))
        return false;
    eq.bands.insert(eq.bands.end(), read.bands.begin(), read.bands.end());
    return true;
}

// ---------------------------------------------------------------------------------------------
// Two-step reads: a response with the status, then a notification with the data

bool KestrinTransport::readBatteryLevel(uint8_t& level)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsTwoStepReply(r, c_response, 0xD6, 0x0C);
    };
    static const Validator is_notification_valid = [](unsigned char* r) {
        return IsTwoStepReply(r, c_notification, 0xD6, 0x0C);
    };
    const uint8_t request[] = { c_marker, c_request, 0x03, 0x00, 0xD6, 0x0C, 0x00 };

    std::lock_guard<std::mutex> lock(m_mutex);
    if (!exchangeUnsafe(request, sizeof request, false, 7, is_response_valid,
            [](const uint8_t* reply, size_t) { return StatusAt(reply, 6); }))
        return false;
    // The level is at [8] of the notification, so it must be at least 9 bytes long.
    uint8_t value = 0;
    if (!readCmdAndValidate(9, is_notification_valid))
        return false;
    value = m_buffer[8];
    consumeCurrentCommand();
    level = value;
    return true;
}

bool KestrinTransport::readFwVersion(QString& version, bool toDongle)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return IsTwoStepReply(r, c_response, 0x07, 0x1C);
    };
    static const Validator is_notification_valid = [](unsigned char* r) {
        return IsTwoStepReply(r, c_notification, 0x07, 0x1C);
    };
    const uint8_t request[] = { c_marker, c_request, 0x03, 0x00, 0x07, 0x1C, 0x00 };

    std::lock_guard<std::mutex> lock(m_mutex);
    if (!exchangeUnsafe(request, sizeof request, toDongle, 7, is_response_valid,
            [](const uint8_t* reply, size_t) { return StatusAt(reply, 6); }))
        return false;
    if (!readCmdAndValidate(10, is_notification_valid))
        return false;
    Utils::ScopeGuard consume([this] { consumeCurrentCommand(); });
    // [8] counts the bytes of text from [9]; they must lie inside the notification.
    const size_t count = m_buffer[8];
    if (9 + count > m_currentLength)
        return false;
    version = QString::fromUtf8(reinterpret_cast<const char*>(m_buffer + 9), int(count));
    return true;
}

// ---------------------------------------------------------------------------------------------
// Readiness and system actions

bool KestrinTransport::readTvqReady(bool& ready)
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return r[0] == c_marker && r[1] == c_response && r[3] == 0x00 && r[4] == 0x02 && r[5] == 0x00;
    };
    const uint8_t request[] = { c_marker, c_request, 0x03, 0x00, 0x02, 0x00, 0x08 };
    bool value = false;
    if (!exchange(request, sizeof request, false, 8, is_response_valid, [&value](const uint8_t* reply, size_t) {
            value = reply[7] == 1;
            return StatusAt(reply, 6);
        }))
        return false;
    ready = value;
    return true;
}

bool KestrinTransport::factoryReset()
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return r[0] == c_marker && r[1] == c_response && r[3] == 0x00 && r[4] == 0x01 && r[5] == 0x11;
    };
    const uint8_t request[] = { c_marker, c_request, 0x04, 0x00, 0x01, 0x11, c_actionFactoryReset, 0x00 };
    return exchange(request, sizeof request, false, 7, is_response_valid,
        [](const uint8_t* reply, size_t) { return StatusAt(reply, 6); });
}

bool KestrinTransport::pairing()
{
    static const Validator is_response_valid = [](unsigned char* r) {
        return r[0] == c_marker && r[1] == c_response && r[3] == 0x00 && r[4] == 0x01 && r[5] == 0x11;
    };
    // Pairing is the dongle's own business: never relayed to a headset.
    const uint8_t request[] = { c_marker, c_request, 0x04, 0x00, 0x01, 0x11, c_actionPairing, 0x00 };
    return exchange(request, sizeof request, true, 7, is_response_valid,
        [](const uint8_t* reply, size_t) { return StatusAt(reply, 6); });
}

} // namespace Devices
