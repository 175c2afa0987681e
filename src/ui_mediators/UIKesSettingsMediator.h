#pragma once

#include "core/DeviceType.h"

#include <QObject>
#include <QStringList>
#include <QStringListModel>
#include <QUrl>

#include <cstdint>

class Preferences;

namespace DeviceModels {
class KestrinDeviceModel;
}

namespace UIModels {
class UIKesEqBandsModel;
}

namespace UIMediators {

// The headset's settings as QML properties. Every write goes to the device model; the new value
// comes back through the model's change signal, so a refused write leaves the property as it was
// and notifies nothing. Also keeps the names of the four custom EQ presets (in the preferences,
// per model and hardware family) and saves and loads a preset as a "lvreq" file.
class UIKesSettingsMediator final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* eqBandsModel READ getEqBandsModel CONSTANT)
    Q_PROPERTY(QStringListModel* customEqsNamesModel READ getCustomEqsNamesModel CONSTANT)
    Q_PROPERTY(QStringList ancModes READ getAncModes CONSTANT)
    Q_PROPERTY(int gameChatMix READ getGameChatMix WRITE setGameChatMix NOTIFY gameChatMixChanged)
    Q_PROPERTY(int vpLevel READ getVpLevel WRITE setVpLevel NOTIFY vpLevelChanged)
    Q_PROPERTY(int balance READ getBalance WRITE setBalance NOTIFY balanceChanged)
    Q_PROPERTY(int currentEqIndex READ getEqIndex WRITE setEqIndex NOTIFY eqIndexChanged)
    Q_PROPERTY(int sidetoneLevel READ getSidetoneLevel WRITE setSidetoneLevel NOTIFY sidetoneLevelChanged)
    Q_PROPERTY(int maxSidetoneLevel READ getMaxSidetoneLevel NOTIFY maxSidetoneLevelChanged)
    Q_PROPERTY(int micLevel READ getMicLevel WRITE setMicLevel NOTIFY micLevelChanged)
    Q_PROPERTY(int micFilter READ getMicFilter WRITE setMicFilter NOTIFY micFilterChanged)
    Q_PROPERTY(int ancIndex READ getAncIndex WRITE setAncIndex NOTIFY ancIndexChanged)
    Q_PROPERTY(bool sidetone READ getSidetone WRITE setSidetone NOTIFY sidetoneChanged)
    Q_PROPERTY(bool volumeLimiter READ isVolumeLimiter WRITE setVolumeLimiter NOTIFY volumeLimiterChanged)
    Q_PROPERTY(Time shutdownTime READ getShutdownTime WRITE setShutdownTime NOTIFY shutdownTimeChanged)

public:
    // Auto power-off steps; TimeToSeconds gives each one's seconds.
    enum Time {
        Minutes_5 = 0,
        Minutes_10 = 1,
        Minutes_15 = 2,
        Minutes_30 = 3,
        Minutes_45 = 4,
        Hours_1 = 5,
        Hours_1_5 = 6,
        Hours_2 = 7,
        Hours_4 = 8,
        Hours_6 = 9,
        Never = 10,
    };
    Q_ENUM(Time)

    // Amplifier gains behind the volume limiter switch; a gain below 137 counts as limited.
    static constexpr uint8_t LimitedAmpGain = 136;
    static constexpr uint8_t UnlimitedAmpGain = 142;
    static constexpr int CustomEqCount = 4;
    static constexpr int FirstCustomEqIndex = 7;

    UIKesSettingsMediator(Preferences& preferences, DeviceModels::KestrinDeviceModel& model, QObject* parent);

    QObject* getEqBandsModel() const;
    UIModels::UIKesEqBandsModel* eqBands() const { return m_eqBands; }
    QStringListModel* getCustomEqsNamesModel() const { return m_names; }
    QStringList getAncModes() const;

    int getGameChatMix() const;
    void setGameChatMix(int value);
    int getVpLevel() const;
    void setVpLevel(int value);
    int getBalance() const;
    void setBalance(int value);
    int getEqIndex() const;
    void setEqIndex(int value);
    int getSidetoneLevel() const;
    void setSidetoneLevel(int value);
    int getMaxSidetoneLevel() const;
    int getMicLevel() const;
    void setMicLevel(int value);
    int getMicFilter() const;
    void setMicFilter(int value);
    int getAncIndex() const;
    void setAncIndex(int index);
    bool getSidetone() const;
    void setSidetone(bool on);
    bool isVolumeLimiter() const { return m_volumeLimiter; }
    void setVolumeLimiter(bool on);
    Time getShutdownTime() const { return m_shutdownTime; }
    void setShutdownTime(Time time);

    // Writes the current preset's gains, one signed byte per band, to the local file of `fileUrl`
    // (a name without a folder goes into `folderUrl`, the folder the file dialog showed).
    // The file is replaced only when everything was written; false on any failure.
    Q_INVOKABLE bool saveEqToFile(const QUrl& fileUrl, const QUrl& folderUrl = QUrl());
    // Sets the current preset's gains from such a file and names the preset after the file. A
    // file that does not fit the preset (size, a gain outside -12..12) is refused and nothing
    // changes.
    Q_INVOKABLE bool loadEqFromFile(const QUrl& fileUrl);
    // The name of the current custom preset; empty for a built-in one.
    Q_INVOKABLE QString getCurrentEqName() const;
    // Names custom preset 7 + index (index 0..3) and stores the four names.
    Q_INVOKABLE void setCustomEqName(int index, const QString& name);

    // A device has been loaded: take its names and tell every property it may be new.
    void onModelReady();

    static Time SecondsToTime(uint16_t seconds);
    static uint16_t TimeToSeconds(Time time);

    // Uncreatable QML type "UIKesSettingsMediator" in "Velmor.Enums" 1.0 (for the Time values).
    static void RegisterType();

signals:
    void gameChatMixChanged();
    void vpLevelChanged();
    void balanceChanged();
    void eqIndexChanged();
    void maxSidetoneLevelChanged();
    void micLevelChanged();
    void micFilterChanged();
    void ancIndexChanged();
    void sidetoneLevelChanged();
    void sidetoneChanged();
    void volumeLimiterChanged();
    void shutdownTimeChanged();

private slots:
    void onEqIndexChanged();
    void onAmpGainChanged();
    void onAutoPowerOffChanged();
    void onEqBandChanged(uchar eq_id, size_t band);

private:
    QStringList names() const;

    Preferences& m_preferences;
    DeviceModels::KestrinDeviceModel& m_model;
    UIModels::UIKesEqBandsModel* m_eqBands;
    QStringListModel* m_names;
    DeviceType m_deviceType = DeviceType::none;
    KestrinHwType m_hwType;
    Time m_shutdownTime = Never;
    bool m_volumeLimiter = false;
};

} // namespace UIMediators
