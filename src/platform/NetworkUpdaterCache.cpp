// The download cache of the network updater: one folder per item under the per-user application
// data folder, each holding its files and a small marker that names the version they belong to.
// Writing the cache is the update channel's (UpdateChannel.cpp); here the updater tells whether
// the cache holds a version already.

#include "platform/NetworkUpdater.h"

#include "core/SafeFile.h"
#include "platform/CacheFiles.h"

#include <QFile>
#include <QFileInfo>

namespace Platform {

namespace {

const QLatin1String c_solvarine_image("fw.ldr");

// The version and installer name recorded in "ver"; false unless "ver" is readable and holds at
// least both lines.
bool ReadAppMarker(UpdateChannel& channel, QByteArray& version, QString& fileName)
{
    QByteArray bytes;
    if (!channel.readMarker(bytes))
        return false;
    const QList<QByteArray> pieces = bytes.split('\n');
    if (pieces.size() < 2)
        return false;
    version = pieces[0];
    fileName = QString::fromUtf8(pieces[1]);
    return true;
}

// A name read from "ver" that is a file of the folder; a name that leads out of it is never followed.
bool IsCachedInstaller(const QDir& dir, const QString& name)
{
    return IsPlainFileName(name) && name != NetworkUpdater::AppMarkerName &&
           QFileInfo(dir.absoluteFilePath(name)).isFile();
}

} // namespace

QString NetworkUpdater::getFwFileName(KestrinHwType hwType)
{
    return Enumer<KestrinHwType>::NameOrNull(hwType) + QLatin1String(".bin");
}

QString NetworkUpdater::getSolvarineFwFileName()
{
    return c_solvarine_image;
}

// ---- App installer ----

bool NetworkUpdater::isAppUpdateSaved(const QString& version, QString& fileName)
{
    QByteArray savedVersion;
    QString name;
    if (!ReadAppMarker(m_app, savedVersion, name) || savedVersion != version.toLatin1())
        return false;
    if (!IsCachedInstaller(m_app.dir(), name))
        return false;
    fileName = name;
    return true;
}

void NetworkUpdater::deleteSavedAppUpdate()
{
    QByteArray version;
    QString name;
    if (!ReadAppMarker(m_app, version, name))
        return;
    QDir dir = m_app.dir();
    if (!IsCachedInstaller(dir, name))
        return;
    if (dir.remove(name))
        dir.remove(AppMarkerName);
}

bool NetworkUpdater::readAppUpdateFilePath(QString& out)
{
    if (m_app.status() != UpdateStatus::Saved)
        return false;
    out = m_app.dir().absoluteFilePath(m_installerFileName);
    return true;
}

// ---- Headset firmware ----

bool NetworkUpdater::isKestrinFwSaved(DeviceType type, const QString& version)
{
    QStringList names;
    for (KestrinHwType hwType : Enumer<KestrinHwType>::Values())
        names << getFwFileName(hwType);
    return record(type)->channel.cacheHolds(version, names);
}

// ---- Serial-device firmware ----

bool NetworkUpdater::isSolvarineFwSaved(const QString& version)
{
    if (!m_solvarine.cacheHolds(version, {c_solvarine_image}))
        return false;
    QFile image(m_solvarine.dir().absoluteFilePath(c_solvarine_image));
    QString error;
    const qint64 limit = m_limits.serialImage;
    if (!OpenRegularFile(image, error) || image.size() < 1 || image.size() > limit)
        return false;
    const QByteArray bytes = image.read(limit + 1);
    if (bytes.isEmpty() || bytes.size() > limit)
        return false;
    m_solvarineImage = bytes;
    return true;
}

} // namespace Platform
