#pragma once

// Our parametric-EQ coefficient layer: computes the headset's real-time EQ filters from the bands
// of a preset. It keeps the call shape the headset firmware's tools use (an instance number on
// every call; parameters, points, generate, rescale, read, destroy) so that the blob layout built
// on top of it (KestrinConverters::GetCoefBytes) stays the one the headset stores.
//
// Filters: one peaking biquad per band, by the audio-EQ cookbook (RBJ) formulas, with the band's
// third parameter as the filter's Q. Coefficient words of one sample rate, all 16-bit:
//
//   word 0                 n, the number of sections (one per band, in band order)
//   words 1 + 10 s ...     section s: b0, b1, b2, a1, a2, each a signed 32-bit fixed-point value
//                          with 28 fraction bits (Q3.28, range [-8, 8)), low word first
//
// a0 is normalised to 1: y[k] = b0 x[k] + b1 x[k-1] + b2 x[k-2] - a1 y[k-1] - a2 y[k-2].
// A band that cannot be realised at the sample rate (frequency not strictly between 0 and half the
// rate, Q not positive, any value not finite) gets a pass-through section (b0 = 1, all others 0),
// and values beyond the format's range saturate.
//
// Instances 0 to 3 exist; each keeps its state between calls. Calls are not synchronised: one
// caller drives an instance through a complete sequence at a time.

#include <cstdint>

namespace Devices {
namespace Peq {

constexpr int c_instances = 4;
constexpr int c_fractionBits = 28;
constexpr int c_wordsPerSection = 10;
constexpr int c_maxBands = 32;

// Starts a configuration: sample rate in Hz, number of bands (0..32), the word-format version
// (1, the format above), flags (0) and a reserved value (0). Returns 0, or -1 for a bad argument
// (the instance then produces no coefficients).
int setParam(int instance, double sampleRate, int bandCount, int formatVersion, int flags, int reserved);
// Sets band `band` (0-based): centre frequency in Hz, gain in dB, Q. Returns 0 or -1.
int set_peq_point(int instance, int band, double frequency, double gainDb, double q);
// Computes and quantises the filters. Returns 0, or -1 when the instance is not configured.
int generate_cofe(int instance);
// Applies an overall gain in dB (0.0: none) to the generated filters and quantises them again.
int change_rescale_cofe(int instance, double gainDb);
// The number of coefficient words, 0 before generate_cofe.
uint16_t get_cofe_count(int instance);
// The coefficient words (two's complement), valid until the next call on the instance; null
// before generate_cofe.
const uint16_t* get_cofe_param(int instance);
// Forgets the instance's configuration and coefficients.
int destroy(int instance);

// Reads the value of a fixed-point coefficient back from its two words.
double WordsToCoefficient(uint16_t low, uint16_t high);

} // namespace Peq
} // namespace Devices
