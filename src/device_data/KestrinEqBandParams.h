#pragma once

namespace DeviceData {

// One EQ band as the models see it: centre frequency in Hz and gain in dB (-12..12 in the models).
struct KestrinEqBandParams {
    int freq = 0;
    int gain = 0;

    KestrinEqBandParams() = default;
    KestrinEqBandParams(int frequency, int gainDb)
        : freq(frequency)
        , gain(gainDb)
    {
    }

    int getFreq() const { return freq; }
    int getGain() const { return gain; }
    void setGain(int gainDb) { gain = gainDb; }

    friend bool operator==(const KestrinEqBandParams& a, const KestrinEqBandParams& b)
    {
        return a.freq == b.freq && a.gain == b.gain;
    }
    friend bool operator!=(const KestrinEqBandParams& a, const KestrinEqBandParams& b) { return !(a == b); }
};

} // namespace DeviceData
