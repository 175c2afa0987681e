#pragma once

// The headset family's full command set for the emulated headset: settings, status, versions,
// sensors, system actions, the noise-cancelling group with the ANC model's user EQs, and the
// non-volatile EQ store. Install() replaces the emulator's default handlers; the state lives in
// the device (Headset::state<Kestrin::State>()) and tests read or preset it directly.
//
//     auto headset = HidEmu::Plug(0x4B2A);
//     auto& state = HidEmu::Kestrin::Install(*headset);
//     state.vpLevel = 9;
//     ... run the host code ...
//     QCOMPARE(HidEmu::Kestrin::DecodedLog(*headset).front(), "get powered_on");
//
// Every handler answers with Exchange::status(), so Headset::refuse(id, status) turns any command
// into a refusal.

#include "../HidEmulator.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace HidEmu::Kestrin {

// Command ids as they appear on the wire (little-endian in bytes 4..5).
constexpr uint16_t kSetParameter = 0x0900;
constexpr uint16_t kGetParameter = 0x0901;
constexpr uint16_t kPoweredOn = 0x2C80;
constexpr uint16_t kSetSetting = 0x2C82;
constexpr uint16_t kGetSetting = 0x2C83;
constexpr uint16_t kAncGroup = 0x2E30;
constexpr uint16_t kBattery = 0x0CD6;
constexpr uint16_t kFirmwareVersion = 0x1C07;
constexpr uint16_t kReadiness = 0x0002;
constexpr uint16_t kSystem = 0x1101;
constexpr uint16_t kRealtimeEq = 0x0E03;
constexpr uint16_t kNvReclaim = 0x0A03;
constexpr uint16_t kNvSave = 0x0A0D;
constexpr uint16_t kNvRead = 0x0A0C;

// Status codes the emulated headset answers with on its own (injected refusals use any value).
constexpr uint8_t kStatusUnsupported = 0x01;
constexpr uint8_t kStatusBadData = 0x02;
constexpr uint8_t kStatusNotFound = 0x03;

// One band of a stored custom preset, in the headset's units (hundredths).
struct UiBand {
    uint8_t first = 0;
    uint8_t second = 0;
    int32_t frequency = 0; // Hz x 100
    int32_t gain = 0;      // dB x 100
    int32_t q = 70;        // x 100
    int32_t fourth = 0;
};

// A stored custom preset: the UI block of the EQ store.
struct UiPreset {
    uint8_t headerByte = 0x0A;
    int32_t headerWord = 1;
    std::vector<UiBand> bands;
};

Bytes EncodeUiPreset(const UiPreset& preset);
// Empty optional when the bytes are not a well-formed UI block.
std::optional<UiPreset> DecodeUiPreset(const Bytes& bytes);

// Checks a coefficient blob: 04 00 00 00, then one block per sample rate 1, 2, 5, 6, each
// "rate 00 count(le16) count x le16". Returns an empty string when well formed, else the fault.
std::string CheckCoefficientBlob(const Bytes& blob);

// One user-EQ band of the ANC model.
struct Biquad {
    uint8_t bandId = 0;
    uint8_t filterType = 6;
    float frequency = 0.0f;
    float middle = 0.7f;
    float gain = 0.0f;
};

// Storage keys of custom slot k.
constexpr uint16_t UiKey(uint8_t slot)
{
    return uint16_t(0xEF00 + slot);
}
constexpr uint16_t CoefficientKey(uint8_t slot)
{
    return uint16_t(0xE42C + slot);
}

struct State {
    // 0x0900 / 0x0901 parameters. The EQ index uses the program's numbering (1..10); the ANC
    // model reports it one lower through its user-EQ query.
    uint8_t eqIndex = 1;
    uint8_t vpLevel = 11;
    bool micMuted = false;
    uint8_t noiseReduction = 1;
    uint8_t earcupBalance = 128;
    uint8_t ampGain = 136;
    uint8_t leftGain = 100;
    uint8_t rightGain = 100;
    uint8_t sidetoneLevel = 5;
    uint8_t maxSidetoneLevel = 25;
    uint8_t sensors = 0;  // the last value written: rate, plus 0x80 while enabled
    bool newFilm = false; // answered by the first model only
    uint8_t micLevel = 7;

    // 0x2C82 / 0x2C83 settings and the powered-on query.
    uint8_t gameChatMix = 10;
    bool sidetoneOn = false;
    uint16_t autoPowerOff = 1800;
    bool poweredOn = true;

    // Noise-cancelling group (ANC model only).
    uint8_t ancMode = 0;
    std::map<int, std::vector<Biquad>> userEqs; // user EQ number (0..9) -> bands

    bool tvqReady = true;

    // EQ store (kestrin, kestrin_2): key -> block.
    std::map<uint16_t, Bytes> store;
    Bytes realtimeCoefficients;           // the coefficients last made audible
    std::optional<uint16_t> reclaimed;    // the size the last reclaim prepared, until a save uses it
    std::vector<std::string> storeFaults; // structural faults found in uploads (answered status 2)

    int factoryResets = 0;
    int pairings = 0;

    // Sensors: on enabling, this many unrelated reports (id 5) come before the first sample;
    // with sampleOnEnable false no sample comes at all.
    int reportsBeforeSample = 0;
    bool sampleOnEnable = true;

    // Replaces the ANC reply of a get-mode request with this raw mode byte (out-of-range tests).
    std::optional<uint8_t> reportedAncMode;

    // Test hook, asked before every request is handled: a non-zero result refuses that request
    // with this status, as Headset::refuse would.
    std::function<uint8_t(const Request&)> refuseWhen;
};

// Installs every handler on the device and resets its state to the factory values of its type.
State& Install(Headset& device);
// The factory values for a device type (1..3): what a factory reset restores.
void ResetToFactory(State& state, int deviceType);

// A readable line per request: "get vp_level", "set sidetone_level 12", "nv save EF07 185", ...
// Requests addressed to the dongle itself end in " @dongle".
std::string Describe(const Request& request);
std::vector<std::string> DecodedLog(const Headset& device);

} // namespace HidEmu::Kestrin
