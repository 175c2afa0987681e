#include "device_models/KestrinDeviceModel.h"

#include "core/GlobalLogger.h"
#include "device_models/KestrinDeviceModelBuffer.h"
#include "devices/IKestrinDeviceMain.h"

#include <algorithm>
#include <map>
#include <utility>

// EQ presets of the headset device model: the band gains of the cached presets, their edits
// through the write queue, loading a preset on the worker, and the factory reset, which reads the
// cached presets back.

namespace DeviceModels {

using DeviceData::KestrinEqBandParams;

namespace {

constexpr int MinEqGain = -12;
constexpr int MaxEqGain = 12;

} // namespace

int KestrinDeviceModel::getEqBandGain(size_t band) const
{
    return getEqBandGain(getCurrentEqIndex(), band);
}

int KestrinDeviceModel::getEqBandGain(uint8_t eqIndex, size_t band) const
{
    const auto it = m_eqCache.find(eqIndex);
    if (it == m_eqCache.end() || band >= it->second.size())
        return 0;
    return it->second[band].gain;
}

bool KestrinDeviceModel::setEqBandGain(size_t band, int gain)
{
    return setEqBandGain(getCurrentEqIndex(), band, gain);
}

bool KestrinDeviceModel::setEqBandGain(uint8_t eqIndex, size_t band, int gain)
{
    if (gain < MinEqGain || gain > MaxEqGain)
        return false;
    const auto it = m_eqCache.find(eqIndex);
    if (it == m_eqCache.end() || band >= it->second.size())
        return false;
    if (it->second[band].gain == gain)
        return true;
    it->second[band].setGain(gain);
    m_buffer->setEqBands(eqIndex, it->second);
    emit sigEqBandChanged(eqIndex, band);
    return true;
}

bool KestrinDeviceModel::setEqBandsGains(const std::vector<int>& gains)
{
    return setEqBandsGains(getCurrentEqIndex(), gains);
}

bool KestrinDeviceModel::setEqBandsGains(uint8_t eqIndex, const std::vector<int>& gains)
{
    const auto it = m_eqCache.find(eqIndex);
    if (it == m_eqCache.end() || gains.size() != it->second.size())
        return false;
    if (std::any_of(gains.begin(), gains.end(), [](int gain) { return gain < MinEqGain || gain > MaxEqGain; }))
        return false;

    EqBands bands = it->second;
    std::vector<size_t> changed;
    for (size_t band = 0; band < bands.size(); ++band) {
        if (bands[band].gain != gains[band]) {
            bands[band].setGain(gains[band]);
            changed.push_back(band);
        }
    }
    if (changed.empty())
        return true;
    m_buffer->setEqBands(eqIndex, bands);
    it->second = std::move(bands);
    for (size_t band : changed)
        emit sigEqBandChanged(eqIndex, band);
    return true;
}

bool KestrinDeviceModel::loadEqBands(std::vector<KestrinEqBandParams>& out)
{
    return loadEqBands(getCurrentEqIndex(), out);
}

bool KestrinDeviceModel::loadEqBands(uint8_t eqIndex, std::vector<KestrinEqBandParams>& out)
{
    const auto it = m_eqCache.find(eqIndex);
    if (it == m_eqCache.end()) {
        // Reading a preset may take the headset several exchanges: the worker does it.
        requestEqBands(eqIndex);
        return false;
    }
    out = it->second;
    return true;
}

void KestrinDeviceModel::requestEqBands(uint8_t eqIndex)
{
    if (!m_devMain || std::find(m_eqRequests.begin(), m_eqRequests.end(), eqIndex) != m_eqRequests.end())
        return;
    m_eqRequests.push_back(eqIndex);
    Devices::IKestrinDeviceMain* const devMain = m_devMain;
    runOnWorker(
        [devMain, eqIndex] {
            std::pair<bool, EqBands> loaded;
            loaded.first = devMain->loadEqBands(eqIndex, loaded.second);
            return loaded;
        },
        [this, eqIndex](const std::pair<bool, EqBands>& loaded) {
            m_eqRequests.erase(std::remove(m_eqRequests.begin(), m_eqRequests.end(), eqIndex), m_eqRequests.end());
            // A preset cached meanwhile holds the user's edits: those win.
            if (loaded.first && m_eqCache.find(eqIndex) == m_eqCache.end())
                takeEqBands(eqIndex, loaded.second, false);
        });
}

// Caches a preset as the headset holds it. With `signalChanges` an already cached preset of the
// same band count announces each band that changed; otherwise the whole preset is announced.
void KestrinDeviceModel::takeEqBands(uint8_t eqIndex, EqBands bands, bool signalChanges)
{
    for (auto& band : bands)
        band.setGain(std::clamp(band.gain, MinEqGain, MaxEqGain));
    const auto it = m_eqCache.find(eqIndex);
    if (signalChanges && it != m_eqCache.end() && it->second.size() == bands.size()) {
        std::vector<size_t> changed;
        for (size_t band = 0; band < bands.size(); ++band) {
            if (!(bands[band] == it->second[band]))
                changed.push_back(band);
        }
        it->second = std::move(bands);
        for (size_t band : changed)
            emit sigEqBandChanged(eqIndex, band);
        return;
    }
    m_eqCache[eqIndex] = std::move(bands);
    emit sigEqBandsLoaded(eqIndex);
}

namespace {

struct ResetOutcome {
    bool succeeded = false;
    // The cached presets as the headset holds them after the reset.
    std::map<uint8_t, std::vector<KestrinEqBandParams>> bands;
};

} // namespace

bool KestrinDeviceModel::factoryReset()
{
    if (!m_devMain)
        return false;
    Devices::IKestrinDeviceMain* const devMain = m_devMain;
    std::vector<uint8_t> presets;
    for (const auto& entry : m_eqCache)
        presets.push_back(entry.first);
    runOnWorker(
        [devMain, presets] {
            ResetOutcome outcome;
            outcome.succeeded = devMain->factoryReset();
            if (outcome.succeeded) {
                for (uint8_t preset : presets) {
                    std::vector<KestrinEqBandParams> bands;
                    if (devMain->loadEqBands(preset, bands))
                        outcome.bands.emplace(preset, std::move(bands));
                }
            }
            return outcome;
        },
        [this](const ResetOutcome& outcome) {
            if (!outcome.succeeded) {
                GlobalLogger::Instance()->message(QtWarningMsg, "Factory reset failed.");
                emit sigFactoryResetFinished(false);
                return;
            }
            GlobalLogger::Instance()->message(QtDebugMsg, "Factory reset done, showing the headset's defaults.");
            // The headset is back at its defaults: show what it holds now, not what it held.
            takeDeviceSettings();
            std::vector<uint8_t> presets;
            for (const auto& entry : m_eqCache)
                presets.push_back(entry.first);
            for (uint8_t preset : presets) {
                const auto found = outcome.bands.find(preset);
                if (found != outcome.bands.end()) {
                    takeEqBands(preset, found->second, true);
                } else {
                    // Not read back: forget it, so that it is read again when next shown.
                    m_eqCache.erase(preset);
                    requestEqBands(preset);
                }
            }
            emit sigFactoryResetFinished(true);
        },
        true);
    return true;
}

} // namespace DeviceModels
