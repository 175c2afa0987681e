// The headset's settings, status, version, sensor and system commands.
//
// Every operation sends one request and waits for the one reply that answers it. A reply is
// recognised by its kind, its command id and the parameter, setting or sub-command it echoes, so a
// late reply to an earlier request of another kind is skipped instead of being taken for this
// one. Wherever a reply carries a status byte, anything but 0 is a refusal.

#include "devices/KestrinTransport.h"

#include "devices/KestrinConverters.h"
#include "platform/io/KestrinHidApiClient.h"
#include "utils/Utils.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstring>

namespace Devices {

namespace {

using Validator = std::function<bool(unsigned char*)>;

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

size_t CommandLength(const unsigned char* command)
{
    return size_t(command[2] | (command[3] << 8)) + 4;
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

} // namespace

// ---------------------------------------------------------------------------------------------
// Shared shapes

bool KestrinTransport::writeParameter(uint8_t param, uint8_t value, const std::function<bool(unsigned char*)>& valid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const uint8_t request[] = { c_marker, c_request, 0x05, 0x00, 0x00, 0x09, param, 0x00, value };
    if (!writeCommand(request, sizeof request, false))
        return false;
    if (!readCmdAndValidate(9, valid))
        return false;
    Utils::ScopeGuard consume([this] { consumeCurrentCommandUnsafe(); });
    return m_buffer[8] == 0;
}

bool KestrinTransport::readParameter(uint8_t param, uint8_t& value, const std::function<bool(unsigned char*)>& valid)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const uint8_t request[] = { c_marker, c_request, 0x04, 0x00, 0x01, 0x09, param, 0x00 };
    if (!writeCommand(request, sizeof request, false))
        return false;
    if (!readCmdAndValidate(10, valid))
        return false;
    Utils::ScopeGuard consume([this] { consumeCurrentCommandUnsafe(); });
    if (m_buffer[8] != 0)
        return false;
    value = m_buffer[9];
    return true;
}

