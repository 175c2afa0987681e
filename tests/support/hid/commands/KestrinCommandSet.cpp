#include "KestrinCommandSet.h"

#include <cstdio>
#include <cstring>

namespace HidEmu::Kestrin {

namespace {

constexpr uint8_t kParamEqIndex = 0x00;
constexpr uint8_t kParamVpLevel = 0x20;
constexpr uint8_t kParamMicMute = 0x22;
constexpr uint8_t kParamNoiseReduction = 0x24;
constexpr uint8_t kParamEarcupBalance = 0x25;
constexpr uint8_t kParamAmpGain = 0x28;
constexpr uint8_t kParamLeftGain = 0x29;
constexpr uint8_t kParamRightGain = 0x2A;
constexpr uint8_t kParamSidetoneLevel = 0x2C;
constexpr uint8_t kParamMaxSidetoneLevel = 0x2D;
constexpr uint8_t kParamSensors = 0x2E;
constexpr uint8_t kParamNewFilm = 0x2F;
constexpr uint8_t kParamMicLevel = 0x35;

constexpr uint8_t kSettingAutoPowerOff = 0x01;
constexpr uint8_t kSettingSidetone = 0x07;
constexpr uint8_t kSettingGameChatMix = 0x0B;

constexpr uint8_t kAncSetMode = 0x01;
constexpr uint8_t kAncGetMode = 0x02;
constexpr uint8_t kAncSetBiquad = 0x0B;
constexpr uint8_t kAncSetUserEq = 0x0C;
constexpr uint8_t kAncGetUserEq = 0x0D;
constexpr uint8_t kAncGetBiquads = 0x32;

constexpr uint8_t kActionFactoryReset = 0x95;
constexpr uint8_t kActionPairing = 0xAA;

constexpr size_t kMaxUiBands = 10;
constexpr int kUserEqCount = 10;
constexpr int kBandsPerUserEq = 10;

const int kBandFrequencies[kBandsPerUserEq] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};

State& StateOf(Exchange& ex)
{
    return ex.device().state<State>();
}

void PutLe32(Bytes& out, int32_t value)
{
    const uint32_t v = uint32_t(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

int32_t GetLe32(const uint8_t* p)
{
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

void PutFloat(Bytes& out, float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    PutLe32(out, int32_t(bits));
}

float GetFloat(const uint8_t* p)
{
    const uint32_t bits = uint32_t(GetLe32(p));
    float value = 0.0f;
    std::memcpy(&value, &bits, 4);
    return value;
}

std::string Hex16(uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

std::string Hex8(uint8_t value)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

// The parameter's value, or nullptr when this device type does not have it.
uint8_t* Parameter(State& s, int deviceType, uint8_t param)
{
    switch (param) {
    case kParamEqIndex: return &s.eqIndex;
    case kParamVpLevel: return &s.vpLevel;
    case kParamNoiseReduction: return &s.noiseReduction;
    case kParamEarcupBalance: return &s.earcupBalance;
    case kParamAmpGain: return &s.ampGain;
    case kParamLeftGain: return &s.leftGain;
    case kParamRightGain: return &s.rightGain;
    case kParamSidetoneLevel: return &s.sidetoneLevel;
    case kParamMaxSidetoneLevel: return &s.maxSidetoneLevel;
    case kParamSensors: return &s.sensors;
    case kParamMicLevel: return deviceType == 1 ? nullptr : &s.micLevel;
    default: return nullptr;
    }
}

const char* ParameterName(uint8_t param)
{
    switch (param) {
    case kParamEqIndex: return "eq_index";
    case kParamVpLevel: return "vp_level";
    case kParamMicMute: return "mic_mute";
    case kParamNoiseReduction: return "noise_reduction";
    case kParamEarcupBalance: return "earcup_balance";
    case kParamAmpGain: return "amp_gain";
    case kParamLeftGain: return "left_gain";
    case kParamRightGain: return "right_gain";
    case kParamSidetoneLevel: return "sidetone_level";
    case kParamMaxSidetoneLevel: return "max_sidetone_level";
    case kParamSensors: return "sensors";
    case kParamNewFilm: return "new_film";
    case kParamMicLevel: return "mic_level";
    default: return nullptr;
    }
}

const char* SettingName(uint8_t setting)
{
    switch (setting) {
    case kSettingAutoPowerOff: return "auto_power_off";
    case kSettingSidetone: return "sidetone";
    case kSettingGameChatMix: return "game_chat_mix";
    default: return nullptr;
    }
}

void QueueSensorReport(Headset& device, uint8_t reportId)
{
    Bytes report(14, 0);
    report[0] = reportId;
    device.queueInputReport(report);
}

void OnSetParameter(Exchange& ex)
{
    const Request& rq = ex.request();
    State& s = StateOf(ex);
    const uint8_t param = rq.at(6);
    uint8_t status = ex.status();
    uint8_t* field = Parameter(s, ex.device().deviceType(), param);
    if (rq.frame.size() != 9 || !field)
        status = status ? status : kStatusUnsupported;
    if (status == 0) {
        const uint8_t value = rq.at(8);
        if (param == kParamSidetoneLevel && value > s.maxSidetoneLevel) {
            status = kStatusBadData;
        } else {
            *field = value;
            if (param == kParamSensors) {
                if (value & 0x80) {
                    for (int i = 0; i < s.reportsBeforeSample; ++i)
                        QueueSensorReport(ex.device(), 5);
                    if (s.sampleOnEnable)
                        QueueSensorReport(ex.device(), 3);
                }
            }
        }
    }
    ex.respond({param, 0x00, status});
}

void OnGetParameter(Exchange& ex)
{
    const Request& rq = ex.request();
    State& s = StateOf(ex);
    const uint8_t param = rq.at(6);
    uint8_t status = ex.status();
    const int type = ex.device().deviceType();

    if (param == kParamMicLevel && type != 1) {
        // Through the dongle the level is at [12] of the reply, cabled at [9].
        const bool relayed = ex.request().relayed;
        Bytes payload{param, 0x00, status, 0x00, 0x00, 0x00, 0x00};
        if (status == 0)
            payload[relayed ? 6 : 3] = s.micLevel;
        ex.respond(payload);
        return;
    }

    uint8_t value = 0;
    if (param == kParamMicMute) {
        value = s.micMuted ? 0x00 : 0xFF;
    } else if (param == kParamNewFilm) {
        if (type != 1)
            status = status ? status : kStatusUnsupported;
        value = s.newFilm ? 0x0A : 0x00;
    } else if (uint8_t* field = Parameter(s, type, param)) {
        value = *field;
    } else {
        status = status ? status : kStatusUnsupported;
    }
    ex.respond({param, 0x00, status, status ? uint8_t(0) : value});
}

void OnPoweredOn(Exchange& ex)
{
    // This reply has no status byte: a refused query goes unanswered.
    if (ex.status() != 0)
        return;
    ex.respond({uint8_t(StateOf(ex).poweredOn ? 1 : 0)});
}

void OnSetSetting(Exchange& ex)
{
    const Request& rq = ex.request();
    State& s = StateOf(ex);
    const uint8_t setting = rq.at(6);
    uint8_t status = ex.status();
    if (status == 0) {
        switch (setting) {
        case kSettingGameChatMix:
            if (rq.frame.size() != 9)
                status = kStatusBadData;
            else
                s.gameChatMix = rq.at(8);
            break;
        case kSettingSidetone:
            if (rq.frame.size() != 9 || rq.at(8) > 1)
                status = kStatusBadData;
            else
                s.sidetoneOn = rq.at(8) == 1;
            break;
        case kSettingAutoPowerOff: {
            // e 00 lo hi, twice; e must say whether the time is zero.
            const bool wellFormed =
                rq.frame.size() == 16 && std::equal(rq.frame.begin() + 8, rq.frame.begin() + 12, rq.frame.begin() + 12);
            const uint16_t seconds = uint16_t(rq.at(10) | rq.at(11) << 8);
            if (!wellFormed || rq.at(9) != 0 || rq.at(8) != (seconds ? 1 : 0))
                status = kStatusBadData;
            else
                s.autoPowerOff = seconds;
            break;
        }
        default: status = kStatusUnsupported;
        }
    }
    ex.respond({status, setting, 0x00});
}

void OnGetSetting(Exchange& ex)
{
    State& s = StateOf(ex);
    const uint8_t setting = ex.request().at(6);
    uint8_t status = ex.status();
    Bytes payload{status, setting, 0x00};
    switch (setting) {
    case kSettingGameChatMix: payload.push_back(s.gameChatMix); break;
    case kSettingSidetone: payload.push_back(s.sidetoneOn ? 1 : 0); break;
    case kSettingAutoPowerOff:
        for (int i = 0; i < 2; ++i) {
            payload.push_back(s.autoPowerOff ? 1 : 0);
            payload.push_back(0x00);
            payload.push_back(uint8_t(s.autoPowerOff & 0xFF));
            payload.push_back(uint8_t(s.autoPowerOff >> 8));
        }
        break;
    default: payload[0] = status ? status : kStatusUnsupported; payload.push_back(0x00);
    }
    ex.respond(payload);
}

void OnAncGroup(Exchange& ex)
{
    const Request& rq = ex.request();
    State& s = StateOf(ex);
    const uint8_t sub = rq.at(6);
    uint8_t status = ex.status();
    switch (sub) {
    case kAncSetMode:
        if (status == 0 && (rq.frame.size() != 8 || rq.at(7) > 2))
            status = kStatusBadData;
        if (status == 0)
            s.ancMode = rq.at(7);
        ex.respond({sub, 0x00, status});
        return;
    case kAncGetMode: ex.respond({sub, status, status ? uint8_t(0) : s.reportedAncMode.value_or(s.ancMode)}); return;
    case kAncSetUserEq:
        if (status == 0 && rq.at(7) >= kUserEqCount)
            status = kStatusBadData;
        if (status == 0)
            s.eqIndex = uint8_t(rq.at(7) + 1);
        ex.respond({sub, 0x00, status});
        return;
    case kAncGetUserEq: ex.respond({sub, status, status ? uint8_t(0) : uint8_t(s.eqIndex - 1)}); return;
    case kAncSetBiquad: {
        // 0B eq band type frequency gain middle: the three floats in this order.
        const auto found = s.userEqs.find(rq.at(7));
        Biquad* target = nullptr;
        if (found != s.userEqs.end()) {
            for (auto& band : found->second) {
                if (band.bandId == rq.at(8))
                    target = &band;
            }
        }
        if (status == 0 && (rq.frame.size() != 22 || !target))
            status = kStatusBadData;
        if (status == 0) {
            target->filterType = rq.at(9);
            target->frequency = GetFloat(rq.frame.data() + 10);
            target->gain = GetFloat(rq.frame.data() + 14);
            target->middle = GetFloat(rq.frame.data() + 18);
        }
        ex.respond({sub, 0x00, status});
        return;
    }
    case kAncGetBiquads: {
        // The records follow the sub-command at once; an unknown EQ answers no records at all.
        Bytes payload{sub};
        const auto found = s.userEqs.find(rq.at(7));
        if (status == 0 && found != s.userEqs.end()) {
            for (const auto& band : found->second) {
                payload.push_back(band.bandId);
                payload.push_back(band.filterType);
                PutFloat(payload, band.frequency);
                PutFloat(payload, band.middle);
                PutFloat(payload, band.gain);
            }
        }
        ex.respond(payload);
        return;
    }
    default: ex.respond({sub, 0x00, kStatusUnsupported});
    }
}

void OnReadiness(Exchange& ex)
{
    const uint8_t status = ex.status();
    ex.respond({status, uint8_t(StateOf(ex).tvqReady ? 1 : 0)});
}

void OnSystem(Exchange& ex)
{
    State& s = StateOf(ex);
    const uint8_t action = ex.request().at(6);
    uint8_t status = ex.status();
    if (status == 0) {
        if (action == kActionFactoryReset) {
            ResetToFactory(s, ex.device().deviceType());
            ++s.factoryResets;
        } else {
            status = kStatusUnsupported;
        }
    }
    ex.respond({status});
}

void OnDongleSystem(Exchange& ex)
{
    State& s = StateOf(ex);
    const uint8_t action = ex.request().at(6);
    uint8_t status = ex.status();
    if (status == 0) {
        if (action == kActionPairing)
            ++s.pairings;
        else
            status = kStatusUnsupported;
    }
    ex.respond({status});
}

bool StoresPeq(int deviceType)
{
    return deviceType == 1 || deviceType == 2;
}

void OnRealtimeEq(Exchange& ex)
{
    const Request& rq = ex.request();
    State& s = StateOf(ex);
    uint8_t status = ex.status();
    const Bytes blob = rq.frame.size() > 7 ? Bytes(rq.frame.begin() + 7, rq.frame.end()) : Bytes();
    if (status == 0) {
        const std::string fault = CheckCoefficientBlob(blob);
        if (!StoresPeq(ex.device().deviceType()) || rq.at(6) != 0x00 || !fault.empty()) {
            s.storeFaults.push_back("realtime update: " + (fault.empty() ? std::string("bad request") : fault));
            status = kStatusBadData;
        } else {
            s.realtimeCoefficients = blob;
        }
    }
    ex.respond({status});
}

void OnNvReclaim(Exchange& ex)
{
    const Request& rq = ex.request();
    State& s = StateOf(ex);
    ex.status(); // the host does not read a status here; a refusal is simply not recorded
    if (rq.frame.size() == 8)
        s.reclaimed = uint16_t(rq.at(6) | rq.at(7) << 8);
    ex.respond({0x00});
}

void OnNvSave(Exchange& ex)
{
    const Request& rq = ex.request();
    State& s = StateOf(ex);
    uint8_t status = ex.status();
    const uint8_t keyLow = rq.at(6);
    const uint8_t keyHigh = rq.at(7);
    const uint16_t key = uint16_t(keyLow | keyHigh << 8);
    const Bytes data = rq.frame.size() > 8 ? Bytes(rq.frame.begin() + 8, rq.frame.end()) : Bytes();

    if (status == 0) {
        std::string fault;
        if (!StoresPeq(ex.device().deviceType()))
            fault = "this model keeps no EQ store";
        else if (!s.reclaimed || *s.reclaimed != data.size())
            fault = "save of " + std::to_string(data.size()) + " bytes without a matching reclaim";
        else if (keyHigh == 0xEF && !DecodeUiPreset(data))
            fault = "malformed UI block";
        else if (keyHigh == 0xE4 || keyHigh == 0xE5)
            fault = key >= 0xE42C ? CheckCoefficientBlob(data) : "coefficient key below the first slot";
        else if (keyHigh != 0xEF)
            fault = "unknown key " + Hex16(key);
        if (!fault.empty()) {
            s.storeFaults.push_back("save " + Hex16(key) + ": " + fault);
            status = kStatusBadData;
        } else {
            s.store[key] = data;
        }
        s.reclaimed.reset();
    }
    ex.respond({status, keyLow, keyHigh});
}

void OnNvRead(Exchange& ex)
{
    const Request& rq = ex.request();
    State& s = StateOf(ex);
    uint8_t status = ex.status();
    const uint8_t keyLow = rq.at(6);
    const uint8_t keyHigh = rq.at(7);
    const auto found = s.store.find(uint16_t(keyLow | keyHigh << 8));
    if (status == 0 && (found == s.store.end() || rq.frame.size() != 10))
        status = kStatusNotFound;
    Bytes payload{status, keyLow, keyHigh, 0x00, 0x00};
    if (status == 0)
        payload.insert(payload.end(), found->second.begin(), found->second.end());
    else
        payload.resize(18, 0x00); // still a full-size frame, so only the status tells the refusal
    ex.respond(payload);
}

} // namespace

Bytes EncodeUiPreset(const UiPreset& preset)
{
    Bytes out;
    out.push_back(preset.headerByte);
    PutLe32(out, preset.headerWord);
    for (const auto& band : preset.bands) {
        out.push_back(band.first);
        out.push_back(band.second);
        PutLe32(out, band.frequency);
        PutLe32(out, band.gain);
        PutLe32(out, band.q);
        PutLe32(out, band.fourth);
    }
    return out;
}

std::optional<UiPreset> DecodeUiPreset(const Bytes& bytes)
{
    if (bytes.size() < 5 || (bytes.size() - 5) % 18 != 0 || (bytes.size() - 5) / 18 > kMaxUiBands)
        return std::nullopt;
    UiPreset preset;
    preset.headerByte = bytes[0];
    preset.headerWord = GetLe32(bytes.data() + 1);
    for (size_t at = 5; at < bytes.size(); at += 18) {
        UiBand band;
        band.first = bytes[at];
        band.second = bytes[at + 1];
        band.frequency = GetLe32(bytes.data() + at + 2);
        band.gain = GetLe32(bytes.data() + at + 6);
        band.q = GetLe32(bytes.data() + at + 10);
        band.fourth = GetLe32(bytes.data() + at + 14);
        preset.bands.push_back(band);
    }
    return preset;
}

std::string CheckCoefficientBlob(const Bytes& blob)
{
    static const uint8_t rates[] = {1, 2, 5, 6};
    if (blob.size() < 4 || blob[0] != 0x04 || blob[1] || blob[2] || blob[3])
        return "coefficient blob does not start with 04 00 00 00";
    size_t at = 4;
    for (uint8_t rate : rates) {
        if (at + 4 > blob.size())
            return "coefficient blob ends before rate " + std::to_string(rate);
        if (blob[at] != rate || blob[at + 1] != 0x00)
            return "coefficient block " + Hex8(blob[at]) + " where rate " + std::to_string(rate) + " belongs";
        const size_t count = size_t(blob[at + 2] | blob[at + 3] << 8);
        at += 4 + 2 * count;
        if (at > blob.size())
            return "coefficient block of rate " + std::to_string(rate) + " is cut short";
    }
    if (at != blob.size())
        return "coefficient blob has " + std::to_string(blob.size() - at) + " bytes too many";
    return {};
}

void ResetToFactory(State& s, int deviceType)
{
    const auto store = std::move(s.store);
    const int resets = s.factoryResets;
    const int pairings = s.pairings;
    auto hook = std::move(s.refuseWhen);
    s = State();
    s.refuseWhen = std::move(hook);
    s.factoryResets = resets;
    s.pairings = pairings;
    (void)store; // a factory reset restores the built-in presets too

    if (StoresPeq(deviceType)) {
        for (uint8_t slot = 0; slot < 4; ++slot) {
            UiPreset preset;
            for (int i = 0; i < kBandsPerUserEq; ++i) {
                UiBand band;
                band.first = uint8_t(i);
                band.second = 0x02;
                band.frequency = kBandFrequencies[i] * 100;
                band.gain = 0;
                preset.bands.push_back(band);
            }
            s.store[UiKey(slot)] = EncodeUiPreset(preset);
        }
    }
    if (deviceType == 3) {
        for (int eq = 0; eq < kUserEqCount; ++eq) {
            std::vector<Biquad> bands;
            for (int i = 0; i < kBandsPerUserEq; ++i) {
                Biquad band;
                band.bandId = uint8_t(0x10 + i); // the headset's own numbering, not the position
                band.frequency = float(kBandFrequencies[i]);
                bands.push_back(band);
            }
            s.userEqs[eq] = bands;
        }
    }
}

// Lets State::refuseWhen turn any request into a refusal before the handler sees it.
Handler WithRefusalHook(void (*handler)(Exchange&))
{
    return [handler](Exchange& ex) {
        State& s = StateOf(ex);
        if (s.refuseWhen) {
            if (const uint8_t status = s.refuseWhen(ex.request()))
                ex.device().refuse(ex.request().commandId, status, 1);
        }
        handler(ex);
    };
}

State& Install(Headset& device)
{
    State& s = device.state<State>();
    ResetToFactory(s, device.deviceType());

    device.setHandler(kSetParameter, WithRefusalHook(OnSetParameter));
    device.setHandler(kGetParameter, WithRefusalHook(OnGetParameter));
    device.setHandler(kPoweredOn, WithRefusalHook(OnPoweredOn));
    device.setHandler(kSetSetting, WithRefusalHook(OnSetSetting));
    device.setHandler(kGetSetting, WithRefusalHook(OnGetSetting));
    device.setHandler(kReadiness, WithRefusalHook(OnReadiness));
    device.setHandler(kSystem, WithRefusalHook(OnSystem));
    device.setDongleHandler(kSystem, WithRefusalHook(OnDongleSystem));
    device.setHandler(kRealtimeEq, WithRefusalHook(OnRealtimeEq));
    device.setHandler(kNvReclaim, WithRefusalHook(OnNvReclaim));
    device.setHandler(kNvSave, WithRefusalHook(OnNvSave));
    device.setHandler(kNvRead, WithRefusalHook(OnNvRead));
    if (device.deviceType() == 3)
        device.setHandler(kAncGroup, WithRefusalHook(OnAncGroup));
    // Battery and firmware versions: the emulator's own handlers (Headset::batteryLevel,
    // firmwareVersion, dongleFirmwareVersion).
    return s;
}

std::string Describe(const Request& rq)
{
    std::string text;
    const uint8_t b6 = rq.at(6);
    switch (rq.commandId) {
    case kSetParameter:
    case kGetParameter: {
        const char* name = ParameterName(b6);
        text = rq.commandId == kSetParameter ? "set " : "get ";
        text += name ? name : "param_" + Hex8(b6);
        if (rq.commandId == kSetParameter)
            text += " " + std::to_string(rq.at(8));
        break;
    }
    case kSetSetting:
    case kGetSetting: {
        const char* name = SettingName(b6);
        text = rq.commandId == kSetSetting ? "set " : "get ";
        text += name ? name : "setting_" + Hex8(b6);
        if (rq.commandId == kSetSetting) {
            if (b6 == kSettingAutoPowerOff)
                text += " " + std::to_string(rq.at(10) | rq.at(11) << 8);
            else
                text += " " + std::to_string(rq.at(8));
        }
        break;
    }
    case kPoweredOn: text = "get powered_on"; break;
    case kAncGroup:
        switch (b6) {
        case kAncSetMode: text = "set anc_mode " + std::to_string(rq.at(7)); break;
        case kAncGetMode: text = "get anc_mode"; break;
        case kAncSetUserEq: text = "set user_eq " + std::to_string(rq.at(7)); break;
        case kAncGetUserEq: text = "get user_eq"; break;
        case kAncSetBiquad: text = "set user_biquad " + std::to_string(rq.at(7)) + " " + Hex8(rq.at(8)); break;
        case kAncGetBiquads: text = "get user_biquads " + std::to_string(rq.at(7)); break;
        default: text = "anc_" + Hex8(b6);
        }
        break;
    case kBattery: text = "get battery"; break;
    case kFirmwareVersion: text = "get fw_version"; break;
    case kReadiness: text = "get tvq_ready"; break;
    case kSystem:
        text = b6 == kActionFactoryReset ? "factory_reset" : b6 == kActionPairing ? "pairing" : "system_" + Hex8(b6);
        break;
    case kRealtimeEq: text = "eq realtime " + std::to_string(rq.frame.size() > 7 ? rq.frame.size() - 7 : 0); break;
    case kNvReclaim: text = "nv reclaim " + std::to_string(rq.at(6) | rq.at(7) << 8); break;
    case kNvSave:
        text = "nv save " + Hex16(uint16_t(rq.at(6) | rq.at(7) << 8)) + " " +
               std::to_string(rq.frame.size() > 8 ? rq.frame.size() - 8 : 0);
        break;
    case kNvRead: text = "nv read " + Hex16(uint16_t(rq.at(6) | rq.at(7) << 8)); break;
    default: text = "cmd " + Hex16(rq.commandId);
    }
    if (rq.target == Target::Dongle)
        text += " @dongle";
    return text;
}

std::vector<std::string> DecodedLog(const Headset& device)
{
    std::vector<std::string> lines;
    for (const auto& request : device.requests())
        lines.push_back(Describe(request));
    return lines;
}

} // namespace HidEmu::Kestrin
