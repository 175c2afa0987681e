#pragma once

// The headset's settings, each declared once: how it travels on the wire (command group, number,
// payload, the reply checks and where the value sits), the range the device model accepts, the
// headset models that have it, and how the model shows it. The transport builds its set and get
// commands from a row, the device implementation caches by it, and the device model and its
// write queue restore, publish and load by iterating the table.
//
// Adding a setting: a value in KestrinSetting, a row in c_kestrinSettings, and the named accessors
// that delegate to them (transport, IKestrinDeviceMain and its implementations, the model's
// getter, setter and signal, the write queue's store operation). The lists kept beside the table
// (the implementation's read list, the model's change signals) fail the build until they name it.

#include "core/DeviceType.h"
#include "devices/IKestrinDeviceMain.h"
#include "devices/KestrinWire.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace Devices {

// A setting's number is its kind in the device model's write queue, and its index in every
// per-setting array (c_kestrinSettingSlots long).
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
    eqIndex = 10, // the queue's failed key of a refused preset change is 10
    // 11 is the queue's kind of a preset's band list (c_eqBandsKind): a new setting takes 12 on.
};
// The write queue's kind of a preset's band list; no setting has this number.
constexpr uint8_t c_eqBandsKind = 11;
static_assert(uint8_t(KestrinSetting::eqIndex) == 10, "the failed key of a refused preset change is 10");

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

// A setting's set operation of the headset interface, with the value as a number.
template <typename T, bool (IKestrinDeviceMain::*Set)(T)>
bool SetThrough(IKestrinDeviceMain& device, uint16_t value)
{
    return (device.*Set)(T(value));
}

// A load (from the implementation's cache) or a read (a round trip) of the headset interface.
template <typename T, bool (IKestrinDeviceMain::*Get)(T&)>
bool GetThrough(IKestrinDeviceMain& device, uint16_t& value)
{
    T got{};
    if (!(device.*Get)(got))
        return false;
    value = uint16_t(got);
    return true;
}

// A row names its fields (designated initializers); a field with a default may be left out.
struct KestrinSettingInfo {
    KestrinSetting setting;
    const char* name;

    // --- the headset interface's operations of the setting ---
    bool (*set)(IKestrinDeviceMain&, uint16_t);
    bool (*load)(IKestrinDeviceMain&, uint16_t&);
    bool (*read)(IKestrinDeviceMain&, uint16_t&) = nullptr; // a round trip: what the state poll calls

    // --- wire ---
    KestrinGroup group;
    uint8_t setSelector; // parameter, setting or sub-command number of the set command
    uint8_t getSelector; // ... of the get command
    KestrinCoding coding;
    Wire::ReplyCheck setReply;
    Wire::ReplyCheck getReply;
    uint8_t valueAt;          // the value in a get reply
    uint8_t valueAtViaDongle; // ... when the headset is reached through the dongle

    // --- device implementation ---
    // Read from the headset when it is opened and again after a factory reset (in the order of
    // the implementation's read list, which names every such setting).
    bool readWhenOpened = true;

    // --- device model ---
    int min;
    int max;
    uint8_t models;      // the headset models that have it
    bool queued = true;  // the model's setter hands it to the write queue, whose tick sends it
    bool polled = false; // read by the state poll and published by the tick
    int initial;         // before any headset was loaded, and on a model without it
    int fwOnly;          // shown for a headset that answers only for a firmware update
};

