#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>

#include <memory>
#include <vector>

class SafeFile;

namespace Platform {

// A name of a file inside its folder: not empty, not "." or "..", no '/' or '\\', and no control
// or invisible formatting character (a line end in a name would also break the "ver" marker).
// Names that come from a server or from a cache file are checked with it before they are used.
bool IsPlainFileName(const QString& name);

// Writes one piece of a download as it arrives into `file`, which is opened on `path` with the
// first piece (never through a link, never outside `confinedTo`); false with `problem` set when
// the file cannot be opened or written.
bool WriteDownloadPiece(std::unique_ptr<SafeFile>& file, const QString& path, const QString& confinedTo,
                        const QByteArray& piece, QString& problem);

// Reads a small marker file of the download cache ("ver", "fw_ver"); false when it cannot be
// opened, is not a plain file (a FIFO is never read) or is larger than `maxSize` bytes, which
// makes the cache count as empty.
bool ReadCacheMarker(const QDir& folder, const QString& name, QByteArray& out, qint64 maxSize = 1000);

// Replaces a set of files in one folder so that no reader ever finds one of them half written.
// Every file is first written completely beside its target; only when all of them are on disk
// does commit() rename them over their targets, in the order they were added, after removing the
// marker file that vouches for the old set. The marker is added last, so it names a version only
// once every file of that version is in place. Nothing that was staged but not committed is left
// behind.
class CacheFileSet {
public:
    // Files are written only inside `confinedTo` (by default `folder` itself), never through a
    // link (see SafeFile).
    CacheFileSet(const QDir& folder, const QString& marker, const QString& confinedTo = QString());
    ~CacheFileSet();
    CacheFileSet(const CacheFileSet&) = delete;
    CacheFileSet& operator=(const CacheFileSet&) = delete;

    // Writes `bytes` into a temporary file beside `name`. An empty content counts as a failure.
    bool add(const QString& name, const QByteArray& bytes);
    // Takes a file of this folder that was written as it downloaded; it must hold something.
    bool adopt(std::unique_ptr<SafeFile> file);
    // Renames every staged file over its target; false when anything before failed or when the
    // old marker or a rename fails (the marker is then absent, so the set counts as not saved).
    bool commit();
    // What went wrong, for the log; empty while nothing did.
    QString errorString() const { return m_error; }

private:
    QDir m_folder;
    QString m_marker;
    QString m_confinedTo;
    std::vector<std::unique_ptr<SafeFile>> m_files;
    QString m_error;
};

} // namespace Platform
