#pragma once

#include <QSettings>
#include <QString>

// The settings file: Qt's INI format exactly as QSettings::IniFormat reads and writes it (files of
// earlier versions read the same, and Qt reads what this writes), kept by QSettings as usual:
// changes are written later by QSettings itself, never forced.
//
// One thing differs: a write that fails leaves the old file as it was. Qt's own IniFormat writes
// through a QSaveFile whose commit() reports success after a buffered write failed (a full
// disk) and renames the short file over the old one, and QSettings then reports no error. Here
// the file goes through a custom format (QSettings::registerFormat), whose write function
// pushes everything to the system and tells QSettings when that failed; QSettings then does not
// commit, keeps the changes in memory and writes them whole with the next change. Every failed
// write leaves a warning in the log, the last one as the object ends included.
//
// Why a serializer of our own: a custom format must also read, and QSettings reads through it
// at start and whenever the file changed. Borrowing Qt's INI code through a scratch file would
// need disk space to *read* the settings, and a read that fails on a full disk empties what
// QSettings holds, which the next write would then store. So reading and writing follow Qt's
// INI rules here (sections, key escapes, quoting, string lists, "@" types); tests check both
// ways against QSettings::IniFormat on a table of values, byte for byte on fresh files.
class SettingsFile : public QSettings {
    Q_OBJECT

public:
    explicit SettingsFile(const QString& path, QObject* parent = nullptr);
    ~SettingsFile() override;

    // The format, registered with QSettings on first use.
    static QSettings::Format IniFormat();

protected:
    // Where QSettings writes the changes it holds: a write that never reached the file (the
    // file could not even be locked or opened, as on a disk without a free block) is logged too.
    bool event(QEvent* event) override;
};
