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
#include "devices/KestrinSettings.h"
#include "devices/KestrinWire.h"
#include "io/KestrinHidApiClient.h"
#include "utils/Utils.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstring>

namespace Devices {

using namespace Wire;

namespace {

constexpr int c_sensorReadTimeoutMs = 100;
// Enabling the sensors waits for their first sample, skipping unrelated reports on the way; a
// headset that keeps sending other reports must not hold the transport forever.
constexpr qint64 c_sensorStartLimitMs = 1000;

// The pause the noise-cancelling processor needs after each of its commands.
constexpr unsigned long c_ancPauseMs = 50;

// The replies of the commands that are not settings of c_kestrinSettings.
constexpr ReplyCheck c_micMuteReply = GetParamReply(c_paramMicMute);
constexpr ReplyCheck c_maxSidetoneReply = GetParamReply(c_paramMaxSidetoneLevel).status(8);
constexpr ReplyCheck c_newFilmReply = GetParamReply(c_paramNewFilm);
constexpr ReplyCheck c_leftGainReply = GetParamReply(c_paramLeftGain).with(2, 0x06).status(8);
constexpr ReplyCheck c_rightGainReply = SetParamReply(c_paramRightGain).status(8);
constexpr ReplyCheck c_sensorsReply = SetParamReply(c_paramSensors).status(8);
constexpr ReplyCheck c_poweredOnReply = Response(c_poweredOn, 7);
constexpr ReplyCheck c_setUserEqReply = AncReply(c_ancSetUserEq).with(7, 0x00).status(8);
constexpr ReplyCheck c_getUserEqReply = AncReply(c_ancGetUserEq).with(7, 0x00);
constexpr ReplyCheck c_setBiquadReply = AncReply(c_ancSetBiquad).with(7, 0x00).status(8);
constexpr ReplyCheck c_getBiquadsReply = AncReply(c_ancGetBiquads, 147);
constexpr ReplyCheck c_batteryResponse = Response(c_battery, 7).status(6);
// The level is at [8] of the notification, so it must be at least 9 bytes long.
constexpr ReplyCheck c_batteryNotification = Notification(c_battery, 9);
constexpr ReplyCheck c_fwVersionResponse = Response(c_fwVersion, 7).status(6);
constexpr ReplyCheck c_fwVersionNotification = Notification(c_fwVersion, 10);
constexpr ReplyCheck c_readinessReply = Response(c_readiness, 8).status(6);
constexpr ReplyCheck c_systemActionReply = Response(c_systemAction, 7).status(6);

// The set and get commands of a setting's group.
CommandId SetCommand(KestrinGroup group)
{
    switch (group) {
    case KestrinGroup::parameter: return c_setParameter;
    case KestrinGroup::setting: return c_setSetting;
    case KestrinGroup::anc: break;
    }
    return c_anc;
}

CommandId GetCommand(KestrinGroup group)
{
    switch (group) {
    case KestrinGroup::parameter: return c_getParameter;
    case KestrinGroup::setting: return c_getSetting;
    case KestrinGroup::anc: break;
    }
    return c_anc;
}

// 05 5A L 00 id id selector [00]: the parameter and setting groups follow the number with a 00,
// the noise-cancelling group has the value right behind its sub-command.
Frame SettingRequest(CommandId id, KestrinGroup group, uint8_t selector)
{
    Frame request(id);
    request.add(selector);
    if (group != KestrinGroup::anc)
        request.add(0x00);
    return request;
}

// 05 5A 04 00 01 09 param 00
Frame GetParamRequest(uint8_t param)
{
    return SettingRequest(c_getParameter, KestrinGroup::parameter, param);
}

// 05 5A 05 00 00 09 param 00 value
Frame SetParamRequest(uint8_t param, uint8_t value)
{
    Frame request = SettingRequest(c_setParameter, KestrinGroup::parameter, param);
    request.add(value);
    return request;
}

// A get-parameter exchange whose value is at [9].
bool GetParameter(KestrinTransport& transport, uint8_t param, const ReplyCheck& check, uint8_t& out)
{
    uint8_t value = 0;
    if (!transport.exchange(GetParamRequest(param), false, check, [&value, &check](const uint8_t* reply, size_t) {
            value = reply[9];
            return check.statusOk(reply);
        }))
        return false;
    out = value;
    return true;
}

} // namespace

// Every operation sends one request and waits for the reply its check accepts; the reply is
// removed from the buffer whether or not its value is then accepted. Output values are written
// only on success.

// ---------------------------------------------------------------------------------------------
// Settings, as c_kestrinSettings declares them

bool KestrinTransport::writeSetting(KestrinSetting setting, uint16_t value)
{
    const KestrinSettingInfo& info = SettingInfo(setting);
    Frame request = SettingRequest(SetCommand(info.group), info.group, info.setSelector);
    switch (info.coding) {
    case KestrinCoding::byte: request.add(uint8_t(value)); break;
    case KestrinCoding::flag: request.add(value ? 1 : 0); break;
    case KestrinCoding::powerOffTime:
        // The enable byte follows from the time (0 = never), and the four bytes go out twice.
        for (int copy = 0; copy < 2; ++copy)
            request.add(value ? 1 : 0).add(0x00).addLe16(value);
        break;
    }
    const ReplyCheck& check = info.setReply;
    const bool pause = info.group == KestrinGroup::anc;
    return exchange(request, false, check, [&check, pause](const uint8_t* reply, size_t) {
        if (pause)
            QThread::msleep(c_ancPauseMs);
        return check.statusOk(reply);
    });
}

bool KestrinTransport::readSetting(KestrinSetting setting, uint16_t& value)
{
    const KestrinSettingInfo& info = SettingInfo(setting);
    const Frame request = SettingRequest(GetCommand(info.group), info.group, info.getSelector);
    const ReplyCheck& check = info.getReply;
    const bool pause = info.group == KestrinGroup::anc;
    const size_t at = m_viaDongle ? info.valueAtViaDongle : info.valueAt;
    uint16_t read = 0;
    if (!exchange(request, false, check, [&](const uint8_t* reply, size_t) {
            if (pause)
                QThread::msleep(c_ancPauseMs);
            switch (info.coding) {
            case KestrinCoding::byte: read = reply[at]; break;
            case KestrinCoding::flag:
                read = reply[at];
                if (read > 1)
                    return false;
                break;
            case KestrinCoding::powerOffTime: read = uint16_t(reply[at] | reply[at + 1] << 8); break;
            }
            return check.statusOk(reply);
        }))
        return false;
    value = read;
    return true;
}

namespace {

template <typename T>
bool ReadAs(KestrinTransport& transport, KestrinSetting setting, T& out)
{
    uint16_t value = 0;
    if (!transport.readSetting(setting, value))
        return false;
    out = T(value);
    return true;
}

} // namespace

bool KestrinTransport::writePeqIndex(uint8_t index)
{
    return writeSetting(KestrinSetting::eqIndex, index);
}

bool KestrinTransport::readPeqIndex(uint8_t& index)
{
    return ReadAs(*this, KestrinSetting::eqIndex, index);
}

bool KestrinTransport::writeVpLevel(uint8_t level)
{
    return writeSetting(KestrinSetting::vpLevel, level);
}

bool KestrinTransport::readVpLevel(uint8_t& level)
{
    return ReadAs(*this, KestrinSetting::vpLevel, level);
}

bool KestrinTransport::writeNoiseReduction(uint8_t value)
{
    return writeSetting(KestrinSetting::noiseReduction, value);
}

bool KestrinTransport::readNoiseReduction(uint8_t& value)
{
    return ReadAs(*this, KestrinSetting::noiseReduction, value);
}

bool KestrinTransport::writeEarcupBalance(uint8_t value)
{
    return writeSetting(KestrinSetting::earcupBalance, value);
}

bool KestrinTransport::readEarcupBalance(uint8_t& value)
{
    return ReadAs(*this, KestrinSetting::earcupBalance, value);
}

bool KestrinTransport::writeAmpGain(uint8_t value)
{
    return writeSetting(KestrinSetting::ampGain, value);
}

bool KestrinTransport::readAmpGain(uint8_t& value)
{
    return ReadAs(*this, KestrinSetting::ampGain, value);
}

bool KestrinTransport::writeSidetoneLevel(uint8_t value)
{
    return writeSetting(KestrinSetting::sidetoneLevel, value);
}

bool KestrinTransport::readSidetoneLevel(uint8_t& value)
{
    return ReadAs(*this, KestrinSetting::sidetoneLevel, value);
}

bool KestrinTransport::writeMicLevel(uint8_t value)
{
    return writeSetting(KestrinSetting::micLevel, value);
}

bool KestrinTransport::readMicLevel(uint8_t& value)
{
    return ReadAs(*this, KestrinSetting::micLevel, value);
}

bool KestrinTransport::writeGameChatMix(uint8_t mix)
{
    return writeSetting(KestrinSetting::gameChatMix, mix);
}

bool KestrinTransport::readGameChatMix(uint8_t& mix)
{
    return ReadAs(*this, KestrinSetting::gameChatMix, mix);
}

bool KestrinTransport::writeSidetoneState(bool on)
{
    return writeSetting(KestrinSetting::sidetone, on);
}

bool KestrinTransport::readSidetoneState(bool& on)
{
    return ReadAs(*this, KestrinSetting::sidetone, on);
}

bool KestrinTransport::writeAutoPowerOff(uint16_t seconds)
{
    return writeSetting(KestrinSetting::autoPowerOff, seconds);
}

bool KestrinTransport::readAutoPowerOff(uint16_t& seconds)
{
    return readSetting(KestrinSetting::autoPowerOff, seconds);
}

bool KestrinTransport::writeAncMode(DeviceData::AncMode mode)
{
    return writeSetting(KestrinSetting::ancMode, uint8_t(mode));
}

bool KestrinTransport::readAncMode(DeviceData::AncMode& mode)
{
    return ReadAs(*this, KestrinSetting::ancMode, mode);
}

// ---------------------------------------------------------------------------------------------
// Other parameters

bool KestrinTransport::readMicMute(bool& muted)
{
    uint8_t value = 0;
    // The value alone answers: 0x00 muted, 0xFF open.
    if (!GetParameter(*this, c_paramMicMute, c_micMuteReply, value))
        return false;
    if (value != 0x00 && value != 0xFF)
        return false;
    muted = value == 0x00;
    return true;
}

bool KestrinTransport::readMaxSidetoneLevel(uint8_t& value)
{
    return GetParameter(*this, c_paramMaxSidetoneLevel, c_maxSidetoneReply, value);
}

bool KestrinTransport::readIsNewFilm(bool& isNewFilm)
{
    uint8_t value = 0;
    if (!GetParameter(*this, c_paramNewFilm, c_newFilmReply, value))
        return false;
    isNewFilm = value == 0x0A;
    return true;
}

bool KestrinTransport::writeLeftRightGain(uint8_t left, uint8_t right)
{
    // The right gain goes out only once the left one was taken. Either reply is accepted as the
    // answer, and each must echo its own parameter.
    static constexpr ReplyCheck c_leftSetReply = SetParamReply(c_paramLeftGain).status(8);
    const auto echoes = [](uint8_t param) {
        return [param](const uint8_t* reply, size_t) { return reply[6] == param && reply[8] == 0; };
    };
    const auto left_echoed = echoes(c_paramLeftGain);
    const auto right_echoed = echoes(c_paramRightGain);
    const auto either = [](unsigned char* r) { return c_leftSetReply.accepts(r) || c_rightGainReply.accepts(r); };
    const Frame leftRequest = SetParamRequest(c_paramLeftGain, left);
    if (!exchange(leftRequest.data(), leftRequest.size(), false, 9, either, left_echoed))
        return false;
    const Frame rightRequest = SetParamRequest(c_paramRightGain, right);
    return exchange(rightRequest.data(), rightRequest.size(), false, 9, either, right_echoed);
}

bool KestrinTransport::readLeftGain(uint8_t& value)
{
    return GetParameter(*this, c_paramLeftGain, c_leftGainReply, value);
}

bool KestrinTransport::writeSensorsEnabled(bool enable, uint8_t rate)
{
    const uint8_t value = uint8_t(std::min(rate, c_sensorRateLimit) | (enable ? c_sensorEnableBit : 0));
    const Frame request = SetParamRequest(c_paramSensors, value);

    std::lock_guard<std::mutex> lock(m_mutex);
    m_converters->setSensorsEnabled(enable, rate);
    if (!exchangeUnsafe(request, false, c_sensorsReply))
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
        while (m_client.read_hid_timeout(report, sizeof report, 0) > 0) { }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Power state

bool KestrinTransport::readPoweredOn(bool& on)
{
    bool value = false;
    if (!exchange(Frame(c_poweredOn), false, c_poweredOnReply, [&value](const uint8_t* reply, size_t) {
            value = reply[6] != 0;
            return true;
        }))
        return false;
    on = value;
    return true;
}

// ---------------------------------------------------------------------------------------------
// The ANC model's user EQs: each answer needs a pause before the noise-cancelling processor
// takes the next command

bool KestrinTransport::writeUserEqIndex(uint8_t index)
{
    const Frame request(c_anc, {c_ancSetUserEq, index});
    return exchange(request, false, c_setUserEqReply, [](const uint8_t* reply, size_t) {
        QThread::msleep(c_ancPauseMs);
        return c_setUserEqReply.statusOk(reply);
    });
}

bool KestrinTransport::readUserEqIndex(uint8_t& index)
{
    const Frame request(c_anc, {c_ancGetUserEq});
    uint8_t value = 0;
    if (!exchange(request, false, c_getUserEqReply, [&value](const uint8_t* reply, size_t) {
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
    Frame request(c_anc);
    request.add(c_ancSetBiquad).add(eqIndex).add(band).add(uint8_t(type));
    // On the wire the gain comes before the middle value.
    request.addFloat(frequency).addFloat(gain).addFloat(middle);
    return exchange(request, false, c_setBiquadReply, [](const uint8_t* reply, size_t) {
        QThread::msleep(c_ancPauseMs);
        return c_setBiquadReply.statusOk(reply);
    });
}

bool KestrinTransport::readUserBiquad(uint8_t eqIndex, Kestrin2AncEq& eq)
{
    const Frame request(c_anc, {c_ancGetBiquads, eqIndex, 0x0A});
    Kestrin2AncEq read;
    if (!exchange(request, false, c_getBiquadsReply, [&read](const uint8_t* reply, size_t length) {
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
    const Frame request(c_battery, {0x00});

    std::lock_guard<std::mutex> lock(m_mutex);
    if (!exchangeUnsafe(request, false, c_batteryResponse))
        return false;
    if (!awaitCommand(c_batteryNotification))
        return false;
    const uint8_t value = m_buffer[8];
    consumeCurrentCommand();
    level = value;
    return true;
}

bool KestrinTransport::readFwVersion(QString& version, bool toDongle)
{
    const Frame request(c_fwVersion, {0x00});

    std::lock_guard<std::mutex> lock(m_mutex);
    if (!exchangeUnsafe(request, toDongle, c_fwVersionResponse))
        return false;
    if (!awaitCommand(c_fwVersionNotification))
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
    const Frame request(c_readiness, {c_readinessQuery});
    bool value = false;
    if (!exchange(request, false, c_readinessReply, [&value](const uint8_t* reply, size_t) {
            value = reply[7] == 1;
            return c_readinessReply.statusOk(reply);
        }))
        return false;
    ready = value;
    return true;
}

bool KestrinTransport::factoryReset()
{
    const Frame request(c_systemAction, {c_actionFactoryReset, 0x00});
    return exchange(request, false, c_systemActionReply);
}

bool KestrinTransport::pairing()
{
    // Pairing is the dongle's own business: never relayed to a headset.
    const Frame request(c_systemAction, {c_actionPairing, 0x00});
    return exchange(request, true, c_systemActionReply);
}

} // namespace Devices
