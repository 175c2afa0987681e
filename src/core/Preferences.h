#pragma once

#include "core/DeviceType.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <unordered_map>

class QSettings;

// The user's settings, kept in "settings.ini" in the per-user application data folder: two
// switches and the names of the custom EQ presets per headset model and hardware family.
// The switches are read once at construction and served from memory afterwards. QSettings
// writes the file itself, later; a write that fails (a full disk) keeps the old file and the
// changes in memory for the next write (SettingsFile).
class Preferences : public QObject {
    Q_OBJECT
public:
    enum class BoolProperty : int {
        license_accepted = 0, // the user accepted the legal terms
        minimize_to_tray = 1, // closing the window hides the application to the tray
    };
    Q_ENUM(BoolProperty)

    // No string preference exists yet; the operations are there for the first one.
    enum class StringProperty : int {};
    Q_ENUM(StringProperty)

    explicit Preferences(QObject* parent = nullptr);
    ~Preferences() override;

    bool getBool(BoolProperty property) const;
    void setBool(BoolProperty property, bool value);
    QString getString(StringProperty property) const;
    void setString(StringProperty property, const QString& value);

    QStringList readKestrinEqNames(DeviceType type, KestrinHwType hwType);
    // Names that are all empty remove the entry instead of storing blanks.
    void setKestrinEqNames(DeviceType type, KestrinHwType hwType, const QStringList& names);

signals:
    void boolChanged(Preferences::BoolProperty prop);
    void stringChanged(Preferences::StringProperty prop);

private:
    bool beginEqGroup(DeviceType type, KestrinHwType hwType);
    void endEqGroup();

    QSettings* m_settings;
    std::unordered_map<StringProperty, const char*> m_stringKeys;
    std::unordered_map<StringProperty, QString> m_stringValues;
    std::unordered_map<BoolProperty, const char*> m_boolKeys;
    std::unordered_map<BoolProperty, bool> m_boolValues;
};
