// The download cache of the network updater: one folder per item under the per-user application
// data folder, each holding its files and a small marker that names the version they belong to.

#include "platform/NetworkUpdater.h"

#include "core/GlobalLogger.h"
#include "platform/CacheFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace Platform {

namespace {

const QLatin1String c_app_marker("ver");
const QLatin1String c_fw_marker("fw_ver");
const QLatin1String c_solvarine_image("fw.ldr");

constexpr qint64 MaxSolvarineImageSize = 1000000;

// The folder `name` under the per-user application data folder, created when missing.
QDir MakeDataDir(const QString& name)
{
    QDir dir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    return QDir(dir.absoluteFilePath(name));
}

// The installer name recorded in "ver" after the version; false unless "ver" is readable and
// holds at least both lines.
bool ReadAppMarker(const QDir& dir, QByteArray& version, QString& fileName)
{
    QByteArray bytes;
    if (!ReadCacheMarker(dir, c_app_marker, bytes))
        return false;
    const QList<QByteArray> pieces = bytes.split('\n');
    if (pieces.size() < 2)
        return false;
    version = pieces[0];
    fileName = QString::fromUtf8(pieces[1]);
    return true;
}

void LogSaveFailure(const char* what, const CacheFileSet& files)
{
    GlobalLogger::Instance()->message(QtWarningMsg, "Cannot save %s: %s", what, qUtf8Printable(files.errorString()));
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

QDir NetworkUpdater::getAppUpdateDir()
{
    m_appDir.mkpath(QStringLiteral("."));
    return m_appDir;
}

QDir NetworkUpdater::getKestrinDir(DeviceType type)
{
    KestrinFwStruct& rec = *record(type);
    if (!rec.dir)
        rec.dir = MakeDataDir(Enumer<DeviceType>::NameOrNull(type));
    rec.dir->mkpath(QStringLiteral("."));
    return *rec.dir;
}

QDir NetworkUpdater::getSolvarineDir()
{
    if (!m_solvarineDir)
        m_solvarineDir = MakeDataDir(Enumer<DeviceType>::NameOrNull(DeviceType::solvarine));
    m_solvarineDir->mkpath(QStringLiteral("."));
    return *m_solvarineDir;
}

// ---- App installer ----

bool NetworkUpdater::isAppUpdateSaved(const QString& version, QString& fileName)
{
    const QDir dir = getAppUpdateDir();
    QByteArray savedVersion;
    QString name;
    if (!ReadAppMarker(dir, savedVersion, name) || savedVersion != version.toLatin1())
        return false;
    if (!IsPlainFileName(name) || name == c_app_marker || !QFileInfo(dir.absoluteFilePath(name)).isFile())
        return false;
    fileName = name;
    return true;
}

void NetworkUpdater::deleteSavedAppUpdate()
{
    QDir dir = getAppUpdateDir();
    QByteArray version;
    QString name;
    // A name that leads out of the folder is never followed.
    if (!ReadAppMarker(dir, version, name) || !IsPlainFileName(name) || name == c_app_marker
        || !QFileInfo(dir.absoluteFilePath(name)).isFile())
        return;
    if (dir.remove(name))
        dir.remove(c_app_marker);
}

bool NetworkUpdater::saveAppUpdateFiles()
{
    if (m_appStatus != UpdateStatus::Downloaded)
        return false;
    CacheFileSet files(getAppUpdateDir(), c_app_marker);
    files.adopt(std::move(m_installer));
    files.add(c_app_marker, m_appVersion.toLatin1() + '\n' + m_installerFileName.toUtf8());
    const bool saved = files.commit();
    if (!saved)
        LogSaveFailure("the app update", files);
    return saved;
}

bool NetworkUpdater::readAppUpdateFilePath(QString& out)
{
    if (m_appStatus != UpdateStatus::Saved)
        return false;
    out = getAppUpdateDir().absoluteFilePath(m_installerFileName);
    return true;
}

// ---- Headset firmware ----

bool NetworkUpdater::isKestrinFwSaved(DeviceType type, const QString& version)
{
    const QDir dir = getKestrinDir(type);
    QByteArray saved;
    if (!ReadCacheMarker(dir, c_fw_marker, saved) || QString::fromLatin1(saved) != version)
        return false;
    for (KestrinHwType hwType : Enumer<KestrinHwType>::Values()) {
        if (!QFileInfo(dir.absoluteFilePath(getFwFileName(hwType))).isFile())
            return false;
    }
    return true;
}

bool NetworkUpdater::saveKestrinFwFiles(DeviceType type)
{
    KestrinFwStruct& rec = *record(type);
    if (rec.status != UpdateStatus::Downloaded)
        return false;
    CacheFileSet files(getKestrinDir(type), c_fw_marker);
    for (KestrinHwType hwType : Enumer<KestrinHwType>::Values()) {
        const auto slot = rec.images.find(hwType);
        files.adopt(slot == rec.images.end() ? nullptr : std::move(slot->second.file));
    }
    files.add(c_fw_marker, rec.version.toLatin1());
    if (!files.commit()) {
        LogSaveFailure(Enumer<DeviceType>::NameOrNull(type).toUtf8().constData(), files);
        return false;
    }
    rec.images.clear();
    return true;
}

// ---- Serial-device firmware ----

bool NetworkUpdater::isSolvarineFwSaved(const QString& version)
{
    const QDir dir = getSolvarineDir();
    QByteArray saved;
    if (!ReadCacheMarker(dir, c_fw_marker, saved) || QString::fromLatin1(saved) != version)
        return false;
    QFile image(dir.absoluteFilePath(c_solvarine_image));
    if (!image.open(QIODevice::ReadOnly) || image.size() < 1 || image.size() > MaxSolvarineImageSize)
        return false;
    const QByteArray bytes = image.read(MaxSolvarineImageSize + 1);
    if (bytes.isEmpty() || bytes.size() > MaxSolvarineImageSize)
        return false;
    m_solvarineImage = bytes;
    return true;
}

bool NetworkUpdater::saveSolvarineFwFiles()
{
    if (m_solvarineStatus != UpdateStatus::Downloaded || !m_solvarineDownload || m_solvarineVersion.isEmpty())
        return false;
    CacheFileSet files(getSolvarineDir(), c_fw_marker);
    files.adopt(std::move(m_solvarineDownload));
    files.add(c_fw_marker, m_solvarineVersion.toLatin1());
    const bool saved = files.commit();
    if (!saved)
        LogSaveFailure(Enumer<DeviceType>::NameOrNull(DeviceType::solvarine).toUtf8().constData(), files);
    return saved;
}

} // namespace Platform
