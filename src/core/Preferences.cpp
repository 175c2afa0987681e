#include "core/Preferences.h"

#include "core/AppDataFolder.h"
#include "core/GlobalLogger.h"
#include "core/SafeFile.h"
#include "core/SettingsFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

namespace {

const char* const c_key_eq_names = "eq_names";

// The settings file, made safe to open: a link in its place is replaced by a plain file with the
// same content (settings are never written through a link), and anything else that is not a
// plain file (a FIFO would block the read for good) is left alone and the settings are kept in
// memory for this run: an empty path.
QString SettingsPath()
{
    QString path = AppDataFilePath(QStringLiteral("settings.ini"));
    const QFileInfo info(path);
    if (info.isSymLink()) {
        QByteArray bytes;
        QFile target(path);
        QString error;
        if (info.isFile() && OpenRegularFile(target, error))
            bytes = target.readAll();
        target.close();
        if (!QFile::remove(path) || (!bytes.isEmpty() && !WriteFileWhole(path, bytes, error, AppDataFolder()))) {
            GlobalLogger::Instance()->message(QtWarningMsg,
                                              "The settings file %s is a link to %s that cannot be replaced (%s); "
                                              "settings are kept for this run only",
                                              qUtf8Printable(path), qUtf8Printable(info.symLinkTarget()),
                                              qUtf8Printable(error));
            return QString();
        }
        GlobalLogger::Instance()->message(QtWarningMsg,
                                          "The settings file %s was a link to %s; it is replaced by a plain file",
                                          qUtf8Printable(path), qUtf8Printable(info.symLinkTarget()));
        return path;
    }
    QString error;
    if (!IsAbsentOrRegularFile(path, error)) {
        GlobalLogger::Instance()->message(
            QtWarningMsg, "Settings file refused: %s; settings are kept for this run only", qUtf8Printable(error));
        return QString();
    }
    return path;
}

// Caches and writes a changed value; true when it changed. An unknown property is logged and
// changes nothing.
template <typename Property, typename Value>
bool StoreIfChanged(QSettings& settings, const std::unordered_map<Property, const char*>& keys,
                    std::unordered_map<Property, Value>& values, Property property, const Value& value,
                    const char* kind)
{
    const auto key = keys.find(property);
    if (key == keys.end()) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Preferences: unknown %s property %d", kind, int(property));
        return false;
    }
    Value& cached = values[property];
    if (cached == value)
        return false;
    cached = value;
    settings.setValue(QLatin1String(key->second), value);
    return true;
}

} // namespace

Preferences::Preferences(QObject* parent)
    : QObject(parent)
    , m_settings(new SettingsFile(SettingsPath(), this))
{
    m_boolKeys = {
        {BoolProperty::license_accepted, "license_accepted"},
        {BoolProperty::minimize_to_tray, "minimize_to_tray"},
    };
    for (const auto& [property, key] : m_boolKeys)
        m_boolValues[property] = m_settings->value(QLatin1String(key), false).toBool();
    for (const auto& [property, key] : m_stringKeys)
        m_stringValues[property] = m_settings->value(QLatin1String(key)).toString();
}

Preferences::~Preferences() = default;

bool Preferences::getBool(BoolProperty property) const
{
    const auto it = m_boolValues.find(property);
    return it != m_boolValues.end() && it->second;
}

void Preferences::setBool(BoolProperty property, bool value)
{
    if (StoreIfChanged(*m_settings, m_boolKeys, m_boolValues, property, value, "bool"))
        emit boolChanged(property);
}

QString Preferences::getString(StringProperty property) const
{
    const auto it = m_stringValues.find(property);
    return it != m_stringValues.end() ? it->second : QString();
}

void Preferences::setString(StringProperty property, const QString& value)
{
    if (StoreIfChanged(*m_settings, m_stringKeys, m_stringValues, property, value, "string"))
        emit stringChanged(property);
}

// False, with a log line, for a device type without a name: its names would land at the top level.
bool Preferences::beginEqGroup(DeviceType type, KestrinHwType hwType)
{
    if (!Enumer<DeviceType>::IsValid(type)) {
        GlobalLogger::Instance()->message(QtWarningMsg, "Preferences: no EQ names for unknown device type %u",
                                          unsigned(type));
        return false;
    }
    m_settings->beginGroup(Enumer<DeviceType>::NameOrNull(type));
    m_settings->beginGroup(uint32_t(hwType) >= uint32_t(KestrinHwType::xbox_headset) ? QStringLiteral("xbox")
                                                                                     : QStringLiteral("ps"));
    return true;
}

void Preferences::endEqGroup()
{
    m_settings->endGroup();
    m_settings->endGroup();
}

QStringList Preferences::readKestrinEqNames(DeviceType type, KestrinHwType hwType)
{
    if (!beginEqGroup(type, hwType))
        return {};
    QStringList names = m_settings->value(QLatin1String(c_key_eq_names)).toStringList();
    endEqGroup();
    return names;
}

void Preferences::setKestrinEqNames(DeviceType type, KestrinHwType hwType, const QStringList& names)
{
    if (!beginEqGroup(type, hwType))
        return;
    const bool anyName = std::any_of(names.begin(), names.end(), [](const QString& name) { return !name.isEmpty(); });
    if (anyName)
        m_settings->setValue(QLatin1String(c_key_eq_names), names);
    else
        m_settings->remove(QLatin1String(c_key_eq_names));
    endEqGroup();
}
