#pragma once

#include "utils/SpinLock.h"

#include <QString>
#include <QtGlobal>

// The program's own log: one file per run, "Logs/yyyy.MM.dd-N.log" under the per-user application
// data folder, each line "<8-character level prefix><HH:mm:ss> <message>".
//
//     GlobalLogger::Instance()->message(QtWarningMsg, "read %d bytes from %s", n, path.toUtf8().constData());
//
// The folder depends on the application and organisation names, so the file is opened only once
// both are set: at the first Instance() call when they already are, otherwise at the first message
// after they are. Lines logged before that are kept in memory (the first few hundred) and written
// right after the banner, so nothing lands in a folder that belongs to some other name. A process
// that never sets the names writes no log file at all.
//
// Each line is handed to the system as it is logged (one write, no buffer of the process's own), so
// a crash or a kill loses none. Control characters in a message (newlines and NUL included) and
// invisible formatting characters (bidi controls) are written as escapes ("\n", "\x00",
// "\u202e"), so every message stays one line that reads as it is stored. Usable from any thread.
class GlobalLogger {
public:
    // The process-wide logger. It stays usable while other statics are destroyed at exit.
    static GlobalLogger* Instance();

    // A logger of its own (tests); the program uses Instance().
    GlobalLogger();
    ~GlobalLogger();
    GlobalLogger(const GlobalLogger&) = delete;
    GlobalLogger& operator=(const GlobalLogger&) = delete;

    void message(QtMsgType type, const char* format, ...) const Q_ATTRIBUTE_FORMAT_PRINTF(3, 4);
    // A message that is ready as it is. Text from outside (a server, a file) is best logged this
    // way: a "%s" argument would end at its first NUL character, this keeps every character.
    void message(QtMsgType type, QString text) const;

    // Writes the newest log files into one bundle at `path`; false (and `path` untouched) when no
    // file could be read, or when the bundle could not be written completely.
    bool saveLogs(const QString& path);

    // Opens `path` as the current log file (emptying it) and writes the banner.
    void initFile(const QString& path);

    // How many earlier log files start-up keeps, and how many files the bundle holds.
    static constexpr int KeptFiles = 32;
    static constexpr int ExportedFiles = 10;
    static constexpr qint64 MaxExportedFileSize = 0xA00000;

private:
    struct Private;
    friend struct LoggerExitFlush;

    void lock() const;
    void unlock() const;
    void openIfReadyUnsafe() const;
    void initFileUnsafe(const QString& path) const;
    void writeLineUnsafe(const QByteArray& line) const;
    void flushAtExit();

    Private* const m_d; // owned; the file and the lines waiting for it
    mutable Utils::SpinLock m_lock;
};
