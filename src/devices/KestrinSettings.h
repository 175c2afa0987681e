#pragma once

// The headset's settings, each declared once: how it travels on the wire (command group, number,
// payload, the reply checks and where the value sits), the range the device model accepts, the
// headset models that have it, and how the model shows it. The transport builds its set and get
// commands from a row, the device implementation caches by it, and the device model and its
// write queue restore, publish and load by iterating the table.
//
// Adding a setting: a value in KestrinSetting, a row in c_kestrinSettings, and the named accessors
// that delegate to them (transport, IKestrinDeviceMain and its implementations, the model's
// getter, setter and signal, the write queue's store operation).

#include "core/DeviceType.h"
#include "devices/IKestrinDeviceMain.h"
#include "devices/KestrinWire.h"

#include <cstddef>
#include <cstdint>

namespace Devices {

// The numbers are the device model's write-queue kinds. 11 (EQ bands) is the queue's own.
enum class KestrinSetting : uint8_t {
    gameChatMix = 0,
    noiseReduction = 1,
    ancMode = 2,
    vpLevel = 3,
    earcupBalance = 4,
    ampGain = 5,
    micLevel = 6,
    sidetoneLevel = 7,
    sidetone = 8,
    autoPowerOff = 9,
    eqIndex = 10,
};
constexpr size_t c_kestrinSettingCount = 11;

// The command group a setting travels in.
enum class KestrinGroup : uint8_t {
    parameter, // 0x0900 set / 0x0901 get: 05 5A L 00 00|01 09 param 00 [value]
    setting,   // 0x2C82 set / 0x2C83 get: 05 5A L 00 82|83 2C setting 00 [payload]
    anc,       // 0x2E30: 05 5A L 00 30 2E sub [value]; the processor needs a pause after each
};

// How a value becomes the payload of a set command, and how a get reply's byte(s) become a value.
enum class KestrinCoding : uint8_t {
    byte,         // one byte
    flag,         // one byte, 0 or 1; any other reply value fails the read
    powerOffTime, // set: enable (time != 0), 00, time le16, twice; get: le16 at the value offset
};

// Headset models, as a set.
enum KestrinModels : uint8_t {
    c_onKestrin = 1 << 0,
    c_onKestrin2 = 1 << 1,
    c_onKestrin2Anc = 1 << 2,
    c_onAllKestrins = c_onKestrin | c_onKestrin2 | c_onKestrin2Anc,
};

inline bool HasSetting(uint8_t models, DeviceType type)
{
    switch (type) {
    case DeviceType::kestrin: return models & c_onKestrin;
    case DeviceType::kestrin_2: return models & c_onKestrin2;
    case DeviceType::kestrin_2_anc: return models & c_onKestrin2Anc;
    default:
        // No headset loaded yet: what a later model without noise cancelling has.
        return models & c_onKestrin2;
    }
}

// A setting's set and load operations of the headset interface, with the value as a number.
template <typename T, bool (IKestrinDeviceMain::*Set)(T)>
bool SetThrough(IKestrinDeviceMain& device, uint16_t value)
{
    return (device.*Set)(T(value));
}

template <typename T, bool (IKestrinDeviceMain::*Load)(T&)>
bool LoadThrough(IKestrinDeviceMain& device, uint16_t& value)
{
    T loaded{};
    if (!(device.*Load)(loaded))
        return false;
    value = uint16_t(loaded);
    return true;
}

struct KestrinSettingInfo {
    KestrinSetting setting;
    const char* name;
    bool (*set)(IKestrinDeviceMain&, uint16_t);
    bool (*load)(IKestrinDeviceMain&, uint16_t&);

    // --- wire ---
    KestrinGroup group;
    uint8_t setSelector; // parameter, setting or sub-command number of the set command
    uint8_t getSelector; // ... of the get command
    KestrinCoding coding;
    Wire::ReplyCheck setReply;
    Wire::ReplyCheck getReply;
    uint8_t valueAt;          // the value in a get reply
    uint8_t valueAtViaDongle; // ... when the headset is reached through the dongle