namespace KestrinSettingRows {

using namespace Wire;

// One row a setting, its fields by name.
// clang-format off
inline constexpr KestrinSettingInfo c_rows[] = {
    // Listed in the order the model takes values from the implementation and signals them, and
    // the state poll reads them.
    {
        .setting = KestrinSetting::eqIndex, .name = "EQ index",
        .set = &SetThrough<uint8_t, &IKestrinDeviceMain::setEqIndex>,
        .load = &GetThrough<uint8_t, &IKestrinDeviceMain::loadEqIndex>,
        .read = &GetThrough<uint8_t, &IKestrinDeviceMain::readEqIndex>,
        .group = KestrinGroup::parameter, .setSelector = c_paramEqIndex, .getSelector = c_paramEqIndex,
        .coding = KestrinCoding::byte,
        .setReply = SetParamReply(c_paramEqIndex).with(2, 0x05).status(8),
        .getReply = GetParamReply(c_paramEqIndex), .valueAt = 9, .valueAtViaDongle = 9,
        // Written by the model's preset change, after pending band lists, not by the queue's tick.
        .min = 0, .max = 255, .models = c_onAllKestrins, .queued = false, .polled = true,
        .initial = 0, .fwOnly = 1,
    },
    {
        .setting = KestrinSetting::gameChatMix, .name = "game/chat mix",
        .set = &SetThrough<uint8_t, &IKestrinDeviceMain::setGameChatMix>,
        .load = &GetThrough<uint8_t, &IKestrinDeviceMain::loadGameChatMix>,
        .read = &GetThrough<uint8_t, &IKestrinDeviceMain::readGameChatMix>,
        .group = KestrinGroup::setting, .setSelector = c_settingGameChatMix, .getSelector = c_settingGameChatMix,
        .coding = KestrinCoding::byte,
        // This reply is told apart by a 00 at [6]; its outcome is the byte at [8].
        .setReply = Response(c_setSetting, 9).with(2, 0x05).with(6, 0x00).with(7, c_settingGameChatMix).status(8),
        .getReply = SettingReply(c_getSetting, c_settingGameChatMix, 10), .valueAt = 9, .valueAtViaDongle = 9,
        .min = 0, .max = 20, .models = c_onAllKestrins, .polled = true,
        .initial = 0, .fwOnly = 10,
    },
    {
        .setting = KestrinSetting::noiseReduction, .name = "noise reduction",
        .set = &SetThrough<uint8_t, &IKestrinDeviceMain::setNoiseReduction>,
        .load = &GetThrough<uint8_t, &IKestrinDeviceMain::loadNoiseReduction>,
        .read = &GetThrough<uint8_t, &IKestrinDeviceMain::readNoiseReduction>,
        .group = KestrinGroup::parameter, .setSelector = c_paramNoiseReduction, .getSelector = c_paramNoiseReduction,
        .coding = KestrinCoding::byte,
        .setReply = SetParamReply(c_paramNoiseReduction).status(8),
        .getReply = GetParamReply(c_paramNoiseReduction).status(8), .valueAt = 9, .valueAtViaDongle = 9,
        .min = 0, .max = 2, .models = c_onAllKestrins, .polled = true,
        .initial = 0, .fwOnly = 0,
    },
    {
        .setting = KestrinSetting::vpLevel, .name = "voice-prompt level",
        .set = &SetThrough<uint8_t, &IKestrinDeviceMain::setVpLevel>,
        .load = &GetThrough<uint8_t, &IKestrinDeviceMain::loadVpLevel>,
        .group = KestrinGroup::parameter, .setSelector = c_paramVpLevel, .getSelector = c_paramVpLevel,
        .coding = KestrinCoding::byte,
        // The headset answers the voice-prompt level without a status worth reading.
        .setReply = SetParamReply(c_paramVpLevel),
        .getReply = GetParamReply(c_paramVpLevel), .valueAt = 9, .valueAtViaDongle = 9,
        .min = 0, .max = 15, .models = c_onAllKestrins,
        .initial = 0, .fwOnly = 7,
    },
    {
        .setting = KestrinSetting::earcupBalance, .name = "earcup balance",
        .set = &SetThrough<uint8_t, &IKestrinDeviceMain::setEarcupBalance>,
        .load = &GetThrough<uint8_t, &IKestrinDeviceMain::loadEarcupBalance>,
        .group = KestrinGroup::parameter, .setSelector = c_paramEarcupBalance, .getSelector = c_paramEarcupBalance,
        .coding = KestrinCoding::byte,
        .setReply = SetParamReply(c_paramEarcupBalance).status(8),
        .getReply = GetParamReply(c_paramEarcupBalance).status(8), .valueAt = 9, .valueAtViaDongle = 9,
        // The model writes the balance itself, at once; the queue still sends one it is given.
        .min = 122, .max = 134, .models = c_onAllKestrins,
        .initial = 128, .fwOnly = 128,
    },
    {
        .setting = KestrinSetting::ampGain, .name = "amplifier gain",
        .set = &SetThrough<uint8_t, &IKestrinDeviceMain::setAmpGain>,
        .load = &GetThrough<uint8_t, &IKestrinDeviceMain::loadAmpGain>,
        .group = KestrinGroup::parameter, .setSelector = c_paramAmpGain, .getSelector = c_paramAmpGain,
        .coding = KestrinCoding::byte,
        .setReply = SetParamReply(c_paramAmpGain).status(8),
        .getReply = GetParamReply(c_paramAmpGain).with(2, 0x06).status(8), .valueAt = 9, .valueAtViaDongle = 9,
        .min = 0, .max = 255, .models = c_onAllKestrins,
        .initial = 0, .fwOnly = 136,
    },
    {
        .setting = KestrinSetting::sidetoneLevel, .name = "sidetone level",
        .set = &SetThrough<uint8_t, &IKestrinDeviceMain::setSidetoneLevel>,
        .load = &GetThrough<uint8_t, &IKestrinDeviceMain::loadSidetoneLevel>,
        .read = &GetThrough<uint8_t, &IKestrinDeviceMain::readSidetoneLevel>,
        .group = KestrinGroup::parameter, .setSelector = c_paramSidetoneLevel, .getSelector = c_paramSidetoneLevel,
        .coding = KestrinCoding::byte,
        .setReply = SetParamReply(c_paramSidetoneLevel).status(8),
        .getReply = GetParamReply(c_paramSidetoneLevel).status(8), .valueAt = 9, .valueAtViaDongle = 9,
        .min = 0, .max = 255, .models = c_onAllKestrins, .polled = true,
        .initial = 0, .fwOnly = 0,
    },
    {
        .setting = KestrinSetting::sidetone, .name = "sidetone",
        .set = &SetThrough<bool, &IKestrinDeviceMain::setSidetone>,
        .load = &GetThrough<bool, &IKestrinDeviceMain::loadSidetone>,
        .read = &GetThrough<bool, &IKestrinDeviceMain::readSidetone>,
        .group = KestrinGroup::setting, .setSelector = c_settingSidetone, .getSelector = c_settingSidetone,
        .coding = KestrinCoding::flag,
        .setReply = SettingReply(c_setSetting, c_settingSidetone, 9).status(6),
        .getReply = SettingReply(c_getSetting, c_settingSidetone, 10).status(6), .valueAt = 9, .valueAtViaDongle = 9,
        .min = 0, .max = 1, .models = c_onAllKestrins, .polled = true,
        .initial = 0, .fwOnly = 0,
    },
    {
        .setting = KestrinSetting::autoPowerOff, .name = "auto power-off",
        .set = &SetThrough<uint16_t, &IKestrinDeviceMain::setAutoPowerOff>,
        .load = &GetThrough<uint16_t, &IKestrinDeviceMain::loadAutoPowerOff>,
        .group = KestrinGroup::setting, .setSelector = c_settingAutoPowerOff, .getSelector = c_settingAutoPowerOff,
        .coding = KestrinCoding::powerOffTime,
        .setReply = SettingReply(c_setSetting, c_settingAutoPowerOff, 9).status(6),
        .getReply = SettingReply(c_getSetting, c_settingAutoPowerOff, 17), .valueAt = 11, .valueAtViaDongle = 11,
        .min = 0, .max = 65535, .models = c_onAllKestrins,
        .initial = 0, .fwOnly = 300,
    },
    {
        .setting = KestrinSetting::micLevel, .name = "microphone level",
        .set = &SetThrough<uint8_t, &IKestrinDeviceMain::setMicLevel>,
        .load = &GetThrough<uint8_t, &IKestrinDeviceMain::loadMicLevel>,
        .read = &GetThrough<uint8_t, &IKestrinDeviceMain::readMicLevel>,
        .group = KestrinGroup::parameter, .setSelector = c_paramMicLevel, .getSelector = c_paramMicLevel,
        .coding = KestrinCoding::byte,
        // A longer get reply: through the dongle the level sits three bytes further on.
        .setReply = SetParamReply(c_paramMicLevel),
        .getReply = GetParamReply(c_paramMicLevel).with(2, 0x09).atLeast(13).status(8),
        .valueAt = 9, .valueAtViaDongle = 12,
        // The implementation neither reads nor writes it: it holds 0.
        .readWhenOpened = false,
        .min = 0, .max = 255, .models = c_onKestrin2 | c_onKestrin2Anc, .polled = true,
        .initial = 0, .fwOnly = 0,
    },
    {
        .setting = KestrinSetting::ancMode, .name = "ANC mode",
        .set = &SetThrough<DeviceData::AncMode, &IKestrinDeviceMain::setAncMode>,
        .load = &GetThrough<DeviceData::AncMode, &IKestrinDeviceMain::loadAncMode>,
        .read = &GetThrough<DeviceData::AncMode, &IKestrinDeviceMain::readAncMode>,
        .group = KestrinGroup::anc, .setSelector = c_ancSetMode, .getSelector = c_ancGetMode,
        .coding = KestrinCoding::byte,
        // The mode is taken as the headset reports it: the model repairs one it does not know.
        .setReply = AncReply(c_ancSetMode).status(8),
        .getReply = AncReply(c_ancGetMode), .valueAt = 8, .valueAtViaDongle = 8,
        .min = 0, .max = 2, .models = c_onKestrin2Anc, .polled = true,
        .initial = 0, .fwOnly = 0,
    },
};
// clang-format on

// The largest setting number, plus one.
constexpr size_t SlotCount()
{
    size_t length = 0;
    for (const KestrinSettingInfo& info : c_rows)
        length = std::max(length, size_t(info.setting) + 1);
    return length;
}

// Every number up to the largest is one setting's, with one row, except the EQ-bands kind.
constexpr bool RowsAreWhole()
{
    for (size_t number = 0; number < SlotCount(); ++number) {
        int rows = 0;
        for (const KestrinSettingInfo& info : c_rows)
            rows += size_t(info.setting) == number ? 1 : 0;
        if (rows != (number == c_eqBandsKind ? 0 : 1))
            return false;
    }
    return true;
}
static_assert(RowsAreWhole(), "each setting has exactly one row, and none is numbered 11");

} // namespace KestrinSettingRows

