#include "platform/CacheFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

namespace Platform {

bool IsPlainFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name) {
        const QChar::Category category = c.category();
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || category == QChar::Other_Control ||
            category == QChar::Other_Format)
            return false;
    }
    return true;
}

QString DescribeWriteFailure(const QFileDevice& file)
{
    // The system's own words for a full disk vary, and a failed commit may carry none at all.
    const QStorageInfo storage(QFileInfo(file.fileName()).absolutePath());
    if (storage.isValid() && storage.bytesAvailable() < qint64(1024) * 1024)
        return QStringLiteral("cannot write %1: the disk is full (%2 bytes free; %3)")
            .arg(file.fileName())
            .arg(storage.bytesAvailable())
            .arg(file.errorString());
    return QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString());
}

bool WriteDownloadPiece(std::unique_ptr<QSaveFile>& file, const QString& path, const QByteArray& piece,
                        QString& problem)
{
    if (!file) {
        file = std::make_unique<QSaveFile>(path);
        if (!file->open(QIODevice::WriteOnly)) {
            problem = DescribeWriteFailure(*file);
            file.reset();
            return false;
        }
    }
    if (file->write(piece) != piece.size()) {
        problem = DescribeWriteFailure(*file);
        return false;
    }
    return true;
}

bool ReadCacheMarker(const QDir& folder, const QString& name, QByteArray& out, qint64 maxSize)
{
    QFile file(folder.absoluteFilePath(name));
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxSize)
        return false;
    // A file that grows while it is read is cut at the limit, and then too large.
    QByteArray bytes = file.read(maxSize + 1);
    if (bytes.size() > maxSize)
        return false;
    out = std::move(bytes);
    return true;
}

CacheFileSet::CacheFileSet(const QDir& folder, const QString& marker)
    : m_folder(folder)
    , m_marker(marker)
{
}

CacheFileSet::~CacheFileSet() = default; // uncommitted QSaveFiles remove their temporary files

bool CacheFileSet::add(const QString& name, const QByteArray& bytes)
{
    if (!m_error.isEmpty())
        return false;
    const QString path = m_folder.absoluteFilePath(name);
    if (bytes.isEmpty()) {
        m_error = QStringLiteral("nothing to write to %1").arg(path);
        return false;
    }
    auto file = std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly) || file->write(bytes) != bytes.size() || !file->flush()) {
        m_error = DescribeWriteFailure(*file);
        file->cancelWriting();
        return false;
    }
    m_files.push_back(std::move(file));
    return true;
}

bool CacheFileSet::adopt(std::unique_ptr<QSaveFile> file)
{
    if (!m_error.isEmpty())
        return false;
    if (!file || file->size() == 0) {
        m_error = QStringLiteral("nothing to write to %1").arg(file ? file->fileName() : QStringLiteral("a file"));
        return false;
    }
    if (!file->flush()) {
        m_error = DescribeWriteFailure(*file);
        return false;
    }
    m_files.push_back(std::move(file));
    return true;
}

bool CacheFileSet::commit()
{
    if (!m_error.isEmpty())
        return false;
    const QString markerPath = m_folder.absoluteFilePath(m_marker);
    if (QFile::exists(markerPath) && !QFile::remove(markerPath)) {
        m_error = QStringLiteral("cannot remove %1").arg(markerPath);
        return false;
    }
    for (auto& file : m_files) {
        if (!file->commit()) {
            m_error = DescribeWriteFailure(*file);
            m_files.clear(); // the rest are discarded
            return false;
        }
    }
    m_files.clear();
    return true;
}

} // namespace Platform