    // --- device model ---
    int min;
    int max;
    uint8_t models; // the headset models that have it
    bool polled;    // refreshed by the state poll and published by the tick
    int initial;    // before any headset was loaded, and on a model without it
    int fwOnly;     // shown for a headset that answers only for a firmware update
};

namespace KestrinSettingRows {

using namespace Wire;

// One row a setting, each field where the row before has it.
// clang-format off
inline constexpr KestrinSettingInfo c_rows[] = {
    // Listed in the order the model takes values from the implementation and signals them.
    { KestrinSetting::eqIndex, "EQ index",
      &SetThrough<uint8_t, &IKestrinDeviceMain::setEqIndex>, &LoadThrough<uint8_t, &IKestrinDeviceMain::loadEqIndex>,
      KestrinGroup::parameter, c_paramEqIndex, c_paramEqIndex, KestrinCoding::byte,
      SetParamReply(c_paramEqIndex).with(2, 0x05).status(8), GetParamReply(c_paramEqIndex), 9, 9,
      0, 255, c_onAllKestrins, true, 0, 1 },
    { KestrinSetting::gameChatMix, "game/chat mix",
      &SetThrough<uint8_t, &IKestrinDeviceMain::setGameChatMix>, &LoadThrough<uint8_t, &IKestrinDeviceMain::loadGameChatMix>,
      KestrinGroup::setting, c_settingGameChatMix, c_settingGameChatMix, KestrinCoding::byte,
      // This reply is told apart by a 00 at [6]; its outcome is the byte at [8].
      Response(c_setSetting, 9).with(2, 0x05).with(6, 0x00).with(7, c_settingGameChatMix).status(8),
      SettingReply(c_getSetting, c_settingGameChatMix, 10), 9, 9,
      0, 20, c_onAllKestrins, true, 0, 10 },
    { KestrinSetting::noiseReduction, "noise reduction",
      &SetThrough<uint8_t, &IKestrinDeviceMain::setNoiseReduction>, &LoadThrough<uint8_t, &IKestrinDeviceMain::loadNoiseReduction>,
      KestrinGroup::parameter, c_paramNoiseReduction, c_paramNoiseReduction, KestrinCoding::byte,
      SetParamReply(c_paramNoiseReduction).status(8), GetParamReply(c_paramNoiseReduction).status(8), 9, 9,
      0, 2, c_onAllKestrins, true, 0, 0 },
    { KestrinSetting::vpLevel, "voice-prompt level",
      &SetThrough<uint8_t, &IKestrinDeviceMain::setVpLevel>, &LoadThrough<uint8_t, &IKestrinDeviceMain::loadVpLevel>,
      KestrinGroup::parameter, c_paramVpLevel, c_paramVpLevel, KestrinCoding::byte,
      // The headset answers the voice-prompt level without a status worth reading.
      SetParamReply(c_paramVpLevel), GetParamReply(c_paramVpLevel), 9, 9,
      0, 15, c_onAllKestrins, false, 0, 7 },
    { KestrinSetting::earcupBalance, "earcup balance",
      &SetThrough<uint8_t, &IKestrinDeviceMain::setEarcupBalance>, &LoadThrough<uint8_t, &IKestrinDeviceMain::loadEarcupBalance>,
      KestrinGroup::parameter, c_paramEarcupBalance, c_paramEarcupBalance, KestrinCoding::byte,
      SetParamReply(c_paramEarcupBalance).status(8), GetParamReply(c_paramEarcupBalance).status(8), 9, 9,
      122, 134, c_onAllKestrins, false, 128, 128 },
    { KestrinSetting::ampGain, "amplifier gain",
      &SetThrough<uint8_t, &IKestrinDeviceMain::setAmpGain>, &LoadThrough<uint8_t, &IKestrinDeviceMain::loadAmpGain>,
      KestrinGroup::parameter, c_paramAmpGain, c_paramAmpGain, KestrinCoding::byte,
      SetParamReply(c_paramAmpGain).status(8), GetParamReply(c_paramAmpGain).with(2, 0x06).status(8), 9, 9,
      0, 255, c_onAllKestrins, false, 0, 136 },
    { KestrinSetting::sidetoneLevel, "sidetone level",
      &SetThrough<uint8_t, &IKestrinDeviceMain::setSidetoneLevel>, &LoadThrough<uint8_t, &IKestrinDeviceMain::loadSidetoneLevel>,
      KestrinGroup::parameter, c_paramSidetoneLevel, c_paramSidetoneLevel, KestrinCoding::byte,
      SetParamReply(c_paramSidetoneLevel).status(8), GetParamReply(c_paramSidetoneLevel).status(8), 9, 9,
      0, 255, c_onAllKestrins, true, 0, 0 },
    { KestrinSetting::sidetone, "sidetone",
      &SetThrough<bool, &IKestrinDeviceMain::setSidetone>, &LoadThrough<bool, &IKestrinDeviceMain::loadSidetone>,
      KestrinGroup::setting, c_settingSidetone, c_settingSidetone, KestrinCoding::flag,
      SettingReply(c_setSetting, c_settingSidetone, 9).status(6),
      SettingReply(c_getSetting, c_settingSidetone, 10).status(6), 9, 9,
      0, 1, c_onAllKestrins, true, 0, 0 },
    { KestrinSetting::autoPowerOff, "auto power-off",
      &SetThrough<uint16_t, &IKestrinDeviceMain::setAutoPowerOff>, &LoadThrough<uint16_t, &IKestrinDeviceMain::loadAutoPowerOff>,
      KestrinGroup::setting, c_settingAutoPowerOff, c_settingAutoPowerOff, KestrinCoding::powerOffTime,
      SettingReply(c_setSetting, c_settingAutoPowerOff, 9).status(6),
      SettingReply(c_getSetting, c_settingAutoPowerOff, 17), 11, 11,
      0, 65535, c_onAllKestrins, false, 0, 300 },
    { KestrinSetting::micLevel, "microphone level",
      &SetThrough<uint8_t, &IKestrinDeviceMain::setMicLevel>, &LoadThrough<uint8_t, &IKestrinDeviceMain::loadMicLevel>,
      KestrinGroup::parameter, c_paramMicLevel, c_paramMicLevel, KestrinCoding::byte,
      // A longer get reply: through the dongle the level sits three bytes further on.
      SetParamReply(c_paramMicLevel), GetParamReply(c_paramMicLevel).with(2, 0x09).atLeast(13).status(8), 9, 12,
      0, 255, c_onKestrin2 | c_onKestrin2Anc, true, 0, 0 },
    { KestrinSetting::ancMode, "ANC mode",
      &SetThrough<DeviceData::AncMode, &IKestrinDeviceMain::setAncMode>, &LoadThrough<DeviceData::AncMode, &IKestrinDeviceMain::loadAncMode>,
      KestrinGroup::anc, c_ancSetMode, c_ancGetMode, KestrinCoding::byte,
      // The mode is taken as the headset reports it: the model repairs one it does not know.
      AncReply(c_ancSetMode).status(8), AncReply(c_ancGetMode), 8, 8,
      0, 2, c_onKestrin2Anc, true, 0, 0 },
};
// clang-format on
static_assert(sizeof c_rows / sizeof c_rows[0] == c_kestrinSettingCount, "one row per setting");

constexpr bool EverySettingHasOneRow()
{
    for (size_t number = 0; number < c_kestrinSettingCount; ++number) {
        int rows = 0;
        for (const KestrinSettingInfo& info : c_rows)
            rows += size_t(info.setting) == number ? 1 : 0;
        if (rows != 1)
            return false;
    }
    return true;
}
static_assert(EverySettingHasOneRow(), "each setting has exactly one row");

} // namespace KestrinSettingRows

// Every setting, in the order the model takes and signals them.
inline constexpr const KestrinSettingInfo (&c_kestrinSettings)[c_kestrinSettingCount] = KestrinSettingRows::c_rows;

constexpr const KestrinSettingInfo& SettingInfo(KestrinSetting setting)
{
    for (const KestrinSettingInfo& info : c_kestrinSettings) {
        if (info.setting == setting)
            return info;
    }
    return c_kestrinSettings[0]; // not reached: every setting has a row
}

} // namespace Devices
