#pragma once

#include "device_data/KestrinEqBandParams.h"

#include <QAbstractListModel>

#include <vector>

namespace DeviceModels {
class KestrinDeviceModel;
}

namespace UIModels {

// One row per band of the headset's current EQ preset. Custom presets (those the device model
// holds bands for) are editable through setData; the built-in presets come from a fixed table
// and are read-only.
class UIKesEqBandsModel final : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int minGain READ getMinGain CONSTANT)
    Q_PROPERTY(int maxGain READ getMaxGain CONSTANT)
    Q_PROPERTY(bool isEqCustom READ isEqCustom NOTIFY isEqCustomChanged)

public:
    enum Roles { freqRole = Qt::UserRole + 1, gainRole };

    UIKesEqBandsModel(DeviceModels::KestrinDeviceModel& model, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QHash<int, QByteArray> roleNames() const override;

    static constexpr int MinGain = -12;
    static constexpr int MaxGain = 12;
    int getMinGain() const { return MinGain; }
    int getMaxGain() const { return MaxGain; }
    bool isEqCustom() const { return m_custom; }

    // Sets every band of the current custom preset to 0 dB.
    Q_INVOKABLE void resetEq();

    // Reloads the rows for the device model's current preset.
    void reset();
    // Takes the device model's gain of one band (below rowCount()) and signals it.
    void updateBand(size_t band);

    // The fixed bands of the current built-in preset (1..6); empty for any other index.
    std::vector<DeviceData::KestrinEqBandParams> getBuitInModelData() const;
    static std::vector<DeviceData::KestrinEqBandParams> BuiltInPreset(int eqIndex);

signals:
    void isEqCustomChanged();

private:
    bool isRow(const QModelIndex& index) const;

    DeviceModels::KestrinDeviceModel& m_model;
    std::vector<DeviceData::KestrinEqBandParams> m_rows;
    bool m_custom = false;
};

} // namespace UIModels
