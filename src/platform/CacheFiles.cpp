#include "platform/CacheFiles.h"

#include "core/GlobalLogger.h"
#include "core/SafeFile.h"

#include <QFile>

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

bool WriteDownloadPiece(std::unique_ptr<SafeFile>& file, const QString& path, const QString& confinedTo,
                        const QByteArray& piece, QString& problem)
{
    if (!file) {
        file = std::make_unique<SafeFile>(path, confinedTo);
        if (!file->open()) {
            problem = file->errorString();
            file.reset();
            return false;
        }
    }
    if (!file->write(piece)) {
        problem = file->errorString();
        return false;
    }
    return true;
}

bool ReadCacheMarker(const QDir& folder, const QString& name, QByteArray& out, qint64 maxSize)
{
    QFile file(folder.absoluteFilePath(name));
    QString error;
    bool missing = false;
    if (!OpenRegularFile(file, error, &missing)) {
        if (!missing)
            GlobalLogger::Instance()->message(QtWarningMsg, "Cannot read the cache marker: %s", qUtf8Printable(error));
        return false;
    }
    if (file.size() > maxSize)
        return false;
    // A file that grows while it is read is cut at the limit, and then too large.
    QByteArray bytes = file.read(maxSize + 1);
    if (bytes.size() > maxSize)
        return false;
    out = std::move(bytes);
    return true;
}

CacheFileSet::CacheFileSet(const QDir& folder, const QString& marker, const QString& confinedTo)
    : m_folder(folder)
    , m_marker(marker)
    , m_confinedTo(confinedTo.isEmpty() ? folder.absolutePath() : confinedTo)
{
}

CacheFileSet::~CacheFileSet() = default; // uncommitted files remove their temporary files

bool CacheFileSet::add(const QString& name, const QByteArray& bytes)
{
    if (!m_error.isEmpty())
        return false;
    const QString path = m_folder.absoluteFilePath(name);
    if (bytes.isEmpty()) {
        m_error = QStringLiteral("nothing to write to %1").arg(path);
        return false;
    }
    auto file = std::make_unique<SafeFile>(path, m_confinedTo);
    if (!file->open() || !file->write(bytes) || !file->flush()) {
        m_error = file->errorString();
        return false;
    }
    m_files.push_back(std::move(file));
    return true;
}

bool CacheFileSet::adopt(std::unique_ptr<SafeFile> file)
{
    if (!m_error.isEmpty())
        return false;
    if (!file || file->size() == 0) {
        m_error = QStringLiteral("nothing to write to %1").arg(file ? file->fileName() : QStringLiteral("a file"));
        return false;
    }
    if (!file->flush()) {
        m_error = file->errorString();
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
            m_error = file->errorString();
            m_files.clear(); // the rest are discarded
            return false;
        }
    }
    m_files.clear();
    return true;
}

} // namespace Platform
