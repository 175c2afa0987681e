// The download cache of the network updater: one folder per item under the per-user application
// data folder, each holding its files and a small marker that names the version they belong to.
// Writing the cache is the update channel's (UpdateChannel.cpp); here the updater tells whether
// the cache holds a version already.

#include "platform/NetworkUpdater.h"

#include "platform/CacheFiles.h"

#include <QFile>
#include <QFileInfo>

namespace Platform {

namespace {

const QLatin1String c_app_marker("ver");
const QLatin1String c_solvarine_image("fw.ldr");

constexpr qint64 MaxSolvarineImageSize = 1000000;

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
    return IsPlainFileName(name) && name != c_app_marker && QFileInfo(dir.absoluteFilePath(name)).isFile();
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
        dir.remove(c_app_marker);
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
    UpdateChannel& channel = record(type)->channel;
    if (!channel.markerNames(version))
        return false;
    const QDir dir = channel.dir();
    for (KestrinHwType hwType : Enumer<KestrinHwType>::Values()) {
        if (!QFileInfo(dir.absoluteFilePath(getFwFileName(hwType))).isFile())
            return false;
    }
    return true;
}

// ---- Serial-device firmware ----

bool NetworkUpdater::isSolvarineFwSaved(const QString& version)
{
    if (!m_solvarine.markerNames(version))
        return false;
    QFile image(m_solvarine.dir().absoluteFilePath(c_solvarine_image));
    if (!image.open(QIODevice::ReadOnly) || image.size() < 1 || image.size() > MaxSolvarineImageSize)
        return false;
    const QByteArray bytes = image.read(MaxSolvarineImageSize + 1);
    if (bytes.isEmpty() || bytes.size() > MaxSolvarineImageSize)
        return false;
    m_solvarineImage = bytes;
    return true;
}

} // namespace Platform
