#include "core/SafeFile.h"

#include "core/GlobalLogger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

namespace {

// What a path names, for a refusal.
QString Kind(const QFileInfo& info)
{
    if (info.isDir())
        return QStringLiteral("a folder");
    return QStringLiteral("not a plain file (a FIFO, socket or device)");
}

bool IsInside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

} // namespace

SafeFile::SafeFile(const QString& path, const QString& confinedTo)
    : m_file(path)
    , m_confinedTo(confinedTo)
{
}

bool SafeFile::checkTarget()
{
    if (m_confinedTo.isEmpty())
        return true;
    const QFileInfo target(m_file.fileName());
    const QString folder = QFileInfo(m_confinedTo).canonicalFilePath();
    const QString parent = QFileInfo(target.absolutePath()).canonicalFilePath();
    if (folder.isEmpty() || parent.isEmpty() || !IsInside(parent, folder)) {
        m_error = QStringLiteral("cannot write %1: its folder is not inside %2").arg(target.filePath(), m_confinedTo);
        return false;
    }
    if (target.isSymLink() || (target.exists() && !target.isFile() && !target.isDir())) {
        // Written through, a link would carry the data anywhere it points, and a FIFO or a device
        // would take it somewhere else or block; the entry goes and a plain file takes its place.
        const QString what = target.isSymLink() ? QStringLiteral("a link to ") + target.symLinkTarget()
                                                : QStringLiteral("not a plain file");
        if (!QFile::remove(target.absoluteFilePath())) {
            m_error = QStringLiteral("cannot write %1: it is %2 and cannot be removed").arg(target.filePath(), what);
            return false;
        }
        GlobalLogger::Instance()->message(
            QtWarningMsg, QStringLiteral("%1 was %2; it is replaced by a plain file").arg(target.filePath(), what));
        return true;
    }
    if (target.exists() && !target.isFile()) {
        m_error = QStringLiteral("cannot write %1: it is %2").arg(target.filePath(), Kind(target));
        return false;
    }
    return true;
}

bool SafeFile::open()
{
    if (!checkTarget())
        return false;
    const QFileInfo target(m_file.fileName());
    if (m_confinedTo.isEmpty() && target.exists() && !target.isFile()) {
        m_error = QStringLiteral("cannot write %1: it is %2").arg(target.filePath(), Kind(target));
        return false;
    }
    if (!m_file.open(QIODevice::WriteOnly))
        return fail();
    return true;
}

bool SafeFile::fail()
{
    if (m_error.isEmpty()) {
        // The system's own words for a full disk vary, and a failed commit may carry none at all.
        const QStorageInfo storage(QFileInfo(m_file.fileName()).absolutePath());
        if (storage.isValid() && storage.bytesAvailable() < qint64(1024) * 1024)
            m_error = QStringLiteral("cannot write %1: the disk is full (%2 bytes free; %3)")
                          .arg(m_file.fileName())
                          .arg(storage.bytesAvailable())
                          .arg(m_file.errorString());
        else
            m_error = QStringLiteral("cannot write %1: %2").arg(m_file.fileName(), m_file.errorString());
    }
    if (m_file.isOpen())
        m_file.cancelWriting();
    return false;
}

bool SafeFile::write(const QByteArray& piece)
{
    if (!m_error.isEmpty() || !m_file.isOpen())
        return false;
    if (m_file.write(piece) != piece.size() || m_file.error() != QFileDevice::NoError)
        return fail();
    return true;
}

bool SafeFile::flush()
{
    if (!m_error.isEmpty() || !m_file.isOpen())
        return false;
    if (!m_file.flush() || m_file.error() != QFileDevice::NoError)
        return fail();
    return true;
}

bool SafeFile::commit()
{
    if (!flush())
        return false;
    if (!m_file.commit())
        return fail();
    return true;
}

void SafeFile::cancel()
{
    if (m_file.isOpen())
        m_file.cancelWriting();
}

bool WriteFileWhole(const QString& path, const QByteArray& bytes, QString& error, const QString& confinedTo)
{
    SafeFile file(path, confinedTo);
    if (file.open() && file.write(bytes) && file.commit())
        return true;
    error = file.errorString();
    return false;
}

bool IsAbsentOrRegularFile(const QString& path, QString& error)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return true;
    error = QStringLiteral("%1 is %2").arg(path, Kind(info));
    return false;
}

bool OpenRegularFile(QFile& file, QString& error, bool* missing)
{
    const QFileInfo info(file.fileName());
    if (missing)
        *missing = !info.exists() && !info.isSymLink();
    if (!info.exists()) {
        error = QStringLiteral("%1 does not exist").arg(file.fileName());
        return false;
    }
    if (!IsAbsentOrRegularFile(file.fileName(), error))
        return false;
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    return true;
}