constexpr size_t c_kestrinSettingCount = std::size(KestrinSettingRows::c_rows);
// The length of an array indexed by setting number.
constexpr size_t c_kestrinSettingSlots = KestrinSettingRows::SlotCount();

// Every setting, in the order the model takes and signals them.
inline constexpr const KestrinSettingInfo (&c_kestrinSettings)[c_kestrinSettingCount] = KestrinSettingRows::c_rows;

constexpr bool NamesSetting(KestrinSetting entry, KestrinSetting setting)
{
    return entry == setting;
}

// True when `list` names each setting that `wanted` accepts (all when it is null) exactly once
// and no other: lets a list kept beside the table fail the build when a setting is missing from
// it. An entry names a setting through NamesSetting(entry, setting), overloaded for its type.
template <typename Entry, size_t N>
constexpr bool NamesEverySettingOnce(const Entry (&list)[N], bool (*wanted)(const KestrinSettingInfo&) = nullptr)
{
    for (const KestrinSettingInfo& info : c_kestrinSettings) {
        int named = 0;
        for (const Entry& entry : list)
            named += NamesSetting(entry, info.setting) ? 1 : 0;
        if (named != (wanted && !wanted(info) ? 0 : 1))
            return false;
    }
    return true;
}

// The row of setting number `number`, or null (the EQ-bands kind, or no such setting).
constexpr const KestrinSettingInfo* FindSetting(size_t number)
{
    for (const KestrinSettingInfo& info : c_kestrinSettings) {
        if (size_t(info.setting) == number)
            return &info;
    }
    return nullptr;
}

constexpr const KestrinSettingInfo& SettingInfo(KestrinSetting setting)
{
    return *FindSetting(size_t(setting)); // every setting has a row
}

} // namespace Devices
