#include "ui_models/UIKesEqBandsModel.h"

#include "device_models/KestrinDeviceModel.h"

#include <array>

namespace UIModels {

namespace {

constexpr std::array<int, 10> c_builtin_freqs = {32, 64, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};

// Gains of the built-in presets 1..6, in the order of c_builtin_freqs.
constexpr std::array<std::array<int, 10>, 6> c_builtin_gains = {{
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},      // Velmor
    {0, 0, 0, 0, 0, 0, 0, 1, 2, 1},      // Treble Boost
    {3, 2, 0, 0, 0, 0, 0, 0, 0, 0},      // Bass Boost
    {3, 2, 0, 0, 0, 0, 0, 1, 2, 1},      // Immersive
    {-5, -5, -4, -2, 0, 0, 0, 4, -3, 2}, // Competition
    {-1, -1, 3, 0, 0, 1, 4, 3, 0, 2},    // Footsteps
}};

} // namespace

UIKesEqBandsModel::UIKesEqBandsModel(DeviceModels::KestrinDeviceModel& model, QObject* parent)
    : QAbstractListModel(parent)
    , m_model(model)
{
}

bool UIKesEqBandsModel::isRow(const QModelIndex& index) const
{
    return index.isValid() && !index.parent().isValid() && index.column() == 0 && index.row() >= 0 &&
           size_t(index.row()) < m_rows.size();
}

int UIKesEqBandsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant UIKesEqBandsModel::data(const QModelIndex& index, int role) const
{
    if (!isRow(index))
        return {};
    const auto& band = m_rows[size_t(index.row())];
    switch (role) {
    case freqRole: return band.getFreq();
    case gainRole: return band.getGain();
    default: return {};
    }
}

bool UIKesEqBandsModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!isRow(index) || role != gainRole || !m_custom)
        return false;
    bool ok = false;
    const int gain = value.toInt(&ok);
    if (!ok)
        return false;
    // The row follows through updateBand once the device model has taken the gain.
    return m_model.setEqBandGain(size_t(index.row()), gain);
}

QHash<int, QByteArray> UIKesEqBandsModel::roleNames() const
{
    static const QHash<int, QByteArray> names = {
        {freqRole, QByteArrayLiteral("freqRole")},
        {gainRole, QByteArrayLiteral("gainRole")},
    };
    return names;
}

void UIKesEqBandsModel::resetEq()
{
    m_model.setEqBandsGains(std::vector<int>(m_rows.size(), 0));
}

void UIKesEqBandsModel::reset()
{
    std::vector<DeviceData::KestrinEqBandParams> rows;
    if (!m_model.loadEqBands(rows))
        rows.clear();

    const bool custom = !rows.empty();
    if (custom != m_custom) {
        m_custom = custom;
        emit isEqCustomChanged();
    }
    if (rows.empty())
        rows = getBuitInModelData();

    if (rows.size() == m_rows.size()) {
        m_rows = std::move(rows);
        if (!m_rows.empty())
            emit dataChanged(index(0), index(int(m_rows.size()) - 1), {freqRole, gainRole});
    } else {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
}

void UIKesEqBandsModel::updateBand(size_t band)
{
    if (band >= m_rows.size())
        return;
    m_rows[band].setGain(m_model.getEqBandGain(band));
    const QModelIndex changed = index(int(band));
    emit dataChanged(changed, changed, {gainRole});
}

std::vector<DeviceData::KestrinEqBandParams> UIKesEqBandsModel::BuiltInPreset(int eqIndex)
{
    std::vector<DeviceData::KestrinEqBandParams> bands;
    if (eqIndex < 1 || eqIndex > int(c_builtin_gains.size()))
        return bands;
    const auto& gains = c_builtin_gains[size_t(eqIndex - 1)];
    bands.reserve(c_builtin_freqs.size());
    for (size_t i = 0; i < c_builtin_freqs.size(); ++i)
        bands.emplace_back(c_builtin_freqs[i], gains[i]);
    return bands;
}

std::vector<DeviceData::KestrinEqBandParams> UIKesEqBandsModel::getBuitInModelData() const
{
    return BuiltInPreset(m_model.getCurrentEqIndex());
}

} // namespace UIModels
