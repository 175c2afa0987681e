// EQ presets of the real headset: the caches of the custom presets, reading them from the
// headset, and storing edited ones (a whole preset on kestrin and kestrin_2, one filter per band on
// kestrin_2_anc).

#include "devices/KestrinDeviceImplPrivate.h"

#include "core/GlobalLogger.h"

#include <QThread>

#include <cmath>
#include <limits>

namespace Devices {

namespace {

// The pause that lets a kestrin_2 headset pick up a freshly stored preset before its voice
// prompts come back.
constexpr unsigned long c_eqReloadPauseMs = 1000;

// A band value of the ANC headset, truncated toward zero. The floats come from the headset as they
// are: one that no int can hold gives the nearest int (0 for not-a-number), because converting it
// directly is undefined.
int TruncatedToInt(float value)
{
    if (std::isnan(value))
        return 0;
    const double truncated = std::trunc(double(value));
    if (truncated >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (truncated <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(truncated);
}

} // namespace

bool KestrinDeviceImpl::Impl::updateEqBands(int slot)
{
    if (isAnc()) {
        Kestrin2AncEq record;
        if (!transport.readUserBiquad(uint8_t(slot + 6), record))
            return false;
        Utils::SpinGuard guard(cacheLock);
        ancEqCache[slot] = std::move(record);
        return true;
    }
    KestrinEq record;
    if (!transport.readEqBands(uint8_t(slot), record))
        return false;
    Utils::SpinGuard guard(cacheLock);
    peqCache[slot] = std::move(record);
    return true;
}

bool KestrinDeviceImpl::Impl::hasCachedSlot(int slot)
{
    Utils::SpinGuard guard(cacheLock);
    return isAnc() ? ancEqCache.count(slot) != 0 : peqCache.count(slot) != 0;
}

bool KestrinDeviceImpl::Impl::uploadEqBands(uint8_t eqIndex, const std::vector<DeviceData::KestrinEqBandParams>& bands)
{
    int slot = 0;
    if (!getCustomEqId(eqIndex, slot))
        return false;

    KestrinEq updated;
    {
        Utils::SpinGuard guard(cacheLock);
        const auto found = peqCache.find(slot);
        if (found == peqCache.end())
            return false;
        updated = found->second;
    }
    if (updated.bands.size() != bands.size())
        return false;

    // The user edits whole Hz and dB while the headset keeps hundredths: a band the user did not
    // touch keeps its exact stored values, so saving one band never rounds the others.
    for (size_t i = 0; i < bands.size(); ++i) {
        KestrinBandInfo& band = updated.bands[i];
        if (band.frequency / 100 != bands[i].getFreq())
            band.frequency = bands[i].getFreq() * 100;
        if (band.gain / 100 != bands[i].getGain())
            band.gain = bands[i].getGain() * 100;
    }

    if (!transport.writeEqBands(uint8_t(slot), updated))
        return false;

    if (type == DeviceType::kestrin_2 && !dongle)
        reloadPresetOnKestrin2();

    Utils::SpinGuard guard(cacheLock);
    peqCache[slot] = std::move(updated);
    return true;
}

// On a cabled kestrin_2 the preset index is written again so that the stored preset takes effect,
// with the voice prompts silenced meanwhile. The prompt level must come back: its restore is
// retried once and, failing that, read back so that the cache tells what the headset holds.
void KestrinDeviceImpl::Impl::reloadPresetOnKestrin2()
{
    uint8_t savedIndex = 0;
    uint8_t savedLevel = 0;
    {
        Utils::SpinGuard guard(cacheLock);
        savedIndex = uint8_t(settings[size_t(KestrinSetting::eqIndex)]);
        savedLevel = uint8_t(settings[size_t(KestrinSetting::vpLevel)]);
    }
    transport.writeVpLevel(0);
    transport.writePeqIndex(savedIndex);
    QThread::msleep(c_eqReloadPauseMs);
    if (transport.writeVpLevel(savedLevel) || transport.writeVpLevel(savedLevel))
        return;

    uint8_t actual = 0;
    if (transport.readVpLevel(actual)) {
        storeCached(settings[size_t(KestrinSetting::vpLevel)], uint16_t(actual));
        GlobalLogger::Instance()->message(QtWarningMsg,
                                          "voice-prompt level %u not restored after the EQ upload, the headset has %u",
                                          unsigned(savedLevel), unsigned(actual));
    } else {
        GlobalLogger::Instance()->message(QtWarningMsg,
                                          "voice-prompt level %u not restored after the EQ upload, and not read back",
                                          unsigned(savedLevel));
    }
}

bool KestrinDeviceImpl::loadEqBands(uint8_t eqIndex, std::vector<DeviceData::KestrinEqBandParams>& bands)
{
    int slot = 0;
    if (!m_valid || !Impl::getCustomEqId(eqIndex, slot))
        return false;
    if (!m_impl->hasCachedSlot(slot) && !m_impl->updateEqBands(slot))
        return false;

    Utils::SpinGuard guard(m_impl->cacheLock);
    bands.clear();
    if (m_impl->isAnc()) {
        const Kestrin2AncEq& record = m_impl->ancEqCache.at(slot);
        bands.reserve(record.bands.size());
        for (const auto& band : record.bands)
            bands.emplace_back(TruncatedToInt(band.frequency), TruncatedToInt(band.gain));
    } else {
        const KestrinEq& record = m_impl->peqCache.at(slot);
        bands.reserve(record.bands.size());
        for (const auto& band : record.bands)
            bands.emplace_back(band.frequency / 100, band.gain / 100);
    }
    return true;
}

bool KestrinDeviceImpl::writeUserEqBiquad(uint8_t eqIndex, uint8_t band, DeviceData::AncEqFilterType type,
                                          float frequency, float gain)
{
    int slot = 0;
    if (!Impl::getCustomEqId(eqIndex, slot))
        return false;

    uint8_t bandId = 0;
    float middle = 0.0f;
    {
        Utils::SpinGuard guard(m_impl->cacheLock);
        const auto found = m_impl->ancEqCache.find(slot);
        // The caller loads the preset first; an unknown preset or band has no middle value to
        // send, and guessing one would change the filter's shape.
        if (found == m_impl->ancEqCache.end() || band >= found->second.bands.size())
            return false;
        bandId = found->second.bands[band].bandId;
        middle = found->second.bands[band].middle;
    }

    if (!m_impl->transport.writeUserEqBiquad(uint8_t(eqIndex - 1), bandId, type, frequency, middle, gain))
        return false;

    Utils::SpinGuard guard(m_impl->cacheLock);
    auto found = m_impl->ancEqCache.find(slot);
    if (found != m_impl->ancEqCache.end() && band < found->second.bands.size()) {
        auto& record = found->second.bands[band];
        record.frequency = frequency;
        record.gain = gain;
        record.filterType = uint8_t(type);
    }
    return true;
}

} // namespace Devices
