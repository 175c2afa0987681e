#include "devices/PeqCoefficients.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Devices {
namespace Peq {

namespace {

struct Band {
    double frequency = 0.0;
    double gainDb = 0.0;
    double q = 0.0;
};

struct Section {
    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};

struct Instance {
    bool configured = false;
    double sampleRate = 0.0;
    std::vector<Band> bands;
    std::vector<Section> sections;
    std::vector<uint16_t> words;
};

Instance g_instances[c_instances];

Instance* Find(int instance)
{
    return instance >= 0 && instance < c_instances ? &g_instances[instance] : nullptr;
}

Section Peaking(const Band& band, double sampleRate)
{
    const double nyquist = sampleRate / 2.0;
    if (!std::isfinite(sampleRate) || !std::isfinite(band.frequency) || !std::isfinite(band.gainDb) ||
        !std::isfinite(band.q) || sampleRate <= 0.0 || band.frequency <= 0.0 || band.frequency >= nyquist ||
        band.q <= 0.0)
        return Section{};
    const double a = std::pow(10.0, band.gainDb / 40.0);
    const double w0 = 2.0 * M_PI * band.frequency / sampleRate;
    const double alpha = std::sin(w0) / (2.0 * band.q);
    const double cosW0 = std::cos(w0);
    const double a0 = 1.0 + alpha / a;
    Section s;
    s.b0 = (1.0 + alpha * a) / a0;
    s.b1 = (-2.0 * cosW0) / a0;
    s.b2 = (1.0 - alpha * a) / a0;
    s.a1 = (-2.0 * cosW0) / a0;
    s.a2 = (1.0 - alpha / a) / a0;
    return s;
}

void AppendFixed(std::vector<uint16_t>& words, double value)
{
    const double scaled = std::round(value * double(1 << c_fractionBits));
    const double clamped = std::clamp(scaled, double(INT32_MIN), double(INT32_MAX));
    const uint32_t bits = static_cast<uint32_t>(static_cast<int32_t>(std::isfinite(clamped) ? clamped : 0.0));
    words.push_back(static_cast<uint16_t>(bits & 0xFFFF));
    words.push_back(static_cast<uint16_t>(bits >> 16));
}

void Quantise(Instance& inst)
{
    inst.words.clear();
    inst.words.reserve(1 + inst.sections.size() * c_wordsPerSection);
    inst.words.push_back(static_cast<uint16_t>(inst.sections.size()));
    for (const Section& s : inst.sections) {
        AppendFixed(inst.words, s.b0);
        AppendFixed(inst.words, s.b1);
        AppendFixed(inst.words, s.b2);
        AppendFixed(inst.words, s.a1);
        AppendFixed(inst.words, s.a2);
    }
}

} // namespace

int setParam(int instance, double sampleRate, int bandCount, int formatVersion, int flags, int reserved)
{
    Instance* inst = Find(instance);
    if (!inst)
        return -1;
    *inst = Instance{};
    if (bandCount < 0 || bandCount > c_maxBands || formatVersion != 1 || flags != 0 || reserved != 0)
        return -1;
    inst->configured = true;
    inst->sampleRate = sampleRate;
    inst->bands.assign(size_t(bandCount), Band{});
    return 0;
}

int set_peq_point(int instance, int band, double frequency, double gainDb, double q)
{
    Instance* inst = Find(instance);
    if (!inst || !inst->configured || band < 0 || size_t(band) >= inst->bands.size())
        return -1;
    inst->bands[size_t(band)] = Band{frequency, gainDb, q};
    return 0;
}

int generate_cofe(int instance)
{
    Instance* inst = Find(instance);
    if (!inst || !inst->configured)
        return -1;
    inst->sections.clear();
    for (const Band& band : inst->bands)
        inst->sections.push_back(Peaking(band, inst->sampleRate));
    Quantise(*inst);
    return 0;
}

int change_rescale_cofe(int instance, double gainDb)
{
    Instance* inst = Find(instance);
    if (!inst || inst->words.empty() || !std::isfinite(gainDb))
        return -1;
    if (gainDb != 0.0 && !inst->sections.empty()) {
        const double factor = std::pow(10.0, gainDb / 20.0);
        Section& first = inst->sections.front();
        first.b0 *= factor;
        first.b1 *= factor;
        first.b2 *= factor;
        Quantise(*inst);
    }
    return 0;
}

uint16_t get_cofe_count(int instance)
{
    Instance* inst = Find(instance);
    return inst ? static_cast<uint16_t>(inst->words.size()) : 0;
}

const uint16_t* get_cofe_param(int instance)
{
    Instance* inst = Find(instance);
    return inst && !inst->words.empty() ? inst->words.data() : nullptr;
}

int destroy(int instance)
{
    Instance* inst = Find(instance);
    if (!inst)
        return -1;
    *inst = Instance{};
    return 0;
}

double WordsToCoefficient(uint16_t low, uint16_t high)
{
    const int32_t bits = static_cast<int32_t>(uint32_t(low) | (uint32_t(high) << 16));
    return double(bits) / double(1 << c_fractionBits);
}

} // namespace Peq
} // namespace Devices
