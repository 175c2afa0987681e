#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

class QFile;

// Writes a file so that it ends either replaced whole or exactly as it was. Every write and the
// flush before the commit are checked: Qt's QSaveFile::commit() can report success after a
// buffered write failed (a full disk) and would then rename a short file over the old one.
//
// A file of the program's own data (settings, caches) is written with the data folder as its
// `confinedTo` folder: a path whose folder lies outside it is refused, a symbolic link at the
// path, or a FIFO or a device, is removed and replaced by a plain file (with a log line), never
// written through, and a folder is refused. A file the user chose is written with no confining
// folder, where a link is followed as the user would expect.
class SafeFile {
public:
    explicit SafeFile(const QString& path, const QString& confinedTo = QString());
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    bool open();
    // False once any write failed; the file is then never committed.
    bool write(const QByteArray& piece);
    // Pushes what is buffered to the system; false when it could not be written.
    bool flush();
    // Replaces the target with what was written; false (the target untouched) when anything failed.
    bool commit();
    void cancel();

    QString fileName() const { return m_file.fileName(); }
    qint64 size() const { return m_file.size(); }
    // Plain words for what went wrong, a full disk above all; empty while nothing did.
    QString errorString() const { return m_error; }

private:
    bool fail();
    bool checkTarget();

    QSaveFile m_file;
    QString m_confinedTo;
    QString m_error;
};

// Writes `bytes` as the whole content of `path` (see SafeFile); false with `error` set when it
// could not, and then the old file is as it was.
bool WriteFileWhole(const QString& path, const QByteArray& bytes, QString& error,
                    const QString& confinedTo = QString());

// Opens a data file for reading. False with `error` set when the path is something other than a
// plain file (a FIFO or a device would block the read for good) or cannot be opened; `missing`
// tells a file that does not exist apart.
bool OpenRegularFile(QFile& file, QString& error, bool* missing = nullptr);

// True when `path` is absent or a plain file (a link to one counts); otherwise false with a
// reason in `error`.
bool IsAbsentOrRegularFile(const QString& path, QString& error);
